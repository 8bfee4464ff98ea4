#include "browser/charset.h"

#include <QStringDecoder>

#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace korvane {

namespace {

constexpr qsizetype kMetaScanLimit = 1024;

// Turns a whole page's bytes into text.
using PageDecoder = std::function<QString(const QByteArray &)>;

PageDecoder qtDecoder(QStringDecoder decoder)
{
    auto shared = std::make_shared<QStringDecoder>(std::move(decoder));
    return [shared](const QByteArray &bytes) { return shared->decode(bytes); };
}

#ifdef Q_OS_WIN
QString decodeCodePage(UINT codePage, const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > INT_MAX)
        return QString();
    const int size = MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()),
                        reinterpret_cast<wchar_t *>(text.data()), size);
    return text;
}
#endif

// Qt's decoder of that name (ICU's, on Debian). Qt for Windows is built without ICU and knows
// only the Unicode encodings and Latin-1 by name: there, the system's own code pages decode
// the others, the first of `codePages` that the system has.
std::optional<PageDecoder> namedDecoder(const char *name, std::initializer_list<unsigned> codePages)
{
    QStringDecoder decoder(name, QStringConverter::Flag::Stateless);
    if (decoder.isValid())
        return qtDecoder(std::move(decoder));
#ifdef Q_OS_WIN
    for (const unsigned codePage : codePages) {
        if (IsValidCodePage(codePage))
            return PageDecoder([codePage](const QByteArray &bytes) { return decodeCodePage(codePage, bytes); });
    }
#else
    Q_UNUSED(codePages);
#endif
    return std::nullopt;
}

// GB18030, the superset of GB2312 and GBK (Windows: code page 54936, or GBK's 936).
std::optional<PageDecoder> chineseDecoder()
{
    return namedDecoder("GB18030", {54936, 936});
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool startsWithIgnoringCase(const QByteArray &data, qsizetype pos, const char *lowerPrefix)
{
    const qsizetype length = qsizetype(qstrlen(lowerPrefix));
    if (data.size() - pos < length)
        return false;
    return qstrnicmp(data.constData() + pos, lowerPrefix, size_t(length)) == 0;
}

// The value after "charset" in a parameter list such as "text/html; charset=gbk" or a meta
// content attribute; empty when there is none.
QByteArray charsetParameter(const QByteArray &text)
{
    // Lower-casing maps byte to byte, so positions in `lower` are positions in `text`.
    const QByteArray lower = text.toLower();
    qsizetype from = 0;
    while (true) {
        const qsizetype at = lower.indexOf("charset", from);
        if (at < 0)
            return QByteArray();
        qsizetype i = at + 7;
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (i >= text.size() || text[i] != '=') {
            from = at + 7;
            continue;
        }
        ++i;
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (i >= text.size())
            return QByteArray();
        if (text[i] == '"' || text[i] == '\'') {
            const char quote = text[i];
            const qsizetype end = text.indexOf(quote, i + 1) - (i + 1);
            if (end < 0)
                return QByteArray();
            return text.mid(i + 1, end).trimmed();
        }
        qsizetype end = i;
        while (end < text.size() && !isSpace(text[end]) && text[end] != ';' && text[end] != '"'
               && text[end] != '\'')
            ++end;
        return text.mid(i, end - i);
    }
}

struct Attribute
{
    QByteArray name;
    QByteArray value;
};

// Reads one attribute of a tag starting at `pos`; returns std::nullopt at the tag's end ('>' or
// the end of the data), leaving `pos` after the '>'.
std::optional<Attribute> nextAttribute(const QByteArray &data, qsizetype &pos)
{
    while (pos < data.size() && (isSpace(data[pos]) || data[pos] == '/'))
        ++pos;
    if (pos >= data.size())
        return std::nullopt;
    if (data[pos] == '>') {
        ++pos;
        return std::nullopt;
    }
    Attribute attribute;
    while (pos < data.size() && !isSpace(data[pos]) && data[pos] != '=' && data[pos] != '>'
           && data[pos] != '/') {
        attribute.name.append(char(QChar::toLower(char16_t(uchar(data[pos])))));
        ++pos;
    }
    while (pos < data.size() && isSpace(data[pos]))
        ++pos;
    if (pos >= data.size() || data[pos] != '=')
        return attribute;
    ++pos;
    while (pos < data.size() && isSpace(data[pos]))
        ++pos;
    if (pos >= data.size())
        return attribute;
    if (data[pos] == '"' || data[pos] == '\'') {
        const char quote = data[pos++];
        while (pos < data.size() && data[pos] != quote)
            attribute.value.append(data[pos++]);
        if (pos < data.size())
            ++pos;
        return attribute;
    }
    while (pos < data.size() && !isSpace(data[pos]) && data[pos] != '>')
        attribute.value.append(data[pos++]);
    return attribute;
}

QByteArray charsetOfMetaTag(const QByteArray &data, qsizetype &pos)
{
    QByteArray charset;
    QByteArray content;
    bool httpEquivContentType = false;
    while (auto attribute = nextAttribute(data, pos)) {
        if (attribute->name == "charset" && charset.isEmpty())
            charset = attribute->value.trimmed();
        else if (attribute->name == "http-equiv")
            httpEquivContentType = attribute->value.trimmed().compare("content-type", Qt::CaseInsensitive) == 0;
        else if (attribute->name == "content" && content.isEmpty())
            content = attribute->value;
    }
    if (!charset.isEmpty())
        return charset;
    if (httpEquivContentType)
        return charsetParameter(content);
    return QByteArray();
}

std::optional<PageDecoder> decoderForLabel(const QByteArray &rawLabel)
{
    const QByteArray label = rawLabel.trimmed().toLower();
    if (label.isEmpty())
        return std::nullopt;
    static const char *const chinese[] = {"gb2312", "gbk", "x-gbk", "gb18030", "gb_2312",
                                          "gb_2312-80", "chinese", "csgb2312", "cp936",
                                          "ms936", "windows-936", "iso-ir-58",
                                          "csiso58gb231280"};
    for (const char *name : chinese) {
        if (label == name)
            return chineseDecoder();
    }
    if (label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8")
        return qtDecoder(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless));
    if (label == "iso-8859-1" || label == "latin1" || label == "us-ascii" || label == "ascii"
        || label == "iso_8859-1" || label == "l1" || label == "cp1252")
        return namedDecoder("windows-1252", {1252});
    QStringDecoder decoder(label.constData(), QStringConverter::Flag::Stateless);
    if (decoder.isValid())
        return qtDecoder(std::move(decoder));
    return std::nullopt;
}

} // namespace

QByteArray charsetFromContentType(const QByteArray &contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    if (semicolon < 0)
        return QByteArray();
    return charsetParameter(contentType.mid(semicolon + 1));
}

QByteArray charsetFromMeta(const QByteArray &bytes)
{
    const QByteArray data = bytes.left(kMetaScanLimit);
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype open = data.indexOf('<', pos);
        if (open < 0)
            return QByteArray();
        pos = open;
        if (startsWithIgnoringCase(data, pos, "<!--")) {
            const qsizetype close = data.indexOf("-->", pos + 4);
            if (close < 0)
                return QByteArray();
            pos = close + 3;
        } else if (startsWithIgnoringCase(data, pos, "<meta") && pos + 5 < data.size()
                   && (isSpace(data[pos + 5]) || data[pos + 5] == '/')) {
            pos += 5;
            const QByteArray charset = charsetOfMetaTag(data, pos);
            if (!charset.isEmpty())
                return charset;
        } else if (pos + 1 < data.size()
                   && (isAsciiLetter(data[pos + 1])
                       || (data[pos + 1] == '/' && pos + 2 < data.size()
                           && isAsciiLetter(data[pos + 2])))) {
            // another tag: step over its name and attributes (a quoted '>' does not end it)
            pos += 1;
            while (pos < data.size() && !isSpace(data[pos]) && data[pos] != '>')
                ++pos;
            while (nextAttribute(data, pos)) {
            }
        } else if (pos + 1 < data.size()
                   && (data[pos + 1] == '!' || data[pos + 1] == '/' || data[pos + 1] == '?')) {
            const qsizetype close = data.indexOf('>', pos);
            if (close < 0)
                return QByteArray();
            pos = close + 1;
        } else {
            ++pos;
        }
    }
    return QByteArray();
}

QString decodeHtml(const QByteArray &bytes, const QByteArray &contentTypeHeader)
{
    // A byte-order mark settles the question before any label.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringConverter::Utf8).decode(bytes);
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes);
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes);

    if (auto decoder = decoderForLabel(charsetFromContentType(contentTypeHeader)))
        return (*decoder)(bytes);

    QByteArray metaLabel = charsetFromMeta(bytes);
    // A page that could be read for an ASCII meta tag is not UTF-16, whatever it says.
    if (metaLabel.toLower().startsWith("utf-16"))
        metaLabel = "utf-8";
    if (auto decoder = decoderForLabel(metaLabel))
        return (*decoder)(bytes);

    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    if (auto chinese = chineseDecoder())
        return (*chinese)(bytes);
    return text;
}

} // namespace korvane
