#pragma once

#include <QByteArray>
#include <QStringList>

// The work of the fuzz harnesses, shared with the regression test that replays kept inputs.
// Each function takes one raw fuzz input, runs it through the page readers the way the window
// does, and returns the broken expectations it noticed (empty when all is well). Sanitizer
// findings and uncaught exceptions are left to the runtime: they end the process.
namespace korvane::fuzzing {

// The Content-Type header that goes with an input, chosen by its first byte: below 0x80 one
// of a fixed set of headers (none, plain text/html, the Chinese and Unicode labels, Latin-1,
// unknown and malformed labels); from 0x80 on, the input's own bytes up to its first line feed.
// `body` receives the page bytes that follow.
QByteArray splitContentType(const QByteArray &input, QByteArray &body);

// Results page: decodeHtml -> Document::parse -> ReadResultTotal on one record and
// ClassifyQueryPage; then, on a
// fresh record whose PageCount is taken from the input's second byte, ParseResultPage twice
// (the second time the page is a repeat) and WriteReport into a plain-string view (testing::FakeView).
QStringList runResultsPageInput(const QByteArray &input);

// Notice page: decodeHtml -> Document::parse -> PrepareLinkLabels and ReadNoticePage into a
// plain-string view.
QStringList runNoticePageInput(const QByteArray &input);

} // namespace korvane::fuzzing
