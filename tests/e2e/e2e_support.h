#pragma once

// Helpers shared by the end-to-end tests: what a report should list for what the fake engine
// served, reading a report back into rows, and one headless analysis with the real browser.

#include "crawl/addresses.h"
#include "fake_engine.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>

namespace korvane {
class Form1Logic;
}

namespace korvane::testing {

// One row of the report's table.
struct SiteRow
{
    QString site;
    int count = 0;
    QString date;
    QString url;

    friend bool operator==(const SiteRow &, const SiteRow &) = default;
};
char *toString(const SiteRow &row);

// The rows a report lists once the first `tallied` entries that the engine serves for `config`
// (page 0 on, in page order; of a page in `shortPages` only its first that many) have been counted. Worked out here from FakeEngine::entries with
// calendar arithmetic, independently of the program's own date handling: any "hours/minutes
// ago" date is more recent than any calendar date, fewer minutes are more recent, a tie keeps
// the date seen first, and the address follows the last entry that showed the kept date.
QList<SiteRow> expectedRows(const EngineDomain &config, int tallied, const QHash<int, int> &shortPages = {});

// The table rows of a full report (CR LF lines; a row without a date has an empty one), or an empty list when the text does not have
// the report's shape (heading, two title lines, rows, 95 dashes).
QList<SiteRow> reportRows(const QString &report);
int countSum(const QList<SiteRow> &rows);

// The first line of a full report.
QString reportHeading(const QString &domain, qint64 total, int sites);
// The whole report box when no linking site was found: the no-site notice, or the message of a
// walk that ended on an unread page before any site was tallied.
QString noticeReport(const QString &message = QString());

// An engine configuration that differs from the default only in its total.
EngineDomain domainOf(int total);
// The offsets the engine sees for a walk up to `lastOffset`: the query page (-1), then 0, 10, ...
QList<int> offsetsUpTo(int lastOffset);

// The offsets as the engine saw them with repeated requests of one address (redirects) folded.
QList<int> foldRepeats(const QList<int> &offsets);

// Ends when the walk of `logic` ends, with a report or without.
class WalkEnd : public QObject
{
    Q_OBJECT
public:
    explicit WalkEnd(Form1Logic &logic);

    // True when the walk has ended (now or earlier) within `timeout`.
    bool wait(std::chrono::milliseconds timeout);
    bool finished() const { return m_finished; }
    bool stopped() const { return m_stopped; }

signals:
    void ended();

private:
    bool m_finished = false;
    bool m_stopped = false;
};

// One analysis as the command-line front-end runs it, but in this process: FakeView, the
// real WebBrowser with `browserTimeout`, no start-up.
struct Outcome
{
    bool ended = false;    // the walk ended within the wait
    bool finished = false; // with a report ("COMP")
    QString state;
    QString status;
    QString report;        // the report box's text, CR LF kept
    QString linkCount;
    QString siteCount;
    int pointer = -1;
};
Outcome analyse(const Origins &origins, const QString &domain,
                std::chrono::milliseconds browserTimeout,
                std::chrono::milliseconds wait = std::chrono::seconds(20));

} // namespace korvane::testing
