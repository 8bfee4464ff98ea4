#include "chart.h"

#include "markup.h"

#include <algorithm>
#include <cmath>

namespace korvane::chart {

namespace {

constexpr double kFontSize = 12;

// Width the text takes at the charts' font size, roughly: narrow for ASCII, square for the rest.
double textWidth(QStringView text)
{
    double width = 0;
    for (const QChar c : text) {
        if (c.isLowSurrogate())
            continue;
        width += c.unicode() < 0x80 ? kFontSize * 0.6 : kFontSize;
    }
    return width;
}

// `text` cut to at most `width`, with "…" at the end when cut.
QString fitted(const QString &text, double width)
{
    if (textWidth(text) <= width)
        return text;
    double used = kFontSize; // the ellipsis
    qsizetype keep = 0;
    for (; keep < text.size(); ++keep) {
        const double w = textWidth(QStringView(text).mid(keep, 1));
        if (used + w > width)
            break;
        used += w;
    }
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QStringLiteral("…");
}

QString num(double value) { return QString::number(std::round(value * 10) / 10, 'f', 1); }

// A value axis from zero to `top` in steps of `step` (1, 2 or 5 times a power of ten), with
// about five steps and `top` at or above the largest value.
struct Scale
{
    qint64 top = 1;
    qint64 step = 1;
};

Scale scaleFor(qint64 largest)
{
    if (largest <= 0)
        return {};
    const double raw = double(largest) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power * 10;
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    }
    Scale scale;
    scale.step = std::max<qint64>(1, std::llround(step));
    scale.top = (largest + scale.step - 1) / scale.step * scale.step;
    return scale;
}

void appendText(QString &out, double x, double y, const QString &text, const char *anchor = nullptr,
                const QString &extra = QString())
{
    out += QStringLiteral("<text x=\"") + num(x) + QStringLiteral("\" y=\"") + num(y) + QLatin1Char('"');
    if (anchor)
        out += QStringLiteral(" text-anchor=\"") + QLatin1String(anchor) + QLatin1Char('"');
    out += extra + QLatin1Char('>');
    appendEscaped(out, text);
    out += QStringLiteral("</text>");
}

void appendLine(QString &out, double x1, double y1, double x2, double y2, const char *cls)
{
    out += QStringLiteral("<line class=\"") + QLatin1String(cls) + QStringLiteral("\" x1=\"") + num(x1)
        + QStringLiteral("\" y1=\"") + num(y1) + QStringLiteral("\" x2=\"") + num(x2) + QStringLiteral("\" y2=\"")
        + num(y2) + QStringLiteral("\"/>");
}

void appendTitle(QString &out, const QString &tip)
{
    out += QStringLiteral("<title>");
    appendEscaped(out, tip);
    out += QStringLiteral("</title>");
}

QString svgOpen(const QString &kind, double width, double height)
{
    return QStringLiteral("<svg class=\"chart ") + escaped(kind) + QStringLiteral("\" width=\"") + num(width)
        + QStringLiteral("\" height=\"") + num(height) + QStringLiteral("\" viewBox=\"0 0 ") + num(width)
        + QLatin1Char(' ') + num(height) + QStringLiteral("\" role=\"img\">");
}

double widestTick(const Scale &scale)
{
    return textWidth(digits(scale.top));
}

} // namespace

QString horizontalBars(const QList<Bar> &bars, const QString &unit, const QString &kind)
{
    if (bars.isEmpty())
        return QString();
    constexpr double row = 22, barHeight = 14, plot = 520, top = 10;
    double labels = 0;
    qint64 largest = 0;
    for (const Bar &bar : bars) {
        labels = std::max(labels, textWidth(bar.label));
        largest = std::max(largest, bar.value);
    }
    const double left = std::min(labels, 260.0) + 12;
    const Scale scale = scaleFor(largest);
    const double bottom = top + row * bars.size();
    const double width = left + plot + std::max(60.0, widestTick(scale) + 16);
    const double height = bottom + 44;
    // A count is never negative; should one be, it is drawn as zero rather than as a shape
    // that reaches out of the chart.
    const auto x = [&](qint64 value) { return left + plot * double(std::max<qint64>(value, 0)) / double(scale.top); };

    QString out = svgOpen(kind, width, height);
    for (qint64 tick = 0; tick <= scale.top; tick += scale.step) {
        appendLine(out, x(tick), top, x(tick), bottom, tick == 0 ? "axis" : "grid");
        appendText(out, x(tick), bottom + 16, digits(tick), "middle");
    }
    appendLine(out, left, bottom, left + plot, bottom, "axis");
    appendText(out, left + plot, bottom + 36, unit, "end");
    for (qsizetype i = 0; i < bars.size(); ++i) {
        const Bar &bar = bars.at(i);
        const double y = top + row * i;
        appendText(out, left - 6, y + row / 2 + 4, fitted(bar.label, 260), "end");
        out += QStringLiteral("<rect class=\"bar\" x=\"") + num(left) + QStringLiteral("\" y=\"")
            + num(y + (row - barHeight) / 2) + QStringLiteral("\" width=\"") + num(x(bar.value) - left)
            + QStringLiteral("\" height=\"") + num(barHeight) + QStringLiteral("\">");
        appendTitle(out, bar.tip);
        out += QStringLiteral("</rect>");
        appendText(out, x(bar.value) + 4, y + row / 2 + 4, digits(bar.value));
    }
    out += QStringLiteral("</svg>");
    return out;
}

QString columns(const QList<Bar> &bars, const QString &unit, const QString &categoryCaption, const QString &kind)
{
    if (bars.isEmpty())
        return QString();
    qint64 largest = 0;
    double labels = 0;
    for (const Bar &bar : bars) {
        largest = std::max(largest, bar.value);
        labels = std::max(labels, textWidth(bar.label));
    }
    const Scale scale = scaleFor(largest);
    const double slot = std::clamp(720.0 / double(bars.size()), 14.0, 56.0);
    const bool slanted = labels + 4 > slot;
    constexpr double top = 24, plot = 220;
    const double left = widestTick(scale) + 14;
    const double bottom = top + plot;
    const double labelSpace = slanted ? std::min(labels, 120.0) * 0.72 + 14 : 20;
    // Room for the caption under a chart of very few columns.
    const double width = left + std::max(slot * double(bars.size()), textWidth(categoryCaption) + 24) + 16;
    const double height = bottom + labelSpace + 26;
    const auto y = [&](qint64 value) { return bottom - plot * double(std::max<qint64>(value, 0)) / double(scale.top); };

    QString out = svgOpen(kind, width, height);
    appendText(out, left - 8, 12, unit);
    for (qint64 tick = 0; tick <= scale.top; tick += scale.step) {
        appendLine(out, left, y(tick), width - 16, y(tick), tick == 0 ? "axis" : "grid");
        appendText(out, left - 6, y(tick) + 4, digits(tick), "end");
    }
    appendLine(out, left, top, left, bottom, "axis");
    for (qsizetype i = 0; i < bars.size(); ++i) {
        const Bar &bar = bars.at(i);
        const double middle = left + slot * (double(i) + 0.5);
        out += QStringLiteral("<rect class=\"column\" x=\"") + num(middle - slot * 0.37) + QStringLiteral("\" y=\"")
            + num(y(bar.value)) + QStringLiteral("\" width=\"") + num(slot * 0.74) + QStringLiteral("\" height=\"")
            + num(bottom - y(bar.value)) + QStringLiteral("\">");
        appendTitle(out, bar.tip);
        out += QStringLiteral("</rect>");
        if (slanted) {
            appendText(out, middle + 4, bottom + 14, fitted(bar.label, 120), "end",
                       QStringLiteral(" transform=\"rotate(-45 ") + num(middle + 4) + QLatin1Char(' ')
                           + num(bottom + 14) + QStringLiteral(")\""));
        } else {
            appendText(out, middle, bottom + 16, bar.label, "middle");
        }
    }
    appendText(out, (left + width - 16) / 2, height - 8, categoryCaption, "middle");
    out += QStringLiteral("</svg>");
    return out;
}

QString timeLines(const QList<Series> &series, const QString &timeCaption,
                  const std::function<QString(qint64)> &timeLabel, const QString &kind)
{
    qint64 first = 0, last = 0;
    bool any = false;
    QList<Scale> scales;
    for (const Series &s : series) {
        qint64 largest = 0;
        for (const Point &p : s.points) {
            first = any ? std::min(first, p.time) : p.time;
            last = any ? std::max(last, p.time) : p.time;
            any = true;
            largest = std::max(largest, p.value);
        }
        scales.append(scaleFor(largest));
    }
    if (!any)
        return QString();

    constexpr double top = 44, plot = 240, inner = 640;
    const double left = widestTick(scales.value(0)) + 14;
    const double right = scales.size() > 1 ? widestTick(scales.at(1)) + 14 : 16;
    const double bottom = top + plot;
    const double width = left + inner + right;
    const double height = bottom + 56;
    const auto x = [&](qint64 time) {
        return last == first ? left + inner / 2 : left + 10 + (inner - 20) * double(time - first) / double(last - first);
    };

    QString out = svgOpen(kind, width, height);
    // Legend, above the plot: a swatch and the name of each series.
    double legend = left;
    for (qsizetype s = 0; s < series.size(); ++s) {
        const QString cls = QStringLiteral("s") + QString::number(s);
        out += QStringLiteral("<line class=\"") + cls + QStringLiteral("\" x1=\"") + num(legend)
            + QStringLiteral("\" y1=\"10\" x2=\"") + num(legend + 20) + QStringLiteral("\" y2=\"10\"/>");
        const QString name = series.at(s).name + QStringLiteral("（") + series.at(s).unit + QStringLiteral("）");
        appendText(out, legend + 26, 14, name);
        legend += 26 + textWidth(name) + 24;
    }
    // Value axes: the first series's on the left with the grid, the second's on the right.
    for (qsizetype s = 0; s < series.size() && s < 2; ++s) {
        const Scale &scale = scales.at(s);
        const double axisX = s == 0 ? left : left + inner;
        appendText(out, axisX, top - 10, series.at(s).unit, s == 0 ? "end" : "start");
        for (qint64 tick = 0; tick <= scale.top; tick += scale.step) {
            const double ty = bottom - plot * double(tick) / double(scale.top);
            if (s == 0)
                appendLine(out, left, ty, left + inner, ty, tick == 0 ? "axis" : "grid");
            appendText(out, s == 0 ? axisX - 6 : axisX + 6, ty + 4, digits(tick), s == 0 ? "end" : "start");
        }
        appendLine(out, axisX, top, axisX, bottom, "axis");
    }
    appendText(out, x(first), bottom + 18, timeLabel(first), last == first ? "middle" : "start");
    if (last != first)
        appendText(out, x(last), bottom + 18, timeLabel(last), "end");
    appendText(out, left + inner / 2, height - 10, timeCaption, "middle");

    for (qsizetype s = 0; s < series.size() && s < 2; ++s) {
        const Series &line = series.at(s);
        if (line.points.isEmpty())
            continue;
        const Scale &scale = scales.at(s);
        const auto y = [&](qint64 value) { return bottom - plot * double(std::max<qint64>(value, 0)) / double(scale.top); };
        const QString cls = QStringLiteral("s") + QString::number(s);
        if (line.points.size() > 1) {
            out += QStringLiteral("<polyline class=\"") + cls + QStringLiteral("\" points=\"");
            for (qsizetype i = 0; i < line.points.size(); ++i) {
                if (i > 0)
                    out += QLatin1Char(' ');
                out += num(x(line.points.at(i).time)) + QLatin1Char(',') + num(y(line.points.at(i).value));
            }
            out += QStringLiteral("\"/>");
        }
        for (const Point &p : line.points) {
            out += QStringLiteral("<circle class=\"") + cls + (p.filled ? QString() : QStringLiteral(" hollow"))
                + QStringLiteral("\" cx=\"") + num(x(p.time)) + QStringLiteral("\" cy=\"") + num(y(p.value))
                + QStringLiteral("\" r=\"4.5\">");
            appendTitle(out, p.tip);
            out += QStringLiteral("</circle>");
        }
    }
    out += QStringLiteral("</svg>");
    return out;
}

} // namespace korvane::chart
