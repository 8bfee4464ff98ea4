#pragma once

#include "browser/dom.h"

#include <QList>
#include <QString>

#include <optional>

namespace korvane {

// The engine's results pages from 2013 on: every result is a DIV of class c-container instead
// of a TABLE, and the displayed address sits in one of three places depending on the year:
//  - 2013-2015: <span class="g">host/path&nbsp;2012-02-24&nbsp;</span>;
//  - 2016-2021: <a class="c-showurl">host/path&nbsp;</a>, the date in an element of class
//    newTimeFactor_before_abs ("2016年11月16日&nbsp;-&nbsp;");
//  - 2023 on: <span class="cosc-source-text">host/pa...</span>, the date in an element whose
//    class starts with prefix-time; no total on the page at all.
// The block's mu attribute carries the result's own target. Where the address line shows a
// site name ("GitHub", no "." before the first "/") or an address cut short (ending in "..."
// or "…"), an http(s) target in mu is the entry's address instead, without its scheme; a whole
// displayed address stays as displayed. A block whose mu is the engine's placeholder (host
// nourl.ubs.baidu.com) is a card, not a result, whatever it shows.

struct ResultEntry
{
    QString address; // as displayed, without scheme; or the target from mu (see above)
    QString date;    // as displayed; empty when the result shows none
};

// Whether the page is in the later layout: a DIV of class c-container, and no SPAN of class g
// inside a TABLE (the 2011 entries).
bool IsLaterLayout(const Document &document);

// The entries of a later-layout page, one per outermost c-container DIV that has an address
// line, in document order. Cards (encyclopaedia, video, ...) have none and give nothing.
QList<ResultEntry> ReadLaterEntries(const Document &document);

// The total as the later pages show it: the first element of class nums_text, else of class
// nums, outside the 2011 page bar (id "Page", whose total only the 2011 rule reads); its first run of digits with "," grouping ("约4,710个" -> 4710). Nothing without one.
std::optional<double> ReadLaterTotal(const Document &document);

// A displayed address without a leading "http://" or "https://" (any letter case): the
// scheme is no part of the site.
QString WithoutScheme(const QString &address);

} // namespace korvane
