#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvane::testing {

// Pages in the search engine's markup of 2011-2012, for the fake browser and the fake engine.
// Each organic result is its own table; a search-form table comes first; the page bar
// <p id="page"> ends with <span class="nums">找到相关结果约N个</span>; the related-searches
// table (whose first cell has no child element) comes last.

// The markup inside <span class="g"> for a result: "host/path date  " (the engine's two
// trailing blanks).
QString addressLine(const QString &address, const QString &date);

// A results page with one result per address line. `totalText` is the whole text of the page
// bar's last child (e.g. "找到相关结果约4,050个"); without it the page has no page bar.
QString resultsPage(const QStringList &addressLines, const std::optional<QString> &totalText,
                    const QString &charsetLabel = QStringLiteral("utf-8"));

// "找到相关结果约" + number + "个"
QString totalText(const QString &number);

// A notice page whose body children are given as raw markup, one element each.
QString noticePage(const QStringList &bodyChildren);

} // namespace korvane::testing
