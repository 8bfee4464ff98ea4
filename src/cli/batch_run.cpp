#include "batch_run.h"

#include "cli_view.h"
#include "crawl/form1_logic.h"
#include "crawl/metered_browser.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QTimer>

#include <algorithm>
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

int rank(int status)
{
    switch (status) {
    case kExitStopped: return 1;
    case kExitUnreadable: return 2;
    case kExitRefused: return 3;
    case kExitOutputFailed: return 4;
    default: return 0;
    }
}

} // namespace

BatchRun::BatchRun(BatchSettings settings, Form1Logic &logic, CliView &view, MeteredBrowser &browser,
                   QIODevice &out, QString outName, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_logic(logic)
    , m_view(view)
    , m_browser(browser)
    , m_out(out)
    , m_outName(std::move(outName))
{
    connect(&m_logic, &Form1Logic::analysisFinished, this, &BatchRun::analysisEnded);
    connect(&m_logic, &Form1Logic::walkStopped, this, &BatchRun::analysisEnded);
    // After the logic's own connection: the record already holds the page when this runs.
    connect(&m_browser, &Browser::documentComplete, this, &BatchRun::pageCompleted);
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
    if (m_next >= m_settings.domains.size()) {
        end(m_status);
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

    const bool several = m_settings.domains.size() > 1;
    QByteArray body = exportBody(analysis, m_settings.format);
    if (several && m_settings.format.format == ExportFormat::Text && !body.isEmpty())
        body.append('\n'); // a blank line after each report
    if (!write(body))
        return;
    printErr((several ? analysis.domain + QStringLiteral(": ") : QString()) + analysis.status + QLatin1Char('\n'));

    switch (analysis.outcome()) {
    case AnalysisOutcome::Stopped:
        worsen(kExitStopped);
        break;
    case AnalysisOutcome::Refused:
        // The engine would refuse the others too: they are not tried.
        worsen(kExitRefused);
        for (; m_next < m_settings.domains.size(); ++m_next)
            printErr(QStringLiteral("korvane-cli: %1: not analysed, the search engine refused %2\n")
                         .arg(m_settings.domains.at(m_next), analysis.domain));
        break;
    case AnalysisOutcome::Unreadable:
        worsen(kExitUnreadable);
        break;
    case AnalysisOutcome::Complete:
    case AnalysisOutcome::PageError:
        break;
    }
    // The next analysis starts from the event loop, not inside the browser's completion.
    QTimer::singleShot(0, this, &BatchRun::startNext);
}

bool BatchRun::write(const QByteArray &bytes)
{
    // A short write is tried on, so that a failure shows with its reason.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = m_out.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            break;
        done += written;
    }
    if (done == bytes.size())
        return true;
    clearProgress();
    printErr(QStringLiteral("korvane-cli: cannot write %1: %2\n").arg(m_outName, m_out.errorString()));
    end(kExitOutputFailed);
    return false;
}

void BatchRun::interrupt(int signalNumber)
{
    if (m_ended)
        return;
    clearProgress();
    printErr(QStringLiteral("korvane-cli: interrupted\n"));
    m_status = 128 + signalNumber;
    m_ended = true;
    QCoreApplication::exit(m_status);
}

void BatchRun::worsen(int status)
{
    if (rank(status) > rank(m_status))
        m_status = status;
}

void BatchRun::end(int status)
{
    if (m_ended)
        return;
    worsen(status);
    m_ended = true;
    m_running = false;
    QCoreApplication::exit(m_status);
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
