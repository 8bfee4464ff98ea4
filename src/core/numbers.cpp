#include "numbers.h"

#include "failure.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace korvane {

qint16 toInt16(qint64 value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        fail(FailureCode::Overflow, QStringLiteral("value %1 overflows a 16-bit integer").arg(value));
    return static_cast<qint16>(value);
}

qint32 toInt32(qint64 value)
{
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        fail(FailureCode::Overflow, QStringLiteral("value %1 overflows a 32-bit integer").arg(value));
    return static_cast<qint32>(value);
}

qint32 checkedAdd32(qint32 a, qint32 b)
{
    return toInt32(static_cast<qint64>(a) + static_cast<qint64>(b));
}

qint32 roundHalfEvenToInt32(double value)
{
    if (std::isnan(value))
        fail(FailureCode::Overflow, QStringLiteral("NaN has no whole value"));
    // nearbyint rounds with the current mode, which is round-to-nearest-even by default.
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max())
        fail(FailureCode::Overflow, QStringLiteral("%1 overflows a 32-bit integer").arg(value));
    return static_cast<qint32>(rounded);
}

double parseEngineNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    // The C locale's conventions are the engine's: "," groups, "." is the decimal point.
    const QLocale locale = QLocale::c();
    bool ok = false;
    double value = locale.toDouble(trimmed, &ok);
    if (!ok && trimmed.startsWith(QLatin1Char('+')))
        value = locale.toDouble(trimmed.mid(1), &ok);
    if (!ok || !std::isfinite(value))
        fail(FailureCode::TypeMismatch, QStringLiteral("not a number: \"%1\"").arg(text));
    return value;
}

double parseDecimal(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+))\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        fail(FailureCode::TypeMismatch, QStringLiteral("not a number: \"%1\"").arg(text));
    bool ok = false;
    const double value = QLocale::c().toDouble(match.captured(1), &ok);
    if (!ok || !std::isfinite(value))
        fail(FailureCode::TypeMismatch, QStringLiteral("not a number: \"%1\"").arg(text));
    return value;
}

QString wholeNumberText(double value)
{
    return QString::number(value, 'f', 0);
}

} // namespace korvane
