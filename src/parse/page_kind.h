#pragma once

#include "browser/dom.h"

namespace korvane {

// What the query page of an analysis turned out to be, once its total was looked for. (A
// verification page never gets here: the browser tells it apart on loading.)
enum class QueryPageKind {
    Total,               // a total was read: walk the pages it promises
    NoResults,           // the engine's "no results" answer: a total of 0
    ResultsWithoutTotal, // results but no total (the engine's pages since 2023): walk until they end
    Unreadable,          // none of these: a page the program does not understand
};

QueryPageKind ClassifyQueryPage(const Document &document, bool totalRead);

// The engine's "no results" answer: an element with id or class nors, or a text that holds
// "没有找到与" and "相关的".
bool IsNoResultsPage(const Document &document);

// Whether the page links to a next page: an A of class n whose text holds "下一页".
bool HasNextPageLink(const Document &document);

} // namespace korvane
