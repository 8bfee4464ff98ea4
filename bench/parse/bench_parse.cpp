// Per-page cost of reading a full-size results page, in any of the engine's layouts:
// Document::parse, then the reading (ReadResultTotal + ParseResultPage with TallyLink) on the
// parsed document, beside libxml2's bare htmlReadMemory of the same bytes.
// Target: parse + reading within 1.5x the bare parse.
//
// Usage: bench_parse [ITERATIONS] [FILE...]
//   FILE is a path, or a name under tests/data/pages; by default results_large.html (2011)
//   and later_large.html (2020, some 370 KB).

#include "browser/dom.h"
#include "core/analysis_record.h"
#include "parse/later_layout.h"
#include "parse/result_page.h"
#include "parse/result_total.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <libxml/HTMLparser.h>

#include <algorithm>
#include "bench_timing.h"

#include <cstdio>
#include <cstdlib>

using namespace korvane;
using korvane::bench::bestMicros;

namespace {

constexpr int kRounds = 5; // bestMicros's default
constexpr double kTarget = 1.5;

// Returns whether the page was read: a total or at least one site.
bool benchPage(const QString &path, int iterations)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    const QString html = QString::fromUtf8(bytes);
    const QUrl address(QStringLiteral("http://www.baidu.com/s?wd=domain%3Awww.example.com&pn=30"));

    const double bare = bestMicros(iterations, [&] {
        xmlDocPtr doc = htmlReadMemory(bytes.constData(), int(bytes.size()), "http://www.baidu.com/s", "UTF-8",
                                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING
                                           | HTML_PARSE_NONET);
        xmlFreeDoc(doc);
    });

    const double parse = bestMicros(iterations, [&] { Document::parse(html, address); });

    const std::shared_ptr<const Document> document = Document::parse(html, address);
    AnalysisRecord record;
    const double reading = bestMicros(iterations, [&] {
        record = AnalysisRecord();
        ReadResultTotal(*document, record);
        ParseResultPage(*document, record);
    });
    const bool later = IsLaterLayout(*document);

    const double ratio = (parse + reading) / bare;
    std::printf("page: %s, %lld bytes, %s layout, %d iterations x %d rounds (best round)\n",
                qPrintable(QFileInfo(path).fileName()), static_cast<long long>(bytes.size()),
                later ? "later (DIV)" : "2011 (TABLE)", iterations, kRounds);
    std::printf("  libxml2 htmlReadMemory (bare)         %10.1f us/page\n", bare);
    std::printf("  Document::parse                       %10.1f us/page\n", parse);
    std::printf("  ReadResultTotal + ParseResultPage     %10.1f us/page  (%d sites, %lld entries, total %s)\n",
                reading, record.siteCount(), static_cast<long long>(record.EntriesRead),
                record.TotalResults ? qPrintable(QString::number(*record.TotalResults, 'f', 0)) : "unread");
    std::printf("  (parse + reading) / bare parse        %10.2f x  (target <= %.2f x: %s)\n", ratio, kTarget,
                ratio <= kTarget ? "met" : "MISSED");
    // A page that gave nothing measured nothing.
    return record.siteCount() > 0 || record.TotalResults.has_value();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    QStringList files;
    for (int i = 2; i < argc; ++i)
        files.append(QString::fromLocal8Bit(argv[i]));
    if (files.isEmpty())
        files = {QStringLiteral("results_large.html"), QStringLiteral("later_large.html")};

    bool allRead = true;
    for (const QString &name : std::as_const(files)) {
        const QString path = QFileInfo::exists(name) ? name : QStringLiteral(KORVANE_TEST_DATA_DIR "/pages/") + name;
        allRead = benchPage(path, iterations) && allRead;
    }
    return allRead ? 0 : 2;
}
