#pragma once

#include "export/exporter.h"
#include "store/history.h"

#include <QJsonObject>

namespace korvane {

// A recorded analysis as the exporters take it: the record rebuilt from the store's row and
// its sites, so that a download is the same file korvane-cli writes for that analysis.
FinishedAnalysis finishedAnalysisOf(const StoredAnalysis &analysis, const QList<StoredSite> &sites);

// The JSON record of korvane-cli --format json for a recorded analysis, with its store `id`.
QJsonObject recordJson(const StoredAnalysis &analysis, const QList<StoredSite> &sites);

} // namespace korvane
