// The exporter: CSV fields, ISO dates, and whole analyses as text, CSV and JSON against golden
// files in tests/data/export; the HTML pages against golden files and, read back through
// libxml2's HTML parser, for their structure and safety.

#include "core/texts.h"
#include "export/csv.h"
#include "export/exporter.h"
#include "export/html_report.h"
#include "report/report_writer.h"

#include "fake_view.h"
#include "site_rows.h"

#include <QFile>
#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

#include <functional>
#include <memory>

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

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

// The walk of completeAnalysis stopped by a failure before its report.
FinishedAnalysis stoppedAnalysis()
{
    FinishedAnalysis a = completeAnalysis();
    a.record.State = texts::stateComp();
    a.record.DoneMessage = texts::stoppedMessage();
    a.status = a.report = texts::stoppedMessage();
    return a;
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
using MakePage = std::function<QByteArray()>;

// An analysis with `count` sites, site i having i links and the date 2011-1-5.
FinishedAnalysis manySites(int count)
{
    QList<Site> sites;
    for (int i = 1; i <= count; ++i)
        sites.append({QStringLiteral("s%1.cn").arg(i), i, QStringLiteral("2011-1-5"), QStringLiteral("s%1.cn/p").arg(i)});
    return finished(count * 10, sites);
}

// Tooltips of the "who links most" bars of manySites(count).
QStringList manySitesTips(int count)
{
    QStringList tips;
    for (int i = count; i > count - 20; --i)
        tips.append(QStringLiteral("s%1.cn：%1 条外链").arg(i));
    tips.append(QStringLiteral("2011-01：%1 个站点").arg(count));
    return tips;
}

// Six sites: months with an empty one between, relative, impossible and unrecognised dates.
FinishedAnalysis chartedAnalysis()
{
    return finished(4050, {{QStringLiteral("www.a.com"), 3, QStringLiteral("2011-7-9"), QStringLiteral("www.a.com/news/1.html")},
                           {QStringLiteral("bbs.b.cn"), 1, QStringLiteral("3小时前"), QStringLiteral("bbs.b.cn/t/9")},
                           {QStringLiteral("c.org"), 2, QStringLiteral("25分钟前"), QStringLiteral("c.org/q")},
                           {QStringLiteral("d.net"), 5, QStringLiteral("2011-9-30"), QStringLiteral("d.net/a?b=1&c=2")},
                           {QStringLiteral("名称.中国"), 1, QStringLiteral("2011-2-30"), QStringLiteral("名称.中国/页")},
                           {QStringLiteral("e.com"), 2, QStringLiteral("昨天"), QStringLiteral("e.com/")}});
}

const QString kHostileSite = QStringLiteral("<script>alert(1)</script>.com");

// Every text the engine or the user gave is an attack.
FinishedAnalysis hostileAnalysis()
{
    FinishedAnalysis a = finished(10, {{kHostileSite, 1, QStringLiteral("2011-1-5\"><img src=x onerror=alert(2)>"),
                                        QStringLiteral("javascript:alert(3)//'\"&")}});
    a.domain = QStringLiteral("a.com<svg onload=alert(4)>");
    a.engine = QStringLiteral("http://e.test/\"><base href=http://evil.test/>");
    return a;
}

HistoryReport historyReport()
{
    const QDateTime t0(QDate(2011, 12, 1), QTime(9, 0), QTimeZone(8 * 3600));
    HistoryReport h;
    h.domain = QStringLiteral("example.com");
    h.analyses = {
        {1, t0, t0.addSecs(60), QStringLiteral("complete"), 4000, 10, std::nullopt, std::nullopt},
        {2, t0.addDays(7), t0.addDays(7).addSecs(60), QStringLiteral("page_error"), 4050, 9, 1, 2},
        {3, t0.addDays(14), t0.addDays(14).addSecs(5), QStringLiteral("refused"), std::nullopt, 0, std::nullopt, std::nullopt},
        {4, t0.addDays(21), t0.addDays(21).addSecs(60), QStringLiteral("complete"), 4100, 12, 4, 1},
    };
    h.latestDiff = HistoryDiff{2, 4, {QStringLiteral("n1.cn"), QStringLiteral("n2.cn"), QStringLiteral("n3.cn"), kHostileSite},
                               {QStringLiteral("gone.cn")},
                               {{QStringLiteral("www.a.com"), 3, 5, QStringLiteral("2011-7-9"), QStringLiteral("2小时前")}}};
    return h;
}

// An HTML document read by libxml2's HTML parser, asked through XPath.
class HtmlDocument
{
public:
    explicit HtmlDocument(const QByteArray &html)
        : m_doc(htmlReadMemory(html.constData(), int(html.size()), nullptr, "UTF-8",
                               HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING),
                xmlFreeDoc)
    {
    }
    bool isValid() const { return m_doc != nullptr; }

    // The text content of every node `xpath` selects, in document order.
    QStringList texts(const char *xpath) const
    {
        QStringList out;
        std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(xmlXPathNewContext(m_doc.get()),
                                                                                  xmlXPathFreeContext);
        std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar *>(xpath), context.get()), xmlXPathFreeObject);
        if (!result || !result->nodesetval)
            return out;
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            xmlChar *content = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
            out.append(QString::fromUtf8(reinterpret_cast<const char *>(content)));
            xmlFree(content);
        }
        return out;
    }
    qsizetype count(const char *xpath) const { return texts(xpath).size(); }

private:
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> m_doc;
};

} // namespace

Q_DECLARE_METATYPE(Make)
Q_DECLARE_METATYPE(MakePage)
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
    void htmlPage_data();
    void htmlPage();
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
    QTest::newRow("hours ago on a UTC clock: +00:00, never -00:00")
        << QStringLiteral("1小时前") << QDateTime(QDate(2011, 12, 25), QTime(0, 30), QTimeZone::utc())
        << QStringLiteral("2011-12-24T23:30:00+00:00");
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
    QTest::newRow("CSV of a stopped walk: one row saying so")
        << Make(stoppedAnalysis) << ExportFormat::Csv << true << QStringLiteral("stopped.csv");
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
        << Make(stoppedAnalysis) << ExportFormat::Json << true << QStringLiteral("stopped.json");
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

void TestExporter::htmlPage_data()
{
    QTest::addColumn<MakePage>("make");
    QTest::addColumn<QString>("golden");        // empty: no golden file
    QTest::addColumn<int>("charts");            // svg elements
    QTest::addColumn<int>("topBars");           // bars of the "who links most" charts
    QTest::addColumn<QStringList>("tips");      // every chart tooltip, in page order (empty: not compared)
    QTest::addColumn<int>("hollow");            // hollow points
    QTest::addColumn<int>("siteRows");          // rows of the site tables
    QTest::addColumn<int>("folded");            // of those, rows folded away at first
    QTest::addColumn<QString>("firstSite");     // the first site table's first cell
    QTest::addColumn<QStringList>("notices");   // what the page says above the figures

    const auto analysisPage = [](Make make) { return MakePage([make] { return htmlAnalysisPage(make()); }); };
    QTest::newRow("analysis: top sites, months with a gap, recent and unknown dates")
        << analysisPage(chartedAnalysis) << QStringLiteral("analysis.html") << 2 << 6
        << QStringList{QStringLiteral("d.net：5 条外链"), QStringLiteral("www.a.com：3 条外链"),
                       QStringLiteral("c.org：2 条外链"), QStringLiteral("e.com：2 条外链"),
                       QStringLiteral("bbs.b.cn：1 条外链"), QStringLiteral("名称.中国：1 条外链"),
                       QStringLiteral("2011-07：1 个站点"), QStringLiteral("2011-08：0 个站点"),
                       QStringLiteral("2011-09：1 个站点"), QStringLiteral("最近：3 个站点"),
                       QStringLiteral("未知：1 个站点")}
        << 0 << 6 << 0 << QStringLiteral("www.a.com") << QStringList{};
    QTest::newRow("analysis: hostile names, dates and addresses stay text")
        << analysisPage(hostileAnalysis) << QStringLiteral("hostile.html") << 2 << 1
        << QStringList{kHostileSite + QStringLiteral("：1 条外链"), QStringLiteral("未知：1 个站点")} << 0 << 1 << 0
        << kHostileSite << QStringList{};
    QTest::newRow("analysis: nothing found, the notice and no chart")
        << analysisPage([] { return finished(0, {}); }) << QStringLiteral("empty.html") << 0 << 0 << QStringList{} << 0
        << 0 << 0 << QString() << QStringList{texts::noSiteMessage()};
    QTest::newRow("analysis: refused before any result, the notice and no chart")
        << analysisPage([] {
               FinishedAnalysis a = finished(0, {});
               a.record.DoneMessage = texts::refusalMessage();
               a.status = texts::refusalMessage();
               return a;
           })
        << QStringLiteral("refused.html") << 0 << 0 << QStringList{} << 0 << 0 << 0 << QString()
        << QStringList{texts::refusalMessage()};
    QTest::newRow("analysis: page error, what was read is drawn under the notice")
        << analysisPage([] {
               return finished(45, {{QStringLiteral("a.com"), 12, QStringLiteral("1小时前"), QStringLiteral("a.com/x")}},
                               texts::pageErrorMessage());
           })
        << QString() << 2 << 1 << QStringList{QStringLiteral("a.com：12 条外链"), QStringLiteral("最近：1 个站点")} << 0
        << 1 << 0 << QStringLiteral("a.com")
        << QStringList{texts::pageErrorMessage() + QStringLiteral("（以下只含此前读到的结果）")};
    QTest::newRow("analysis: walk stopped without a report")
        << analysisPage([] {
               FinishedAnalysis a = chartedAnalysis();
               a.record.State = texts::stateAnaing();
               a.status = texts::statusAnaing();
               return a;
           })
        << QString() << 0 << 0 << QStringList{} << 0 << 0 << 0 << QString()
        << QStringList{QStringLiteral("分析未完成，没有报告。")};
    QTest::newRow("analysis: 1,000 sites, all shown, 20 bars")
        << analysisPage([] { return manySites(1000); }) << QString() << 2 << 20 << manySitesTips(1000) << 0 << 1000 << 0
        << QStringLiteral("s1.cn") << QStringList{};
    QTest::newRow("analysis: 1,001 sites, the last one folded")
        << analysisPage([] { return manySites(1001); }) << QString() << 2 << 20 << manySitesTips(1001) << 0 << 1001 << 1
        << QStringLiteral("s1.cn") << QStringList{};
    QTest::newRow("batch: summary, a section per analysis, a domain not analysed")
        << MakePage([] {
               FinishedAnalysis refused = finished(20, {{QStringLiteral("x.cn"), 2, QStringLiteral("2011-12-1"), QStringLiteral("x.cn/1")}},
                                                   texts::refusalMessage());
               refused.domain = QStringLiteral("b.example.com");
               refused.status = texts::refusalMessage();
               return htmlBatchPage({chartedAnalysis(), refused}, {QStringLiteral("c.example.com")});
           })
        << QStringLiteral("batch.html") << 4 << 7
        << QStringList{QStringLiteral("d.net：5 条外链"), QStringLiteral("www.a.com：3 条外链"),
                       QStringLiteral("c.org：2 条外链"), QStringLiteral("e.com：2 条外链"),
                       QStringLiteral("bbs.b.cn：1 条外链"), QStringLiteral("名称.中国：1 条外链"),
                       QStringLiteral("2011-07：1 个站点"), QStringLiteral("2011-08：0 个站点"),
                       QStringLiteral("2011-09：1 个站点"), QStringLiteral("最近：3 个站点"),
                       QStringLiteral("未知：1 个站点"), QStringLiteral("x.cn：2 条外链"),
                       QStringLiteral("2011-12：1 个站点")}
        << 0 << 7 << 0 << QStringLiteral("www.a.com")
        << QStringList{QStringLiteral("搜索引擎要求安全验证后，其余 1 个域名未分析。"),
                       texts::refusalMessage() + QStringLiteral("（以下只含此前读到的结果）")};
    QTest::newRow("history: totals and sites over time, hollow points, the latest diff")
        << MakePage([] { return htmlHistoryPage(historyReport()); }) << QStringLiteral("history.html") << 1 << 0
        << QStringList{QStringLiteral("2011-12-01 09:00 外链总数 4000（完成）"),
                       QStringLiteral("2011-12-08 09:00 外链总数 4050（页面错误）"),
                       QStringLiteral("2011-12-22 09:00 外链总数 4100（完成）"),
                       QStringLiteral("2011-12-01 09:00 站点数量 10（完成）"),
                       QStringLiteral("2011-12-08 09:00 站点数量 9（页面错误）"),
                       QStringLiteral("2011-12-15 09:00 站点数量 0（安全验证）"),
                       QStringLiteral("2011-12-22 09:00 站点数量 12（完成）")}
        << 3 << 0 << 0 << QString() << QStringList{};
    QTest::newRow("history: no analysis yet, the notice and no chart")
        << MakePage([] {
               HistoryReport h;
               h.domain = QStringLiteral("example.com");
               return htmlHistoryPage(h);
           })
        << QString() << 0 << 0 << QStringList{} << 0 << 0 << 0 << QString()
        << QStringList{QStringLiteral("尚无分析记录。")};
}

void TestExporter::htmlPage()
{
    QFETCH(MakePage, make);
    QFETCH(QString, golden);
    QFETCH(int, charts);
    QFETCH(int, topBars);
    QFETCH(QStringList, tips);
    QFETCH(int, hollow);
    QFETCH(int, siteRows);
    QFETCH(int, folded);
    QFETCH(QString, firstSite);
    QFETCH(QStringList, notices);

    const QByteArray html = make();
    QVERIFY(html.startsWith("<!DOCTYPE html>\n"));
    const HtmlDocument page(html);
    QVERIFY(page.isValid());

    // Nothing leaves the file: a policy that forbids every fetch, no element that loads
    // anything, no event handler, the page's one script, and links only within the page.
    const QStringList policy = page.texts("/html/head/meta[@http-equiv='Content-Security-Policy']/@content");
    QCOMPARE(policy.size(), 1);
    QVERIFY2(policy[0].startsWith(QLatin1String("default-src 'none'; ")), qPrintable(policy[0]));
    QVERIFY2(!policy[0].contains(QLatin1String("unsafe")) && !policy[0].contains(QLatin1String("*"))
                 && !policy[0].contains(QLatin1String("http")),
             qPrintable(policy[0]));
    QCOMPARE(page.count("//img|//iframe|//frame|//object|//embed|//link|//base|//audio|//video|//source|//form|//meta[@http-equiv='refresh']"), 0);
    QCOMPARE(page.count("//@*[starts-with(translate(name(),'ON','on'),'on')]"), 0);
    QCOMPARE(page.count("//script"), 1);
    QCOMPARE(page.count("//script[@src]"), 0);
    const QStringList ids = page.texts("//@id");
    for (const QString &target : page.texts("//@*[contains(name(),'href') or name()='src' or name()='action' "
                                            "or name()='formaction' or name()='srcset' or name()='poster' or name()='data']")) {
        QVERIFY2(target.startsWith(QLatin1Char('#')) && ids.contains(target.mid(1)), qPrintable(target));
    }

    // Charts: the bars and points, and every tooltip with its exact figure.
    QCOMPARE(page.count("//svg"), charts);
    QCOMPARE(page.count("//svg[contains(@class,'top')]/rect[@class='bar']"), topBars);
    if (!tips.isEmpty())
        QCOMPARE(page.texts("//svg//title"), tips);
    QCOMPARE(page.count("//svg//circle[contains(@class,'hollow')]"), hollow);
    // Value axes start at zero and name their unit.
    QCOMPARE(page.count("//svg[contains(@class,'top') and not(text='0' and text='外链数量（条）')]"), 0);
    QCOMPARE(page.count("//svg[contains(@class,'dates') and not(text='0' and text='站点数（个）')]"), 0);
    QCOMPARE(page.count("//svg[contains(@class,'history') and not(text='0' and text='条' and text='个')]"), 0);

    // The site tables: one row per site, rows past the first thousand folded away.
    QCOMPARE(page.count("//table[contains(@class,'sites')]/tbody/tr"), siteRows);
    QCOMPARE(page.count("//table[contains(@class,'sites')]/tbody[@class='more']/tr"), folded);
    QCOMPARE(page.texts("(//table[contains(@class,'sites')]/tbody/tr)[1]/td[1]").value(0), firstSite);
    QCOMPARE(page.texts("//p[@class='notice']"), notices);

    // And byte for byte, last, so that a fault shows first as what it breaks.
    if (!golden.isEmpty())
        QVERIFY(matchesGolden(golden, html));
}

QTEST_APPLESS_MAIN(TestExporter)
#include "test_exporter.moc"
