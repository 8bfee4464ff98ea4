#pragma once

#include <QString>

namespace korvane {

// A displayed date made comparable. Either a text (a zero-padded calendar date, or the fixed
// "1980-08-13" for a text that is not recognised) or a whole number of minutes before now.
struct NormalizedDate
{
    bool isNumber = false;
    QString text;        // when !isNumber
    double minutes = 0;  // when isNumber: whole, never negative

    // The text form: the text itself, or the number in plain decimal digits (180 -> "180").
    QString asText() const;

    friend bool operator==(const NormalizedDate &, const NormalizedDate &) = default;
};

// Turns one date text as the engine displays it into a comparable value:
//  - contains "-": a calendar date, month and day padded to two digits ("2011-1-5" -> "2011-01-05");
//  - else contains "小时": the number before it, rounded down, times 60;
//  - else contains "分钟": the number before it, rounded down;
//  - else "Y年M月D日" (at its start): the calendar date "YYYY-MM-DD" ("2016年1月6日" -> "2016-01-06");
//  - else "N天前": N times 1440; a text starting with "昨天": 1440; with "前天": 2880;
//  - else the text "1980-08-13".
// A number that does not read (e.g. "小时前", nothing before the unit) is a Failure(TypeMismatch).
NormalizedDate NormalizeDate(const QString &dateText);

// Whether a piece of an address line is a date the engine displays: "2012-02-24",
// "3小时前", "25分钟前", "2016年11月16日", "6天前", or a text starting with "昨天" or "前天".
// Stricter than NormalizeDate, which takes any text: digits where digits belong.
bool isDateText(QStringView text);

// The more recent of two date texts, returned unchanged (one of the two arguments, never the
// normalised form). Any relative date (hours/minutes ago) beats any calendar date; ties go to
// `first`. Conversion failures of NormalizeDate pass through.
QString LaterDate(const QString &first, const QString &second);

} // namespace korvane
