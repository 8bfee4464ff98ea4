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

// Reads 1 to `most` ASCII digits at `at`; -1 when there are none or more.
qint64 digitsAt(QStringView text, qsizetype &at, int most)
{
    qint64 value = 0;
    int count = 0;
    while (at < text.size() && text.at(at).unicode() >= u'0' && text.at(at).unicode() <= u'9') {
        if (++count > most)
            return -1;
        value = value * 10 + (text.at(at).unicode() - u'0');
        ++at;
    }
    return count == 0 ? -1 : value;
}

bool unitAt(QStringView text, qsizetype &at, QStringView unit)
{
    if (!text.mid(at).startsWith(unit))
        return false;
    at += unit.size();
    return true;
}

// "2016年11月16日" at the start of `text` as "2016-11-16"; empty when it is not one.
QString chineseCalendarDate(QStringView text)
{
    qsizetype at = 0;
    const qint64 year = digitsAt(text, at, 4);
    if (year < 0 || at != 4 || !unitAt(text, at, u"年"))
        return QString();
    const qint64 month = digitsAt(text, at, 2);
    if (month < 0 || !unitAt(text, at, u"月"))
        return QString();
    const qint64 day = digitsAt(text, at, 2);
    if (day < 0 || !unitAt(text, at, u"日"))
        return QString();
    return QStringLiteral("%1-%2-%3")
        .arg(int(year), 4, 10, QLatin1Char('0'))
        .arg(int(month), 2, 10, QLatin1Char('0'))
        .arg(int(day), 2, 10, QLatin1Char('0'));
}

// "6天前" as 6; -1 when `text` is not a number of days ago.
double daysAgo(QStringView text)
{
    qsizetype at = 0;
    const qint64 days = digitsAt(text, at, 6);
    if (days < 0 || !unitAt(text, at, u"天前"))
        return -1;
    return double(days);
}

constexpr double kMinutesPerDay = 1440;

} // namespace

bool isDateText(QStringView text)
{
    qsizetype at = 0;
    if (digitsAt(text, at, 15) >= 0) {
        if (at == 4 && at < text.size() && text.at(at) == QLatin1Char('-')) {
            ++at;
            if (digitsAt(text, at, 2) < 0 || at >= text.size() || text.at(at) != QLatin1Char('-'))
                return false;
            ++at;
            return digitsAt(text, at, 2) >= 0 && at == text.size();
        }
        qsizetype unit = at;
        if (unit < text.size() && text.at(unit) == QLatin1Char('.')) { // "1.5小时前"
            ++unit;
            if (digitsAt(text, unit, 15) < 0)
                return false;
        }
        const QStringView rest = text.mid(unit);
        return rest.startsWith(u"小时") || rest.startsWith(u"分钟") || daysAgo(text) >= 0
            || !chineseCalendarDate(text).isEmpty();
    }
    return text.startsWith(u"昨天") || text.startsWith(u"前天");
}

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
    if (QString calendar = chineseCalendarDate(dateText); !calendar.isEmpty())
        return textDate(std::move(calendar));
    if (const double days = daysAgo(dateText); days >= 0)
        return numberDate(days * kMinutesPerDay);
    if (dateText.startsWith(u"昨天"))
        return numberDate(kMinutesPerDay);
    if (dateText.startsWith(u"前天"))
        return numberDate(2 * kMinutesPerDay);
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
