// The exporter: CSV fields, ISO dates, and whole analyses as text, CSV and JSON against golden
// files in tests/data/export.

#include "core/texts.h"
#include "export/csv.h"
#include "export/exporter.h"
#include "report/report_writer.h"

#include "fake_view.h"
#include "site_rows.h"

#include <QFile>
#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

#include <functional>

using namespace korvane;

namespace {

using testing::Site;


const QDateTime kStarted(QDate(2011, 12, 25), QTime(10, 30), QTimeZone(8 * 3600));

// An analysis of www.example.com that read `total` and tallied `sites`, ended with `done` as
// its message (empty: the plain completion), its report written as the window writes it.
FinishedAnalysis finished(double total, const QList<Site> &sites, const QString &done = QString())
{
    FinishedAnalysis a;
    a.domain = QStringLiteral("www.example.com");
    a.engine = QStringLiteral("http://www.baidu.com");
    a.startedAt = kStarted;
    a.finishedAt = kStarted.addSecs(42);
    a.pagesRequested = 3;
    a.pagesRead = 3;
    AnalysisRecord &r = a.record;
    r.State = texts::stateAnaing();
    r.TotalResults = total;
    r.PageCount = total / 10;
    r.DoneMessage = done;
    if (!sites.isEmpty())
        testing::addSites(r, sites);
    testing::FakeView view;
    view.domain = a.domain;
    WriteReport(r, view);
    a.status = view.status;
    a.report = view.result;
    return a;
}

// Four sites: calendar, relative and unrecognised dates; addresses with a comma and a quote.
FinishedAnalysis completeAnalysis()
{
    return finished(4050, {{QStringLiteral("www.a.com"), 3, QStringLiteral("2011-7-9"), QStringLiteral("www.a.com/news/1.html")},
                           {QStringLiteral("bbs.b.cn"), 1, QStringLiteral("3小时前"), QStringLiteral("bbs.b.cn/t/9,10")},
                           {QStringLiteral("c.org"), 2, QStringLiteral("25分钟前"), QStringLiteral("c.org/q?w=\"x\"")},
                           {QStringLiteral("名称.中国"), 1, QStringLiteral("昨天"), QStringLiteral("名称.中国/页")}});
}

// Compares with tests/data/export/<name> byte for byte; on a mismatch writes the actual bytes
// to <name>.actual beside it.
bool matchesGolden(const QString &name, const QByteArray &actual)
{
    const QString path = QStringLiteral(KORVANE_TEST_DATA_DIR "/export/") + name;
    QFile golden(path);
    if (golden.open(QIODevice::ReadOnly) && golden.readAll() == actual)
        return true;
    QFile out(path + QStringLiteral(".actual"));
    if (out.open(QIODevice::WriteOnly))
        out.write(actual);
    qWarning("output differs from %s; actual bytes written to %s", qPrintable(path), qPrintable(out.fileName()));
    return false;
}

using Make = std::function<FinishedAnalysis()>;

} // namespace

Q_DECLARE_METATYPE(Make)
Q_DECLARE_METATYPE(korvane::ExportFormat)

class TestExporter : public QObject
{
    Q_OBJECT
private slots:
    void csvField_data();
    void csvField();
    void isoDate_data();
    void isoDate();
    void golden_data();
    void golden();
};

void TestExporter::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("comma") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
    QTest::newRow("quote doubled") << QStringLiteral("a\"b\"") << QStringLiteral("\"a\"\"b\"\"\"");
    QTest::newRow("CR") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
    QTest::newRow("LF") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
}

void TestExporter::csvField()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(korvane::csvField(text), field);
}

void TestExporter::isoDate_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QDateTime>("started");
    QTest::addColumn<QString>("iso");

    QTest::newRow("calendar date padded") << QStringLiteral("2011-7-9") << kStarted << QStringLiteral("2011-07-09");
    QTest::newRow("impossible date") << QStringLiteral("2011-2-30") << kStarted << QString();
    QTest::newRow("calendar date with more after it") << QStringLiteral("2011-12-25 x") << kStarted << QString();
    QTest::newRow("hours ago, into the day before")
        << QStringLiteral("23小时前") << kStarted << QStringLiteral("2011-12-24T11:30:00+08:00");
    QTest::newRow("minutes ago, negative offset with minutes")
        << QStringLiteral("25分钟前")
        << QDateTime(QDate(2012, 1, 1), QTime(0, 10), QTimeZone(-(3 * 3600 + 1800)))
        << QStringLiteral("2011-12-31T23:45:00-03:30");
    QTest::newRow("hours without 前") << QStringLiteral("120小时") << kStarted << QString();
    QTest::newRow("Chinese calendar date") << QStringLiteral("2016年1月6日") << kStarted << QStringLiteral("2016-01-06");
    QTest::newRow("impossible Chinese date") << QStringLiteral("2016年2月30日") << kStarted << QString();
    QTest::newRow("days ago") << QStringLiteral("6天前") << kStarted << QStringLiteral("2011-12-19T10:30:00+08:00");
    QTest::newRow("yesterday") << QStringLiteral("昨天 12:30") << kStarted << QStringLiteral("2011-12-24T10:30:00+08:00");
    QTest::newRow("the day before yesterday") << QStringLiteral("前天") << kStarted << QStringLiteral("2011-12-23T10:30:00+08:00");
}

void TestExporter::isoDate()
{
    QFETCH(QString, date);
    QFETCH(QDateTime, started);
    QFETCH(QString, iso);
    QCOMPARE(isoDateOf(date, started), iso);
}

void TestExporter::golden_data()
{
    QTest::addColumn<Make>("make");
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<QString>("golden");

    QTest::newRow("CSV with the mark, quoting, ISO dates")
        << Make(completeAnalysis) << ExportFormat::Csv << true << QStringLiteral("complete.csv");
    QTest::newRow("CSV without the mark")
        << Make([] { return finished(20, {{QStringLiteral("a.com"), 2, QStringLiteral("2011-1-5"), QStringLiteral("a.com/1")}}); })
        << ExportFormat::Csv << false << QStringLiteral("no_bom.csv");
    QTest::newRow("CSV of a stopped walk: the header only")
        << Make([] {
               FinishedAnalysis a = completeAnalysis();
               a.record.State = texts::stateAnaing();
               return a;
           })
        << ExportFormat::Csv << true << QStringLiteral("header_only.csv");
    QTest::newRow("text: the report with LF") << Make(completeAnalysis) << ExportFormat::Text << true
                                               << QStringLiteral("complete.txt");
    QTest::newRow("JSON of a complete analysis")
        << Make(completeAnalysis) << ExportFormat::Json << true << QStringLiteral("complete.json");
    QTest::newRow("JSON of a page error")
        << Make([] {
               return finished(45, {{QStringLiteral("a.com"), 12, QStringLiteral("1小时前"), QStringLiteral("a.com/x")}},
                               texts::pageErrorMessage());
           })
        << ExportFormat::Json << true << QStringLiteral("page_error.json");
    QTest::newRow("JSON of an empty analysis")
        << Make([] { return finished(0, {}); }) << ExportFormat::Json << true << QStringLiteral("empty.json");
    QTest::newRow("JSON of a walk stopped without a report")
        << Make([] {
               FinishedAnalysis a = completeAnalysis();
               a.record.State = texts::stateAnaing();
               a.status = texts::statusAnaing();
               return a;
           })
        << ExportFormat::Json << true << QStringLiteral("stopped.json");
}

void TestExporter::golden()
{
    QFETCH(Make, make);
    QFETCH(ExportFormat, format);
    QFETCH(bool, bom);
    QFETCH(QString, golden);

    const FinishedAnalysis analysis = make();
    const QByteArray document = exportDocument(analysis, {format, bom});
    if (format != ExportFormat::Json) {
        QVERIFY(matchesGolden(golden, document));
        return;
    }
    // One object on one line; the golden file holds it indented, for reading.
    QCOMPARE(document.count('\n'), 1);
    QVERIFY(document.endsWith('\n'));
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    QVERIFY2(parsed.isObject(), qPrintable(error.errorString()));
    QVERIFY(matchesGolden(golden, parsed.toJson(QJsonDocument::Indented)));
}

QTEST_APPLESS_MAIN(TestExporter)
#include "test_exporter.moc"
