#include "tally/dates.h"

#include "core/numbers.h"

#include <cmath>

namespace korvane {

namespace {

const QString &hoursUnit()
{
    static const QString unit = QStringLiteral("小时");
    return unit;
}

const QString &minutesUnit()
{
    static const QString unit = QStringLiteral("分钟");
    return unit;
}

// The whole number (rounded towards minus infinity) written in the first `length` characters
// of `text`. The engine nearly always writes a few bare digits, read here without the general
// reader; anything else goes through parseDecimal, which gives the same value for bare digits.
double wholeNumberBefore(const QString &text, qsizetype length)
{
    if (length > 0 && length <= 15) { // 15 digits are exact in a double
        double value = 0;
        qsizetype i = 0;
        for (; i < length; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                break;
            value = value * 10 + (c - u'0');
        }
        if (i == length)
            return value;
    }
    return std::floor(parseDecimal(text.left(length)));
}

NormalizedDate textDate(QString text)
{
    NormalizedDate date;
    date.text = std::move(text);
    return date;
}

NormalizedDate numberDate(double minutes)
{
    NormalizedDate date;
    date.isNumber = true;
    date.minutes = minutes;
    return date;
}

} // namespace

QString NormalizedDate::asText() const
{
    return isNumber ? wholeNumberText(minutes) : text;
}

NormalizedDate NormalizeDate(const QString &dateText)
{
    const QLatin1Char dash('-');
    if (dateText.contains(dash)) {
        // No check that this really is a date: only the characters at (1-based) positions 6-7
        // and the length are looked at, so any text with a dash passes through unharmed.
        QString s = dateText;
        if (QStringView(s).mid(5, 2).contains(dash)) // one-digit month: "2011-1-..."
            s.insert(5, QLatin1Char('0'));
        if (s.size() == 9) // one-digit day: "2011-01-5"
            s.insert(8, QLatin1Char('0'));
        return textDate(std::move(s));
    }
    if (const qsizetype at = dateText.indexOf(hoursUnit()); at >= 0)
        return numberDate(wholeNumberBefore(dateText, at) * 60);
    if (const qsizetype at = dateText.indexOf(minutesUnit()); at >= 0)
        return numberDate(wholeNumberBefore(dateText, at));
    return textDate(QStringLiteral("1980-08-13"));
}

QString LaterDate(const QString &first, const QString &second)
{
    const NormalizedDate a = NormalizeDate(first);
    const NormalizedDate b = NormalizeDate(second);

    // A value counts as calendar when its text form contains "-". A number never does: a date
    // text with a dash is read as a calendar date before any number is read from it, so every
    // number here is whole and not negative, and its decimal text reads back as itself.
    const bool aCalendar = !a.isNumber;
    const bool bCalendar = !b.isNumber;

    if (aCalendar && bCalendar)
        return a.text >= b.text ? first : second; // code-unit order; tie -> first
    if (aCalendar)
        return second; // any relative date is more recent than any calendar date
    if (bCalendar)
        return first;
    // Both relative: fewer minutes ago is more recent; tie -> first.
    return a.minutes > b.minutes ? second : first;
}

} // namespace korvane
