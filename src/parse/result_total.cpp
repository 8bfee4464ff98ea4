#include "parse/result_total.h"

#include "core/failure.h"
#include "core/numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace korvane {

namespace {

// The page bar's last child reads "找到相关结果约" (seven characters), the digits, then "个".
constexpr int kTotalLeadIn = 7;

void readTotal(const Document &document, AnalysisRecord &record)
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

void ReadResultTotal(const Document &document, AnalysisRecord &record)
{
    try {
        readTotal(document, record);
    } catch (const Failure &) {
        // Absorbed: the fields written so far stay, the rest keep their old values.
    } catch (const std::bad_alloc &) {
        // Same as any other failure: the total was not taken over completely.
    }

    if (!record.TotalResults.has_value() || *record.TotalResults == 0)
        record.PageCount = 0;
}

} // namespace korvane
