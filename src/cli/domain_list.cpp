#include "domain_list.h"

#include "command_output.h"

#include <QFile>
#include <QHash>
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

namespace {

// Checks each domain typed (`where` names it in messages) and adds it to `domains`, each once.
// False when one is not a domain and `skipInvalid` is not given.
bool addCheckedDomains(const QList<std::pair<QString, QString>> &typed, bool skipInvalid, const QString &once,
                       QStringList &domains, QHash<QString, QString> &firstSeen)
{
    bool valid = true;
    for (const auto &[where, text] : typed) {
        const CheckedDomain checked = checkDomain(text);
        if (!checked.reason.isEmpty()) {
            printErr(QStringLiteral("%1: %2%3").arg(where, checked.reason,
                                                   skipInvalid ? QStringLiteral(" (skipped)") : QString()));
            valid = false;
            continue;
        }
        if (!checked.warning.isEmpty())
            printErr(QStringLiteral("%1: warning: %2").arg(where, checked.warning));
        if (const auto seen = firstSeen.constFind(checked.domain); seen != firstSeen.cend()) {
            printErr(QStringLiteral("%1: warning: %2 is listed again (first at %3); it is %4 once")
                         .arg(where, checked.domain, *seen, once));
            continue;
        }
        firstSeen.insert(checked.domain, where);
        domains.append(checked.domain);
    }
    return valid || skipInvalid;
}

} // namespace

std::optional<QStringList> checkedDomains(const QStringList &arguments, const QString &inputPath, bool skipInvalid,
                                          bool emptyListRefused, const QString &once, QString *usageError)
{
    usageError->clear();
    QStringList domains;
    QHash<QString, QString> firstSeen;
    QList<std::pair<QString, QString>> typed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i).trimmed().isEmpty()) {
            *usageError = QStringLiteral("a DOMAIN is empty");
            return std::nullopt;
        }
        typed.append({QStringLiteral("argument %1").arg(i + 1), arguments.at(i)});
    }
    bool valid = addCheckedDomains(typed, skipInvalid, once, domains, firstSeen);
    if (!inputPath.isEmpty()) {
        QFile file;
        const bool opened = inputPath == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                            : (file.setFileName(inputPath), file.open(QIODevice::ReadOnly));
        const QByteArray bytes = opened ? file.readAll() : QByteArray();
        if (!opened || file.error() != QFileDevice::NoError) {
            *usageError = QStringLiteral("cannot read --input %1: %2").arg(inputPath, file.errorString());
            return std::nullopt;
        }
        QString error;
        const auto lines = domainListLines(bytes, &error);
        if (!lines) {
            *usageError = QStringLiteral("%1: %2").arg(inputPath, error);
            return std::nullopt;
        }
        if (lines->isEmpty() && emptyListRefused) {
            *usageError = QStringLiteral("--input %1 lists no domain").arg(inputPath);
            return std::nullopt;
        }
        const QString name = inputPath == QLatin1String("-") ? QStringLiteral("standard input") : inputPath;
        typed.clear();
        for (const ListedLine &line : *lines)
            typed.append({QStringLiteral("%1:%2").arg(name).arg(line.number), line.text});
        valid = addCheckedDomains(typed, skipInvalid, once, domains, firstSeen) && valid;
    }
    if (!valid)
        return std::nullopt;
    return domains;
}

} // namespace korvane
