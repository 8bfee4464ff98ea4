// Network and content faults end to end: the window's logic with the real browser against the
// fake engine on 127.0.0.1. Every fault must end the walk in a defined state within the
// browser's time-out, and the entries tallied before the fault must reach the report.

#include "browser/web_browser.h"
#include "crawl/form1_logic.h"

#include "e2e_support.h"
#include "fake_engine.h"
#include "fake_view.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

using namespace korvane;
using namespace korvane::testing;

Q_DECLARE_METATYPE(korvane::testing::EngineDomain)

namespace {

using Response = HttpTestServer::Response;
using std::chrono::milliseconds;

constexpr auto kWalkWait = std::chrono::seconds(30);
constexpr int kQueryPage = -2; // refuse connections from the start
constexpr int kNever = -1;

const QString kDomain = QStringLiteral("example.com");
const QString kPageError = QStringLiteral("分析完成，但出现了页面无法访问的错误，您可以尝试再次分析！");
const QString kDone = QStringLiteral("分析已完成！");

using ShortPages = QHash<int, int>;

EngineDomain withAnswer(int total, int page, EngineDomain::PageAnswer answer)
{
    EngineDomain config = domainOf(total);
    config.customAnswers.insert(page, std::move(answer));
    return config;
}

// The page with about ten megabytes of text after its results.
Response tenMegabytes(const HttpTestServer::Request &, const QString &html)
{
    const QString paragraph = QStringLiteral("<p>") + QString(100 * 1024, QLatin1Char('x')) + QStringLiteral("</p>\n");
    QString padding;
    padding.reserve(paragraph.size() * 100);
    for (int i = 0; i < 100; ++i)
        padding += paragraph;
    return Response::html(QString(html).replace(QStringLiteral("</body>"), padding + QStringLiteral("</body>")).toUtf8());
}

Response redirectToItself(const HttpTestServer::Request &request, const QString &)
{
    return Response::redirect(request.target);
}

// GB18030 bytes, while header and meta say utf-8.
Response mislabelled(const HttpTestServer::Request &, const QString &html)
{
    QStringEncoder encoder("GB18030");
    return Response::html(encoder.encode(html), QByteArrayLiteral("text/html; charset=utf-8"));
}

// The page cut inside the sixth result's table (in its title link), sent as a whole answer.
Response cutInSixthTable(const HttpTestServer::Request &, const QString &html)
{
    return Response::html(html.left(html.indexOf(QStringLiteral("结果标题 6"))).toUtf8());
}

Response randomBytes(const HttpTestServer::Request &, const QString &)
{
    QRandomGenerator generator(20111225);
    QByteArray bytes(64 * 1024, '\0');
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return Response::html(bytes, QByteArrayLiteral("text/html"));
}

Response emptyBody(const HttpTestServer::Request &, const QString &)
{
    return Response::html(QByteArray());
}

// Site and count of each row: what survives any decoding of the dates.
QList<QPair<QString, int>> sitesAndCounts(const QList<SiteRow> &rows)
{
    QList<QPair<QString, int>> pairs;
    for (const SiteRow &row : rows)
        pairs.append({row.site, row.count});
    return pairs;
}

} // namespace

class TestE2eFaults : public QObject
{
    Q_OBJECT
private slots:
    void fault_data();
    void fault();
    void mislabelledEngine();
};

void TestE2eFaults::fault_data()
{
    QTest::addColumn<EngineDomain>("config");
    QTest::addColumn<int>("refuseFrom");   // page index from which the engine refuses connections
    QTest::addColumn<int>("timeoutMs");    // the browser's time-out
    QTest::addColumn<QList<int>>("offsets"); // as the engine saw them, redirects folded
    QTest::addColumn<int>("tallied");      // entries in the report; -1: the notice form
    QTest::addColumn<ShortPages>("shortPages"); // page -> entries it yields, the walk going on
    QTest::addColumn<bool>("exactDates");  // false: dates may have been decoded otherwise
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("failure"); // how the record's reason starts; empty: none

    const ShortPages none;
    QTest::newRow("refused from the query page on")
        << domainOf(45) << kQueryPage << 1000 << QList<int>{} << -1 << none << true << kPageError << QStringLiteral("第0页: connection refused (127.0.0.1:");
    QTest::newRow("refused from page 2 on")
        << domainOf(45) << 2 << 1000 << offsetsUpTo(10) << 20 << none << true << kPageError << QStringLiteral("第2页: connection refused (127.0.0.1:");

    EngineDomain cut = domainOf(45);
    cut.faults = {{2, Response::Ending::CloseMidBody}};
    QTest::newRow("connection closed mid-body on page 2")
        << cut << kNever << 1000 << offsetsUpTo(20) << 20 << none << true << kPageError << QStringLiteral("第2页: ");

    EngineDomain stall = domainOf(45);
    stall.faults = {{1, Response::Ending::Stall}};
    QTest::newRow("page 1 stalls past the time-out")
        << stall << kNever << 1000 << offsetsUpTo(10) << 10 << none << true << kPageError << QStringLiteral("第1页: timed out after 1 s");

    EngineDomain slowQuery = domainOf(45);
    slowQuery.delay = milliseconds(1500);
    QTest::newRow("query page answers after the time-out")
        << slowQuery << kNever << 1000 << QList<int>{-1} << -1 << none << true << kPageError << QStringLiteral("第0页: timed out after 1 s");

    EngineDomain slow = domainOf(25);
    slow.delay = milliseconds(200);
    QTest::newRow("slow answers within the time-out")
        << slow << kNever << 1000 << offsetsUpTo(20) << 25 << none << true << kDone << QString();

    QTest::newRow("10 MB page")
        << withAnswer(45, 1, tenMegabytes) << kNever << 5000 << offsetsUpTo(40) << 45 << none << true << kDone << QString();
    QTest::newRow("redirect loop on page 2")
        << withAnswer(45, 2, redirectToItself) << kNever << 1000 << offsetsUpTo(20) << 20 << none << true
        << kPageError << QStringLiteral("第2页: more than 10 redirects");
    QTest::newRow("page 1 in GB18030 labelled utf-8")
        << withAnswer(45, 1, mislabelled) << kNever << 1000 << offsetsUpTo(40) << 45 << none << false << kDone << QString();
    // A cut table is a table that is not an entry: the page ends there, the walk goes on.
    QTest::newRow("page 1 cut inside a result's table")
        << withAnswer(45, 1, cutInSixthTable) << kNever << 1000 << offsetsUpTo(40) << 40
        << ShortPages{{1, 5}} << true << kDone << QString();
    QTest::newRow("page 1 of random bytes")
        << withAnswer(45, 1, randomBytes) << kNever << 1000 << offsetsUpTo(40) << 35
        << ShortPages{{1, 0}} << true << kDone << QString();
    QTest::newRow("page 1 with an empty body")
        << withAnswer(45, 1, emptyBody) << kNever << 1000 << offsetsUpTo(40) << 35
        << ShortPages{{1, 0}} << true << kDone << QString();
}

void TestE2eFaults::fault()
{
    QFETCH(EngineDomain, config);
    QFETCH(int, refuseFrom);
    QFETCH(int, timeoutMs);
    QFETCH(QList<int>, offsets);
    QFETCH(int, tallied);
    QFETCH(ShortPages, shortPages);
    QFETCH(bool, exactDates);
    QFETCH(QString, status);
    QFETCH(QString, failure);

    FakeEngine engine;
    QVERIFY(engine.start());
    engine.setDomain(kDomain, config);

    FakeView view;
    view.domain = kDomain;
    WebBrowser browser;
    browser.setTimeout(milliseconds(timeoutMs));
    Form1Logic logic(view, browser, {engine.origin(), engine.origin()});
    WalkEnd end(logic);

    if (refuseFrom == kQueryPage)
        engine.stop();
    // Runs after the logic has handled the completion and asked for the next page.
    connect(&browser, &Browser::documentComplete, &engine, [&] {
        if (refuseFrom >= 0 && logic.record().PageCursor == refuseFrom)
            engine.stop();
    });

    logic.OnAnalyseClick();
    QVERIFY(end.wait(kWalkWait));
    QVERIFY(end.finished());
    QCOMPARE(logic.record().State, QStringLiteral("COMP"));
    QCOMPARE(view.status, status);
    QCOMPARE(view.pointer, 0);
    QCOMPARE(foldRepeats(engine.requestedOffsets()), offsets);
    const QString reason = logic.record().FailureReason;
    QVERIFY2(failure.isEmpty() ? reason.isEmpty() : reason.startsWith(failure), qPrintable(reason));

    if (tallied < 0) {
        QCOMPARE(view.result, noticeReport(status));
        return;
    }
    const QList<SiteRow> rows = reportRows(view.result);
    QVERIFY2(!rows.isEmpty(), qPrintable(view.result));
    QCOMPARE(countSum(rows), tallied);
    const QList<SiteRow> expected = expectedRows(config, tallied, shortPages);
    if (exactDates)
        QCOMPARE(rows, expected);
    else
        QCOMPARE(sitesAndCounts(rows), sitesAndCounts(expected));
}

// Every page in GB18030 under a utf-8 label, the query page included: whatever the browser
// makes of the bytes, the walk ends with a report, or says that it could not read the pages.
void TestE2eFaults::mislabelledEngine()
{
    EngineDomain config = domainOf(45);
    for (int page = 0; page < 5; ++page)
        config.customAnswers.insert(page, mislabelled);
    FakeEngine engine;
    QVERIFY(engine.start());
    engine.setDomain(kDomain, config);

    const Outcome outcome = analyse({engine.origin(), engine.origin()}, kDomain, milliseconds(1000), kWalkWait);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.state, QStringLiteral("COMP"));
    QCOMPARE(outcome.pointer, 0);
    // A page that was not understood is never reported as "no linking site".
    QVERIFY2(outcome.report != noticeReport(), qPrintable(outcome.report));
    if (outcome.report != noticeReport(QStringLiteral("分析中止，搜索引擎的页面格式无法识别！"))) {
        const QList<SiteRow> rows = reportRows(outcome.report);
        QVERIFY2(!rows.isEmpty(), qPrintable(outcome.report));
        QCOMPARE(sitesAndCounts(rows), sitesAndCounts(expectedRows(config, 45)));
    }
}

QTEST_GUILESS_MAIN(TestE2eFaults)
#include "test_e2e_faults.moc"
