#pragma once

#include "core/analysis_record.h"
#include "core/form_view.h"

#include <QString>

namespace korvane {

// Ends an analysis: writes the report into the result box, fills the two counters, sets
// record.State to "COMP" and shows the completion status.
//
// With a per-site table it writes the full report (heading, column titles, one fixed-width row
// per site in table order, 95 dashes at the end with no line break after them). Without one it
// writes the notice that no linking site was found; DoneMessage then becomes that notice,
// unless it holds the page-error message, which is kept.
//
// The domain in the heading is view.domainText() at the moment of writing. The result box is
// set once. A Failure part-way (a site name longer than 32767 characters, a date wider than
// 32767, more than 32767 sites, columns of unequal length) leaves the lines completed before it
// in the box and propagates; State and the status line are then left alone.
void WriteReport(AnalysisRecord &record, FormView &view);

} // namespace korvane
