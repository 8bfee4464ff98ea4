#pragma once

#include <QStringList>

#include <optional>

namespace korvane {

// `korvane-cli history ...` and `korvane-cli diff ...`: when the first argument after the
// program's name is one of these words, runs that command and gives its exit status;
// nullopt for any other command line (an analysis).
std::optional<int> runHistoryCommand(const QStringList &arguments);

} // namespace korvane
