#include "parse/result_page.h"

#include "core/analysis_record.h"
#include "core/texts.h"
#include "results_markup.h"

#include <QTest>

using namespace korvane;
using namespace korvane::testing;

namespace {

struct Site
{
    QString name;
    int count;
    QString latestDate;
    QString latestUrl;
};

QList<Site> sitesOf(const AnalysisRecord &record)
{
    QList<Site> sites;
    for (int row = 1; row <= record.siteCount(); ++row)
        sites.append({record.SiteNames.at(row), record.SiteLinkCounts.at(row),
                      record.SiteLatestDates.at(row), record.SiteLatestUrls.at(row)});
    return sites;
}

QStringList siteNames(const AnalysisRecord &record)
{
    return record.SiteNames.mid(1);
}

// A table that is not a result: first cell with two children but no address line.
QString plainTable()
{
    return QStringLiteral("<table><tr><td><i>a</i><i>b</i></td></tr></table>");
}

void verifyWalkGoesOn(const AnalysisRecord &record, qint32 cursor)
{
    QCOMPARE(record.PageCursor, cursor);
    QCOMPARE(record.DoneMessage, QString());
}

} // namespace

class TestResultPage : public QObject
{
    Q_OBJECT
private slots:
    void addressLineShapes_data();
    void addressLineShapes();
    void unreadableEntries_data();
    void unreadableEntries();
    void skippedEntries_data();
    void skippedEntries();
    void repeatTest_data();
    void repeatTest();
    void fewerThanTwoTables_data();
    void fewerThanTwoTables();
    void tableZeroNeverRead();
    void tableCountLimit_data();
    void tableCountLimit();
    void fixtureWalk();
    void fixtureRealSpacing();
    void fixtureRepeat();
    void fixtureBadLine();
    void gb2312PageReadsAsUtf8Page();
    void laterLayouts_data();
    void laterLayouts();
};

void TestResultPage::addressLineShapes_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("date");

    QTest::newRow("address and date")
        << QStringLiteral("www.a.com/x.html 2011-12-5") << QStringLiteral("www.a.com/x.html")
        << QStringLiteral("2011-12-5");
    QTest::newRow("trailing blank (the engine's usual line)")
        << QStringLiteral("www.a.com/x.html 2011-12-5 ") << QStringLiteral("www.a.com/x.html")
        << QStringLiteral("2011-12-5");
    QTest::newRow("three pieces: the middle one is the date")
        << QStringLiteral("www.a.com/x 2011-12-5 note") << QStringLiteral("www.a.com/x")
        << QStringLiteral("2011-12-5");
    QTest::newRow("size field and trailing blank: third piece")
        << QStringLiteral("hi.baidu.com/k/item/5c.html 12K 2011-1-5 ")
        << QStringLiteral("hi.baidu.com/k/item/5c.html") << QStringLiteral("2011-1-5");
    QTest::newRow("four pieces without trailing blank: third piece")
        << QStringLiteral("bbs.c.cn/t ... 2011-9-9 12K") << QStringLiteral("bbs.c.cn/t")
        << QStringLiteral("2011-9-9");
    QTest::newRow("' ... ' in a truncated address")
        << QStringLiteral("www.d-example.cn/links/partners/fr ... 2011-10-17 ")
        << QStringLiteral("www.d-example.cn/links/partners/fr") << QStringLiteral("2011-10-17");
    QTest::newRow("bold run around the matched host")
        << QStringLiteral("www.<b>example.com</b>/ 2011-12-5 ")
        << QStringLiteral("www.example.com/") << QStringLiteral("2011-12-5");
    QTest::newRow("several bold runs, one in the date")
        << QStringLiteral("<b>www</b>.<b>example</b>.com/a <b>3</b>小时前 ")
        << QStringLiteral("www.example.com/a") << QStringLiteral("3小时前");
    QTest::newRow("hours ago") << QStringLiteral("tieba.baidu.com/p/1311927372 3小时前 ")
                               << QStringLiteral("tieba.baidu.com/p/1311927372")
                               << QStringLiteral("3小时前");
    QTest::newRow("minutes ago") << QStringLiteral("www.douban.com/group/topic/2/ 25分钟前 ")
                                 << QStringLiteral("www.douban.com/group/topic/2/")
                                 << QStringLiteral("25分钟前");
    QTest::newRow("' ... ' and no trailing blank: the date follows the mark")
        << QStringLiteral("wenku.example.com/view/ac14 ... 2011-4-19") << QStringLiteral("wenku.example.com/view/ac14")
        << QStringLiteral("2011-4-19");
    QTest::newRow("' ...' at the end: the mark is all there is")
        << QStringLiteral("www.a.com/x ... ") << QStringLiteral("www.a.com/x") << QStringLiteral("...");
    QTest::newRow("character references decoded after the split")
        << QStringLiteral("www.a.com/q?a=1&amp;b=%22&#x27;&lt;&gt; 2011-12-5 ")
        << QStringLiteral("www.a.com/q?a=1&b=%22'<>") << QStringLiteral("2011-12-5");
    QTest::newRow("a lone ampersand stays, a reference beside it is decoded")
        << QStringLiteral("www.a.com/a&b&amp;c&amp 2011-12-5 ") << QStringLiteral("www.a.com/a&b&c&amp")
        << QStringLiteral("2011-12-5");
    QTest::newRow("no-break space does not split")
        << QStringLiteral("www.a.com/a&nbsp;b 2011-12-5 ") << QStringLiteral("www.a.com/a\u00a0b")
        << QStringLiteral("2011-12-5");
    QTest::newRow("two blanks make an empty piece")
        << QStringLiteral("www.a.com/x  2011-12-5 ") << QStringLiteral("www.a.com/x")
        << QStringLiteral("2011-12-5");
    QTest::newRow("scheme shown before the address: no part of the site")
        << QStringLiteral("https://tieba.example.com/f?kw=1 2011-12-5 ") << QStringLiteral("tieba.example.com/f?kw=1")
        << QStringLiteral("2011-12-5");
    QTest::newRow("plain http scheme") << QStringLiteral("http://www.a.com/ 3小时前 ") << QStringLiteral("www.a.com/")
                                       << QStringLiteral("3小时前");
    QTest::newRow("a single blank: empty address and date")
        << QStringLiteral(" ") << QString() << QString();
}

void TestResultPage::addressLineShapes()
{
    QFETCH(QString, line);
    QFETCH(QString, address);
    QFETCH(QString, date);

    AnalysisRecord record;
    record.PageCount = 40.5;
    record.PageCursor = 3;
    ParseResultPage(*parsePage(resultsPage({resultTable(1, line)})), record);

    verifyWalkGoesOn(record, 3);
    QCOMPARE(record.siteCount(), 1);
    QCOMPARE(record.SiteLatestUrls.at(1), address);
    QCOMPARE(record.SiteLatestDates.at(1), date);
}

void TestResultPage::unreadableEntries_data()
{
    QTest::addColumn<QString>("badTable");
    QTest::addColumn<double>("pageCount");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("message");

    // The reader's own failures end the walk with the page-error message.
    const QString pageError = texts::pageErrorMessage();
    QTest::newRow("address line without a blank, 4.5 pages")
        << resultTable(2, QStringLiteral("www.b.com/")) << 4.5 << 6 << pageError;
    QTest::newRow("empty address line, 9.5 pages (10.5 rounds to 10)")
        << resultTable(2, QString()) << 9.5 << 10 << pageError;
    QTest::newRow("bold tags only: empty after removal, 0 pages")
        << resultTable(2, QStringLiteral("<b></b>")) << 0.0 << 1 << pageError;
    QTest::newRow("relative date without a number (tally fails)")
        << resultTable(2, QStringLiteral("www.a.com/2 小时前 ")) << 1.5 << 2 << pageError;

    // A table whose shape is not an entry's fails in the document model: the page's reading
    // ends there, silently, and the walk goes on.
    QTest::newRow("table without rows") << QStringLiteral("<table></table>") << 3.0 << 0 << QString();
    QTest::newRow("row without cells") << QStringLiteral("<table><tr></tr></table>") << 3.0 << 0 << QString();
    QTest::newRow("first cell with one child element")
        << QStringLiteral("<table><tr><td><span class=\"g\">www.b.com/ 2011-1-1 </span></td></tr></table>")
        << 3.0 << 0 << QString();
    QTest::newRow("related searches: first cell without a child element")
        << QStringLiteral("<div id=\"rs\"><table cellpadding=\"0\"><tr><th rowspan=\"2\" class=\"tt\">相关搜索</th>"
                          "<th><a href=\"s?wd=a\">a</a></th><td></td><th><a href=\"s?wd=b\">b</a></th></tr>"
                          "<tr><th><a href=\"s?wd=c\">c</a></th></tr></table></div>")
        << 3.0 << 0 << QString();
}

void TestResultPage::unreadableEntries()
{
    QFETCH(QString, badTable);
    QFETCH(double, pageCount);

    // A good entry, the unreadable one, then one that is no longer read.
    const QString html = resultsPage({resultTable(1, QStringLiteral("www.a.com/1 2011-12-5 ")),
                                      badTable,
                                      resultTable(3, QStringLiteral("www.c.com/3 2011-12-5 "))});
    AnalysisRecord record;
    record.PageCount = pageCount;
    ParseResultPage(*parsePage(html), record);

    QTEST(int(record.PageCursor), "cursor");
    QTEST(record.DoneMessage, "message");
    QCOMPARE(siteNames(record), QStringList{QStringLiteral("www.a.com")});
    QVERIFY(record.LastFirstEntry.contains(QLatin1String("www.a.com/1 2011-12-5 ")));
}

void TestResultPage::skippedEntries_data()
{
    QTest::addColumn<QString>("table");

    // innerHTML always writes an element's tag in upper case with an unquoted one-word class;
    // other spellings reach the entry's markup only as comment text, and are not matched.
    QTest::newRow("lower-case tag")
        << tableWithEntry(QStringLiteral("<font><!--<span class=g>www.x.com/ 2011-1-1 </span>--></font>"));
    QTest::newRow("quoted class value")
        << tableWithEntry(QStringLiteral("<font><!--<SPAN class=\"g\">www.x.com/ 2011-1-1 </SPAN>--></font>"));
    QTest::newRow("a second class name")
        << resultTable(1, QStringLiteral("www.x.com/ 2011-1-1 "), QString())
               .replace(QLatin1String("class=\"g\""), QLatin1String("class=\"g c-gray\""));
    QTest::newRow("another attribute before the class")
        << resultTable(1, QStringLiteral("www.x.com/ 2011-1-1 "), QString())
               .replace(QLatin1String("class=\"g\""), QLatin1String("id=\"u1\" class=\"g\""));
    QTest::newRow("opening tag without a closing one after it")
        << tableWithEntry(QStringLiteral("<font><span class=\"c\">2011-1-1</span>"
                                         "<!--<SPAN class=g>www.x.com/ 2011-1-1 --></font>"));
    QTest::newRow("no address line at all") << plainTable();
}

void TestResultPage::skippedEntries()
{
    QFETCH(QString, table);
    const QString html = resultsPage({resultTable(1, QStringLiteral("www.y.com/1 2011-12-5 ")), table,
                                      resultTable(3, QStringLiteral("www.z.com/3 2011-12-5 "))});
    AnalysisRecord record;
    record.PageCount = 2.5;
    record.PageCursor = 1;
    ParseResultPage(*parsePage(html), record);

    verifyWalkGoesOn(record, 1);
    QCOMPARE(siteNames(record), (QStringList{QStringLiteral("www.y.com"), QStringLiteral("www.z.com")}));
}

void TestResultPage::repeatTest_data()
{
    // The previous page's first entry comes from reading a page with `previousTable` first;
    // without one, LastFirstEntry is `previousFirst` as it stands.
    QTest::addColumn<QString>("previousTable");
    QTest::addColumn<QString>("previousFirst");
    QTest::addColumn<QString>("firstTable");
    QTest::addColumn<double>("pageCount");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<int>("repeatCursor"); // the cursor a repeat leaves: pageCount, half to even

    const QString line = QStringLiteral("www.a.com/1 2011-12-5 ");
    const QString withoutDash = QStringLiteral("www.a.com/1 3小时前 ");
    const QString snapshot = QStringLiteral(
        " - <a href=\"http://cache.baidu.com/c?m=9f65&qid=%1\" class=\"m\">百度快照</a><br>\n");

    QTest::newRow("first page of the walk, entry with '-'")
        << QString() << QString() << resultTable(1, line) << 9.5 << false << 10;
    QTest::newRow("first page of the walk, entry without '-': nothing to repeat")
        << QString() << QString() << resultTable(1, withoutDash, QString()) << 9.5 << false << 10;
    QTest::newRow("previous entry without '-', a different one without either")
        << QString() << QStringLiteral("no dash here") << resultTable(1, withoutDash, QString())
        << 8.5 << false << 8;
    QTest::newRow("the same entry without '-' again, 8.5 -> 8")
        << resultTable(1, withoutDash, QString()) << QString() << resultTable(1, withoutDash, QString())
        << 8.5 << true << 8;
    QTest::newRow("the same first entry again, 7.3 -> 7")
        << resultTable(1, line) << QString() << resultTable(1, line) << 7.3 << true << 7;
    QTest::newRow("differs only after the last '-', 2.5 -> 2")
        << resultTable(1, line, snapshot.arg(QLatin1String("a3f6e0")))
        << QString() << resultTable(1, line, snapshot.arg(QLatin1String("77b1c2"))) << 2.5 << true << 2;
    QTest::newRow("differs before the last '-'")
        << resultTable(1, line) << QString() << resultTable(1, QStringLiteral("www.a.com/1 2011-12-6 "))
        << 7.3 << false << 7;
    QTest::newRow("previous entry with '-', this one without")
        << resultTable(1, line) << QString() << resultTable(1, withoutDash, QString()) << 7.3 << false << 7;
}

void TestResultPage::repeatTest()
{
    QFETCH(QString, previousTable);
    QFETCH(QString, previousFirst);
    QFETCH(QString, firstTable);
    QFETCH(double, pageCount);
    QFETCH(bool, repeat);

    AnalysisRecord record;
    record.LastFirstEntry = previousFirst;
    if (!previousTable.isEmpty()) {
        ParseResultPage(*parsePage(resultsPage({previousTable})), record);
        QVERIFY(!record.LastFirstEntry.isEmpty());
        record.eraseSiteTable();
    }
    const QString previous = record.LastFirstEntry;
    record.PageCount = pageCount;
    record.PageCursor = 1;

    const auto document =
        parsePage(resultsPage({firstTable, resultTable(2, QStringLiteral("www.b.com/2 2011-12-5 "))}));
    ParseResultPage(*document, record);
    QCOMPARE(record.DoneMessage, QString());
    QFETCH(int, repeatCursor);

    if (repeat) {
        QCOMPARE(record.PageCursor, repeatCursor);
        QVERIFY(!record.siteTableAllocated());
        QCOMPARE(record.LastFirstEntry, previous);
        return;
    }
    QCOMPARE(record.PageCursor, 1);
    QCOMPARE(siteNames(record), (QStringList{QStringLiteral("www.a.com"), QStringLiteral("www.b.com")}));
    QVERIFY(record.LastFirstEntry != previous);
    // This page's first entry is now the one to compare with: the same page again repeats.
    ParseResultPage(*document, record);
    QCOMPARE(record.PageCursor, repeatCursor);
    QCOMPARE(record.SiteLinkCounts.mid(1), (QList<qint32>{1, 1}));
}

void TestResultPage::fewerThanTwoTables_data()
{
    QTest::addColumn<QString>("html");
    QTest::newRow("no table") << page(QStringLiteral("<p>nothing</p>"));
    QTest::newRow("only the search form") << resultsPage({});
    QTest::newRow("only a result as table 0")
        << page(resultTable(0, QStringLiteral("www.a.com/ 2011-12-5 ")));
}

void TestResultPage::fewerThanTwoTables()
{
    QFETCH(QString, html);
    AnalysisRecord record;
    record.LastFirstEntry = QStringLiteral("previous-first");
    record.PageCount = 5;
    record.PageCursor = 2;
    ParseResultPage(*parsePage(html), record);

    verifyWalkGoesOn(record, 2);
    QVERIFY(!record.siteTableAllocated());
    QCOMPARE(record.LastFirstEntry, QStringLiteral("previous-first"));
}

void TestResultPage::tableZeroNeverRead()
{
    // Table 0 holds an address line, and a second one that could not be read at all.
    const QString html = page(resultTable(0, QStringLiteral("www.zero.com/ 2011-12-5 "))
                              + resultTable(1, QStringLiteral("www.one.com/ 2011-12-5 ")));
    AnalysisRecord record;
    ParseResultPage(*parsePage(html), record);
    QCOMPARE(siteNames(record), QStringList{QStringLiteral("www.one.com")});

    AnalysisRecord second;
    ParseResultPage(*parsePage(QStringLiteral("<table></table>")
                               + resultTable(1, QStringLiteral("www.one.com/ 2011-12-5 "))),
                    second);
    QCOMPARE(siteNames(second), QStringList{QStringLiteral("www.one.com")});
    QCOMPARE(second.DoneMessage, QString());
}

void TestResultPage::tableCountLimit_data()
{
    QTest::addColumn<int>("tableCount");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("32768 tables: last index 32767") << 32768 << false;
    QTest::newRow("32769 tables: last index overflows") << 32769 << true;
}

void TestResultPage::tableCountLimit()
{
    QFETCH(int, tableCount);
    QFETCH(bool, overflow);

    QStringList tables{resultTable(1, QStringLiteral("www.a.com/ 2011-12-5 "))};
    for (int i = 2; i < tableCount - 1; ++i)
        tables.append(plainTable());
    tables.append(resultTable(tableCount - 1, QStringLiteral("www.last.com/ 2011-12-5 ")));
    AnalysisRecord record;
    record.PageCount = 2;
    ParseResultPage(*parsePage(resultsPage(tables)), record);

    if (overflow) {
        QCOMPARE(record.PageCursor, 3);
        QCOMPARE(record.DoneMessage, texts::pageErrorMessage());
        QVERIFY(!record.siteTableAllocated());
        QCOMPARE(record.LastFirstEntry, QString());
    } else {
        verifyWalkGoesOn(record, 0);
        QCOMPARE(siteNames(record), (QStringList{QStringLiteral("www.a.com"), QStringLiteral("www.last.com")}));
    }
}

void TestResultPage::fixtureWalk()
{
    AnalysisRecord record;
    record.PageCount = 405;
    record.PageCursor = 1;
    ParseResultPage(*fixturePage(QStringLiteral("results_total_4050.html")), record);
    verifyWalkGoesOn(record, 1);
    QCOMPARE(siteNames(record),
             (QStringList{QStringLiteral("www.example.com"), QStringLiteral("bbs.example.net"),
                          QStringLiteral("blog.sina.com.cn"), QStringLiteral("tieba.baidu.com"),
                          QStringLiteral("www.douban.com"), QStringLiteral("www.cnblogs.com"),
                          QStringLiteral("zhidao.baidu.com"), QStringLiteral("www.dianping-example.cn"),
                          QStringLiteral("hi.baidu.com"), QStringLiteral("www.example.org")}));
    const QStringList dates = record.SiteLatestDates.mid(1);
    QCOMPARE(dates,
             (QStringList{QStringLiteral("2011-12-5"), QStringLiteral("2011-11-28"),
                          QStringLiteral("2011-12-1"), QStringLiteral("3小时前"),
                          QStringLiteral("25分钟前"), QStringLiteral("2011-12-5"),
                          QStringLiteral("2011-11-9"), QStringLiteral("2011-10-17"),
                          QStringLiteral("2011-1-5"), QStringLiteral("2011-8-30")}));

    record.PageCursor = 2;
    ParseResultPage(*fixturePage(QStringLiteral("results_walk_2.html")), record);
    verifyWalkGoesOn(record, 2);
    const QList<Site> sites = sitesOf(record);
    QCOMPARE(sites.size(), 11);
    QCOMPARE(sites.at(0).count, 2); // www.example.com: the older date stays
    QCOMPARE(sites.at(0).latestDate, QStringLiteral("2011-12-5"));
    QCOMPARE(sites.at(0).latestUrl, QStringLiteral("www.example.com/"));
    QCOMPARE(sites.at(1).count, 2); // bbs.example.net: the newer date and its address
    QCOMPARE(sites.at(1).latestDate, QStringLiteral("2011-12-6"));
    QCOMPARE(sites.at(1).latestUrl, QStringLiteral("bbs.example.net/thread-2048-1-1.html"));
    QCOMPARE(sites.at(3).latestDate, QStringLiteral("1小时前"));
    QCOMPARE(sites.at(10).name, QStringLiteral("blog.163.com"));
    QCOMPARE(sites.at(10).latestDate, QStringLiteral("2011-11-30"));
}

// The engine's real spacing and its related-searches table: every entry keeps its date, and
// the table after the page bar ends the page without ending the walk.
void TestResultPage::fixtureRealSpacing()
{
    AnalysisRecord record;
    record.PageCount = 405;
    record.PageCursor = 2;
    ParseResultPage(*fixturePage(QStringLiteral("results_real_spacing.html")), record);
    verifyWalkGoesOn(record, 2);
    QCOMPARE(siteNames(record),
             (QStringList{QStringLiteral("www.example.com"), QStringLiteral("blog.example.net"),
                          QStringLiteral("wenku.example.com"), QStringLiteral("example.org"),
                          QStringLiteral("bbs.example.cn"), QStringLiteral("www.example-links.cn"),
                          QStringLiteral("tieba.example.com")}));
    QCOMPARE(record.SiteLatestDates.mid(1),
             (QStringList{QStringLiteral("2011-7-29"), QStringLiteral("2011-6-17"), QStringLiteral("2011-4-19"),
                          QStringLiteral("2011-7-29"), QStringLiteral("2011-7-28"), QStringLiteral("2011-7-1"),
                          QStringLiteral("5小时前")}));
    QCOMPARE(record.SiteLatestUrls.at(4), QStringLiteral("example.org/"));
    QCOMPARE(record.SiteLatestUrls.at(6), QStringLiteral("www.example-links.cn/go.php?id=3&from=bd"));
}

void TestResultPage::fixtureRepeat()
{
    AnalysisRecord record;
    record.PageCount = 9.5;
    ParseResultPage(*fixturePage(QStringLiteral("results_total_4050.html")), record);
    const QString firstEntry = record.LastFirstEntry;
    QCOMPARE(record.siteCount(), 10);

    // Served again with other request ids in the snapshot links (after the last "-").
    record.PageCursor = 4;
    ParseResultPage(*fixturePage(QStringLiteral("results_repeat_of_total_4050.html")), record);
    QCOMPARE(record.PageCursor, 10);
    QCOMPARE(record.DoneMessage, QString());
    QCOMPARE(record.LastFirstEntry, firstEntry);
    QCOMPARE(record.SiteLinkCounts.mid(1), QList<qint32>(10, 1));
}

void TestResultPage::fixtureBadLine()
{
    AnalysisRecord record;
    record.PageCount = 4.5;
    record.PageCursor = 2;
    ParseResultPage(*fixturePage(QStringLiteral("results_bad_line.html")), record);
    QCOMPARE(record.PageCursor, 6);
    QCOMPARE(record.DoneMessage, texts::pageErrorMessage());
    QCOMPARE(siteNames(record),
             (QStringList{QStringLiteral("www.example.com"), QStringLiteral("bbs.example.net")}));
}

void TestResultPage::gb2312PageReadsAsUtf8Page()
{
    AnalysisRecord fromUtf8;
    ParseResultPage(*fixturePage(QStringLiteral("results_walk_2.html")), fromUtf8);
    AnalysisRecord fromGb2312;
    ParseResultPage(*fixturePage(QStringLiteral("results_walk_2_gb2312.html")), fromGb2312);

    QCOMPARE(fromGb2312.siteCount(), 4);
    QCOMPARE(fromGb2312.SiteNames, fromUtf8.SiteNames);
    QCOMPARE(fromGb2312.SiteLatestDates, fromUtf8.SiteLatestDates);
    QCOMPARE(fromGb2312.SiteLatestUrls, fromUtf8.SiteLatestUrls);
    QCOMPARE(fromGb2312.LastFirstEntry, fromUtf8.LastFirstEntry);
}

// The engine's later layouts, one DIV per result: sites, dates and addresses in page order,
// cards and nested containers left out; then the same page again is a repeat.
void TestResultPage::laterLayouts_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("withoutTotal");
    QTest::addColumn<QStringList>("sites");
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("cursor");

    QTest::newRow("2015: address line in span.g, a card")
        << QStringLiteral("later_2015.html") << false
        << QStringList{QStringLiteral("www.example.com"), QStringLiteral("bbs.example.net"), QStringLiteral("tieba.example.cn")}
        << QStringList{QStringLiteral("2012-02-24"), QStringLiteral("2013-7-5"), QStringLiteral("3小时前")}
        << QStringList{QStringLiteral("www.example.com/group/t..."), QStringLiteral("bbs.example.net/thread-77-1-1.html"),
                       QStringLiteral("tieba.example.cn/p/3012")}
        << 4 << 2;
    QTest::newRow("2018: c-showurl, bold, style-wrapped site name, scheme, relative dates")
        << QStringLiteral("later_2018.html") << false
        << QStringList{QStringLiteral("www.example.com"), QStringLiteral("百度知道"), QStringLiteral("tieba.example.com"),
                       QStringLiteral("blog.example.org")}
        << QStringList{QStringLiteral("昨天 12:30"), QStringLiteral("2017年3月2日"), QStringLiteral("6天前"), QString()}
        << QStringList{QStringLiteral("www.example.com/news/"), QStringLiteral("百度知道"),
                       QStringLiteral("tieba.example.com/f?kw=%E7%A4%BA%E4%BE%8B"), QStringLiteral("blog.example.org/2017/0...")}
        << 5 << 2;
    QTest::newRow("2020: footer se_st_footer, missing dates")
        << QStringLiteral("later_2020.html") << false
        << QStringList{QStringLiteral("www.site0.example.cn"), QStringLiteral("www.site1.example.cn"),
                       QStringLiteral("www.site2.example.cn"), QStringLiteral("www.site3.example.cn"),
                       QStringLiteral("www.site4.example.cn"), QStringLiteral("www.site5.example.cn"),
                       QStringLiteral("www.site6.example.cn")}
        << QStringList{QStringLiteral("2020年1月1日"), QStringLiteral("2020年9月9日"), QStringLiteral("2020年10月10日"),
                       QStringLiteral("2020年4月4日"), QString(), QStringLiteral("2020年6月6日"), QStringLiteral("2020年7月7日")}
        << QStringList{QStringLiteral("www.site0.example.cn/a/1.html"), QStringLiteral("www.site1.example.cn/a/9.html"),
                       QStringLiteral("www.site2.example.cn/a/10.html"), QStringLiteral("www.site3.example.cn/a/4.html"),
                       QStringLiteral("www.site4.example.cn/a/5.html"), QStringLiteral("www.site5.example.cn/a/6.html"),
                       QStringLiteral("www.site6.example.cn/a/7.html")}
        << 10 << 2;
    QTest::newRow("2021: nums new_nums, http scheme, site name")
        << QStringLiteral("later_2021.html") << false
        << QStringList{QStringLiteral("www.example.com"), QStringLiteral("zhuanlan.example.cn"), QStringLiteral("百度文库")}
        << QStringList{QStringLiteral("2021年5月9日"), QString(), QStringLiteral("前天 08:15")}
        << QStringList{QStringLiteral("www.example.com/2021/x.html"), QStringLiteral("zhuanlan.example.cn/p/1021"),
                       QStringLiteral("百度文库")}
        << 3 << 2;
    const QStringList sites2026{QStringLiteral("www.example.com"), QStringLiteral("github.com"),
                                QStringLiteral("cloud.tencent.example.cn"), QStringLiteral("百度百科")};
    const QStringList dates2026{QStringLiteral("2023年4月28日"), QString(), QStringLiteral("3天前"), QStringLiteral("2024年1月2日")};
    const QStringList urls2026{QStringLiteral("www.example.com/magazine/frontend/a-long-path/"), QStringLiteral("github.com/oven-sh/x/"),
                               QStringLiteral("cloud.tencent.example.cn/developer/article/1"), QStringLiteral("百度百科")};
    // A cut host, a cut path (…), the placeholder target behind a site name and behind an
    // address (cards, both), a site name with mu, a whole address beside another mu.
    QTest::newRow("2026: the block's own target for cut addresses and site names, placeholder cards")
        << QStringLiteral("later_2026_targets.html") << true
        << QStringList{QStringLiteral("docs.example-protocol.mintlify.app"), QStringLiteral("www.example.com"),
                       QStringLiteral("bbs.example.net"), QStringLiteral("blog.example.org")}
        << QStringList{QStringLiteral("2025年3月1日"), QStringLiteral("2025年3月2日"), QStringLiteral("2025年3月4日"),
                       QStringLiteral("2025年3月6日")}
        << QStringList{QStringLiteral("docs.example-protocol.mintlify.app/docs/getting-started"),
                       QStringLiteral("www.example.com/magazine/frontend/a-long-path/"),
                       QStringLiteral("bbs.example.net/thread-9-1-1.html"), QStringLiteral("blog.example.org/2025/whole.html")}
        << 4 << 2;
    QTest::newRow("2026: hashed classes, site names with and without mu")
        << QStringLiteral("later_2026.html") << false << sites2026 << dates2026 << urls2026 << 4 << 2;
    QTest::newRow("2026 without a total: a next page, the walk goes on")
        << QStringLiteral("later_2026.html") << true << sites2026 << dates2026 << urls2026 << 4 << 2;
    QTest::newRow("2026 without a total: no next page, the walk ends")
        << QStringLiteral("later_2026_last.html") << true << sites2026 << dates2026 << urls2026 << 4 << 76;
    QTest::newRow("2026 without a total: the last page's only class-n link is 上一页, the walk ends")
        << QStringLiteral("later_2026_last_previous.html") << true << sites2026 << dates2026 << urls2026 << 4 << 76;
    QTest::newRow("without a total: no entry but a 下一页 link, the walk ends")
        << QStringLiteral("later_2026_cards_only.html") << true << QStringList() << QStringList() << QStringList() << 0 << 76;
    QTest::newRow("no-results page: nothing") << QStringLiteral("later_none.html") << true << QStringList()
                                              << QStringList() << QStringList() << 0 << 76;
    // Read by the 2011 reader, unchanged: the first table's entry is empty, as empty as the
    // previous page's, and counts as a repeat.
    QTest::newRow("foreign template: nothing read, an empty first entry repeats")
        << QStringLiteral("later_foreign_template.html") << false << QStringList() << QStringList() << QStringList()
        << 0 << 76;
}

void TestResultPage::laterLayouts()
{
    QFETCH(QString, page);
    QFETCH(bool, withoutTotal);
    QFETCH(QStringList, sites);
    QFETCH(int, entries);

    AnalysisRecord record;
    record.PageCount = 76;
    record.PageCursor = 2;
    record.WalkWithoutTotal = withoutTotal;
    const auto document = fixturePage(page);
    ParseResultPage(*document, record);

    QCOMPARE(record.DoneMessage, QString());
    QTEST(int(record.PageCursor), "cursor");
    QCOMPARE(siteNames(record), sites);
    QTEST(record.SiteLatestDates.mid(1), "dates");
    QTEST(record.SiteLatestUrls.mid(1), "urls");
    QCOMPARE(record.EntriesRead, qint64(entries));
    if (entries == 0)
        return;

    // The same page served again: nothing more is tallied, and the walk ends.
    const QList<qint32> counts = record.SiteLinkCounts;
    record.PageCursor = 3;
    ParseResultPage(*document, record);
    QCOMPARE(record.PageCursor, 76);
    QCOMPARE(record.SiteLinkCounts, counts);
    QCOMPARE(record.EntriesRead, qint64(entries));
}

QTEST_GUILESS_MAIN(TestResultPage)
#include "test_result_page.moc"
