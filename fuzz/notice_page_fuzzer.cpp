// libFuzzer harness: the notice page from raw bytes to the link labels and message box.
#include "fuzz_inputs.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList problems = korvane::fuzzing::runNoticePageInput(input);
    if (!problems.isEmpty()) {
        for (const QString &problem : problems)
            std::fprintf(stderr, "notice_page: %s\n", problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
