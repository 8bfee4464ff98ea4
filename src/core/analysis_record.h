#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvane {

// The engine serves at most 76 results pages (offsets 0 to 750) for a query; past that it
// serves earlier pages again. The walk never goes beyond page index 75.
inline constexpr int kEngineMaxPages = 76;

// Everything one run of the window knows about the analysis in progress (or the last one).
// Owned by the window for its whole life; nothing of it is written to disk.
//
// A "growable array" is a list that is either unallocated (empty, no slots) or allocated with
// slots 0..upper. The per-site table uses rows 1..N; slot 0 is allocated and never used, so an
// allocated table always has at least two slots and "unallocated" is exactly isEmpty().
struct AnalysisRecord
{
    QString State;                      // "INITING", "INITED", "ANAING" or "COMP"
    QString ScratchValue;               // scratch: page-bar text, then page addresses
    QString TotalText;                  // digits of the engine's total as cut from the page
    QStringList PageUrls;               // results-page addresses by page index; empty = unallocated
    std::optional<int> PageBarCount;    // child elements of the page bar; nullopt = never read
    std::optional<double> TotalResults; // the engine's total (whole value); nullopt = never read
    double PageCount = 0;               // TotalResults / 10, unrounded; 0 = nothing to walk
    qint32 PageCursor = 0;              // index of the results page requested last
    QStringList SiteNames;              // per-site table: site text, rows 1..N
    QList<qint32> SiteLinkCounts;       // per-site table: entries found for the site
    QStringList SiteLatestDates;        // per-site table: latest date text as displayed
    QStringList SiteLatestUrls;         // per-site table: address that carried the latest date
    QString LastFirstEntry;             // first entry of the last page read (repeat test)
    QString DoneMessage;                // completion status that replaces the default one

    // Beside the record proper, kept by the page walk:
    // - TotalMissing: this analysis has read no total (nor a "no results" answer) yet; set at
    //   every start, cleared when the query page gives one;
    // - WalkWithoutTotal: the query page showed results but no total (the engine's pages since
    //   2023): the walk runs until the engine runs out of pages;
    // - EntriesRead: result entries tallied in this analysis;
    // - FailureReason: why the analysis is incomplete, in one line with the page's index
    //   ("第3页: connection refused (127.0.0.1:9)"); the first failure's, empty while none.
    bool TotalMissing = false;
    bool WalkWithoutTotal = false;
    qint64 EntriesRead = 0;
    QString FailureReason;

    // Beside the table: site text -> row, so that a large table is searched in constant time.
    // Rows and their order are the columns'; this only finds them. Kept by TallyLink.
    QHash<QString, int> SiteRowIndex;

    bool siteTableAllocated() const { return !SiteNames.isEmpty(); }
    int siteCount() const { return SiteNames.isEmpty() ? 0 : int(SiteNames.size()) - 1; }

    // Makes the four columns unallocated again (and forgets the row index).
    void eraseSiteTable()
    {
        SiteNames.clear();
        SiteLinkCounts.clear();
        SiteLatestDates.clear();
        SiteLatestUrls.clear();
        SiteRowIndex.clear();
    }
};

} // namespace korvane
