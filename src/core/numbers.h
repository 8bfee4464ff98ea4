#pragma once

#include <QString>
#include <QtGlobal>

namespace korvane {

// Checked integer arithmetic. Counters and indices of the analysis are 16-bit or 32-bit signed
// integers; passing the type's limit is a Failure(Overflow), never a wrap-around.
qint16 toInt16(qint64 value);
qint32 toInt32(qint64 value);
qint32 checkedAdd32(qint32 a, qint32 b);

// Nearest whole number, a value exactly halfway going to the even one (9.5 -> 10, 8.5 -> 8).
// Fails with Overflow outside the 32-bit signed range (and for NaN).
qint32 roundHalfEvenToInt32(double value);

// A number as the search engine writes it, whatever the user's locale: surrounding blanks, a
// sign, the comma grouping digits and the full stop as the decimal point ("4,050" reads 4050,
// "12.7" reads 12.7, also under a German or French desktop). Text that is not a number, the
// empty text included, fails with TypeMismatch.
double parseEngineNumber(const QString &text);

// Plain decimal reading: optional blanks, optional sign, digits with an optional decimal
// point. No grouping, no exponent. Fails with TypeMismatch.
double parseDecimal(const QString &text);

// Decimal text of a whole number held in a double ("4050", never "4,050" or "4.05e+03").
QString wholeNumberText(double value);

} // namespace korvane
