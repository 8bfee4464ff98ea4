// The page walk: everything that happens after the browser finished a document.

#include "form1_logic.h"

#include "core/failure.h"
#include "core/numbers.h"
#include "core/status.h"
#include "core/texts.h"
#include "module_pub.h"
#include "notice/notice_bar.h"
#include "parse/page_kind.h"
#include "parse/result_page.h"
#include "parse/result_total.h"
#include "report/report_writer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvane {

namespace {

QString &pageUrlAt(QStringList &urls, qint64 index)
{
    if (index < 0 || index >= urls.size())
        fail(FailureCode::IndexOutOfRange, QStringLiteral("no results-page address %1").arg(index));
    return urls[index];
}

} // namespace

static QString pageReason(qint64 page, const QString &what)
{
    return QStringLiteral("第%1页: %2").arg(page).arg(what);
}

// Why the page that just completed gives nothing to read: the engine refused it or it could
// not be loaded. Empty when it loaded.
QString Form1Logic::unreadPageMessage()
{
    if (!m_browser.lastNavigationRefused() && !m_browser.lastNavigationFailed())
        return QString();
    // The first failure is the one the analysis tells of.
    if (m_record.FailureReason.isEmpty()) {
        QString problem = m_browser.lastNavigationProblem();
        if (problem.isEmpty())
            problem = m_browser.lastNavigationRefused() ? QStringLiteral("the search engine asked for a verification")
                                                        : QStringLiteral("the page could not be loaded");
        m_record.FailureReason = pageReason(m_view.domainText() == m_view.markerText() ? 0 : m_record.PageCursor, problem);
    }
    if (m_browser.lastNavigationRefused())
        return texts::refusalMessage();
    if (m_browser.lastNavigationFailed())
        return texts::pageErrorMessage();
    return QString();
}

// The walk covers the results pages that hold results, and no more: pages 0 to
// ceil(total / 10) - 1 (35 results: pages 0-3; 40 results: pages 0-3; 7 results: page 0).
// The engine serves no page past index 75, so neither does the walk. -1 when there is
// nothing to walk.
int Form1Logic::lastWalkedPage() const
{
    if (!(m_record.PageCount > 0))
        return -1;
    const double last = std::ceil(m_record.PageCount) - 1;
    return int(std::min(last, double(kEngineMaxPages - 1)));
}

void Form1Logic::OnDocumentComplete(const QObject *frame, const QString &address)
{
    if (frame != m_browser.topLevelObject())
        return;
    if (address == QLatin1String("about:blank"))
        return;

    bool stopped = false;
    QString why;
    try {
        if (m_record.State == texts::stateIniting()) {
            if (const auto document = m_browser.document())
                ReadNoticePage(*document, m_labels, m_view);
        } else if (m_record.State == texts::stateAnaing()) {
            if (m_view.domainText() == m_view.markerText())
                handleQueryPage();
            else
                handleResultsPage();
        }
    } catch (const Failure &failure) {
        stopped = true;
        why = failure.message();
    }

    if (m_record.State == texts::stateIniting()) {
        m_record.State = texts::stateInited();
        ShowStatus(m_record, m_view, texts::stateInited());
        emit startupFinished();
    } else if (stopped && m_record.State == texts::stateAnaing()) {
        m_record.FailureReason = pageReason(m_view.domainText() == m_view.markerText() ? 0 : m_record.PageCursor,
                                            QStringLiteral("the walk stopped: %1").arg(why));
        stopWalk();
    }
}

// An unexpected failure ended the walk before its report: the analysis still ends, in "COMP"
// with the pointer restored, and says so in the status line and the report box, so that
// neither the window nor the command line waits for a page that will never be asked for.
void Form1Logic::stopWalk()
{
    m_record.DoneMessage = texts::stoppedMessage();
    m_record.State = texts::stateComp();
    ShowStatus(m_record, m_view, m_record.State);
    m_view.setResultText(m_record.DoneMessage);
    m_view.setMousePointer(0);
    emit walkStopped();
}

void Form1Logic::handleQueryPage()
{
    if (QString unread = unreadPageMessage(); !unread.isEmpty()) {
        // The engine could not be reached, or wants a verification: there is no total, and
        // saying "no linking site" would be a claim the program cannot make.
        m_record.DoneMessage = std::move(unread);
        finishWalk();
        return;
    }
    const auto document = m_browser.document();
    if (!document)
        fail(FailureCode::ObjectRequired, QStringLiteral("no document"));

    const bool totalRead = ReadResultTotal(*document, m_record);
    switch (ClassifyQueryPage(*document, totalRead)) {
    case QueryPageKind::Total:
        m_record.TotalMissing = false;
        // A total that is not 0 but gives no page to walk (negative, or beyond what a page
        // index can hold) is not a finding of "no linking site".
        if (m_record.PageCount <= 0 && m_record.TotalResults.value_or(0) != 0) {
            m_record.DoneMessage = texts::unreadableMessage();
            m_record.FailureReason = pageReason(0, QStringLiteral("a total of %1 gives no page to walk")
                                                       .arg(m_record.TotalText.isEmpty() ? QString::number(*m_record.TotalResults, 'f', 0)
                                                                                         : m_record.TotalText));
            finishWalk();
            return;
        }
        break;
    case QueryPageKind::NoResults: // the engine's "no results" is a total of 0
        m_record.TotalMissing = false;
        break;
    case QueryPageKind::ResultsWithoutTotal:
        // Pages without a total: walk every page the engine serves, until it runs out.
        m_record.WalkWithoutTotal = true;
        m_record.PageUrls = QStringList(kEngineMaxPages + 1);
        m_record.PageCount = kEngineMaxPages;
        break;
    case QueryPageKind::Unreadable:
        // Neither a total, nor results, nor the engine's "no results": a page this program
        // does not understand. "No linking site" would be a claim it cannot make.
        m_record.PageCount = 0;
        m_record.DoneMessage = texts::unreadableMessage();
        m_record.FailureReason = pageReason(0, QStringLiteral("not a results page this program can read"));
        finishWalk();
        return;
    }
    const int last = lastWalkedPage();
    if (last < 0) {
        finishWalk();
        return;
    }
    for (int i = 0; i <= last; ++i) {
        m_record.ScratchValue = resultsPageAddress(m_origins, m_view.domainText(), i);
        pageUrlAt(m_record.PageUrls, i) = m_record.ScratchValue;
    }
    m_view.setMarkerText(pageUrlAt(m_record.PageUrls, 0));
    m_record.PageCursor = 0;
    navigate(AddCacheBuster(pageUrlAt(m_record.PageUrls, 0), m_clock()));
}

void Form1Logic::handleResultsPage()
{
    if (QString unread = unreadPageMessage(); !unread.isEmpty()) {
        // A page that could not be loaded, or that the engine refused, ends the walk as one
        // that could not be read; the report holds what the earlier pages gave.
        m_record.PageCursor = roundHalfEvenToInt32(m_record.PageCount + 1);
        m_record.DoneMessage = std::move(unread);
    } else {
        const auto document = m_browser.document();
        if (!document)
            fail(FailureCode::ObjectRequired, QStringLiteral("no document"));
        ParseResultPage(*document, m_record);
    }

    m_record.PageCursor = checkedAdd32(m_record.PageCursor, 1);
    if (m_record.PageCursor <= lastWalkedPage()) {
        const QString &next = pageUrlAt(m_record.PageUrls, m_record.PageCursor);
        m_view.setMarkerText(next);
        navigate(next);
        return;
    }
    finishWalk();
}

void Form1Logic::finishWalk()
{
    // Without a total, the report's total is what the walk read.
    if (m_record.WalkWithoutTotal)
        m_record.TotalResults = double(m_record.EntriesRead);
    // A walk that went through the pages the engine promised and found nothing on them did
    // not understand them.
    if (m_record.DoneMessage.isEmpty() && !m_record.siteTableAllocated() && m_record.PageCount > 0) {
        m_record.DoneMessage = texts::unreadableMessage();
        m_record.FailureReason = QStringLiteral("第0-%1页: no result entry could be read on any page")
                                     .arg(lastWalkedPage());
    }
    WriteReport(m_record, m_view);
    m_view.setMousePointer(0);
    emit analysisFinished();
}

} // namespace korvane
