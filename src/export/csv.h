#pragma once

#include <QString>
#include <QStringList>

namespace korvane {

// CSV as RFC 4180 writes it.

// One field: as it is, or between double quotes (each quote inside doubled) when it holds a
// comma, a double quote, CR or LF.
QString csvField(const QString &text);

// Appends one record: the fields through csvField, separated by commas, ended by CR LF.
void appendCsvRecord(QString &out, const QStringList &fields);

} // namespace korvane
