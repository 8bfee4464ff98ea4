#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvane {

// CSV as RFC 4180 writes it.

// One field: as it is, or between double quotes (each quote inside doubled) when it holds a
// comma, a double quote, CR or LF.
QString csvField(const QString &text);

// Appends one record: the fields through csvField, separated by commas, ended by CR LF.
void appendCsvRecord(QString &out, const QStringList &fields);

// The records of a CSV text as appendCsvRecord writes them (a record may also end in a bare
// LF; the last one may lack its line end). nullopt when a quoted field is not closed or a
// closing quote is followed by anything but a comma or the record's end.
std::optional<QList<QStringList>> parseCsvRecords(QStringView text);

} // namespace korvane
