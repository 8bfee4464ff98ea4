#include "fuzz_inputs.h"

#include "fake_view.h"

#include "browser/charset.h"
#include "browser/dom.h"
#include "core/analysis_record.h"
#include "core/failure.h"
#include "core/link_label.h"
#include "core/numbers.h"
#include "core/texts.h"
#include "notice/notice_bar.h"
#include "parse/later_layout.h"
#include "parse/page_kind.h"
#include "parse/result_page.h"
#include "parse/result_total.h"
#include "report/report_writer.h"

#include <QUrl>

#include <array>
#include <cmath>

namespace korvane::fuzzing {

namespace {

// Headers a server might send with a page: none at all, the usual labels in several spellings,
// labels the decoder does not know, and broken parameter lists.
const std::array<const char *, 16> kContentTypes = {
    "",
    "text/html",
    "text/html; charset=gb2312",
    "text/html; charset=GBK",
    "text/html; charset=utf-8",
    "text/html;charset=\"UTF-8\"",
    "text/html; charset=ISO-8859-1",
    "text/html; charset=UTF-16LE",
    "text/html; charset=gb18030",
    "text/html; charset=big5",
    "text/html; charset=x-no-such-charset",
    "text/html; charset=",
    "text/html; charset='",
    "text/html; charset = 'gbk' ; q=1",
    "text/html; charset=shift_jis",
    "text/html; charset=us-ascii",
};

// The header and the page bytes after the selector byte.
QByteArray contentTypeFor(quint8 selector, const QByteArray &rest, QByteArray &body)
{
    if (selector < 0x80) {
        body = rest;
        return QByteArray(kContentTypes[selector % kContentTypes.size()]);
    }
    const qsizetype newline = rest.indexOf('\n');
    if (newline < 0) {
        body = QByteArray();
        return rest;
    }
    body = rest.mid(newline + 1);
    return rest.left(newline);
}

const QUrl &queryAddress()
{
    static const QUrl address(QStringLiteral("http://www.baidu.com/s?wd=domain%3Aexample.com"));
    return address;
}

std::shared_ptr<const Document> loadPage(const QByteArray &body, const QByteArray &contentType)
{
    return Document::parse(decodeHtml(body, contentType), queryAddress());
}

struct TableSnapshot
{
    QStringList names;
    QList<qint32> counts;
    QStringList dates;
    QStringList urls;

    explicit TableSnapshot(const AnalysisRecord &record)
        : names(record.SiteNames), counts(record.SiteLinkCounts), dates(record.SiteLatestDates),
          urls(record.SiteLatestUrls)
    {
    }
    bool operator==(const TableSnapshot &) const = default;
};

void checkSiteTable(const AnalysisRecord &record, QStringList &problems)
{
    const qsizetype rows = record.SiteNames.size();
    if (record.SiteLinkCounts.size() != rows || record.SiteLatestDates.size() != rows
        || record.SiteLatestUrls.size() != rows) {
        problems.append(QStringLiteral("per-site columns differ in length: %1 %2 %3 %4")
                            .arg(rows)
                            .arg(record.SiteLinkCounts.size())
                            .arg(record.SiteLatestDates.size())
                            .arg(record.SiteLatestUrls.size()));
        return;
    }
    if (rows == 1)
        problems.append(QStringLiteral("per-site table allocated without a row"));
    for (qsizetype row = 1; row < rows; ++row) {
        if (record.SiteLinkCounts.at(row) < 1)
            problems.append(QStringLiteral("row %1 counts %2 entries").arg(row).arg(
                record.SiteLinkCounts.at(row)));
        if (record.SiteNames.indexOf(record.SiteNames.at(row), 1) != row)
            problems.append(QStringLiteral("site \"%1\" has two rows").arg(record.SiteNames.at(row)));
        if (record.SiteNames.at(row).contains(QLatin1Char('/')))
            problems.append(QStringLiteral("site \"%1\" holds a '/'").arg(record.SiteNames.at(row)));
    }
}

void checkReport(const AnalysisRecord &record, const testing::FakeView &view, QStringList &problems)
{
    if (record.State != texts::stateComp())
        problems.append(QStringLiteral("State is \"%1\" after the report").arg(record.State));
    if (view.resultWrites != 1)
        problems.append(QStringLiteral("result box set %1 times").arg(view.resultWrites));
    const QString expectedStatus =
        record.DoneMessage.isEmpty() ? texts::statusComp() : record.DoneMessage;
    if (view.status != expectedStatus)
        problems.append(QStringLiteral("status line \"%1\" after the report").arg(view.status));
    if (view.siteCount != QString::number(record.siteCount()))
        problems.append(QStringLiteral("site counter \"%1\" for %2 sites")
                            .arg(view.siteCount)
                            .arg(record.siteCount()));
    if (record.siteTableAllocated()) {
        if (!view.result.endsWith(QString(95, QLatin1Char('-'))))
            problems.append(QStringLiteral("report does not end with its dashes"));
        if (!view.result.startsWith(QStringLiteral("对域名") + view.domain))
            problems.append(QStringLiteral("report does not start with its heading"));
    }
}

} // namespace

QByteArray splitContentType(const QByteArray &input, QByteArray &body)
{
    if (input.isEmpty()) {
        body = QByteArray();
        return QByteArray();
    }
    return contentTypeFor(quint8(input.at(0)), input.mid(1), body);
}

QStringList runResultsPageInput(const QByteArray &input)
{
    QStringList problems;
    if (input.size() < 2)
        return problems;

    // Byte 0 picks the header, byte 1 the page count of the walk (0.5 to 76 in halves, so
    // that rounding half to even is exercised), the rest is the page.
    QByteArray body;
    const QByteArray contentType =
        contentTypeFor(quint8(input.at(0)), input.mid(2), body);
    const double pageCount = 0.5 + (quint8(input.at(1)) % 152) / 2.0;

    const std::shared_ptr<const Document> document = loadPage(body, contentType);

    // The first results page: the engine's total.
    AnalysisRecord first;
    first.State = texts::stateAnaing();
    const bool totalRead = ReadResultTotal(*document, first);
    // What the query page is: a total read is always the answer, and a page walked without a
    // total is one that shows results.
    const QueryPageKind kind = ClassifyQueryPage(*document, totalRead);
    if ((kind == QueryPageKind::Total) != totalRead)
        problems.append(QStringLiteral("a total read, but the page is classed otherwise"));
    if (kind == QueryPageKind::ResultsWithoutTotal && ReadLaterEntries(*document).isEmpty())
        problems.append(QStringLiteral("walked without a total, but no entry to read"));
    if (first.PageCount < 0 || !std::isfinite(first.PageCount))
        problems.append(QStringLiteral("PageCount %1 after the total").arg(first.PageCount));
    if (first.PageCount > 0 && (!first.TotalResults || *first.TotalResults <= 0))
        problems.append(QStringLiteral("PageCount %1 without a positive total").arg(first.PageCount));
    if (first.PageUrls.size() > kEngineMaxPages + 1)
        problems.append(QStringLiteral("%1 page address slots").arg(first.PageUrls.size()));

    // A page of the walk, read twice: the second reading must see a repeat or fail again,
    // and tally nothing either way.
    AnalysisRecord walk;
    walk.State = texts::stateAnaing();
    walk.TotalResults = first.TotalResults;
    walk.PageCount = pageCount;
    walk.PageCursor = 0;
    ParseResultPage(*document, walk);
    checkSiteTable(walk, problems);
    // A page ends the walk only with the page-error message (a failure of the reader's own) or
    // as a repeat; a table that is not an entry ends the page alone, leaving the cursor be.
    if (!walk.DoneMessage.isEmpty()) {
        if (walk.DoneMessage != texts::pageErrorMessage())
            problems.append(QStringLiteral("completion message \"%1\" from the reader").arg(walk.DoneMessage));
        if (!(walk.PageCursor + 1 > pageCount))
            problems.append(QStringLiteral("page error leaves cursor %1 within %2 pages").arg(walk.PageCursor).arg(pageCount));
    } else if (walk.PageCursor != 0 && walk.PageCursor != roundHalfEvenToInt32(pageCount)) {
        problems.append(QStringLiteral("cursor %1 after a page of %2 pages").arg(walk.PageCursor).arg(pageCount));
    }

    const TableSnapshot afterFirstReading(walk);
    const QString firstEntry = walk.LastFirstEntry;
    ParseResultPage(*document, walk);
    if (!(TableSnapshot(walk) == afterFirstReading))
        problems.append(QStringLiteral("reading the same page again tallied entries"));
    if (walk.LastFirstEntry != firstEntry)
        problems.append(QStringLiteral("reading the same page again changed the first entry"));

    testing::FakeView view;
    view.domain = QStringLiteral("example.com");
    try {
        WriteReport(walk, view);
        checkReport(walk, view, problems);
    } catch (const Failure &failure) {
        // Documented: an oversized name or date, or too many sites. State must stay as it was.
        if (walk.State != texts::stateAnaing())
            problems.append(QStringLiteral("State changed by a failing report"));
        if (failure.number() <= 0)
            problems.append(QStringLiteral("failure code %1").arg(failure.number()));
    }
    problems.append(view.misuse);
    return problems;
}

QStringList runNoticePageInput(const QByteArray &input)
{
    QStringList problems;
    QByteArray body;
    const QByteArray contentType = splitContentType(input, body);
    const std::shared_ptr<const Document> document = loadPage(body, contentType);

    testing::FakeView view;
    view.domain = QStringLiteral("example.com");
    LinkLabels labels{};
    labels[0] = templateLinkLabel();
    PrepareLinkLabels(labels, view);
    ReadNoticePage(*document, labels, view);

    problems.append(view.misuse);
    // Label 0 is the template: the window draws it from the start, not from an update.
    for (size_t i = 1; i < labels.size(); ++i) {
        if (!(view.labels[i] == labels[i]))
            problems.append(QStringLiteral("label %1 changed without telling the window").arg(i));
    }
    for (const auto &[text, caption] : view.messages) {
        if (text == QLatin1String("0"))
            problems.append(QStringLiteral("message box for version \"0\""));
        if (caption != texts::applicationTitle())
            problems.append(QStringLiteral("message box captioned \"%1\"").arg(caption));
    }
    return problems;
}

} // namespace korvane::fuzzing
