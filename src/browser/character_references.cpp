#include "browser/character_references.h"

#include <QStringView>

namespace korvane {

namespace {

struct NamedReference
{
    const char16_t *name;
    char16_t character;
};

// The references innerHTML writes, and the few more a text may carry.
constexpr NamedReference kNamed[] = {
    {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}, {u"nbsp", u'\u00A0'},
};

constexpr char32_t kReplacement = 0xFFFD;

// The character of a numeric reference body ("#38", "#x26"); nothing when it is not one.
bool numericReference(QStringView body, char32_t &character)
{
    if (body.size() < 2 || body.front() != u'#')
        return false;
    const bool hex = body.at(1) == u'x' || body.at(1) == u'X';
    const QStringView digits = body.mid(hex ? 2 : 1);
    if (digits.isEmpty())
        return false;
    char32_t value = 0;
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (hex && u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (hex && u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            return false;
        if (value <= 0x10FFFF) // stop growing once out of range; the result is the same
            value = value * (hex ? 16 : 10) + char32_t(digit);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    character = (value == 0 || value > 0x10FFFF || surrogate) ? kReplacement : value;
    return true;
}

} // namespace

QString decodeCharacterReferences(const QString &text)
{
    qsizetype amp = text.indexOf(QLatin1Char('&'));
    if (amp < 0)
        return text;

    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    while (amp >= 0) {
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), amp + 1);
        if (semicolon < 0)
            break;
        const QStringView body = QStringView(text).mid(amp + 1, semicolon - amp - 1);
        char32_t character = 0;
        bool known = numericReference(body, character);
        for (const NamedReference &named : kNamed) {
            if (known)
                break;
            if (body == QStringView(named.name)) {
                character = named.character;
                known = true;
            }
        }
        if (known) {
            out.append(QStringView(text).mid(done, amp - done));
            const char32_t one[] = {character};
            out.append(QString::fromUcs4(one, 1));
            done = semicolon + 1;
        }
        amp = text.indexOf(QLatin1Char('&'), known ? semicolon + 1 : amp + 1);
    }
    out.append(QStringView(text).mid(done));
    return out;
}

} // namespace korvane
