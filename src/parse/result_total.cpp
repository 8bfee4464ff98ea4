#include "parse/result_total.h"

#include "core/failure.h"
#include "core/numbers.h"
#include "parse/later_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace korvane {

namespace {

// The page bar's last child reads "找到相关结果约" (seven characters), the digits, then "个".
constexpr int kTotalLeadIn = 7;

void takeTotal(AnalysisRecord &record);

// Sets `read` once TotalResults holds the number found on the page.
void readTotal(const Document &document, AnalysisRecord &record, bool &read)
{
    const ElementList bar = document.all(QStringLiteral("Page")).children();
    record.PageBarCount = bar.length();
    // Item -1 of an empty bar fails with DomIndexOutOfRange.
    record.ScratchValue = bar.item(*record.PageBarCount - 1).innerText();

    record.TotalText = record.ScratchValue.mid(kTotalLeadIn);
    if (record.TotalText.isEmpty())
        fail(FailureCode::InvalidCall,
             QStringLiteral("page bar text \"%1\" is too short to hold a total")
                 .arg(record.ScratchValue));
    record.TotalText.chop(1);

    record.TotalResults = std::floor(parseEngineNumber(record.TotalText));
    read = true;
    takeTotal(record);
}

// From the total in TotalResults: the address slots and PageCount.
void takeTotal(AnalysisRecord &record)
{
    const double total = *record.TotalResults;

    // A total that cannot be a page index is refused here, before PageCount is touched.
    if (total < 0)
        fail(FailureCode::IndexOutOfRange,
             QStringLiteral("negative result total %1").arg(wholeNumberText(total)));
    if (total > std::numeric_limits<qint32>::max())
        fail(FailureCode::Overflow,
             QStringLiteral("result total %1 overflows a 32-bit integer").arg(wholeNumberText(total)));

    // One address slot per page index the walk can reach. The engine reports totals up to
    // 100,000,000 but serves no more than kEngineMaxPages pages, so the list stops at that
    // index instead of holding one empty string per result (which would cost gigabytes).
    const int upper = std::min(static_cast<int>(total), kEngineMaxPages);
    record.PageUrls = QStringList(upper + 1);

    record.PageCount = total / 10;
}

} // namespace

bool ReadResultTotal(const Document &document, AnalysisRecord &record)
{
    bool read = false;
    try {
        readTotal(document, record, read);
    } catch (const Failure &) {
        // Absorbed: the fields written so far stay, the rest keep their old values.
    } catch (const std::bad_alloc &) {
        // Same as any other failure: the total was not taken over completely.
    }

    // The later pages show the total elsewhere, and their page bar holds none.
    if (!read) {
        if (const std::optional<double> later = ReadLaterTotal(document)) {
            read = true;
            try {
                record.TotalText = wholeNumberText(*later);
                record.TotalResults = *later;
                takeTotal(record);
            } catch (const Failure &) {
            } catch (const std::bad_alloc &) {
            }
        }
    }

    if (!record.TotalResults.has_value() || *record.TotalResults == 0)
        record.PageCount = 0;
    return read;
}

} // namespace korvane
