#pragma once

// The report's charts as inline SVG: vector shapes, their words as real text, the exact value
// of every bar and point in its tooltip (a <title> child), value axes from zero with their unit.
// Every text given here is escaped on the way in. Colours come from the page's style sheet
// through class names (chart, axis, grid, bar, column, s0, s1, hollow), so the SVG carries no
// style attribute.

#include <QList>
#include <QString>

#include <functional>

namespace korvane::chart {

struct Bar
{
    QString label; // the category, drawn beside (horizontal) or under (columns) the bar
    qint64 value = 0;
    QString tip;   // the tooltip, which holds the exact value
};

// One horizontal bar a row, in the given order, the label on the left (cut with "…" when it
// is long; the tooltip keeps it whole) and the value at the bar's end. `unit` names the axis.
// `kind` is added to the svg element's class. An empty list gives an empty text.
QString horizontalBars(const QList<Bar> &bars, const QString &unit, const QString &kind);

// Vertical bars side by side in the given order (a histogram), the label under each, the value
// axis on the left carrying `unit`, `categoryCaption` under the labels.
QString columns(const QList<Bar> &bars, const QString &unit, const QString &categoryCaption, const QString &kind);

struct Point
{
    qint64 time = 0;     // milliseconds since the epoch: the horizontal position
    qint64 value = 0;
    bool filled = true;  // drawn filled, else hollow
    QString tip;
};

struct Series
{
    QString name;         // in the legend
    QString unit;         // its value axis: the first series on the left, the second on the right
    QList<Point> points;  // in time order; consecutive points are joined by a line
};

// One or two series over time, each on its own value axis from zero, the time axis captioned
// `timeCaption` with `timeLabel` of the first and the last time under it. Series without
// points draw nothing; when no series has a point the text is empty.
QString timeLines(const QList<Series> &series, const QString &timeCaption,
                  const std::function<QString(qint64)> &timeLabel, const QString &kind);

} // namespace korvane::chart
