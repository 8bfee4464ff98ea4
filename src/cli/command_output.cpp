#include "command_output.h"

#include "batch_run.h"

#include <cstdio>

namespace korvane {

void printErr(const QString &text)
{
    const QByteArray bytes = (QStringLiteral("korvane-cli: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

int failWith(const QString &text, int status)
{
    printErr(text);
    return status;
}

int printOut(const QByteArray &bytes)
{
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    if (written != size_t(bytes.size()) || std::fflush(stdout) != 0)
        return failWith(QStringLiteral("cannot write standard output"), kExitOutputFailed);
    return kExitDone;
}

} // namespace korvane
