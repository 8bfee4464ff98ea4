#pragma once

#include "analysis_record.h"
#include "form_view.h"

namespace korvane {

// Sets the status line from a state keyword. "COMP" shows the record's DoneMessage when it is
// not empty. A keyword outside the four leaves the status line as it was.
void ShowStatus(const AnalysisRecord &record, FormView &view, const QString &keyword);

// How the last analysis ended, read off the record:
// - Complete: the report was written and no page failed;
// - PageError: the report was written from what was read before a page could not be loaded or read;
// - Refused: the engine asked for a verification; the report holds what was read before;
// - Stopped: an unexpected failure stopped the walk before its report (the state is "COMP" with
//   the stopped message, or still "ANAING" when the walk never ended);
// - Unreadable: the engine's pages were not understood (no total, no entry, no "no results"
//   answer; or a positive total and nothing tallied): the report says so, not "no site".
enum class AnalysisOutcome { Complete, PageError, Refused, Stopped, Unreadable };
AnalysisOutcome outcomeOf(const AnalysisRecord &record);

} // namespace korvane
