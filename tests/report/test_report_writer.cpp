#include "core/analysis_record.h"
#include "core/failure.h"
#include "core/form_view.h"
#include "core/texts.h"
#include "report/report_writer.h"

#include "fake_view.h"
#include "site_rows.h"

#include <QFile>
#include <QTest>

#include <functional>
#include <optional>

using namespace korvane;

namespace {

using StringView = testing::FakeView;
using testing::Site;
using testing::addSites;

// A record as the walk leaves it: analysing, with a total read and the given sites.
AnalysisRecord analysedRecord(double total, const QList<Site> &sites)
{
    AnalysisRecord record;
    record.State = texts::stateAnaing();
    record.TotalResults = total;
    record.PageCount = total / 10;
    if (!sites.isEmpty())
        addSites(record, sites);
    return record;
}

// Compares with tests/data/report/<name>.txt byte for byte; on a mismatch writes the actual
// text to <name>.actual beside it.
bool matchesGolden(const QString &name, const QString &actual)
{
    const QString base = QStringLiteral(KORVANE_TEST_DATA_DIR "/report/") + name;
    QFile golden(base + QStringLiteral(".txt"));
    if (!golden.open(QIODevice::ReadOnly)) {
        qWarning("cannot open %s", qPrintable(golden.fileName()));
        return false;
    }
    const QByteArray actualBytes = actual.toUtf8();
    if (golden.readAll() == actualBytes)
        return true;
    QFile out(base + QStringLiteral(".actual"));
    if (out.open(QIODevice::WriteOnly))
        out.write(actualBytes);
    qWarning("report differs from %s; actual text written to %s", qPrintable(golden.fileName()),
             qPrintable(out.fileName()));
    return false;
}

using Setup = std::function<void(AnalysisRecord &, StringView &)>;

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestReportWriter : public QObject
{
    Q_OBJECT

private slots:
    void goldenReport_data();
    void goldenReport();
    void failurePartway_data();
    void failurePartway();
    void noticeForm_data();
    void noticeForm();
    void fullReportKeepsDoneMessage();
    void largestTableWrittenWhole();
};

void TestReportWriter::goldenReport_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("golden");
    QTest::addColumn<QString>("linkCount");
    QTest::addColumn<QString>("siteCount");
    QTest::addColumn<QString>("status");

    QTest::newRow("no site") << Setup([](AnalysisRecord &record, StringView &view) {
        record.State = texts::stateAnaing();
        view.domain = QStringLiteral("www.example.com");
    }) << QStringLiteral("no_site") << QStringLiteral("0") << QStringLiteral("0")
                             << texts::noSiteMessage();

    QTest::newRow("one site") << Setup([](AnalysisRecord &record, StringView &view) {
        record = analysedRecord(4050, {{QStringLiteral("abcdefghij"), 3, QStringLiteral("2011-12-5"),
                                        QStringLiteral("abcdefghij/page.html")}});
        view.domain = QStringLiteral("www.example.com");
    }) << QStringLiteral("one_site") << QStringLiteral("4050") << QStringLiteral("1")
                              << texts::statusComp();

    QTest::newRow("site names of 25, 26 and more characters, 5- and 6-digit counts")
        << Setup([](AnalysisRecord &record, StringView &view) {
               record = analysedRecord(
                   12345678901.0,
                   {{QStringLiteral("abcdefghijklmnopqrstuvwxy"), 7, QStringLiteral("2011-12-25"), QStringLiteral("a/1")},
                    {QStringLiteral("abcdefghijklmnopqrstuvwxyz"), 12345, QStringLiteral("2011-12-25"), QStringLiteral("b/2")},
                    {QStringLiteral("www.a-rather-long-site-name.example.com"), 123456, QStringLiteral("2011-12-25"),
                     QStringLiteral("www.a-rather-long-site-name.example.com/x")},
                    {QStringLiteral("中文站点.cn"), 42, QStringLiteral("2011-12-25"), QStringLiteral("中文站点.cn/页")}});
               view.domain = QStringLiteral("example.org");
           })
        << QStringLiteral("wide_names") << QStringLiteral("12345678901") << QStringLiteral("4")
        << texts::statusComp();

    QTest::newRow("date widths: 10, 9, mixed single and double width, surrogate pairs")
        << Setup([](AnalysisRecord &record, StringView &view) {
               record = analysedRecord(
                   80, {{QStringLiteral("ten.example"), 1, QStringLiteral("2011-12-25"), QStringLiteral("ten.example/a")},
                        {QStringLiteral("nine.example"), 2, QStringLiteral("2011-12-5"), QStringLiteral("nine.example/b")},
                        {QStringLiteral("mixed.example"), 3, QStringLiteral("120小时"), QStringLiteral("mixed.example/c")},
                        {QStringLiteral("hours.example"), 4, QStringLiteral("3小时前"), QStringLiteral("hours.example/d")},
                        {QStringLiteral("minutes.example"), 5, QStringLiteral("25分钟前"), QStringLiteral("minutes.example/e")},
                        {QStringLiteral("pair.example"), 6, QStringLiteral("2011-1-5\U0001F600"), QStringLiteral("pair.example/f")},
                        {QStringLiteral("short.example"), 7, QStringLiteral("12K"), QStringLiteral("short.example/g")},
                        {QStringLiteral("empty.example"), 8, QString(), QStringLiteral("empty.example/h")},
                        {QStringLiteral("long.example"), 9, QStringLiteral("2011-12-25 extra"), QStringLiteral("long.example/i")},
                        // A pair in a short date: padded as 3 columns, not as 2 code units of 2.
                        {QStringLiteral("tiny.example"), 10, QStringLiteral("1\U0001F600"), QStringLiteral("tiny.example/j")}});
               view.domain = QStringLiteral("example.net");
           })
        << QStringLiteral("date_widths") << QStringLiteral("80") << QStringLiteral("10") << texts::statusComp();

    QTest::newRow("domain is the field's text at write time")
        << Setup([](AnalysisRecord &record, StringView &view) {
               view.domain = QStringLiteral("started.example");
               view.marker = view.domain;
               record = analysedRecord(20, {{QStringLiteral("a.com"), 2, QStringLiteral("1分钟前"), QStringLiteral("a.com/1")}});
               view.domain = QStringLiteral("www.名称.com"); // edited while the walk ran
           })
        << QStringLiteral("domain_at_write_time") << QStringLiteral("20") << QStringLiteral("1")
        << texts::statusComp();
}

void TestReportWriter::goldenReport()
{
    QFETCH(Setup, setup);
    QFETCH(QString, golden);
    QFETCH(QString, linkCount);
    QFETCH(QString, siteCount);
    QFETCH(QString, status);

    AnalysisRecord record;
    StringView view;
    view.status = texts::statusAnaing();
    setup(record, view);

    WriteReport(record, view);

    QVERIFY(matchesGolden(golden, view.result));
    QCOMPARE(view.resultWrites, 1);
    QCOMPARE(view.linkCount, linkCount);
    QCOMPARE(view.siteCount, siteCount);
    QCOMPARE(record.State, texts::stateComp());
    QCOMPARE(view.status, status);
}

void TestReportWriter::failurePartway_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("golden");
    QTest::addColumn<FailureCode>("code");

    const Site first{QStringLiteral("first.example"), 1, QStringLiteral("2011-1-1"), QStringLiteral("first.example/1")};
    const Site last{QStringLiteral("last.example"), 1, QStringLiteral("2011-1-1"), QStringLiteral("last.example/1")};

    QTest::newRow("site name of 32768 characters")
        << Setup([=](AnalysisRecord &record, StringView &) {
               record = analysedRecord(30, {first,
                                            {QString(32768, QLatin1Char('x')), 1, QStringLiteral("2011-1-1"), QStringLiteral("x/1")},
                                            last});
           })
        << QStringLiteral("failure_partway") << FailureCode::Overflow;

    QTest::newRow("date of 32768 width")
        << Setup([=](AnalysisRecord &record, StringView &) {
               record = analysedRecord(30, {first,
                                            {QStringLiteral("wide.example"), 1, QString(16384, QChar(0x5929)), QStringLiteral("w/1")},
                                            last});
           })
        << QStringLiteral("failure_partway") << FailureCode::Overflow;

    QTest::newRow("columns of unequal length")
        << Setup([=](AnalysisRecord &record, StringView &) {
               record = analysedRecord(30, {first, first, last});
               record.SiteLatestUrls.removeLast();
               record.SiteLatestUrls.removeLast();
           })
        << QStringLiteral("failure_partway") << FailureCode::IndexOutOfRange;

    QTest::newRow("more sites than the row counter holds")
        << Setup([=](AnalysisRecord &record, StringView &) {
               record = analysedRecord(30, QList<Site>(32768, first));
           })
        << QStringLiteral("failure_before_rows") << FailureCode::Overflow;
}

void TestReportWriter::failurePartway()
{
    QFETCH(Setup, setup);
    QFETCH(QString, golden);
    QFETCH(FailureCode, code);

    AnalysisRecord record;
    StringView view;
    view.domain = QStringLiteral("fail.example");
    view.status = texts::statusAnaing();
    setup(record, view);

    try {
        WriteReport(record, view);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(failure.code(), code);
    }
    QVERIFY(matchesGolden(golden, view.result));
    QCOMPARE(view.resultWrites, 1);
    QCOMPARE(record.State, texts::stateAnaing());
    QCOMPARE(view.status, texts::statusAnaing());
}

void TestReportWriter::noticeForm_data()
{
    QTest::addColumn<double>("pageCount");
    QTest::addColumn<std::optional<double>>("totalResults");
    QTest::addColumn<QString>("doneBefore");
    QTest::addColumn<QString>("linkCount");
    QTest::addColumn<QString>("doneAfter");

    const QString noSite = texts::noSiteMessage();
    const QString pageError = texts::pageErrorMessage();

    QTest::newRow("no total read") << 0.0 << std::optional<double>() << QString() << QStringLiteral("0") << noSite;
    QTest::newRow("earlier analysis's total is not shown")
        << 0.0 << std::optional<double>(500) << QString() << QStringLiteral("0") << noSite;
    QTest::newRow("this analysis's positive total is shown")
        << 3.5 << std::optional<double>(35) << QString() << QStringLiteral("35") << noSite;
    QTest::newRow("large total as plain digits")
        << 123456789.0 << std::optional<double>(1234567890) << QString() << QStringLiteral("1234567890") << noSite;
    QTest::newRow("page-error message is kept, in the box too")
        << 3.5 << std::optional<double>(35) << pageError << QStringLiteral("35") << pageError;
    QTest::newRow("refusal message is kept, in the box too")
        << 0.0 << std::optional<double>() << texts::refusalMessage() << QStringLiteral("0") << texts::refusalMessage();
    QTest::newRow("other message is replaced")
        << 0.0 << std::optional<double>() << QStringLiteral("x") << QStringLiteral("0") << noSite;
}

void TestReportWriter::noticeForm()
{
    QFETCH(double, pageCount);
    QFETCH(std::optional<double>, totalResults);
    QFETCH(QString, doneBefore);
    QFETCH(QString, linkCount);
    QFETCH(QString, doneAfter);

    AnalysisRecord record;
    record.State = texts::stateAnaing();
    record.PageCount = pageCount;
    record.TotalResults = totalResults;
    record.DoneMessage = doneBefore;
    StringView view;
    view.linkCount = QStringLiteral("999"); // figures of an earlier analysis
    view.siteCount = QStringLiteral("88");

    WriteReport(record, view);

    // The box never contradicts the status line.
    if (doneAfter == texts::noSiteMessage())
        QVERIFY(matchesGolden(QStringLiteral("no_site"), view.result));
    else
        QCOMPARE(view.result, QStringLiteral("\r\n   ") + doneAfter);
    QCOMPARE(view.linkCount, linkCount);
    QCOMPARE(view.siteCount, QStringLiteral("0"));
    QCOMPARE(record.DoneMessage, doneAfter);
    QCOMPARE(record.State, texts::stateComp());
    QCOMPARE(view.status, doneAfter);
}

void TestReportWriter::fullReportKeepsDoneMessage()
{
    AnalysisRecord record = analysedRecord(
        20, {{QStringLiteral("a.com"), 2, QStringLiteral("1分钟前"), QStringLiteral("a.com/1")}});
    record.DoneMessage = texts::pageErrorMessage();
    StringView view;

    WriteReport(record, view);

    QCOMPARE(record.DoneMessage, texts::pageErrorMessage());
    QCOMPARE(view.status, texts::pageErrorMessage());
    QVERIFY(view.result.endsWith(QString(95, QLatin1Char('-'))));
}

void TestReportWriter::largestTableWrittenWhole()
{
    AnalysisRecord record = analysedRecord(400000, {});
    QList<Site> sites;
    for (int i = 1; i <= 32767; ++i)
        sites.append({QStringLiteral("s%1.example").arg(i), i, QStringLiteral("2011-1-1"), QStringLiteral("u%1").arg(i)});
    addSites(record, sites);
    StringView view;
    view.domain = QStringLiteral("big.example");

    WriteReport(record, view);

    QCOMPARE(record.State, texts::stateComp());
    QCOMPARE(view.status, texts::statusComp());
    QCOMPARE(view.siteCount, QStringLiteral("32767"));
    const QStringList lines = view.result.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3 + 32767 + 1);
    QCOMPARE(lines.last(), QString(95, QLatin1Char('-')));
    QVERIFY(lines.at(3 + 32766).startsWith(QStringLiteral("s32767.example")));
    QVERIFY(lines.at(3 + 32766).endsWith(QStringLiteral("u32767")));
}

QTEST_APPLESS_MAIN(TestReportWriter)
#include "test_report_writer.moc"
