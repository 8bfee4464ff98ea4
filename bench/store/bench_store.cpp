// Prints how long the history store takes for its three heavy tasks, with the targets:
//  - recording one analysis of 32,767 sites: under 150 ms, and within 2x of a bare loop of
//    prepared inserts of the same rows into the same tables in one transaction;
//  - the history of a domain with 1,000 analyses (100 sites each), as text: under 150 ms;
//  - the diff of two 32,767-site analyses, as text: under 150 ms.
// The store is an SQLite file in a temporary folder, as the command line uses it.

#include "bench_analysis.h"
#include "core/texts.h"
#include "export/exporter.h"
#include "store/history_format.h"
#include "store/history_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace korvane;

namespace {

// The machine is shared: beside the best wall-clock time of a few runs, the best processor
// time shows what the work itself costs when other programs take turns on the processor.
struct Figure
{
    double wall = 1e300;
    double cpu = 1e300;
};

Figure measure(int runs, const std::function<void()> &work)
{
    Figure best;
    for (int run = 0; run < runs; ++run) {
        const std::clock_t start = std::clock();
        QElapsedTimer timer;
        timer.start();
        work();
        best.wall = std::min(best.wall, double(timer.nsecsElapsed()) / 1e6);
        best.cpu = std::min(best.cpu, double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC);
    }
    return best;
}

const QDateTime kStarted(QDate(2024, 5, 1), QTime(8, 0), QTimeZone(8 * 3600));

FinishedAnalysis largeAnalysis(int rows, int first = 1, int linksShift = 0)
{
    return bench::largeAnalysis(rows, first, linksShift, kStarted);
}

// The same rows inserted by hand: one transaction, one prepared statement, nothing else.
Figure bareInsert(const QString &path, const QList<StoredSite> &rows)
{
    Figure figure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        query.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        figure = measure(5, [&] {
            query.exec(QStringLiteral("BEGIN IMMEDIATE"));
            query.exec(QStringLiteral("INSERT INTO analyses (domain, engine, started_at, finished_at, outcome, sites, "
                                      "pages_requested, pages_read, status, version) "
                                      "VALUES ('d', 'e', 's', 'f', 'complete', 0, 0, 0, 's', 'v')"));
            const qint64 id = query.lastInsertId().toLongLong();
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO sites (analysis_id, position, site, links, latest_date, "
                                          "latest_date_iso, latest_address) VALUES (?, ?, ?, ?, ?, ?, ?)"));
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const StoredSite &site = rows.at(i);
                insert.bindValue(0, id);
                insert.bindValue(1, qint64(i + 1));
                insert.bindValue(2, site.site);
                insert.bindValue(3, site.links);
                insert.bindValue(4, site.latestDate);
                insert.bindValue(5, site.latestDateIso);
                insert.bindValue(6, site.latestAddress);
                insert.exec();
            }
            query.exec(QStringLiteral("COMMIT"));
        });
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bare"));
    return figure;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    // Recording, against the bare loop in a store of its own.
    const FinishedAnalysis large = largeAnalysis(32767);
    HistoryStore store;
    if (!store.open(dir.filePath(QStringLiteral("record.sqlite")), HistoryStore::Access::ReadWrite)) {
        std::fprintf(stderr, "%s\n", qPrintable(store.errorString()));
        return 1;
    }
    bool recorded = true;
    const Figure record = measure(5, [&] { recorded = recorded && store.record(large).has_value(); });
    {
        HistoryStore bare;
        bare.open(dir.filePath(QStringLiteral("bare.sqlite")), HistoryStore::Access::ReadWrite);
    }
    const Figure bare = bareInsert(dir.filePath(QStringLiteral("bare.sqlite")), storedSitesOf(large));
    std::printf("record one analysis of 32,767 sites: %7.1f ms, processor %7.1f ms (target < 150 ms)%s\n", record.wall,
                record.cpu, recorded ? "" : " FAILED");
    std::printf("bare prepared inserts of the same:   %7.1f ms, processor %7.1f ms; recording takes %.2fx (target < 2x)\n",
                bare.wall, bare.cpu, record.wall / bare.wall);

    // A history of 1,000 analyses of 100 sites, the set moving by one site a day.
    HistoryStore daily;
    daily.open(dir.filePath(QStringLiteral("daily.sqlite")), HistoryStore::Access::ReadWrite);
    for (int day = 0; day < 1000; ++day) {
        FinishedAnalysis a = largeAnalysis(100, day + 1);
        a.startedAt = kStarted.addDays(day);
        a.finishedAt = a.startedAt.addSecs(60);
        daily.record(a);
    }
    qsizetype lines = 0;
    const Figure history = measure(5, [&] {
        const auto entries = daily.history(QStringLiteral("www.example.com"));
        lines = entries ? historyText(QStringLiteral("www.example.com"), *entries).count('\n') : 0;
    });
    std::printf("history of 1,000 analyses (text):    %7.1f ms, processor %7.1f ms (target < 150 ms), %lld lines\n",
                history.wall, history.cpu, static_cast<long long>(lines));

    // The diff of two large analyses: a tenth of the sites replaced, a seventh changed.
    const auto from = store.record(largeAnalysis(32767, 1));
    const auto to = store.record(largeAnalysis(32767, 3277, 3));
    qsizetype changes = 0;
    const Figure diff = measure(5, [&] {
        const SiteDiff d = diffSites(*store.analysis(*from).value(), *store.sites(*from), *store.analysis(*to).value(),
                                     *store.sites(*to));
        changes = d.added.size() + d.lost.size() + d.changed.size();
        diffText(d);
    });
    std::printf("diff of two 32,767-site analyses:    %7.1f ms, processor %7.1f ms (target < 150 ms), %lld changes\n",
                diff.wall, diff.cpu, static_cast<long long>(changes));
    return 0;
}
