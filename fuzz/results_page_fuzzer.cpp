// libFuzzer harness: a results page from raw bytes to the report.
#include "fuzz_inputs.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList problems = korvane::fuzzing::runResultsPageInput(input);
    if (!problems.isEmpty()) {
        for (const QString &problem : problems)
            std::fprintf(stderr, "results_page: %s\n", problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
