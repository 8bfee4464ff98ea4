#pragma once

#include <QString>

namespace korvane {

// ModulePub: returns `address` with a cache-busting suffix: "&cache=" when the address already
// holds a "?", else "?cache=", then the whole seconds since local midnight (0..86399, the
// fraction cut off). `secondsSinceMidnight` is the clock's reading, fraction included.
// Fails with Overflow when the first "?" stands after character 32767.
QString AddCacheBuster(const QString &address, double secondsSinceMidnight);

} // namespace korvane
