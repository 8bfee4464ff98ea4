#pragma once

#include <QString>
#include <QStringView>

namespace korvane {

// Text made safe for HTML and SVG, inside an element or between double quotes of an
// attribute: & < > " and ' become character references; characters that HTML does not allow
// in a document (C0 controls other than tab, LF and CR, DEL, C1 controls, lone surrogates,
// U+FFFE and U+FFFF) become U+FFFD. Everything else, Chinese included, stays as it is.
void appendEscaped(QString &out, QStringView text);
QString escaped(QStringView text);

// A number as the report writes it: decimal digits, a minus sign when negative, no grouping.
inline QString digits(qint64 value) { return QString::number(value); }

} // namespace korvane
