#pragma once

#include <QByteArray>
#include <QString>

namespace korvane {

// Decodes a page's bytes to text the way a desktop browser picks the character set:
//   1. a byte-order mark (UTF-8, UTF-16LE, UTF-16BE) wins;
//   2. the charset parameter of the HTTP Content-Type header (`contentTypeHeader`, may be empty);
//   3. <meta charset=...> or <meta http-equiv=content-type content="...charset=..."> within the
//      first 1024 bytes;
//   4. UTF-8 when the bytes are valid UTF-8;
//   5. GB18030.
// Labels nobody knows are passed over (the next rule decides). gb2312, gbk, x-gbk, gb18030 and
// their aliases, in any letter case, all decode with GB18030; ISO-8859-1 and US-ASCII with
// windows-1252. Bytes that do not decode become U+FFFD; nothing fails.
QString decodeHtml(const QByteArray &bytes, const QByteArray &contentTypeHeader);

// The charset parameter of a Content-Type value ("text/html; charset=GBK" -> "GBK"); empty when
// there is none.
QByteArray charsetFromContentType(const QByteArray &contentType);

// The label named by the first <meta> charset declaration within the first 1024 bytes; empty
// when there is none.
QByteArray charsetFromMeta(const QByteArray &bytes);

} // namespace korvane
