#pragma once

#include "export/exporter.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace korvane {

// One domain's records in an export written earlier, kept as they were (CSV rows or a JSON
// line, in UTF-8 with their line ends).
struct HeldDomain
{
    QString domain;
    bool complete = false; // every record of the domain says "complete"
    QByteArray bytes;
};

// The domains that the CSV or JSON Lines file at `path` holds, in the order of the file; none
// when there is no such file. nullopt, with the reason in *error, when it cannot be read or is
// not an export of this program in `format`.
std::optional<QList<HeldDomain>> readHeldDomains(const QString &path, ExportFormat format, QString *error);

} // namespace korvane
