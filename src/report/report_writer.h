#pragma once

#include "core/analysis_record.h"
#include "core/form_view.h"

#include <QString>

namespace korvane {

// Width of a date in the report's date column: 1 for a character U+0000..U+007F, 2 for any
// other (counted per code point, so a surrogate pair counts 2 once). This is how wide the
// text is in a font whose Latin characters are half as wide as a Chinese one.
qint64 reportDateWidth(const QString &date);

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
