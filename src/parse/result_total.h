#pragma once

#include "browser/dom.h"
#include "core/analysis_record.h"

namespace korvane {

// Reads the engine's total from the first results page: the page bar (the element with id
// "Page") carries it in its last child as "找到相关结果约4,050个". Writes, in this order,
// PageBarCount, ScratchValue, TotalText, TotalResults, PageUrls and PageCount.
//
// When the page bar gives no number, the later pages' total is read instead: the first element
// of class nums_text, else of class nums ("百度为您找到相关结果约72,900,000个"), and the same
// fields follow from it.
//
// Never throws. A failure abandons the remaining steps; fields not reached keep their values,
// and PageCount becomes 0 whenever TotalResults is zero or was never read, so that the caller
// writes the report at once instead of walking pages. Returns whether the page showed a total.
bool ReadResultTotal(const Document &document, AnalysisRecord &record);

} // namespace korvane
