#pragma once

#include "export/exporter.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

class QIODevice;

namespace korvane {

class CliView;
class Form1Logic;
class MeteredBrowser;

// Exit statuses of korvane-cli. When domains end differently, the most severe one wins:
// output failed (4), then refused (3), then unreadable (5), then stopped (1), then done (0).
inline constexpr int kExitDone = 0;         // every analysis ended with its report
inline constexpr int kExitStopped = 1;      // an analysis stopped without a report
inline constexpr int kExitUsage = 2;        // bad command line or input; nothing analysed or written
inline constexpr int kExitRefused = 3;      // the engine refused; the domains after it were not analysed
inline constexpr int kExitOutputFailed = 4; // the output could not be written
inline constexpr int kExitUnreadable = 5;   // the engine's pages were not understood
// Interrupted by SIGINT or SIGTERM: 128 + the signal's number (130, 143).

struct BatchSettings
{
    QStringList domains;
    QString engine;        // the engine's origin, as the JSON names it
    ExportOptions format;
    bool progress = false; // the progress line on standard error
};

// Analyses the domains one after another with one logic and one browser (cookies are kept
// between them), writing each one's export to `out` as soon as it has ended and its status
// line to standard error. Ends the event loop with the run's exit status.
class BatchRun : public QObject
{
    Q_OBJECT
public:
    BatchRun(BatchSettings settings, Form1Logic &logic, CliView &view, MeteredBrowser &browser, QIODevice &out,
             QString outName, QObject *parent = nullptr);

    // Writes what the output starts with and starts the first analysis. Call from the event
    // loop: the run ends it.
    void start();
    // SIGINT or SIGTERM: ends the run at once with 128 + the signal's number.
    void interrupt(int signalNumber);

private:
    void startNext();
    void analysisEnded();
    void pageCompleted(const QObject *frame, const QString &address);
    bool write(const QByteArray &bytes);
    void end(int status);
    void worsen(int status);

    void showProgress();
    void clearProgress();

    BatchSettings m_settings;
    Form1Logic &m_logic;
    CliView &m_view;
    MeteredBrowser &m_browser;
    QIODevice &m_out;
    QString m_outName;

    int m_next = 0;          // index of the domain to analyse next
    bool m_running = false;  // an analysis is under way
    bool m_ended = false;
    QDateTime m_started;
    int m_completions = 0;   // top-level documents completed in this analysis
    int m_status = kExitDone;
    int m_progressWidth = 0; // columns the progress line now takes; 0 when none is shown
};

} // namespace korvane
