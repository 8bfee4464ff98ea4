// Per-page cost of reading a full-size results page: ReadResultTotal + ParseResultPage (with
// TallyLink) on an already parsed document, beside Document::parse and libxml2's bare
// htmlReadMemory of the same bytes. Target: the reading within 2x the bare parse.
//
// Usage: bench_parse [iterations per round] [page under tests/data/pages]

#include "browser/dom.h"
#include "core/analysis_record.h"
#include "parse/result_page.h"
#include "parse/result_total.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

#include <libxml/HTMLparser.h>

#include <algorithm>
#include "bench_timing.h"

#include <cstdio>
#include <functional>

using namespace korvane;
using korvane::bench::bestMicros;

namespace {

constexpr int kRounds = 5; // bestMicros's default

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    const QString name = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("results_large.html");

    QFile file(QStringLiteral(KORVANE_TEST_DATA_DIR "/pages/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(file.fileName()));
        return 1;
    }
    const QByteArray bytes = file.readAll();
    const QString html = QString::fromUtf8(bytes);
    const QUrl address(QStringLiteral("http://www.baidu.com/s?wd=domain%3Awww.example.com&pn=30"));

    const double bare = bestMicros(iterations, [&] {
        xmlDocPtr doc = htmlReadMemory(bytes.constData(), int(bytes.size()), "http://www.baidu.com/s",
                                       "UTF-8",
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

    std::printf("page: %s, %lld bytes, %d iterations x %d rounds (best round)\n", qPrintable(name),
                static_cast<long long>(bytes.size()), iterations, kRounds);
    std::printf("  libxml2 htmlReadMemory (bare)         %10.1f us/page\n", bare);
    std::printf("  Document::parse                       %10.1f us/page\n", parse);
    std::printf("  ReadResultTotal + ParseResultPage     %10.1f us/page  (%d sites, total %s)\n",
                reading, record.siteCount(),
                record.TotalResults ? qPrintable(QString::number(*record.TotalResults, 'f', 0)) : "unread");
    std::printf("  reading / bare parse                  %10.2f x  (target <= 2.00 x: %s)\n",
                reading / bare, reading <= 2 * bare ? "met" : "MISSED");

    // A page that tallied nothing measured nothing.
    return record.siteCount() > 0 && record.TotalResults ? 0 : 2;
}
