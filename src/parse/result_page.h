#pragma once

#include "browser/dom.h"
#include "core/analysis_record.h"

namespace korvane {

// Reads one results page of the walk and tallies every result entry on it (TallyLink), in
// table order. Each entry is its own TABLE from index 1 on (table 0, the search form, is never
// read); its address line is the first "<SPAN class=g>" ... "</SPAN>" of the entry's markup.
//
// Steers the walk through the record:
// - a page whose first entry, cut after its last "-", equals the previous page's is a repeat:
//   nothing is tallied and PageCursor becomes PageCount rounded half to even;
// - a page that cannot be read ends the walk: PageCursor becomes PageCount + 1 rounded half to
//   even and DoneMessage the page-error message. Entries tallied before stay tallied.
//
// Never throws.
void ParseResultPage(const Document &document, AnalysisRecord &record);

} // namespace korvane
