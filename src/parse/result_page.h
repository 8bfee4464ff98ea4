#pragma once

#include "browser/dom.h"
#include "core/analysis_record.h"

namespace korvane {

// Reads one results page of the walk and tallies every result entry on it (TallyLink), in
// table order. Each entry is its own TABLE from index 1 on (table 0, the search form, is never
// read); its address line is the first "<SPAN class=g>" ... "</SPAN>" of the entry's markup.
//
// A page in the engine's later layout (one DIV of class c-container per result, see
// later_layout.h) is read by that layout's reader instead; its repeat test compares the first
// entry's address and date. Addresses lose a leading "http://" or "https://" in both layouts.
//
// Steers the walk through the record:
// - a page whose first entry, cut after its last "-", equals the previous page's is a repeat:
//   nothing is tallied and PageCursor becomes PageCount rounded half to even;
// - a page that cannot be read ends the walk: PageCursor becomes PageCount + 1 rounded half to
//   even and DoneMessage the page-error message. Entries tallied before stay tallied;
// - in a walk without a total (WalkWithoutTotal), a page that gives no entry or has no link to
//   a next page is the last: PageCursor becomes PageCount rounded half to even.
// Every entry tallied adds one to EntriesRead.
//
// Never throws.
void ParseResultPage(const Document &document, AnalysisRecord &record);

} // namespace korvane
