#include "report/report_writer.h"

#include "core/failure.h"
#include "core/numbers.h"
#include "core/status.h"
#include "core/texts.h"

namespace korvane {

namespace {

constexpr int kSiteWidth = 26;
constexpr int kCountWidth = 5;
constexpr int kDateWidth = 10;
constexpr int kClosingDashes = 95;

QLatin1String lineBreak() { return QLatin1String("\r\n"); }

QString columnTitles()
{
    return QStringLiteral("      域名                外链数量   最新外链日期    最新外链地址");
}

QString noticeText() { return QStringLiteral("   分析已完成，未找到外链网站！"); }

void appendSpaces(QString &text, qsizetype count)
{
    if (count > 0)
        text.append(QString(count, QLatin1Char(' ')));
}

// Width of a date in the date column: 1 for a character U+0000..U+007F, 2 for any other
// (per code point, so a surrogate pair counts 2 once). This is how wide the text is in a font
// whose Latin characters are half as wide as a Chinese one.
qint64 reportDateWidth(const QString &date)
{
    qint64 width = 0;
    const qsizetype size = date.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = date.at(i);
        if (c.unicode() < 0x80) {
            width += 1;
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < size && date.at(i + 1).isLowSurrogate())
            ++i; // one character in two code units
        width += 2;
    }
    return width;
}

// One row of the table, ended by CR LF. Fails with Overflow when the site name or the date is
// too long for the 16-bit width test, and with IndexOutOfRange when a column lacks the row;
// every check comes before the first character is written, so a failing row leaves no trace.
void appendRow(QString &text, const AnalysisRecord &record, int row)
{
    if (row >= record.SiteLinkCounts.size() || row >= record.SiteLatestDates.size()
        || row >= record.SiteLatestUrls.size())
        fail(FailureCode::IndexOutOfRange,
             QStringLiteral("row %1 is missing from a column of the per-site table").arg(row));

    const QString &site = record.SiteNames.at(row);
    const QString count = QString::number(record.SiteLinkCounts.at(row));
    const QString &date = record.SiteLatestDates.at(row);
    const QString &url = record.SiteLatestUrls.at(row);

    const qint16 siteLength = toInt16(site.size());
    const qint16 dateWidth = toInt16(reportDateWidth(date));

    text.append(site);
    appendSpaces(text, kSiteWidth - siteLength);
    text.append(QLatin1String("  "));
    appendSpaces(text, kCountWidth - count.size());
    text.append(count);
    text.append(QLatin1String("      "));
    text.append(date);
    appendSpaces(text, kDateWidth - dateWidth);
    text.append(QLatin1String("   "));
    text.append(url);
    text.append(lineBreak());
}

void writeNotice(AnalysisRecord &record, FormView &view)
{
    // A walk that ended on a page that could not be read, that the engine refused, or whose
    // pages were not understood, keeps
    // saying so, in the box as on the status line: "no linking site" would be a claim the
    // program cannot make.
    if (record.DoneMessage == texts::pageErrorMessage() || record.DoneMessage == texts::refusalMessage()
        || record.DoneMessage == texts::unreadableMessage()) {
        view.setResultText(lineBreak() + QStringLiteral("   ") + record.DoneMessage);
    } else {
        record.DoneMessage = texts::noSiteMessage();
        view.setResultText(lineBreak() + noticeText());
    }

    // Neither counter keeps an earlier analysis's figure. PageCount is reset at every start and
    // is positive exactly when this analysis read a positive total.
    view.setLinkCountText(record.PageCount > 0 ? wholeNumberText(record.TotalResults.value_or(0))
                                               : QStringLiteral("0"));
    view.setSiteCountText(QStringLiteral("0"));
}

void writeFullReport(AnalysisRecord &record, FormView &view)
{
    const qsizetype siteCount = record.SiteNames.size() - 1;
    const QString total = wholeNumberText(record.TotalResults.value_or(0));
    const QString sites = QString::number(siteCount);

    view.setLinkCountText(total);
    view.setSiteCountText(sites);

    QString text;
    try {
        text.reserve(256 + siteCount * 96);
        text.append(QStringLiteral("对域名") + view.domainText() + QStringLiteral("的分析结果:    外链总数= ")
                    + total + QStringLiteral("    站点数量= ") + sites + lineBreak());
        text.append(QStringLiteral("明细如下:") + lineBreak());
        text.append(columnTitles() + lineBreak());

        const qint16 rows = toInt16(siteCount);
        for (int row = 1; row <= rows; ++row) // an int: no step past 32767 after the last row
            appendRow(text, record, row);
        text.append(QString(kClosingDashes, QLatin1Char('-')));
    } catch (...) {
        view.setResultText(text);
        throw;
    }
    view.setResultText(text);
}

} // namespace

void WriteReport(AnalysisRecord &record, FormView &view)
{
    if (record.siteTableAllocated())
        writeFullReport(record, view);
    else
        writeNotice(record, view);

    record.State = texts::stateComp();
    ShowStatus(record, view, record.State);
}

} // namespace korvane
