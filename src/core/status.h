#pragma once

#include "analysis_record.h"
#include "form_view.h"

namespace korvane {

// Sets the status line from a state keyword. "COMP" shows the record's DoneMessage when it is
// not empty. A keyword outside the four leaves the status line as it was.
void ShowStatus(const AnalysisRecord &record, FormView &view, const QString &keyword);

} // namespace korvane
