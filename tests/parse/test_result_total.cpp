#include "parse/result_total.h"

#include "core/analysis_record.h"
#include "results_markup.h"

#include <QLocale>
#include <QTest>
#include <QVariant>

#include <algorithm>

using namespace korvane;
using namespace korvane::testing;

namespace {

const QString kStale = QStringLiteral("stale");
const QStringList kStaleUrls = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};

// A page bar with the given children; the engine's bar has page links and the total last.
QString pageWithBar(const QString &children)
{
    return resultsPage({resultTable(1, QStringLiteral("www.a.com/ 2011-12-5 "))})
        .replace(QLatin1String("</body>"),
                 QStringLiteral("<p id=\"page\">%1</p></body>").arg(children));
}

QString barWithTotal(const QString &nums)
{
    return pageWithBar(QStringLiteral("<a href=\"/s?pn=10\">2</a><a href=\"/s?pn=20\">3</a>"
                                      "<span class=\"nums\">%1</span>")
                           .arg(nums));
}

AnalysisRecord staleRecord(const QVariant &priorTotal, double priorPageCount)
{
    AnalysisRecord record;
    record.ScratchValue = kStale;
    record.TotalText = kStale;
    record.PageUrls = kStaleUrls;
    if (priorTotal.isValid())
        record.TotalResults = priorTotal.toDouble();
    record.PageCount = priorPageCount;
    return record;
}

QVariant optionalValue(const std::optional<int> &value)
{
    return value ? QVariant(*value) : QVariant();
}

QVariant optionalValue(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant();
}

} // namespace

class TestResultTotal : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void readTotal_data();
    void readTotal();
    void fixturePages_data();
    void fixturePages();
};

// The suite also runs on a German desktop (LC_ALL=de_DE.UTF-8): make sure the locale took, or
// that run would prove nothing.
void TestResultTotal::initTestCase()
{
    if (qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("de_")))
        QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
}

void TestResultTotal::readTotal_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QVariant>("priorTotal");     // invalid: never read
    QTest::addColumn<double>("priorPageCount");
    QTest::addColumn<QVariant>("barCount");       // invalid: not written
    QTest::addColumn<QString>("scratch");
    QTest::addColumn<QString>("totalText");
    QTest::addColumn<QVariant>("total");          // invalid: never read
    QTest::addColumn<int>("urlSlots");            // -1: the stale list is kept
    QTest::addColumn<double>("pageCount");

    const QVariant unset;
    const QString nums = QStringLiteral("找到相关结果约%1个");

    QTest::newRow("digit groups: 约4,050个")
        << barWithTotal(nums.arg(QLatin1String("4,050"))) << unset << 0.0
        << QVariant(3) << nums.arg(QLatin1String("4,050")) << QStringLiteral("4,050")
        << QVariant(4050.0) << 77 << 405.0;
    QTest::newRow("约95个: a fractional page count")
        << barWithTotal(nums.arg(95)) << unset << 0.0
        << QVariant(3) << nums.arg(95) << QStringLiteral("95") << QVariant(95.0) << 77 << 9.5;
    QTest::newRow("约100个")
        << barWithTotal(nums.arg(100)) << unset << 0.0
        << QVariant(3) << nums.arg(100) << QStringLiteral("100") << QVariant(100.0) << 77 << 10.0;
    QTest::newRow("约7个: fewer slots than the page limit")
        << barWithTotal(nums.arg(7)) << unset << 0.0
        << QVariant(3) << nums.arg(7) << QStringLiteral("7") << QVariant(7.0) << 8 << 0.7;
    QTest::newRow("约0个: one slot, no page")
        << barWithTotal(nums.arg(0)) << QVariant(300.0) << 0.0
        << QVariant(3) << nums.arg(0) << QStringLiteral("0") << QVariant(0.0) << 1 << 0.0;
    QTest::newRow("fraction 12.7 reads 12")
        << barWithTotal(nums.arg(QLatin1String("12.7"))) << unset << 0.0
        << QVariant(3) << nums.arg(QLatin1String("12.7")) << QStringLiteral("12.7")
        << QVariant(12.0) << 13 << 1.2;
    QTest::newRow("blanks around the digits")
        << barWithTotal(nums.arg(QLatin1String(" 95 "))) << unset << 0.0
        << QVariant(3) << nums.arg(QLatin1String(" 95 ")) << QStringLiteral(" 95 ")
        << QVariant(95.0) << 77 << 9.5;
    QTest::newRow("the engine's largest total")
        << barWithTotal(nums.arg(QLatin1String("100,000,000"))) << unset << 0.0
        << QVariant(3) << nums.arg(QLatin1String("100,000,000")) << QStringLiteral("100,000,000")
        << QVariant(100000000.0) << 77 << 10000000.0;
    QTest::newRow("lead-in and closing character are not looked at")
        << barWithTotal(QStringLiteral("1234567429")) << unset << 0.0
        << QVariant(3) << QStringLiteral("1234567429") << QStringLiteral("42")
        << QVariant(42.0) << 43 << 4.2;
    QTest::newRow("only the last child is read")
        << pageWithBar(QStringLiteral("<span>找到相关结果约999个</span><b>xxxxxxx31个</b>")) << unset << 0.0
        << QVariant(2) << QStringLiteral("xxxxxxx31个") << QStringLiteral("31")
        << QVariant(31.0) << 32 << 3.1;

    // Failures: the steps not reached leave their fields alone.
    QTest::newRow("no page bar, no earlier total")
        << resultsPage({}) << unset << 0.0
        << unset << kStale << kStale << unset << -1 << 0.0;
    QTest::newRow("no page bar, earlier total kept with its page count")
        << resultsPage({}) << QVariant(35.0) << 3.5
        << unset << kStale << kStale << QVariant(35.0) << -1 << 3.5;
    QTest::newRow("no page bar, earlier total zero")
        << resultsPage({}) << QVariant(0.0) << 2.0
        << unset << kStale << kStale << QVariant(0.0) << -1 << 0.0;
    QTest::newRow("page bar without children")
        << pageWithBar(QStringLiteral("no child elements")) << unset << 0.0
        << QVariant(0) << kStale << kStale << unset << -1 << 0.0;
    QTest::newRow("last child of 7 characters")
        << barWithTotal(QStringLiteral("找到相关结果约")) << unset << 0.0
        << QVariant(3) << QStringLiteral("找到相关结果约") << QString() << unset << -1 << 0.0;
    QTest::newRow("last child of 8 characters")
        << barWithTotal(QStringLiteral("找到相关结果约个")) << unset << 0.0
        << QVariant(3) << QStringLiteral("找到相关结果约个") << QString() << unset << -1 << 0.0;
    QTest::newRow("digits followed by text")
        << barWithTotal(nums.arg(QLatin1String("95abc"))) << unset << 0.0
        << QVariant(3) << nums.arg(QLatin1String("95abc")) << QStringLiteral("95abc")
        << unset << -1 << 0.0;
    QTest::newRow("not a number, earlier total kept")
        << barWithTotal(nums.arg(QStringLiteral("许多"))) << QVariant(35.0) << 3.5
        << QVariant(3) << nums.arg(QStringLiteral("许多")) << QStringLiteral("许多")
        << QVariant(35.0) << -1 << 3.5;
    QTest::newRow("negative total")
        << barWithTotal(nums.arg(-5)) << unset << 1.5
        << QVariant(3) << nums.arg(-5) << QStringLiteral("-5") << QVariant(-5.0) << -1 << 1.5;
    QTest::newRow("total above the 32-bit range")
        << barWithTotal(nums.arg(QLatin1String("3,000,000,000"))) << unset << 0.0
        << QVariant(3) << nums.arg(QLatin1String("3,000,000,000"))
        << QStringLiteral("3,000,000,000") << QVariant(3000000000.0) << -1 << 0.0;
}

void TestResultTotal::readTotal()
{
    QFETCH(QString, html);
    QFETCH(QVariant, priorTotal);
    QFETCH(double, priorPageCount);

    AnalysisRecord record = staleRecord(priorTotal, priorPageCount);
    ReadResultTotal(*parsePage(html), record);

    QTEST(optionalValue(record.PageBarCount), "barCount");
    QTEST(record.ScratchValue, "scratch");
    QTEST(record.TotalText, "totalText");
    QTEST(optionalValue(record.TotalResults), "total");
    QFETCH(int, urlSlots);
    if (urlSlots < 0) {
        QCOMPARE(record.PageUrls, kStaleUrls);
    } else {
        QCOMPARE(record.PageUrls.size(), urlSlots);
        QVERIFY(std::all_of(record.PageUrls.cbegin(), record.PageUrls.cend(),
                            [](const QString &url) { return url.isEmpty(); }));
    }
    QTEST(record.PageCount, "pageCount");
}

void TestResultTotal::fixturePages_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QVariant>("total");
    QTest::addColumn<double>("pageCount");

    QTest::newRow("约4,050个") << QStringLiteral("results_total_4050.html") << QVariant(4050.0) << 405.0;
    QTest::newRow("约95个 in GB2312 bytes")
        << QStringLiteral("results_total_95_gb2312.html") << QVariant(95.0) << 9.5;
    QTest::newRow("no results, no page bar") << QStringLiteral("results_none.html") << QVariant() << 0.0;
    QTest::newRow("page bar among a full page's script and style")
        << QStringLiteral("results_large.html") << QVariant(4050.0) << 405.0;
    QTest::newRow("2015: div.nums 约4,710个, page bar ends in 下一页") << QStringLiteral("later_2015.html")
                                                                      << QVariant(4710.0) << 471.0;
    QTest::newRow("2018: span.nums_text 约72,900,000个")
        << QStringLiteral("later_2018.html") << QVariant(72900000.0) << 7290000.0;
    QTest::newRow("2020: 约16个") << QStringLiteral("later_2020.html") << QVariant(16.0) << 1.6;
    QTest::newRow("2021: nums new_nums 约1,020个") << QStringLiteral("later_2021.html") << QVariant(1020.0) << 102.0;
    QTest::newRow("2020 among 370 KB of script and style") << QStringLiteral("later_large.html") << QVariant(16.0) << 1.6;
    QTest::newRow("2026: no total at all") << QStringLiteral("later_2026.html") << QVariant() << 0.0;
    QTest::newRow("foreign template: 相关网页760篇 is no total")
        << QStringLiteral("later_foreign_template.html") << QVariant() << 0.0;
    QTest::newRow("script-only page") << QStringLiteral("later_script_only.html") << QVariant() << 0.0;
}

void TestResultTotal::fixturePages()
{
    QFETCH(QString, fixture);
    AnalysisRecord record;
    const bool read = ReadResultTotal(*fixturePage(fixture), record);
    QTEST(optionalValue(record.TotalResults), "total");
    QCOMPARE(read, record.TotalResults.has_value());
    QTEST(record.PageCount, "pageCount");
}

QTEST_GUILESS_MAIN(TestResultTotal)
#include "test_result_total.moc"
