#include "domain_list.h"

#include <QRegularExpression>

namespace korvane {

namespace {

constexpr int kMaxLabel = 63;
constexpr int kMaxName = 253;

// A character as an error message names it: the character itself when it is visible, and
// its code point.
QString named(char32_t c)
{
    const QString code = QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    const bool visible = QChar::isPrint(c) && c != U' ' && c != 0xFFFD;
    return visible ? QStringLiteral("\"%1\" (%2)").arg(QString::fromUcs4(&c, 1), code) : code;
}

bool allowedInLabel(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    // Letters of any script with their combining marks (Devanagari, Thai) and decimal digits.
    // U+FFFD, the stand-in for bytes that were not UTF-8, is none of these.
    return QChar::isLetter(c) || QChar::isMark(c) || QChar::category(c) == QChar::Number_DecimalDigit;
}

// What the host of "http://host..." or "https://host..." is: user and port dropped, and
// everything from the first "/", "?" or "#".
QString hostOfAddress(QStringView rest)
{
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != u'/' && rest[end] != u'?' && rest[end] != u'#')
        ++end;
    QStringView authority = rest.left(end);
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0)
        authority = authority.mid(at + 1);
    if (const qsizetype colon = authority.lastIndexOf(u':'); colon >= 0)
        authority = authority.left(colon);
    return authority.toString();
}

} // namespace

CheckedDomain checkDomain(const QString &typed)
{
    CheckedDomain checked;
    QString text = typed.trimmed();
    // A trailing comment: blanks, then "#" and anything after it.
    static const QRegularExpression comment(QStringLiteral("\\s+#.*$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    text.remove(comment);
    for (QChar &c : text) {
        if (c.unicode() < 0x80)
            c = c.toLower();
    }
    for (const QLatin1String scheme : {QLatin1String("http://"), QLatin1String("https://")}) {
        if (text.startsWith(scheme)) {
            const QString host = hostOfAddress(QStringView(text).mid(scheme.size()));
            checked.warning = QStringLiteral("\"%1\" is an address; its host %2 is analysed").arg(typed.trimmed(), host);
            text = host;
            break;
        }
    }

    if (text.isEmpty()) {
        checked.reason = QStringLiteral("no domain");
        return checked;
    }
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() > kMaxName) {
        checked.reason = QStringLiteral("longer than %1 characters (%2)").arg(kMaxName).arg(codePoints.size());
        return checked;
    }
    int labelLength = 0;
    int labels = 1;
    for (qsizetype i = 0; i <= codePoints.size(); ++i) {
        const bool end = i == codePoints.size();
        if (end || codePoints[i] == '.') {
            if (labelLength == 0) {
                checked.reason = QStringLiteral("an empty label (a dot at the start or the end, or two together)");
                return checked;
            }
            if (!end)
                ++labels;
            labelLength = 0;
            continue;
        }
        const char32_t c = codePoints[i];
        if (!allowedInLabel(c)) {
            checked.reason = QStringLiteral("not a domain name: it holds %1").arg(named(c));
            return checked;
        }
        if (++labelLength > kMaxLabel) {
            checked.reason = QStringLiteral("a label longer than %1 characters").arg(kMaxLabel);
            return checked;
        }
    }
    if (labels < 2) {
        checked.reason = QStringLiteral("not a domain name: it has no dot");
        return checked;
    }
    checked.domain = text;
    return checked;
}

std::optional<QList<ListedLine>> domainListLines(const QByteArray &bytes, QString *error)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.startsWith(QByteArray("\0\0\xFE\xFF", 4))
        || bytes.contains('\0')) {
        *error = QStringLiteral("text in UTF-16 or UTF-32 (a byte-order mark or NUL bytes); save it as UTF-8");
        return std::nullopt;
    }
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QList<ListedLine> lines;
    int number = 0;
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        ++number;
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#')))
            lines.append({number, line});
    }
    return lines;
}

} // namespace korvane
