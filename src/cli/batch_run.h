#pragma once

#include "export/exporter.h"
#include "held_records.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QStringList>

namespace korvane {

class AlertDelivery;
class BatchOutput;
class CliView;
class Form1Logic;
class HistoryStore;
class MeteredBrowser;
class QueueWorker;

// Exit statuses of korvane-cli. When domains end differently, the most severe one wins, in
// the order of kExitPrecedence.
inline constexpr int kExitDone = 0;         // every analysis ended complete
inline constexpr int kExitIncomplete = 1;   // an analysis did not complete: a page error, or the walk stopped
inline constexpr int kExitUsage = 2;        // bad command line or input; nothing analysed or written
inline constexpr int kExitRefused = 3;      // the engine refused; the domains after it were not analysed
inline constexpr int kExitOutputFailed = 4; // the output could not be written
inline constexpr int kExitUnreadable = 5;   // a page of the engine was in a layout that could not be read
// Interrupted by SIGINT, SIGTERM or SIGHUP: 128 + the signal's number (130, 143, 129).

// Most severe first.
inline constexpr int kExitPrecedence[] = {kExitOutputFailed, kExitRefused, kExitUnreadable, kExitIncomplete, kExitDone};

// The more severe of two exit statuses of domains.
int moreSevere(int a, int b);
// The exit status that a domain's outcome asks for.
int exitStatusOf(AnalysisOutcome outcome);

struct BatchSettings
{
    QStringList domains;     // checked, each once
    QString engine;          // the engine's origin, as the JSON names it
    ExportOptions format;
    bool progress = false;   // the progress line on standard error
    QList<HeldDomain> held;  // --resume: the records of the file resumed, in its order
    HistoryStore *store = nullptr; // --record: each analysis is recorded here as it ends
    // `work`: the domains come from the store's queue, one at a time, and each is recorded
    // and marked done there as it ends (`domains` grows as they are taken).
    QueueWorker *worker = nullptr;
    // Whether the run's end ends the event loop (korvane-cli); else it only emits ended().
    bool endsEventLoop = true;
    // With a store: the alerts of each analysis recorded are written to its outbox and sent.
    // A run that ends the event loop waits, at its end, for them (and for what the outbox
    // held undelivered) to be tried; in the server the delivery goes on after the run.
    AlertDelivery *alerts = nullptr;
};

// Analyses the domains one after another with one logic and one browser (cookies are kept
// between them), writing each one's export to the output as soon as it has ended and its
// status line to standard error. With held records (--resume), a domain held complete is not
// analysed: its records are written in its place. Ends the event loop with the run's exit
// status. HTML is the one exception: a batch page opens with the summary of all domains, so
// its analyses are kept and the page is written once, when the last domain has ended.
class BatchRun : public QObject
{
    Q_OBJECT
public:
    BatchRun(BatchSettings settings, Form1Logic &logic, CliView &view, MeteredBrowser &browser, BatchOutput &out,
             QObject *parent = nullptr);

    // Writes what the output starts with and starts the first analysis. Call from the event
    // loop: the run ends it.
    void start();
    // SIGINT, SIGTERM or SIGHUP: ends the run at once with 128 + the signal's number.
    void interrupt(int signalNumber);

    // After the event loop, whatever ended the run: writes the held records that are not yet in
    // the output, so that a resumed file loses none of them. False when they could not all be
    // written.
    bool writeRemainingHeld();
    // What the output holds, for standard error: "links.csv: 13 domains; not analysed: 17, from d14.com".
    QString contents(const QString &name, bool replaced) const;

signals:
    // The run has ended with this exit status (emitted whether or not it ends the event loop).
    void ended(int status);

private:
    void startNext();
    void analysisEnded();
    // The one place where a domain's analysis ends: its export, its status line, the run's status.
    void domainEnded(const FinishedAnalysis &analysis);
    void pageCompleted(const QObject *frame, const QString &address);
    bool write(const QByteArray &bytes);
    bool writeHeld(const HeldDomain &held);
    void end(int status);
    void finishEnding();
    bool writeHtmlPage();
    void worsen(int status);

    void showProgress();
    void clearProgress();

    BatchSettings m_settings;
    Form1Logic &m_logic;
    CliView &m_view;
    MeteredBrowser &m_browser;
    BatchOutput &m_out;

    int m_next = 0;          // index of the domain to analyse next
    bool m_running = false;  // an analysis is under way
    bool m_ended = false;
    bool m_flushingAlerts = false; // ended, waiting for the alerts' answers
    QDateTime m_started;
    int m_completions = 0;   // top-level documents completed in this analysis
    int m_status = kExitDone;
    int m_progressWidth = 0; // columns the progress line now takes; 0 when none is shown
    QList<FinishedAnalysis> m_htmlAnalyses; // HTML: the analyses ended so far
    QStringList m_htmlNotAnalysed;          // HTML: domains left out after a refusal
    QSet<QString> m_written; // domains whose records are whole in the output
    QSet<QString> m_analysed; // domains analysed in this run whose records are in the output
};

} // namespace korvane
