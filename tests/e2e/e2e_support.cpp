#include "e2e_support.h"

#include "browser/web_browser.h"
#include "crawl/form1_logic.h"

#include "fake_view.h"

#include <QDate>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace korvane::testing {

namespace {

// How recent a displayed date is: a number of minutes ago, or a calendar day.
struct Age
{
    bool relative = false;
    qint64 minutes = 0;
    QDate day;
};

Age ageOf(const QString &date)
{
    static const QRegularExpression relative(QStringLiteral("^(\\d+)(小时|分钟|天)前$"));
    const QRegularExpressionMatch match = relative.match(date);
    if (match.hasMatch()) {
        const qint64 number = match.captured(1).toLongLong();
        const QString unit = match.captured(2);
        return {true, unit == QStringLiteral("小时") ? number * 60 : unit == QStringLiteral("天") ? number * 1440 : number, {}};
    }
    // No date at all is older than any date.
    if (date.contains(QStringLiteral("年")))
        return {false, 0, QDate::fromString(date, QStringLiteral("yyyy年M月d日"))};
    return {false, 0, QDate::fromString(date, QStringLiteral("yyyy-M-d"))};
}

bool moreRecent(const Age &a, const Age &b)
{
    if (a.relative != b.relative)
        return a.relative;
    if (a.relative)
        return a.minutes < b.minutes;
    return a.day > b.day;
}

} // namespace

char *toString(const SiteRow &row)
{
    return QTest::toString(QStringLiteral("%1 | %2 | %3 | %4").arg(row.site).arg(row.count).arg(row.date, row.url));
}

QList<SiteRow> expectedRows(const EngineDomain &config, int tallied, const QHash<int, int> &shortPages)
{
    QList<EngineEntry> served;
    for (int page = 0; served.size() < tallied && page < 1000; ++page)
        served += FakeEngine::entries(config, page).mid(0, shortPages.value(page, 10));
    served.resize(std::min<qsizetype>(served.size(), tallied));

    QList<SiteRow> rows;
    for (const EngineEntry &entry : std::as_const(served)) {
        // The address as the line shows it: bold runs dropped, up to the first blank.
        QString shown = entry.line.simplified();
        shown.remove(QStringLiteral("<b>"));
        shown.remove(QStringLiteral("</b>"));
        const QString address = shown.section(QLatin1Char(' '), 0, 0);
        const QString site = address.section(QLatin1Char('/'), 0, 0);

        auto row = std::find_if(rows.begin(), rows.end(), [&](const SiteRow &r) { return r.site == site; });
        if (row == rows.end()) {
            rows.append({site, 1, entry.date, address});
            continue;
        }
        ++row->count;
        if (moreRecent(ageOf(entry.date), ageOf(row->date))) {
            row->date = entry.date;
            row->url = address;
        } else if (entry.date == row->date) {
            row->url = address;
        }
    }
    return rows;
}

QList<SiteRow> reportRows(const QString &report)
{
    const QStringList lines = report.split(QStringLiteral("\r\n"));
    if (lines.size() < 4 || lines.constLast() != QString(95, QLatin1Char('-')))
        return {};
    QList<SiteRow> rows;
    for (qsizetype i = 3; i < lines.size() - 1; ++i) {
        const QStringList fields = lines.at(i).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() == 3) { // a result without a date
            rows.append({fields.at(0), fields.at(1).toInt(), QString(), fields.at(2)});
            continue;
        }
        if (fields.size() != 4)
            return {};
        rows.append({fields.at(0), fields.at(1).toInt(), fields.at(2), fields.at(3)});
    }
    return rows;
}

int countSum(const QList<SiteRow> &rows)
{
    int sum = 0;
    for (const SiteRow &row : rows)
        sum += row.count;
    return sum;
}

QString reportHeading(const QString &domain, qint64 total, int sites)
{
    return QStringLiteral("对域名") + domain + QStringLiteral("的分析结果:    外链总数= ") + QString::number(total)
        + QStringLiteral("    站点数量= ") + QString::number(sites);
}

QString noticeReport(const QString &message)
{
    return QStringLiteral("\r\n   ") + (message.isEmpty() ? QStringLiteral("分析已完成，未找到外链网站！") : message);
}

EngineDomain domainOf(int total)
{
    EngineDomain config;
    config.total = total;
    return config;
}

QList<int> offsetsUpTo(int lastOffset)
{
    QList<int> offsets{-1};
    for (int offset = 0; offset <= lastOffset; offset += 10)
        offsets.append(offset);
    return offsets;
}

QList<int> foldRepeats(const QList<int> &offsets)
{
    QList<int> folded;
    for (int offset : offsets) {
        if (folded.isEmpty() || folded.constLast() != offset)
            folded.append(offset);
    }
    return folded;
}

WalkEnd::WalkEnd(Form1Logic &logic)
{
    connect(&logic, &Form1Logic::analysisFinished, this, [this] {
        m_finished = true;
        emit ended();
    });
    connect(&logic, &Form1Logic::walkStopped, this, [this] {
        m_stopped = true;
        emit ended();
    });
}

bool WalkEnd::wait(std::chrono::milliseconds timeout)
{
    if (m_finished || m_stopped)
        return true;
    QSignalSpy spy(this, &WalkEnd::ended);
    return spy.wait(int(timeout.count()));
}

Outcome analyse(const Origins &origins, const QString &domain, std::chrono::milliseconds browserTimeout,
                std::chrono::milliseconds wait)
{
    FakeView view;
    view.domain = domain;
    WebBrowser browser;
    browser.setTimeout(browserTimeout);
    Form1Logic logic(view, browser, origins);
    WalkEnd end(logic);
    logic.OnAnalyseClick();

    Outcome outcome;
    outcome.ended = end.wait(wait);
    outcome.finished = end.finished();
    outcome.state = logic.record().State;
    outcome.status = view.status;
    outcome.report = view.result;
    outcome.linkCount = view.linkCount;
    outcome.siteCount = view.siteCount;
    outcome.pointer = view.pointer;
    return outcome;
}

} // namespace korvane::testing
