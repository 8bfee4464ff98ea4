// korvane-server-sample: fills a history store with made-up history, for the README's pictures
// of korvane-server (scripts/screenshot-server) and for looking at its pages without waiting
// for weeks of analyses.
//   korvane-server-sample STORE
// Eight tracked domains, each with two weeks of daily analyses that end a few hours before
// now, and their next runs one interval after the latest (one domain only when asked):
// nothing is due when the server starts.

#include "core/texts.h"
#include "store/history.h"
#include "store/history_store.h"
#include "store/tracked_domains.h"
#include "fixed_draw.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <cstdio>

using namespace korvane;

namespace {

QString siteName(int i)
{
    static const char *const kinds[] = {"www", "bbs", "blog", "news", "tieba", "m", "home", "wenku"};
    static const char *const ends[] = {".com", ".cn", ".com.cn", ".net", ".org"};
    return QStringLiteral("%1.site%2%3")
        .arg(QLatin1String(kinds[i % 8]))
        .arg(i * 37 % 997)
        .arg(QLatin1String(ends[i % 5]));
}

struct Tracked
{
    const char *domain;
    int sites;       // linking sites at the start of the two weeks
    int growth;      // sites gained per analysis, on average (may be negative)
    int hours;       // the schedule; 0: only when asked
};

const Tracked kDomains[] = {
    {"example.com", 150, 2, 24},    {"example.org", 64, 1, 24},     {"shop.example.cn", 212, -2, 24},
    {"news.example.net", 38, 3, 12}, {"bbs.example.com.cn", 97, 0, 24}, {"blog.example.cn", 21, 1, 168},
    {"m.example.com", 130, -1, 24},  {"wiki.example.org", 55, 2, 0},
};
constexpr int kDays = 14;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: korvane-server-sample STORE\n");
        return 2;
    }
    HistoryStore store;
    if (!store.open(args.at(1), HistoryStore::Access::ReadWrite)) {
        std::fprintf(stderr, "korvane-server-sample: %s\n", qPrintable(store.errorString()));
        return 4;
    }
    FixedDraw draw;
    // In the machine's time zone, as the server shows times; whole minutes, for round times.
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() / 60 * 60);
    QList<HistoryStore::AnalysisWithSites> analyses;
    TrackedDomains tracked(store);
    int d = 0;
    for (const Tracked &t : kDomains) {
        const QString domain = QString::fromLatin1(t.domain);
        int first = 1 + d * 400; // the domain's sites: a window sliding over its own range
        struct Site
        {
            int links;
            QDate latest;
            int thread;
        };
        QHash<int, Site> known; // by the site's number
        int count = t.sites;
        QDateTime finished;
        for (int day = 0; day < kDays; ++day) {
            StoredAnalysis a;
            a.domain = domain;
            a.engine = QStringLiteral("http://www.baidu.com");
            a.startedAt = now.addSecs(-3600 * (3 + d) - 86400 * (kDays - 1 - day));
            a.finishedAt = a.startedAt.addSecs(60 + draw.below(90));
            a.outcome = QStringLiteral("complete");
            a.status = texts::statusComp();
            a.version = QStringLiteral(KORVANE_VERSION);
            // Now and then the engine refuses, or a page does not load; blog.example.cn's latest
            // analysis is one of those, so that the dashboard shows what that looks like.
            const bool latestFails = day == kDays - 1 && t.hours == 168;
            const int kind = latestFails ? 1 : draw.below(16);
            int rows = count;
            if (day > 0 && kind == 0) { // the engine refused part-way
                a.outcome = QStringLiteral("refused");
                a.status = texts::refusalMessage();
                rows = count / 3;
            } else if (day > 0 && kind == 1) { // a page did not load
                a.outcome = QStringLiteral("page_error");
                a.status = texts::pageErrorMessage();
                rows = count * 2 / 3;
            } else {
                // Some sites gone, some new, the count moving by `growth` on average.
                const int lost = draw.below(4);
                first += lost;
                count = std::max(5, count - lost + std::max(0, t.growth + lost + draw.below(3) - 1));
                rows = count;
            }
            QList<StoredSite> sites;
            qint64 links = 0;
            for (int i = first; i < first + rows; ++i) {
                // A site keeps its links and its latest one; now and then it gains one.
                auto found = known.find(i);
                if (found == known.end()) {
                    const int rank = i - first;
                    const int n = rank < 5 ? 40 - rank * 6 + draw.below(5) : 1 + draw.below(rank < 30 ? 6 : 3);
                    found = known.insert(i, {n, a.startedAt.date().addDays(-draw.below(60)),
                                             10000 + draw.below(90000)});
                } else if (a.outcome == QLatin1String("complete") && draw.below(12) == 0) {
                    found->links += 1;
                    found->latest = a.startedAt.date().addDays(-draw.below(2));
                    found->thread = 10000 + draw.below(90000);
                }
                links += found->links;
                const QString site = siteName(i);
                sites.append({site, found->links, found->latest.toString(QStringLiteral("yyyy-M-d")),
                              found->latest.toString(Qt::ISODate),
                              site + QStringLiteral("/thread-%1.html").arg(found->thread)});
            }
            a.engineTotal = links * 10 + draw.below(10);
            a.sites = sites.size();
            a.pagesRequested = int(std::min<qint64>(76, links / 10 + 1));
            a.pagesRead = a.outcome == QLatin1String("complete") ? a.pagesRequested : a.pagesRequested / 2;
            analyses.append({a, sites});
            finished = a.finishedAt;
        }
        // Tracked since the first analysis; the next run one interval after the latest.
        if (!tracked.track({domain}, t.hours, now.addDays(-kDays)) || !tracked.setInterval(domain, t.hours, finished)) {
            std::fprintf(stderr, "korvane-server-sample: %s\n", qPrintable(tracked.errorString()));
            return 4;
        }
        ++d;
    }
    if (!store.recordAll(analyses)) {
        std::fprintf(stderr, "korvane-server-sample: %s\n", qPrintable(store.errorString()));
        return 4;
    }
    std::printf("%lld analyses of %d domains\n", static_cast<long long>(analyses.size()), d);
    return 0;
}
