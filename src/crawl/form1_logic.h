#pragma once

#include "addresses.h"
#include "browser/browser.h"
#include "core/analysis_record.h"
#include "core/form_view.h"
#include "core/link_label.h"

#include <QObject>

#include <functional>

namespace korvane {

// The window's behaviour without its widgets: the analysis record, the handlers of the
// window's events and the page walk. Form1 (widgets) and korvane-cli (plain text) both drive
// it through FormView. Everything runs on the user-interface thread; no handler lets a
// failure escape.
class Form1Logic : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<double()>; // seconds since local midnight, with fraction

    Form1Logic(FormView &view, Browser &browser, Origins origins, QObject *parent = nullptr);

    // Replaces the clock (tests pin it).
    void setClock(Clock clock) { m_clock = std::move(clock); }
    static double localSecondsSinceMidnight();

    // The window's load: state "INITING", link labels prepared, notice page requested.
    void OnWindowLoad();
    // A press of Analyse ("分析"): resets the analysis and requests the query page.
    void OnAnalyseClick();
    // The browser finished a document. The only place where work goes on after a load.
    void OnDocumentComplete(const QObject *frame, const QString &address);
    // A click on link label `index`: opens its address (http and https only).
    void OnLinkLabelClick(int index);

    const AnalysisRecord &record() const { return m_record; }
    const LinkLabels &linkLabels() const { return m_labels; }

signals:
    // Analyse was pressed: a new analysis starts (raised before anything of it is done).
    void analysisStarted();
    // The report has been written and the state is "COMP".
    void analysisFinished();
    // An unexpected failure stopped the walk without a report: the state is "COMP", the status
    // line and the report box show the stopped message, the pointer is the default again.
    void walkStopped();
    // Start-up has reached "INITED".
    void startupFinished();

private:
    void handleQueryPage();
    void handleResultsPage();
    void finishWalk();
    void stopWalk();
    int lastWalkedPage() const;
    // Also notes the page's failure in the record's FailureReason.
    QString unreadPageMessage();
    void navigate(const QString &address);

    FormView &m_view;
    Browser &m_browser;
    Origins m_origins;
    Clock m_clock;
    AnalysisRecord m_record;
    LinkLabels m_labels;
};

} // namespace korvane
