#pragma once

#include <QByteArray>
#include <QString>

namespace korvane {

// Output of the sub-commands (history, diff, queue, work), which print once rather than stream.

// "korvane-cli: TEXT" and a line end on standard error, flushed.
void printErr(const QString &text);
// printErr(text), then `status`: for `return failWith(…, kExitUsage);`.
int failWith(const QString &text, int status);
// Everything to standard output at once: kExitDone, or kExitOutputFailed (with a message) when
// it cannot be written.
int printOut(const QByteArray &bytes);

} // namespace korvane
