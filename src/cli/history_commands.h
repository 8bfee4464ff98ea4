#pragma once

#include <QStringList>

#include "export/html_report.h"
#include "store/history.h"

#include <optional>

namespace korvane {

// `korvane-cli history ...` and `korvane-cli diff ...`: when the first argument after the
// program's name is one of these words, runs that command and gives its exit status;
// nullopt for any other command line (an analysis).
std::optional<int> runHistoryCommand(const QStringList &arguments);

class HistoryStore;
// The history page's data: every analysis with its new and lost sites, and what changed
// between the two latest complete analyses. nullopt when the store could not be read.
std::optional<HistoryReport> historyReport(HistoryStore &store, const QString &domain,
                                           const QList<HistoryEntry> &entries);

} // namespace korvane
