#pragma once

// What the store's classes share in reading their tables; not part of the store's interface.

#include "history.h"

#include <QString>

class QSqlQuery;

namespace korvane {

// The columns analysisFromRow reads, each after `table.` when a table is named (for a
// statement that joins another table). A store of version 2 or before, read without
// upgrading it, has no failure column: its analyses tell none.
QString analysisColumns(int version, const QString &table = QString());

// One analysis from a row whose first columns are analysisColumns().
StoredAnalysis analysisFromRow(const QSqlQuery &query);

} // namespace korvane
