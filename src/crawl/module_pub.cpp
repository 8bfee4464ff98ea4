#include "module_pub.h"

#include "core/numbers.h"

#include <cmath>

namespace korvane {

QString AddCacheBuster(const QString &address, double secondsSinceMidnight)
{
    const qint16 questionMark = toInt16(address.indexOf(QLatin1Char('?')) + 1);
    const auto seconds = static_cast<qint64>(std::trunc(secondsSinceMidnight));
    return address + (questionMark > 0 ? QStringLiteral("&cache=") : QStringLiteral("?cache="))
        + QString::number(seconds);
}

} // namespace korvane
