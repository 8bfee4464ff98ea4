#include "status.h"

#include "texts.h"

namespace korvane {

void ShowStatus(const AnalysisRecord &record, FormView &view, const QString &keyword)
{
    if (keyword == texts::stateIniting())
        view.setStatusText(texts::statusIniting());
    else if (keyword == texts::stateInited())
        view.setStatusText(texts::statusInited());
    else if (keyword == texts::stateAnaing())
        view.setStatusText(texts::statusAnaing());
    else if (keyword == texts::stateComp())
        view.setStatusText(record.DoneMessage.isEmpty() ? texts::statusComp() : record.DoneMessage);
}

AnalysisOutcome outcomeOf(const AnalysisRecord &record)
{
    if (record.State != texts::stateComp() || record.DoneMessage == texts::stoppedMessage())
        return AnalysisOutcome::Stopped;
    if (record.DoneMessage == texts::refusalMessage())
        return AnalysisOutcome::Refused;
    if (record.DoneMessage == texts::unreadableMessage())
        return AnalysisOutcome::Unreadable;
    if (record.DoneMessage == texts::pageErrorMessage())
        return AnalysisOutcome::PageError;
    return AnalysisOutcome::Complete;
}

} // namespace korvane
