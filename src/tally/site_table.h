#pragma once

#include "core/analysis_record.h"

#include <QString>

namespace korvane {

// The per-site table holds at most this many sites (rows 1..N, N a signed 16-bit number).
inline constexpr int kMaxSites = 32767;

// Adds one result entry to the record's per-site table (SiteNames, SiteLinkCounts,
// SiteLatestDates, SiteLatestUrls, rows in order of first appearance, slot 0 unused).
//
// The site is the address up to its first "/" (the whole address when it has none), taken as
// is. An unallocated table is allocated by the first entry. A known site has its count raised,
// keeps the later of its stored date and `dateText` (LaterDate, stored date first) and takes
// `address` as its URL whenever `dateText` is identical to the date it now holds.
//
// Failures, passed to the caller:
//  - Overflow: a new site when the table is full (kMaxSites rows), or a count passing
//    2147483647. The table is left unchanged.
//  - TypeMismatch: LaterDate could not read a relative date. The row's count has already been
//    raised by one; its date and URL are unchanged.
//  - IndexOutOfRange: the four columns do not have the same length. Nothing is changed.
//
// Rows are found through record.SiteRowIndex in constant time; the index is rebuilt from the
// columns if it does not match them (e.g. when the columns were filled by other means).
void TallyLink(AnalysisRecord &record, const QString &address, const QString &dateText);

} // namespace korvane
