#pragma once

#include <QStringList>

#include <optional>

namespace korvane {

// `korvane-cli alerts [--store STORE] [--format text|json] [--limit N]`: the latest messages of
// the store's outbox. nullopt when `arguments` are not this command's.
std::optional<int> runAlertsCommand(const QStringList &arguments);

} // namespace korvane
