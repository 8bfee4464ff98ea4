#include "parse/result_page.h"

#include "browser/character_references.h"
#include "core/failure.h"
#include "core/numbers.h"
#include "core/texts.h"
#include "parse/later_layout.h"
#include "parse/page_kind.h"
#include "tally/site_table.h"

#include <limits>
#include <new>
#include <optional>

namespace korvane {

namespace {

const QLatin1String kAddressOpen("<SPAN class=g>");
const QLatin1String kAddressClose("</SPAN>");

// The leading part of an entry up to and including its last "-"; empty when it has none.
// Entries of the same result differ only after it (the snapshot link carries per-request
// parameters), so this is what the repeat test compares.
QString repeatKey(const QString &entry)
{
    return entry.left(entry.lastIndexOf(QLatin1Char('-')) + 1);
}

// Whether a page whose first entry is `entry` repeats the page read before it. An entry
// without any "-" (no calendar date, no snapshot link) has an empty key; two such entries are
// the same first entry only when they are equal as a whole. Otherwise the first page of a walk
// (nothing read before it) or two different first entries would end the walk as if the engine
// had run out of pages.
bool repeatsPrevious(const QString &entry, const QString &previousEntry)
{
    const QString key = repeatKey(entry);
    const QString previousKey = repeatKey(previousEntry);
    if (key.isEmpty() && previousKey.isEmpty())
        return entry == previousEntry;
    return key == previousKey;
}

// The markup of a result: the second child element of the first cell of the first row.
QString entryText(const Element &table)
{
    return table.rows().item(0).cells().item(0).children().item(1).innerHTML();
}

// The text between the first address-line opening tag and the first closing tag after it,
// without bold tags; nothing when the entry has no complete address line.
std::optional<QString> addressLine(const QString &entry)
{
    const qsizetype open = entry.indexOf(kAddressOpen);
    if (open < 0)
        return std::nullopt;
    const qsizetype close = entry.indexOf(kAddressClose, open);
    if (close < 0)
        return std::nullopt;
    const qsizetype start = open + kAddressOpen.size();
    QString line = entry.mid(start, close - start);
    line.remove(QLatin1String("<B>"));
    line.remove(QLatin1String("</B>"));
    return line;
}

const QString &piece(const QStringList &pieces, qsizetype index, const QString &line)
{
    if (index >= pieces.size())
        fail(FailureCode::IndexOutOfRange,
             QStringLiteral("address line \"%1\" has no piece %2").arg(line).arg(index));
    return pieces.at(index);
}

// "host/path 2011-12-5 " gives the address and the date. A line of four or more pieces
// carries one more field before the date ("host/path 12K 2011-12-5 ",
// "host/pa ... 2011-12-5 "), so the date is then the third piece. The line is markup: the
// pieces are tallied as the text the engine displayed ("q?a=1&amp;b=2" is "q?a=1&b=2").
void tallyAddressLine(AnalysisRecord &record, const QString &line)
{
    // An empty line has no pieces at all (QString::split would give one empty piece).
    const QStringList pieces =
        line.isEmpty() ? QStringList() : line.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const QString &address = piece(pieces, 0, line);
    qsizetype dateIndex = pieces.size() >= 4 ? 2 : 1;
    // The mark of a cut address is never the date: "host/pa ... 2011-4-19" (the engine's line
    // without a trailing blank) has its date after the mark.
    if (piece(pieces, dateIndex, line) == QLatin1String("...") && dateIndex + 1 < pieces.size()
        && !pieces.at(dateIndex + 1).isEmpty())
        ++dateIndex;
    const QString &date = pieces.at(dateIndex);
    TallyLink(record, WithoutScheme(decodeCharacterReferences(address)), decodeCharacterReferences(date));
    ++record.EntriesRead;
}

void readEntries(const Document &document, AnalysisRecord &record)
{
    // The collection is taken once: it holds the same tables in the same order throughout.
    const ElementList tables = document.getElementsByTagName(QStringLiteral("TABLE"));
    const qint16 lastTable = toInt16(qint64(tables.length()) - 1);

    for (int i = 1; i <= lastTable; ++i) {
        const QString entry = entryText(tables.item(i));

        if (i == 1) {
            if (repeatsPrevious(entry, record.LastFirstEntry)) {
                // The engine served the previous page again: the walk is over.
                record.PageCursor = roundHalfEvenToInt32(record.PageCount);
                return;
            }
            record.LastFirstEntry = entry;
        }

        if (const std::optional<QString> line = addressLine(entry))
            tallyAddressLine(record, *line);
    }
}

// The later layout: one DIV per result. The repeat key is the first entry's address and date;
// the first page of a walk (nothing read before it) is never a repeat.
void readLaterEntries(const Document &document, AnalysisRecord &record)
{
    const QList<ResultEntry> entries = ReadLaterEntries(document);
    if (entries.isEmpty())
        return;
    const QString key = entries.first().address + QLatin1Char(' ') + entries.first().date;
    if (!record.LastFirstEntry.isEmpty() && key == record.LastFirstEntry) {
        record.PageCursor = roundHalfEvenToInt32(record.PageCount);
        return;
    }
    record.LastFirstEntry = key;
    for (const ResultEntry &entry : entries) {
        TallyLink(record, entry.address, entry.date);
        ++record.EntriesRead;
    }
}

void readPage(const Document &document, AnalysisRecord &record)
{
    const qint64 before = record.EntriesRead;
    const qint32 cursor = record.PageCursor;
    if (IsLaterLayout(document))
        readLaterEntries(document, record);
    else
        readEntries(document, record);

    // Without a total the walk goes on while the engine gives more: it ends after a page
    // that repeats the one before, gives no entry, or links to no next page.
    if (record.WalkWithoutTotal && record.PageCursor == cursor
        && (record.EntriesRead == before || !HasNextPageLink(document)))
        record.PageCursor = roundHalfEvenToInt32(record.PageCount);
}

// Puts the cursor past the last page so that the walk ends, and says why.
void endWalkOnError(AnalysisRecord &record)
{
    try {
        record.PageCursor = roundHalfEvenToInt32(record.PageCount + 1);
    } catch (const Failure &) {
        // PageCount beyond the 32-bit range: no cursor can lie past it; take the farthest.
        record.PageCursor = std::numeric_limits<qint32>::max();
    }
    record.DoneMessage = texts::pageErrorMessage();
}

} // namespace

void ParseResultPage(const Document &document, AnalysisRecord &record)
{
    try {
        readPage(document, record);
    } catch (const Failure &failure) {
        if (failure.number() > 0) {
            if (record.FailureReason.isEmpty())
                record.FailureReason = QStringLiteral("第%1页: an entry could not be read: %2")
                                           .arg(record.PageCursor)
                                           .arg(failure.message());
            endWalkOnError(record);
        }
    } catch (const std::bad_alloc &) {
        if (record.FailureReason.isEmpty())
            record.FailureReason = QStringLiteral("第%1页: out of memory").arg(record.PageCursor);
        endWalkOnError(record);
    }
}

} // namespace korvane
