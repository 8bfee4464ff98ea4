#include "batch_run.h"

#include "batch_output.h"
#include "cli_view.h"
#include "crawl/form1_logic.h"
#include "crawl/metered_browser.h"
#include "export/html_report.h"
#include "notify/alert_delivery.h"
#include "queue_worker.h"
#include "store/history_store.h"

#include <QCoreApplication>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace korvane {

namespace {

void printErr(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// Columns a text takes on a terminal: 1 for ASCII, 2 for anything else (CJK).
int columns(const QString &text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() < 0x80 ? 1 : (c.isLowSurrogate() ? 0 : 2);
    return width;
}

} // namespace

int moreSevere(int a, int b)
{
    for (const int status : kExitPrecedence) {
        if (a == status || b == status)
            return status;
    }
    return a;
}

int exitStatusOf(AnalysisOutcome outcome)
{
    switch (outcome) {
    case AnalysisOutcome::Complete: return kExitDone;
    case AnalysisOutcome::PageError:
    case AnalysisOutcome::Stopped: return kExitIncomplete;
    case AnalysisOutcome::Refused: return kExitRefused;
    case AnalysisOutcome::Unreadable: return kExitUnreadable;
    }
    return kExitIncomplete;
}

BatchRun::BatchRun(BatchSettings settings, Form1Logic &logic, CliView &view, MeteredBrowser &browser,
                   BatchOutput &out, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_logic(logic)
    , m_view(view)
    , m_browser(browser)
    , m_out(out)
{
    connect(&m_logic, &Form1Logic::analysisFinished, this, &BatchRun::analysisEnded);
    connect(&m_logic, &Form1Logic::walkStopped, this, &BatchRun::analysisEnded);
    // After the logic's own connection: the record already holds the page when this runs.
    connect(&m_browser, &Browser::documentComplete, this, &BatchRun::pageCompleted);
    if (m_settings.worker)
        connect(m_settings.worker, &QueueWorker::pollDue, this, &BatchRun::startNext);
}

void BatchRun::start()
{
    if (write(exportHead(m_settings.format)))
        startNext();
}

void BatchRun::startNext()
{
    if (m_ended)
        return;
    // A domain that the resumed file holds complete keeps its records and is not asked for again.
    while (m_next < m_settings.domains.size()) {
        const QString &domain = m_settings.domains.at(m_next);
        const auto held = std::find_if(m_settings.held.cbegin(), m_settings.held.cend(),
                                       [&domain](const HeldDomain &h) { return h.domain == domain; });
        if (held == m_settings.held.cend() || !held->complete)
            break;
        if (!writeHeld(*held))
            return;
        ++m_next;
    }
    // A worker takes the next domain from the queue, unless the engine has refused it.
    if (m_settings.worker && m_next >= m_settings.domains.size() && m_status != kExitRefused) {
        switch (m_settings.worker->take()) {
        case QueueWorker::Next::Taken: m_settings.domains.append(m_settings.worker->domain()); break;
        case QueueWorker::Next::Empty: break;
        case QueueWorker::Next::Later: return; // pollDue() calls again
        case QueueWorker::Next::Failed:
            printErr(QStringLiteral("korvane-cli: %1\n").arg(m_settings.worker->errorString()));
            end(kExitOutputFailed);
            return;
        }
    }
    if (m_next >= m_settings.domains.size()) {
        end(m_status);
        return;
    }
    // A reader of standard output that went away between two domains: no more requests for it.
    if (m_out.readerGoneNow()) {
        clearProgress();
        end(kExitOutputFailed);
        return;
    }
    m_view.setDomain(m_settings.domains.at(m_next++));
    m_view.setResultText(QString());
    m_browser.resetCounts();
    m_completions = 0;
    m_started = QDateTime::currentDateTime();
    m_running = true;
    m_logic.OnAnalyseClick();
    if (m_running)
        showProgress(); // after the record was reset for this domain
}

void BatchRun::pageCompleted(const QObject *frame, const QString &address)
{
    if (!m_running || frame != m_browser.topLevelObject() || address == QLatin1String("about:blank"))
        return;
    ++m_completions;
    showProgress();
}

void BatchRun::analysisEnded()
{
    if (!m_running || m_ended)
        return;
    m_running = false;
    // The page that ended the walk completed just now: the progress line shows it before it goes.
    ++m_completions;
    showProgress();
    clearProgress();

    FinishedAnalysis analysis;
    analysis.domain = m_view.domainText();
    analysis.engine = m_settings.engine;
    analysis.startedAt = m_started;
    analysis.finishedAt = QDateTime::currentDateTime();
    analysis.status = m_view.statusText();
    analysis.report = m_view.resultText();
    analysis.record = m_logic.record();
    analysis.pagesRequested = m_browser.pagesRequested();
    analysis.pagesRead = m_browser.pagesRead();
    analysis.failure = failureOf(analysis);
    domainEnded(analysis);
}

void BatchRun::domainEnded(const FinishedAnalysis &analysis)
{
    // Recorded first, whatever the outcome: the store keeps it even when the output fails.
    // A worker's domain is recorded and marked done in one go (or put back when refused).
    // A store whose connection was lost is reconnected first (reconnectStore).
    std::optional<qint64> recordedId;
    bool recorded = true;
    if (m_settings.worker) {
        recorded = m_settings.worker->finish(analysis);
        if (m_settings.worker->recordedId() > 0)
            recordedId = m_settings.worker->recordedId();
    } else if (m_settings.store) {
        recordedId = m_settings.store->record(analysis);
        while (!recordedId && reconnectStore(*m_settings.store, m_settings.store->errorString()))
            recordedId = m_settings.store->record(analysis);
        recorded = recordedId.has_value();
    }

    const bool several = m_settings.domains.size() > 1 || m_settings.worker;
    QByteArray body;
    if (m_settings.format.format == ExportFormat::Html)
        m_htmlAnalyses.append(analysis); // written with the others at the end
    else
        body = exportBody(analysis, m_settings.format);
    if (several && m_settings.format.format == ExportFormat::Text && !body.isEmpty())
        body.append('\n'); // a blank line after each report
    if (!write(body))
        return;
    if (m_settings.format.format != ExportFormat::Html)
        m_out.markDomainEnd(true);
    m_written.insert(analysis.domain);
    m_analysed.insert(analysis.domain);
    printErr((several ? analysis.domain + QStringLiteral(": ") : QString()) + analysis.status + QLatin1Char('\n'));
    if (!analysis.failure.isEmpty()) // why it is incomplete, after the status line
        printErr(analysis.domain + QStringLiteral(": ") + analysis.failure + QLatin1Char('\n'));
    if (!recorded) {
        // What is analysed after this could not be kept either: the run ends here.
        printErr(QStringLiteral("korvane-cli: %1\n")
                     .arg(m_settings.worker ? m_settings.worker->errorString() : m_settings.store->errorString()));
        end(kExitOutputFailed);
        return;
    }
    // Its alerts go through the store's outbox: one that cannot be written there is lost, so
    // the run ends as for a record that could not be written.
    if (m_settings.alerts && recordedId && !m_settings.alerts->analysisRecorded(analysis.domain, *recordedId)) {
        printErr(QStringLiteral("korvane-cli: %1\n").arg(m_settings.alerts->errorString()));
        end(kExitOutputFailed);
        return;
    }
    if (m_settings.worker && m_settings.worker->leaseLost())
        worsen(kExitIncomplete); // analysed, but not kept: another worker did it

    const AnalysisOutcome outcome = analysis.outcome();
    worsen(exitStatusOf(outcome));
    if (outcome == AnalysisOutcome::Refused) {
        // The engine would refuse the others too: they are not tried.
        for (; m_next < m_settings.domains.size(); ++m_next) {
            m_htmlNotAnalysed.append(m_settings.domains.at(m_next));
            printErr(QStringLiteral("korvane-cli: %1: not analysed, the search engine refused %2\n")
                         .arg(m_settings.domains.at(m_next), analysis.domain));
        }
    }
    // The next analysis starts from the event loop, not inside the browser's completion.
    QTimer::singleShot(0, this, &BatchRun::startNext);
}

bool BatchRun::write(const QByteArray &bytes)
{
    if (m_out.write(bytes))
        return true;
    clearProgress();
    // A reader that went away wants nothing more, not even a message.
    if (!m_out.readerGone())
        printErr(QStringLiteral("korvane-cli: cannot write %1: %2\n").arg(m_out.name(), m_out.failure()));
    end(kExitOutputFailed);
    return false;
}

bool BatchRun::writeHeld(const HeldDomain &held)
{
    if (!write(held.bytes))
        return false;
    m_out.markDomainEnd(false);
    m_written.insert(held.domain);
    return true;
}

bool BatchRun::writeRemainingHeld()
{
    if (m_settings.held.isEmpty())
        return true;
    // In the order of the input first, then those that the input does not list.
    QHash<QString, int> order;
    for (int i = 0; i < m_settings.domains.size(); ++i)
        order.insert(m_settings.domains.at(i), i);
    QList<HeldDomain> remaining;
    for (const HeldDomain &held : std::as_const(m_settings.held)) {
        if (!m_written.contains(held.domain))
            remaining.append(held);
    }
    std::stable_sort(remaining.begin(), remaining.end(), [&order](const HeldDomain &a, const HeldDomain &b) {
        return order.value(a.domain, INT_MAX) < order.value(b.domain, INT_MAX);
    });
    if (remaining.isEmpty())
        return true;
    for (const HeldDomain &held : std::as_const(remaining)) {
        if (m_out.failed())
            return false;
        m_out.write(held.bytes);
        m_out.markDomainEnd(false);
        m_written.insert(held.domain);
    }
    return !m_out.failed();
}

QString BatchRun::contents(const QString &name, bool replaced) const
{
    QString text = name + QStringLiteral(": ");
    text += replaced ? QStringLiteral("%1 %2").arg(m_written.size()).arg(m_written.size() == 1 ? QStringLiteral("domain")
                                                                                              : QStringLiteral("domains"))
                     : QStringLiteral("left as it was");
    // Domains of the input that were neither analysed now nor held complete.
    int missing = 0;
    QString first;
    for (const QString &domain : m_settings.domains) {
        const bool heldComplete = std::any_of(m_settings.held.cbegin(), m_settings.held.cend(), [&domain](const HeldDomain &h) {
            return h.domain == domain && h.complete;
        });
        if ((replaced && m_analysed.contains(domain)) || heldComplete)
            continue;
        if (missing++ == 0)
            first = domain;
    }
    if (missing > 0)
        text += QStringLiteral("; not analysed: %1, from %2").arg(missing).arg(first);
    return text;
}

void BatchRun::interrupt(int signalNumber)
{
    if (m_ended && m_flushingAlerts) {
        // Waiting for the alerts' answers: they stay in the outbox for the next run.
        printErr(QStringLiteral("korvane-cli: interrupted; the alerts not yet answered stay in the outbox\n"));
        m_settings.alerts->abandon();
        QCoreApplication::exit(128 + signalNumber);
        return;
    }
    if (m_ended)
        return;
    // In a program that goes on (the server), its delivery is that program's to stop.
    if (m_settings.alerts && m_settings.endsEventLoop)
        m_settings.alerts->abandon();
    clearProgress();
    printErr(QStringLiteral("korvane-cli: interrupted\n"));
    if (m_settings.store)
        m_settings.store->abandonReconnecting(); // a wait for the store ends too
    if (m_settings.worker)
        m_settings.worker->release();
    writeHtmlPage();
    m_status = 128 + signalNumber;
    m_ended = true;
    emit ended(m_status);
    if (m_settings.endsEventLoop)
        QCoreApplication::exit(m_status);
}

void BatchRun::worsen(int status)
{
    m_status = moreSevere(m_status, status);
}

void BatchRun::end(int status)
{
    if (m_ended)
        return;
    if (m_settings.worker)
        m_settings.worker->release(); // a domain taken and not analysed goes back
    worsen(status);
    if (!writeHtmlPage())
        worsen(kExitOutputFailed);
    m_ended = true;
    m_running = false;
    if (m_settings.alerts && m_settings.endsEventLoop) {
        // Before it ends, the run sends what is still undelivered (from earlier runs too) and
        // waits for every answer.
        m_flushingAlerts = true;
        connect(m_settings.alerts, &AlertDelivery::finished, this, &BatchRun::finishEnding);
        m_settings.alerts->finish();
        return;
    }
    finishEnding();
}

void BatchRun::finishEnding()
{
    m_flushingAlerts = false;
    emit ended(m_status);
    if (m_settings.endsEventLoop)
        QCoreApplication::exit(m_status);
}

// HTML: the one page of the domains that ended, however the run ends, so that an interrupted
// batch keeps what it had finished as the other formats do. The domains not reached are listed
// as not analysed. False when the page could not be written.
bool BatchRun::writeHtmlPage()
{
    if (m_settings.format.format != ExportFormat::Html || m_htmlAnalyses.isEmpty() || m_out.failed())
        return true;
    QStringList notAnalysed = m_htmlNotAnalysed;
    for (qsizetype i = m_running ? m_next - 1 : m_next; i < m_settings.domains.size(); ++i)
        notAnalysed.append(m_settings.domains.at(i));
    const QByteArray page = m_settings.domains.size() > 1 ? htmlBatchPage(m_htmlAnalyses, notAnalysed)
                                                          : htmlAnalysisPage(m_htmlAnalyses.constFirst());
    if (m_out.write(page)) {
        m_out.markDomainEnd(true);
        return true;
    }
    if (!m_out.readerGone())
        printErr(QStringLiteral("korvane-cli: cannot write %1: %2\n").arg(m_out.name(), m_out.failure()));
    return false;
}

// "[2/15] example.com  page 12/76  sites 143", rewritten in place.
void BatchRun::showProgress()
{
    if (!m_settings.progress)
        return;
    const AnalysisRecord &record = m_logic.record();
    QString pages = QStringLiteral("?");
    if (m_completions > 0) {
        const double walk = record.PageCount > 0 ? std::min(std::ceil(record.PageCount), double(kEngineMaxPages)) : 0;
        pages = QString::number(int(walk));
    }
    const QString line = QStringLiteral("[%1/%2] %3  page %4/%5  sites %6")
                             .arg(m_next)
                             .arg(m_settings.domains.size())
                             .arg(m_view.domainText())
                             .arg(std::max(m_completions - 1, 0))
                             .arg(pages)
                             .arg(record.siteCount());
    const int width = columns(line);
    printErr(QLatin1Char('\r') + line + QString(std::max(m_progressWidth - width, 0), QLatin1Char(' ')));
    m_progressWidth = width;
}

void BatchRun::clearProgress()
{
    if (m_progressWidth == 0)
        return;
    printErr(QLatin1Char('\r') + QString(m_progressWidth, QLatin1Char(' ')) + QLatin1Char('\r'));
    m_progressWidth = 0;
}

} // namespace korvane
