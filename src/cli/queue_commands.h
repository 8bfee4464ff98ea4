#pragma once

#include <QStringList>

#include <optional>

namespace korvane {

// `korvane-cli queue add ...` and `korvane-cli queue status ...`: when the first argument after
// the program's name is "queue", runs that command and gives its exit status; nullopt for any
// other command line.
std::optional<int> runQueueCommand(const QStringList &arguments);

} // namespace korvane
