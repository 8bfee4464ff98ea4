#include "parse/later_layout.h"

#include "core/failure.h"
#include "tally/dates.h"

#include <QUrl>

namespace korvane {

namespace {

const QLatin1StringView kContainer("c-container");

// Displayed text as one line: the no-break space read as a space, white space folded, trimmed.
QString cleanText(QString text)
{
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    return text.simplified();
}

QString upToFirstSpace(const QString &text)
{
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    return space < 0 ? text : text.left(space);
}

// "2016年11月16日 - " -> "2016年11月16日"
QString withoutTrailingDash(QString text)
{
    while (!text.isEmpty() && (text.endsWith(QLatin1Char('-')) || text.endsWith(QLatin1Char(' '))))
        text.chop(1);
    return text;
}

bool hasScheme(const QString &address, QLatin1StringView scheme)
{
    return address.startsWith(scheme, Qt::CaseInsensitive);
}

// An address whose part before the first "/" holds no "." is a site name ("GitHub",
// "百度知道"), not a host.
bool isSiteName(const QString &address)
{
    const qsizetype slash = address.indexOf(QLatin1Char('/'));
    return !QStringView(address).left(slash < 0 ? address.size() : slash).contains(QLatin1Char('.'));
}

// "www.codemotion.com/magaz..." or "host.ap…": the engine cut the address short.
bool isCutShort(const QString &address)
{
    return address.endsWith(QLatin1String("...")) || address.endsWith(QChar(0x2026));
}

// The engine's stand-in target of answer boxes and some cards: http://nourl.ubs.baidu.com/<n>.
bool isPlaceholderTarget(const QString &target)
{
    const QString host = QUrl(target).host();
    return host.compare(QLatin1String("nourl.ubs.baidu.com"), Qt::CaseInsensitive) == 0;
}

// What one result block holds, found in one pass over its descendants.
struct BlockParts
{
    std::optional<Element> addressSpan;  // SPAN.g
    std::optional<Element> showUrl;      // A.c-showurl
    std::optional<Element> sourceText;   // SPAN.cosc-source-text
    std::optional<Element> timeFactor;   // .newTimeFactor_before_abs
    std::optional<Element> prefixTime;   // [class^=prefix-time]
};

BlockParts partsOf(const Element &block)
{
    BlockParts parts;
    const ElementList all = block.getElementsByTagName(QStringLiteral("*"));
    for (int i = 0; i < all.length(); ++i) {
        const Element e = all.item(i);
        const QString tag = e.tagName();
        if (tag == QLatin1String("SPAN")) {
            if (!parts.addressSpan && e.hasClass(QLatin1StringView("g")))
                parts.addressSpan = e;
            if (!parts.sourceText && e.hasClass(QLatin1StringView("cosc-source-text")))
                parts.sourceText = e;
        } else if (tag == QLatin1String("A")) {
            if (!parts.showUrl && e.hasClass(QLatin1StringView("c-showurl")))
                parts.showUrl = e;
        }
        if (!parts.timeFactor && e.hasClass(QLatin1StringView("newTimeFactor_before_abs")))
            parts.timeFactor = e;
        if (!parts.prefixTime && e.hasClassStartingWith(QLatin1StringView("prefix-time")))
            parts.prefixTime = e;
    }
    return parts;
}

std::optional<ResultEntry> entryOf(const Element &block)
{
    const BlockParts parts = partsOf(block);
    ResultEntry entry;
    if (parts.addressSpan) {
        // "host/path 2012-02-24": the address, then the first piece that is a date.
        const QStringList pieces = cleanText(parts.addressSpan->innerText()).split(QLatin1Char(' '));
        entry.address = pieces.first();
        for (qsizetype i = 1; i < pieces.size(); ++i) {
            if (isDateText(pieces.at(i))) {
                entry.date = pieces.at(i);
                break;
            }
        }
    } else if (parts.showUrl) {
        entry.address = upToFirstSpace(cleanText(parts.showUrl->innerText()));
        if (parts.timeFactor)
            entry.date = withoutTrailingDash(cleanText(parts.timeFactor->innerText()));
    } else if (parts.sourceText) {
        entry.address = upToFirstSpace(cleanText(parts.sourceText->innerText()));
        if (parts.prefixTime)
            entry.date = cleanText(parts.prefixTime->innerText());
    } else {
        return std::nullopt; // a card: no address line
    }

    // The block's own target: the engine's placeholder marks a card whatever it shows; a web
    // address stands in for a site name or an address cut short, never for a whole one.
    const QString target = block.getAttribute(QLatin1StringView("mu")).trimmed();
    const bool webTarget = hasScheme(target, QLatin1StringView("http://")) || hasScheme(target, QLatin1StringView("https://"));
    if (webTarget && isPlaceholderTarget(target))
        return std::nullopt;
    entry.address = WithoutScheme(entry.address);
    if (webTarget && (isSiteName(entry.address) || isCutShort(entry.address)))
        entry.address = WithoutScheme(target);
    if (entry.address.isEmpty())
        return std::nullopt;
    return entry;
}

// The first run of digits, with "," between groups: "约72,900,000个" -> "72900000".
QString firstNumber(const QString &text)
{
    QString digits;
    qsizetype i = 0;
    while (i < text.size() && !(text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')))
        ++i;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits.append(c);
        else if (!(c == QLatin1Char(',') && i + 1 < text.size() && text.at(i + 1) >= QLatin1Char('0')
                   && text.at(i + 1) <= QLatin1Char('9')))
            break;
    }
    return digits;
}

// The first element of that class outside the page bar (the element with id "Page"), whose
// own total, if it has one, is the 2011 pages' and read by their rule alone.
std::optional<Element> firstWithClass(const Document &document, QLatin1StringView token)
{
    std::optional<Element> bar;
    try {
        bar = document.all(QStringLiteral("Page"));
    } catch (const Failure &) {
    }
    const ElementList all = document.getElementsByTagName(QStringLiteral("*"));
    for (int i = 0; i < all.length(); ++i) {
        const Element e = all.item(i);
        if (e.hasClass(token) && !(bar && bar->contains(e)))
            return e;
    }
    return std::nullopt;
}

} // namespace

bool IsLaterLayout(const Document &document)
{
    const ElementList divs = document.getElementsByTagName(QStringLiteral("DIV"));
    bool container = false;
    for (int i = 0; i < divs.length() && !container; ++i)
        container = divs.item(i).hasClass(kContainer);
    if (!container)
        return false;
    const ElementList spans = document.getElementsByTagName(QStringLiteral("SPAN"));
    for (int i = 0; i < spans.length(); ++i) {
        const Element span = spans.item(i);
        if (span.hasClass(QLatin1StringView("g")) && span.hasAncestorNamed(QLatin1StringView("table")))
            return false;
    }
    return true;
}

QList<ResultEntry> ReadLaterEntries(const Document &document)
{
    QList<ResultEntry> entries;
    const ElementList divs = document.getElementsByTagName(QStringLiteral("DIV"));
    std::optional<Element> outer; // the last outermost block: blocks inside it do not count
    for (int i = 0; i < divs.length(); ++i) {
        const Element div = divs.item(i);
        if (!div.hasClass(kContainer) || (outer && outer->contains(div)))
            continue;
        outer = div;
        if (std::optional<ResultEntry> entry = entryOf(div))
            entries.append(std::move(*entry));
    }
    return entries;
}

std::optional<double> ReadLaterTotal(const Document &document)
{
    std::optional<Element> holder = firstWithClass(document, QLatin1StringView("nums_text"));
    if (!holder)
        holder = firstWithClass(document, QLatin1StringView("nums"));
    if (!holder)
        return std::nullopt;
    const QString digits = firstNumber(holder->innerText());
    if (digits.isEmpty() || digits.size() > 15)
        return std::nullopt;
    return digits.toDouble();
}

QString WithoutScheme(const QString &address)
{
    if (hasScheme(address, QLatin1StringView("http://")))
        return address.mid(7);
    if (hasScheme(address, QLatin1StringView("https://")))
        return address.mid(8);
    return address;
}

} // namespace korvane
