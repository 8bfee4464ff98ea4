// Prints how long exporting the 32,767-site table takes, as CSV and as JSON (the bytes that go
// to the file), target under 100 ms each; and as the HTML page with its charts, target under
// 300 ms and under 4 MB. With a path as its argument it also writes the HTML page there, for
// show_all_in_chromium.sh to time its 显示全部.

#include "export/exporter.h"

#include "bench_analysis.h"
#include "bench_timing.h"

#include <QFile>

#include <algorithm>
#include <cstdio>

using namespace korvane;

int main(int argc, char **argv)
{
    const FinishedAnalysis analysis = bench::largeAnalysis(32767);
    for (const auto &[name, format] : {std::pair{"CSV", ExportFormat::Csv}, std::pair{"JSON", ExportFormat::Json}}) {
        qsizetype bytes = 0;
        const double ms = korvane::bench::bestMillis(5, [&] { bytes = exportDocument(analysis, {format, true}).size(); });
        std::printf("export %s: %d sites, %lld bytes: %.1f ms (target < 100 ms)\n", name, analysis.record.siteCount(),
                    static_cast<long long>(bytes), ms);
    }
    qsizetype bytes = 0;
    const double ms = korvane::bench::bestMillis(5, [&] { bytes = exportDocument(analysis, {ExportFormat::Html, true}).size(); });
    std::printf("export HTML: %d sites, %lld bytes (%.2f MB, target < 4 MB): %.1f ms (target < 300 ms)\n",
                analysis.record.siteCount(), static_cast<long long>(bytes), double(bytes) / 1e6, ms);
    if (argc > 1) {
        QFile page(QString::fromLocal8Bit(argv[1]));
        if (!page.open(QIODevice::WriteOnly) || page.write(exportDocument(analysis, {ExportFormat::Html, true})) < 0)
            return 1;
    }
    return 0;
}
