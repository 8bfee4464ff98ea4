// The window logic driven through a scripted browser: start-up, Analyse, and the page walk.

#include "core/status.h"
#include "core/texts.h"
#include "crawl/form1_logic.h"
#include "crawl/module_pub.h"

#include "engine_pages.h"
#include "fake_browser.h"
#include "fake_view.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace korvane;
using namespace korvane::testing;

namespace {

// A page of tests/data/pages (UTF-8).
QString fixtureText(const QString &name)
{
    QFile file(QStringLiteral(KORVANE_TEST_DATA_DIR "/pages/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open fixture page %s", qPrintable(file.fileName()));
    return QString::fromUtf8(file.readAll());
}

const Origins kOrigins{QStringLiteral("http://engine.test"), QStringLiteral("http://notice.test")};

QString page(const QString &domain, int index)
{
    return resultsPageAddress(kOrigins, domain, index);
}

// A results page whose entries are all distinct from every other page's.
QString entriesPage(int pageIndex, int entries = 10)
{
    QStringList lines;
    for (int i = 0; i < entries; ++i)
        lines << addressLine(QStringLiteral("site%1.cn/p%2").arg(i % 3).arg(pageIndex * 10 + i),
                             QStringLiteral("2011-12-%1").arg(1 + pageIndex % 28));
    return resultsPage(lines, totalText(QStringLiteral("999")));
}

struct Window
{
    FakeView view;
    FakeBrowser browser;
    Form1Logic logic{view, browser, kOrigins};
    Window()
    {
        logic.setClock([] { return 5.0; });
        view.domain = QStringLiteral("example.com");
    }
    // Start-up through the notice page, then Analyse.
    void startAndAnalyse()
    {
        logic.OnWindowLoad();
        browser.completeLast(noticePage({}));
        logic.OnAnalyseClick();
    }
};

} // namespace

class TestPageWalk : public QObject
{
    Q_OBJECT
private slots:
    void startup();
    void startupIgnoresFramesAndBlank_data();
    void startupIgnoresFramesAndBlank();
    void startupReadsNotice();
    void analyseResetsAndRequests();
    void walkRange_data();
    void walkRange();
    void walkCoversEveryPage();
    void zeroOrUnreadableTotal_data();
    void zeroOrUnreadableTotal();
    void repeatEndsWalk();
    void unreadablePageEndsWalk();
    void failedLoadEndsWalk();
    void failedQueryPage();
    void idleStatesIgnoreCompletions();
    void framesIgnoredDuringWalk();
    void reportFailureLeavesWalkStopped();
    void analyseDuringWalkStartsOver();
    void analyseDuringStartup();
    void linkClickOpensOnlyWebAddresses_data();
    void linkClickOpensOnlyWebAddresses();
};

void TestPageWalk::startup()
{
    Window w;
    QSignalSpy started(&w.logic, &Form1Logic::startupFinished);
    w.logic.OnWindowLoad();
    QCOMPARE(w.logic.record().State, QStringLiteral("INITING"));
    QCOMPARE(w.view.status, QStringLiteral("程序正在初始化，请等待片刻..."));
    QCOMPARE(w.browser.requested,
             QStringList{QStringLiteral("http://notice.test/ad/Korvane.php?Version=1&cache=5")});
    for (int i = 1; i < kLinkLabelCount; ++i) {
        QVERIFY(!w.view.labels[i].visible);
        QCOMPARE(w.view.labels[i].caption, QStringLiteral("lbLink(0)"));
    }
    w.browser.completeLast(QStringLiteral("<html><body>maintenance</body></html>"));
    QCOMPARE(w.logic.record().State, QStringLiteral("INITED"));
    QCOMPARE(w.view.status, QStringLiteral("输入您的域名，点击“分析”按钮！"));
    QCOMPARE(started.count(), 1);
}

void TestPageWalk::startupIgnoresFramesAndBlank_data()
{
    QTest::addColumn<bool>("frame");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("state");
    QTest::newRow("frame") << true << QStringLiteral("http://notice.test/f") << "INITING";
    QTest::newRow("about:blank") << false << QStringLiteral("about:blank") << "INITING";
    QTest::newRow("ABOUT:BLANK is a page") << false << QStringLiteral("ABOUT:BLANK") << "INITED";
    QTest::newRow("empty address is a page") << false << QString() << "INITED";
}

void TestPageWalk::startupIgnoresFramesAndBlank()
{
    QFETCH(bool, frame);
    QFETCH(QString, address);
    QFETCH(QString, state);
    Window w;
    w.logic.OnWindowLoad();
    if (frame)
        w.browser.completeFrame(address);
    else
        w.browser.complete(QStringLiteral("<html><body></body></html>"), address);
    QCOMPARE(w.logic.record().State, state);
}

void TestPageWalk::startupReadsNotice()
{
    Window w;
    w.logic.OnWindowLoad();
    w.browser.completeLast(noticePage({QStringLiteral("<a href=\"http://x.test/a\" title=\"提示\">友情</a>"),
                                       QStringLiteral("<input id=\"VersionDesc\" value=\"新版本已发布\">")}));
    QCOMPARE(w.logic.record().State, QStringLiteral("INITED"));
    QVERIFY(w.view.labels[0].visible);
    QCOMPARE(w.view.labels[0].caption, QStringLiteral("友情"));
    QCOMPARE(w.view.labels[0].placeTwips, QRect(240, 7200, 400, 250));
    QCOMPARE(w.view.messages.size(), 1);
    QCOMPARE(w.view.messages[0].first, QStringLiteral("新版本已发布"));
    QCOMPARE(w.view.messages[0].second, QStringLiteral("工程1"));
}

void TestPageWalk::analyseResetsAndRequests()
{
    Window w;
    w.logic.OnWindowLoad();
    w.browser.completeLast(noticePage({}));
    w.view.domain = QStringLiteral("a b&c.名称");
    w.logic.OnAnalyseClick();
    const AnalysisRecord &r = w.logic.record();
    QCOMPARE(r.State, QStringLiteral("ANAING"));
    QCOMPARE(w.view.status, QStringLiteral("正在进行分析，请等待..."));
    QCOMPARE(w.view.pointer, 11);
    QCOMPARE(w.view.marker, QStringLiteral("a b&c.名称"));
    QCOMPARE(r.PageCount, 0.0);
    QCOMPARE(r.PageCursor, 0);
    QVERIFY(!r.siteTableAllocated());
    QCOMPARE(w.browser.requested.last(),
             QStringLiteral("http://engine.test/s?wd=domain%3Aa b&c.名称&rsv_spt=1&issp=1&rsv_bp=0"
                            "&ie=utf-8&tn=baiduhome_pg&inputT=8094&cache=5"));
}

void TestPageWalk::walkRange_data()
{
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("pages");
    QTest::newRow("7 results: page 0") << QStringLiteral("7") << 1;
    QTest::newRow("10 results: page 0 only") << QStringLiteral("10") << 1;
    QTest::newRow("35 results: pages 0-3") << QStringLiteral("35") << 4;
    QTest::newRow("40 results: pages 0-3") << QStringLiteral("40") << 4;
    QTest::newRow("41 results: pages 0-4") << QStringLiteral("41") << 5;
    QTest::newRow("4,050 results: capped at 76 pages") << QStringLiteral("4,050") << 76;
    QTest::newRow("100,000,000 results: capped") << QStringLiteral("100,000,000") << 76;
    // A query page with results and no total; every page new and linking to a next one.
    QTest::newRow("no total, the engine always has more: stops after page 75") << QString() << 76;
}

void TestPageWalk::walkRange()
{
    QFETCH(QString, total);
    QFETCH(int, pages);
    Window w;
    QSignalSpy finished(&w.logic, &Form1Logic::analysisFinished);
    w.startAndAnalyse();
    w.browser.completeLast(total.isEmpty() ? fixtureText(QStringLiteral("later_2026.html")) : resultsPage({}, totalText(total)));
    QCOMPARE(w.browser.requested.last(), page(QStringLiteral("example.com"), 0) + QStringLiteral("&cache=5"));
    for (int i = 0; i < pages; ++i) {
        QCOMPARE(w.logic.record().PageCursor, i);
        QCOMPARE(w.view.marker, page(QStringLiteral("example.com"), i));
        if (i > 0)
            QCOMPARE(w.browser.requested.last(), page(QStringLiteral("example.com"), i));
        QCOMPARE(finished.count(), 0);
        w.browser.completeLast(entriesPage(i));
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(w.browser.requested.size(), 2 + pages); // notice, query, pages
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(w.view.pointer, 0);
}

void TestPageWalk::walkCoversEveryPage()
{
    Window w;
    w.startAndAnalyse();
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("25"))));
    w.browser.completeLast(resultsPage({addressLine(QStringLiteral("a.cn/1"), QStringLiteral("2011-1-5")),
                                        addressLine(QStringLiteral("b.cn/1"), QStringLiteral("3小时前"))},
                                       totalText(QStringLiteral("25"))));
    w.browser.completeLast(resultsPage({addressLine(QStringLiteral("a.cn/2"), QStringLiteral("2011-12-25"))},
                                       totalText(QStringLiteral("25"))));
    w.browser.completeLast(resultsPage({addressLine(QStringLiteral("c.cn/9"), QStringLiteral("2010-1-1"))},
                                       totalText(QStringLiteral("25"))));
    const AnalysisRecord &r = w.logic.record();
    QCOMPARE(r.State, QStringLiteral("COMP"));
    QCOMPARE(r.SiteNames.mid(1), (QStringList{QStringLiteral("a.cn"), QStringLiteral("b.cn"), QStringLiteral("c.cn")}));
    QCOMPARE(r.SiteLinkCounts.mid(1), (QList<qint32>{2, 1, 1}));
    QCOMPARE(r.SiteLatestDates[1], QStringLiteral("2011-12-25"));
    QCOMPARE(r.SiteLatestUrls[1], QStringLiteral("a.cn/2"));
    QCOMPARE(w.view.siteCount, QStringLiteral("3"));
    QCOMPARE(w.view.linkCount, QStringLiteral("25"));
    QVERIFY(w.view.result.startsWith(QStringLiteral("对域名example.com的分析结果:    外链总数= 25    站点数量= 3\r\n")));
    QCOMPARE(w.view.status, QStringLiteral("分析已完成！"));
}

void TestPageWalk::zeroOrUnreadableTotal_data()
{
    QTest::addColumn<QString>("queryPage");
    QTest::addColumn<QString>("message");
    const QString noSite = QStringLiteral("分析已完成，未找到外链网站！");
    const QString unreadable = QStringLiteral("分析中止，搜索引擎的页面格式无法识别！");
    QTest::newRow("total of zero") << resultsPage({}, totalText(QStringLiteral("0"))) << noSite;
    // Results without any total are not "no linking site": the page was not understood.
    QTest::newRow("no page bar: unreadable")
        << resultsPage({addressLine(QStringLiteral("a.cn/1"), QStringLiteral("2011-1-1"))}, std::nullopt)
        << unreadable;
    QTest::newRow("total not a number: unreadable") << resultsPage({}, totalText(QStringLiteral("很多"))) << unreadable;
    QTest::newRow("total beyond a page index: unreadable")
        << resultsPage({}, totalText(QStringLiteral("3,000,000,000"))) << unreadable;
    QTest::newRow("negative total: unreadable") << resultsPage({}, totalText(QStringLiteral("-5"))) << unreadable;
    QTest::newRow("the engine's no-results answer")
        << fixtureText(QStringLiteral("later_none.html")) << noSite;
    QTest::newRow("the other product's no-results answer")
        << fixtureText(QStringLiteral("later_none_other_product.html")) << noSite;
    QTest::newRow("2011 page saying no results") << fixtureText(QStringLiteral("results_none.html")) << noSite;
    QTest::newRow("script-only page: unreadable") << fixtureText(QStringLiteral("later_script_only.html")) << unreadable;
    QTest::newRow("foreign search template: unreadable")
        << fixtureText(QStringLiteral("later_foreign_template.html")) << unreadable;
}

void TestPageWalk::zeroOrUnreadableTotal()
{
    QFETCH(QString, queryPage);
    Window w;
    w.startAndAnalyse();
    const int requestsBefore = int(w.browser.requested.size());
    w.browser.completeLast(queryPage);
    QCOMPARE(w.browser.requested.size(), requestsBefore); // no results page requested
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(w.view.pointer, 0);
    QFETCH(QString, message);
    QCOMPARE(w.view.result, QStringLiteral("\r\n   ") + message);
    QCOMPARE(w.view.status, message);
    QCOMPARE(w.view.linkCount, QStringLiteral("0"));
    // "Nothing found" is a finding; a page not understood tells why, of the query page.
    const QString reason = w.logic.record().FailureReason;
    QVERIFY2(message == texts::noSiteMessage() ? reason.isEmpty() : reason.startsWith(QStringLiteral("第0页: ")),
             qPrintable(reason));
}

void TestPageWalk::repeatEndsWalk()
{
    Window w;
    w.startAndAnalyse();
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("95"))));
    w.browser.completeLast(entriesPage(0));
    w.browser.completeLast(entriesPage(1));
    const int requests = int(w.browser.requested.size());
    w.browser.completeLast(entriesPage(1)); // the engine served page 1 again as page 2
    QCOMPARE(w.browser.requested.size(), requests);
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(w.logic.record().SiteLinkCounts.mid(1), (QList<qint32>{8, 6, 6})); // pages 0 and 1 only
    QCOMPARE(w.view.status, QStringLiteral("分析已完成！"));
}

void TestPageWalk::unreadablePageEndsWalk()
{
    Window w;
    w.startAndAnalyse();
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("45"))));
    w.browser.completeLast(entriesPage(0));
    // An address line without any space cannot be read.
    w.browser.completeLast(resultsPage({addressLine(QStringLiteral("z.cn/1"), QStringLiteral("2011-1-1")),
                                        QStringLiteral("broken")},
                                       totalText(QStringLiteral("45"))));
    QCOMPARE(w.browser.requested.size(), 4); // notice, query, page 0, page 1
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(w.logic.record().SiteNames.last(), QStringLiteral("z.cn")); // tallied before the fault
    QCOMPARE(w.view.status, texts::pageErrorMessage());
    QVERIFY2(w.logic.record().FailureReason.startsWith(QStringLiteral("第1页: an entry could not be read")),
             qPrintable(w.logic.record().FailureReason));
}

void TestPageWalk::failedLoadEndsWalk()
{
    Window w;
    w.startAndAnalyse();
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("45"))));
    w.browser.completeLast(entriesPage(0));
    w.browser.problem = QStringLiteral("HTTP 500");
    w.browser.completeLast(QStringLiteral("<html><body>HTTP 500</body></html>"), true);
    QCOMPARE(w.logic.record().FailureReason, QStringLiteral("第1页: HTTP 500"));
    QCOMPARE(w.browser.requested.size(), 4);
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(w.logic.record().siteCount(), 3);
    QCOMPARE(w.view.status, texts::pageErrorMessage());
    QVERIFY(w.view.result.endsWith(QString(95, QLatin1Char('-'))));
}

void TestPageWalk::failedQueryPage()
{
    Window w;
    w.startAndAnalyse();
    w.browser.completeLast(QStringLiteral("<html><body>cannot connect</body></html>"), true);
    QCOMPARE(w.browser.requested.size(), 2);
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    // Not "no linking site found": the engine was never read. The box says so as well.
    QCOMPARE(w.view.result, QStringLiteral("\r\n   分析完成，但出现了页面无法访问的错误，您可以尝试再次分析！"));
    QCOMPARE(w.view.status, texts::pageErrorMessage());
    QCOMPARE(w.view.pointer, 0);
    // A browser that cannot tell what happened still gives a reason.
    QCOMPARE(w.logic.record().FailureReason, QStringLiteral("第0页: the page could not be loaded"));
}

void TestPageWalk::idleStatesIgnoreCompletions()
{
    Window w;
    w.logic.OnWindowLoad();
    w.browser.completeLast(noticePage({}));
    QCOMPARE(w.logic.record().State, QStringLiteral("INITED"));
    w.browser.complete(noticePage({QStringLiteral("<a href=\"http://x.test/\">x</a>")}),
                       QStringLiteral("http://notice.test/again"));
    QCOMPARE(w.logic.record().State, QStringLiteral("INITED"));
    QVERIFY(!w.view.labels[0].visible || w.view.labels[0].caption != QStringLiteral("x"));
    QCOMPARE(w.browser.requested.size(), 1);

    w.logic.OnAnalyseClick();
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("0"))));
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    const QString report = w.view.result;
    w.browser.complete(entriesPage(3), QStringLiteral("http://engine.test/late"));
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(w.view.result, report);
    QCOMPARE(w.browser.requested.size(), 2);
}

void TestPageWalk::framesIgnoredDuringWalk()
{
    Window w;
    w.startAndAnalyse();
    w.browser.completeFrame(QStringLiteral("http://engine.test/frame"));
    w.browser.complete(entriesPage(0), QStringLiteral("about:blank"));
    QCOMPARE(w.logic.record().State, QStringLiteral("ANAING"));
    QCOMPARE(w.view.marker, QStringLiteral("example.com")); // still waiting for the query page
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("5"))));
    QCOMPARE(w.view.marker, page(QStringLiteral("example.com"), 0));
}

void TestPageWalk::reportFailureLeavesWalkStopped()
{
    Window w;
    QSignalSpy stopped(&w.logic, &Form1Logic::walkStopped);
    w.startAndAnalyse();
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("3"))));
    // A site name longer than the report's column arithmetic can hold.
    const QString hugeHost = QString(40000, QLatin1Char('h'));
    w.browser.completeLast(resultsPage({addressLine(QStringLiteral("a.cn/1"), QStringLiteral("2011-1-1")),
                                        addressLine(hugeHost, QStringLiteral("2011-1-1"))},
                                       totalText(QStringLiteral("3"))));
    const QString message = QStringLiteral("分析中止，出现了意外的错误，您可以尝试再次分析！");
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(w.logic.record().DoneMessage, message);
    QCOMPARE(outcomeOf(w.logic.record()), AnalysisOutcome::Stopped);
    QCOMPARE(w.view.status, message);
    QCOMPARE(w.view.pointer, 0);
    QCOMPARE(w.view.result, message); // no half-written report is left in the box
    const qsizetype requested = w.browser.requested.size();
    w.browser.completeLast(entriesPage(1)); // a late completion changes nothing
    QCOMPARE(w.browser.requested.size(), requested);
    QCOMPARE(stopped.count(), 1);
}

void TestPageWalk::analyseDuringWalkStartsOver()
{
    Window w;
    w.startAndAnalyse();
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("30"))));
    w.browser.completeLast(entriesPage(0));
    QVERIFY(w.logic.record().siteTableAllocated());
    QCOMPARE(w.logic.record().PageCursor, 1);
    w.view.domain = QStringLiteral("other.org");
    w.logic.OnAnalyseClick();
    QVERIFY(!w.logic.record().siteTableAllocated());
    QCOMPARE(w.logic.record().PageCursor, 0);
    QCOMPARE(w.logic.record().PageCount, 0.0);
    QCOMPARE(w.view.marker, QStringLiteral("other.org"));
    QVERIFY(w.browser.requested.last().contains(QStringLiteral("domain%3Aother.org&rsv_spt=1")));
}

void TestPageWalk::analyseDuringStartup()
{
    Window w;
    w.logic.OnWindowLoad();
    w.logic.OnAnalyseClick();
    QCOMPARE(w.logic.record().State, QStringLiteral("ANAING"));
    // Whatever completes now is taken as the query page, never as the notice page.
    w.browser.completeLast(resultsPage({}, totalText(QStringLiteral("0"))));
    QCOMPARE(w.logic.record().State, QStringLiteral("COMP"));
    for (int i = 1; i < kLinkLabelCount; ++i)
        QVERIFY(!w.view.labels[i].visible);
}

void TestPageWalk::linkClickOpensOnlyWebAddresses_data()
{
    QTest::addColumn<QString>("href");
    QTest::addColumn<bool>("opened");
    QTest::newRow("http") << QStringLiteral("http://x.test/a?b=1") << true;
    QTest::newRow("https") << QStringLiteral("https://x.test/") << true;
    QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false;
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
}

void TestPageWalk::linkClickOpensOnlyWebAddresses()
{
    QFETCH(QString, href);
    QFETCH(bool, opened);
    Window w;
    w.logic.OnWindowLoad();
    w.browser.completeLast(noticePage({QStringLiteral("<a href=\"%1\">链接</a>").arg(href)}));
    QVERIFY(w.view.labels[0].visible);
    w.logic.OnLinkLabelClick(0);
    QCOMPARE(w.view.opened, opened ? QStringList{w.view.labels[0].link} : QStringList{});
    if (opened)
        QCOMPARE(w.view.opened.first(), href);
}

QTEST_GUILESS_MAIN(TestPageWalk)
#include "test_page_walk.moc"
