// The window against the fake search engine on 127.0.0.1, through the real browser: start-up
// with the notice page, and whole analyses from the press of Analyse to the report. And the
// real program, started offscreen, ending at a click on Exit.

#include "app/form1.h"
#include "browser/web_browser.h"
#include "core/texts.h"
#include "crawl/form1_logic.h"

#include "e2e_support.h"
#include "engine_pages.h"
#include "fake_engine.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using namespace korvane;
using namespace korvane::testing;

Q_DECLARE_METATYPE(korvane::testing::EngineDomain)

namespace {

constexpr auto kBrowserTimeout = std::chrono::seconds(2);
constexpr auto kWalkWait = std::chrono::seconds(30);
constexpr int kStartupWaitMs = 10000;
constexpr qint64 kExitMs = 200; // from the click on Exit until the process has ended

const QString kPageError = QStringLiteral("分析完成，但出现了页面无法访问的错误，您可以尝试再次分析！");
const QString kNoSite = QStringLiteral("分析已完成，未找到外链网站！");
const QString kRefused = QStringLiteral("分析中止，搜索引擎要求安全验证，请稍后再试！");
const QString kStopped = QStringLiteral("分析中止，出现了意外的错误，您可以尝试再次分析！");
const QString kDone = QStringLiteral("分析已完成！");
const QString kUnreadable = QStringLiteral("分析中止，搜索引擎的页面格式无法识别！");
const QString kInvite = QStringLiteral("输入您的域名，点击“分析”按钮！");

// The fake engine, the real browser and the window, in that order of life.
struct Session
{
    FakeEngine engine;
    WebBrowser browser;
    std::unique_ptr<Form1> window;
    QList<QPair<QString, QString>> messages; // text, caption
    QStringList opened;

    Session() { browser.setTimeout(kBrowserTimeout); }

    // Starts the engine, then the window (notice page from `noticeOrigin`, by default the
    // engine's server). True once start-up has ended.
    bool start(const std::optional<QString> &noticeOrigin = std::nullopt)
    {
        if (!engine.start())
            return false;
        window = std::make_unique<Form1>(browser, Origins{engine.origin(), noticeOrigin.value_or(engine.origin())});
        window->setMessageHandler([this](const QString &text, const QString &caption) {
            messages.append({text, caption});
        });
        window->setOpenHandler([this](const QString &address) { opened.append(address); });
        window->setExitHandler([] {});
        QSignalSpy started(&window->logic(), &Form1Logic::startupFinished);
        window->load();
        window->show();
        return !started.isEmpty() || started.wait(kStartupWaitMs);
    }

    // Types `domain` and presses Analyse. True when the walk ended with a report.
    bool analyse(const QString &domain)
    {
        WalkEnd end(window->logic());
        window->Text1->setText(domain);
        QTest::mouseClick(window->CmdOk, Qt::LeftButton);
        return end.wait(kWalkWait) && (end.finished() || end.stopped());
    }

    // What the label row shows: each label's caption, or an empty text for a hidden label.
    QStringList shownLabels() const
    {
        QStringList shown;
        for (QLabel *label : window->lbLink)
            shown.append(label->isVisibleTo(window.get()) ? label->text() : QString());
        return shown;
    }
};

QStringList labelsWith(std::initializer_list<std::pair<int, QString>> filled)
{
    QStringList labels(kLinkLabelCount);
    labels[0] = QStringLiteral("lbLink(0)");
    for (const auto &[index, caption] : filled)
        labels[index] = caption;
    return labels;
}

} // namespace

class TestE2eWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void startup_data();
    void startup();
    void noticeLabelsPlaceAndOpen();
    void walk_data();
    void walk();
    void nextAnalysisStartsClean();
    void analyseDuringWalkStartsOver();
    void exitEndsTheProcessAtOnce();
    void commandLine_data();
    void commandLine();
};

void TestE2eWindow::initTestCase()
{
    installFontSubstitutions();
}

void TestE2eWindow::startup_data()
{
    QTest::addColumn<QStringList>("notice");
    QTest::addColumn<int>("noticeStatus");
    QTest::addColumn<bool>("unreachable");
    QTest::addColumn<QStringList>("expectedMessages");
    QTest::addColumn<QStringList>("expectedLabels");

    const QString homeAnchor = QStringLiteral("<a href=\"/home\" title=\"主页\">官方网站</a>");
    const QString helpAnchor = QStringLiteral("<a href=\"http://help.example.org/faq\" title=\"帮助\">帮助</a>");

    QTest::newRow("anchors, a line break and an update notice")
        << QStringList{homeAnchor, QStringLiteral("<br>"), helpAnchor,
                       QStringLiteral("<input type=\"hidden\" id=\"VersionDesc\" value=\"请下载新版本 2.0\">")}
        << 200 << false << QStringList{QStringLiteral("请下载新版本 2.0")}
        << labelsWith({{0, QStringLiteral("官方网站")}, {2, QStringLiteral("帮助")}});
    QTest::newRow("VersionDesc 0 raises no message")
        << QStringList{QStringLiteral("<input id=\"VersionDesc\" value=\"0\">"),
                       QStringLiteral("<a href=\"/x\">链</a>")}
        << 200 << false << QStringList{} << labelsWith({{1, QStringLiteral("链")}});
    QTest::newRow("empty VersionDesc raises a message")
        << QStringList{QStringLiteral("<input id=\"VersionDesc\" value=\"\">")} << 200 << false
        << QStringList{QString()} << labelsWith({});

    QStringList twelve;
    QStringList twelveLabels;
    for (int i = 0; i < 12; ++i) {
        twelve.append(QStringLiteral("<a href=\"/l%1\">L%1</a>").arg(i));
        if (i < kLinkLabelCount)
            twelveLabels.append(QStringLiteral("L%1").arg(i));
    }
    twelve.append(QStringLiteral("<input id=\"VersionDesc\" value=\"never read\">"));
    QTest::newRow("twelve anchors: the twelfth ends the reading")
        << twelve << 200 << false << QStringList{} << twelveLabels;

    QTest::newRow("notice server answers HTTP 500")
        << QStringList{homeAnchor} << 500 << false << QStringList{} << labelsWith({});
    QTest::newRow("notice server unreachable")
        << QStringList{homeAnchor} << 200 << true << QStringList{} << labelsWith({});
}

void TestE2eWindow::startup()
{
    QFETCH(QStringList, notice);
    QFETCH(int, noticeStatus);
    QFETCH(bool, unreachable);
    QFETCH(QStringList, expectedMessages);
    QFETCH(QStringList, expectedLabels);

    Session s;
    s.engine.setNotice(notice, noticeStatus);
    std::optional<QString> noticeOrigin;
    HttpTestServer closed;
    if (unreachable) {
        QVERIFY(closed.start());
        closed.stop(); // its port now refuses connections
        noticeOrigin = QStringLiteral("http://127.0.0.1:%1").arg(closed.port());
    }
    QVERIFY(s.start(noticeOrigin));

    QCOMPARE(s.window->logic().record().State, QStringLiteral("INITED"));
    QCOMPARE(s.window->lbTip->text(), kInvite);
    QCOMPARE(s.shownLabels(), expectedLabels);
    QStringList texts;
    for (const auto &[text, caption] : std::as_const(s.messages)) {
        texts.append(text);
        QCOMPARE(caption, QStringLiteral("工程1"));
    }
    QCOMPARE(texts, expectedMessages);

    const QList<HttpTestServer::Request> requests = s.engine.server().requests();
    if (unreachable) {
        QVERIFY(requests.isEmpty());
    } else {
        QCOMPARE(requests.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^/ad/Korvane\\.php\\?Version=1&cache=\\d+$"))
                     .match(QString::fromLatin1(requests[0].target))
                     .hasMatch(),
                 requests[0].target.constData());
    }
}

void TestE2eWindow::noticeLabelsPlaceAndOpen()
{
    Session s;
    s.engine.setNotice({QStringLiteral("<a href=\"/home\" title=\"主页\">官方网站</a>"), QStringLiteral("<br>"),
                        QStringLiteral("<a href=\"http://help.example.org/faq\" title=\"帮助\">帮助</a>")});
    QVERIFY(s.start());

    const LinkLabels &labels = s.window->logic().linkLabels();
    QCOMPARE(labels[0].placeTwips, QRect(240, 7200, 800, 250));
    QCOMPARE(labels[2].placeTwips, QRect(1140, 7200, 400, 250));
    QCOMPARE(s.window->lbLink[0]->toolTip(), QStringLiteral("主页"));
    QCOMPARE(s.window->lbLink[2]->toolTip(), QStringLiteral("帮助"));

    // The anchors' addresses are absolute: a relative href resolves against the notice page.
    QTest::mouseClick(s.window->lbLink[0], Qt::LeftButton);
    QTest::mouseClick(s.window->lbLink[2], Qt::LeftButton);
    QCOMPARE(s.opened, (QStringList{s.engine.origin() + QStringLiteral("/home"),
                                    QStringLiteral("http://help.example.org/faq")}));
}

void TestE2eWindow::walk_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<EngineDomain>("config");
    QTest::addColumn<QList<int>>("offsets"); // as the engine saw them; the query page is -1
    QTest::addColumn<int>("tallied");        // entries in the report; -1: the notice form; -2: stopped
    QTest::addColumn<QString>("status");

    const QString domain = QStringLiteral("example.com");

    QTest::newRow("45 results: five pages, the last one partial")
        << domain << domainOf(45) << offsetsUpTo(40) << 45 << kDone;
    EngineDomain gb2312 = domainOf(45);
    gb2312.gb2312 = true;
    QTest::newRow("GB2312 engine: Chinese dates intact") << domain << gb2312 << offsetsUpTo(40) << 45 << kDone;
    QTest::newRow("40 results: no page past the last") << domain << domainOf(40) << offsetsUpTo(30) << 40 << kDone;
    QTest::newRow("7 results: one partial page") << domain << domainOf(7) << offsetsUpTo(0) << 7 << kDone;
    QTest::newRow("Chinese domain") << QStringLiteral("名称.中国") << domainOf(15) << offsetsUpTo(10) << 15
                                    << kDone;

    EngineDomain repeat = domainOf(95);
    repeat.distinctPages = 3;
    QTest::newRow("repeated page ends the walk") << domain << repeat << offsetsUpTo(30) << 30 << kDone;

    EngineDomain empty = domainOf(35);
    empty.distinctPages = 2;
    empty.pastLast = EngineDomain::PastLast::Empty;
    QTest::newRow("pages without results do not end the walk") << domain << empty << offsetsUpTo(30) << 20 << kDone;

    QTest::newRow("4,050 results: capped at 76 pages") << domain << domainOf(4050) << offsetsUpTo(750) << 760
                                                       << kDone;

    EngineDomain broken = domainOf(45);
    broken.brokenPages = {2};
    QTest::newRow("unreadable entry on page 2") << domain << broken << offsetsUpTo(20) << 22 << kPageError;

    EngineDomain http500 = domainOf(45);
    http500.httpErrors = {{3, 500}};
    QTest::newRow("HTTP 500 on page 3") << domain << http500 << offsetsUpTo(30) << 30 << kPageError;

    EngineDomain http404 = domainOf(45);
    http404.httpErrors = {{1, 404}};
    QTest::newRow("HTTP 404 on page 1") << domain << http404 << offsetsUpTo(10) << 10 << kPageError;

    QTest::newRow("zero results") << domain << domainOf(0) << QList<int>{-1} << -1 << kNoSite;

    EngineDomain noBar = domainOf(45);
    noBar.pageBar = false;
    QTest::newRow("no page bar: no total, unreadable") << domain << noBar << QList<int>{-1} << -1 << kUnreadable;

    EngineDomain words = domainOf(45);
    words.totalText = QStringLiteral("找到相关结果约很多个");
    QTest::newRow("total that is not a number: unreadable") << domain << words << QList<int>{-1} << -1 << kUnreadable;

    for (const int year : {2015, 2018, 2021}) {
        EngineDomain later = domainOf(45);
        later.layout = year;
        QTest::newRow(qPrintable(QStringLiteral("%1 layout: 45 results over five pages").arg(year)))
            << domain << later << offsetsUpTo(40) << 45 << kDone;
    }
    EngineDomain noTotal = domainOf(45);
    noTotal.layout = 2026;
    QTest::newRow("2026 layout: no total, the walk ends on the page without a next one")
        << domain << noTotal << offsetsUpTo(40) << 45 << kDone;
    EngineDomain noTotalRepeat = noTotal;
    noTotalRepeat.distinctPages = 2;
    QTest::newRow("2026 layout: the engine serves page 1 again, the walk ends there")
        << domain << noTotalRepeat << offsetsUpTo(20) << 20 << kDone;
    EngineDomain laterNone = domainOf(45);
    laterNone.layout = 2018;
    laterNone.noResults = true;
    QTest::newRow("the engine's later no-results page") << domain << laterNone << QList<int>{-1} << -1 << kNoSite;
    EngineDomain unknown = domainOf(45);
    unknown.unknownLayout = true;
    QTest::newRow("a search template it cannot read") << domain << unknown << QList<int>{-1} << -1 << kUnreadable;
    EngineDomain emptyPages = domainOf(45);
    emptyPages.distinctPages = 0;
    emptyPages.pastLast = EngineDomain::PastLast::Empty;
    QTest::newRow("a total, and not one entry read on its pages: unreadable")
        << domain << emptyPages << offsetsUpTo(40) << -1 << kUnreadable;

    EngineDomain queryFails = domainOf(45);
    queryFails.httpErrors = {{-1, 500}};
    QTest::newRow("HTTP 500 on the query page") << domain << queryFails << QList<int>{-1} << -1 << kPageError;

    EngineDomain firstFails = domainOf(45);
    firstFails.httpErrors = {{0, 503}};
    QTest::newRow("HTTP 503 on results page 0: nothing tallied")
        << domain << firstFails << offsetsUpTo(0) << -1 << kPageError;

    EngineDomain refused = domainOf(45);
    refused.refusals = {{2, EngineDomain::Refusal::SecurityPage}};
    QTest::newRow("verification page in mid-walk") << domain << refused << offsetsUpTo(20) << 20 << kRefused;

    // A site name too long for the report's width test stops the walk: it still ends.
    EngineDomain tooLong = domainOf(5);
    const QString longPage = resultsPage({addressLine(QString(33000, QLatin1Char('a')) + QStringLiteral(".cn/x"),
                                                      QStringLiteral("2011-1-1"))},
                                         totalText(QStringLiteral("5")));
    tooLong.customAnswers.insert(0, [longPage](const HttpTestServer::Request &, const QString &) {
        return HttpTestServer::Response::html(longPage.toUtf8());
    });
    QTest::newRow("walk stopped by an unexpected failure: COMP, its message in the box")
        << domain << tooLong << offsetsUpTo(0) << -2 << kStopped;
}

void TestE2eWindow::walk()
{
    QFETCH(QString, domain);
    QFETCH(EngineDomain, config);
    QFETCH(QList<int>, offsets);
    QFETCH(int, tallied);
    QFETCH(QString, status);

    Session s;
    s.engine.setDomain(domain, config);
    QVERIFY(s.start());
    s.engine.server().clearRequests();

    QVERIFY(s.analyse(domain));
    Form1 &w = *s.window;
    QCOMPARE(w.logic().record().State, QStringLiteral("COMP"));
    QCOMPARE(w.lbTip->text(), status);
    QCOMPARE(s.engine.requestedOffsets(), offsets);
    QCOMPARE(w.cursor().shape(), Qt::ArrowCursor); // the default pointer is back
    QCOMPARE(w.TextResult->viewport()->cursor().shape(), Qt::IBeamCursor);

    // The query page and page 0 carry the cache-busting suffix, later pages do not.
    for (const HttpTestServer::Request &request : s.engine.server().requests()) {
        const QString target = QString::fromLatin1(request.target);
        const bool busted = QRegularExpression(QStringLiteral("&cache=\\d+$")).match(target).hasMatch();
        const bool laterPage = target.contains(QLatin1String("&pn=")) && !target.contains(QLatin1String("&pn=0&"));
        QVERIFY2(busted != laterPage, qPrintable(target));
    }

    const QString report = w.resultText();
    QCOMPARE(w.TextResult->toPlainText(), QString(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (tallied == -2) { // stopped: the box shows the message, not half a report
        QCOMPARE(report, status);
        return;
    }
    if (tallied < 0) {
        QCOMPARE(report, noticeReport(status));
        // The engine's total shows when one was read (a results page was asked for).
        QCOMPARE(w.textLinkCount->text(), offsets.size() > 1 ? QString::number(config.total) : QStringLiteral("0"));
        QCOMPARE(w.textSiteCount->text(), QStringLiteral("0"));
        return;
    }

    const QList<SiteRow> expected = expectedRows(config, tallied);
    const QList<SiteRow> rows = reportRows(report);
    QVERIFY2(!rows.isEmpty(), qPrintable(report));
    QCOMPARE(rows, expected);
    QCOMPARE(countSum(rows), tallied);
    const QStringList lines = report.split(QStringLiteral("\r\n"));
    // Pages without a total: the heading counts the results read.
    const int total = config.layout == 2026 ? tallied : config.total;
    QCOMPARE(lines[0], reportHeading(domain, total, int(expected.size())));
    QCOMPARE(lines[1], QStringLiteral("明细如下:"));
    QCOMPARE(w.textLinkCount->text(), QString::number(total));
    QCOMPARE(w.textSiteCount->text(), QString::number(expected.size()));
}

void TestE2eWindow::nextAnalysisStartsClean()
{
    Session s;
    EngineDomain broken = domainOf(25);
    broken.brokenPages = {1};
    s.engine.setDomain(QStringLiteral("first.cn"), broken);
    s.engine.setDomain(QStringLiteral("second.cn"), domainOf(12));
    QVERIFY(s.start());

    QVERIFY(s.analyse(QStringLiteral("first.cn")));
    QCOMPARE(s.window->lbTip->text(), kPageError);
    QCOMPARE(countSum(reportRows(s.window->resultText())), 12);

    QVERIFY(s.analyse(QStringLiteral("second.cn")));
    QCOMPARE(s.window->lbTip->text(), kDone);
    QCOMPARE(reportRows(s.window->resultText()), expectedRows(domainOf(12), 12));
    QVERIFY(s.window->resultText().startsWith(reportHeading(QStringLiteral("second.cn"), 12, 7)));
}

void TestE2eWindow::analyseDuringWalkStartsOver()
{
    Session s;
    EngineDomain slow = domainOf(45);
    slow.delay = std::chrono::milliseconds(300);
    s.engine.setDomain(QStringLiteral("slow.cn"), slow);
    s.engine.setDomain(QStringLiteral("quick.cn"), domainOf(15));
    QVERIFY(s.start());
    s.engine.server().clearRequests();
    QSignalSpy finished(&s.window->logic(), &Form1Logic::analysisFinished);

    s.window->Text1->setText(QStringLiteral("slow.cn"));
    QTest::mouseClick(s.window->CmdOk, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(s.engine.requestedOffsets().contains(10), 10000);
    QCOMPARE(s.window->TextResult->viewport()->cursor().shape(), Qt::WaitCursor);

    // Analyse again while page 1 of the first walk is still loading.
    QVERIFY(s.analyse(QStringLiteral("quick.cn")));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(s.window->lbTip->text(), kDone);
    QVERIFY(s.window->resultText().startsWith(reportHeading(QStringLiteral("quick.cn"), 15, 7)));
    QCOMPARE(reportRows(s.window->resultText()), expectedRows(domainOf(15), 15));

    int slowRequests = 0;
    for (const HttpTestServer::Request &request : s.engine.server().requests())
        slowRequests += request.target.contains("slow.cn") ? 1 : 0;
    QCOMPARE(slowRequests, 3); // the query page, page 0 and page 1: nothing after the new start
}

void TestE2eWindow::exitEndsTheProcessAtOnce()
{
    // The real program with a hook that clicks Exit on request, and whose name server never
    // answers: the notice server's name is still being looked up when Exit is clicked.
    const QString noticeHost = QUrl(Origins::builtIn().notice).host();
    if (!QHostAddress(noticeHost).isNull())
        QSKIP("The notice server of this build is an address: there is no name to look up.");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KORVANE_CLICK_EXIT_HOOK));
    // In a sanitized build the preloaded hook comes before the sanitizer's runtime.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    program.setProcessEnvironment(environment);
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(QStringLiteral(KORVANE_APP_PATH), {});
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));

    const QByteArray lookup = "lookup " + noticeHost.toUtf8() + '\n';
    QTRY_VERIFY_WITH_TIMEOUT(program.peek(4096).contains(lookup) || !finished.isEmpty(), kStartupWaitMs);
    QVERIFY2(finished.isEmpty(), program.readAllStandardError().constData());

    QElapsedTimer clock;
    clock.start();
    program.write("\n"); // click Exit
    const bool ended = finished.wait(10 * kExitMs);
    const qint64 ms = clock.elapsed();
    if (!ended) {
        program.closeWriteChannel(); // the name server answers at last
        if (!finished.wait(kStartupWaitMs))
            program.kill();
    }
    QVERIFY2(ended && ms < kExitMs, qPrintable(QStringLiteral("ended: %1 after %2 ms").arg(ended).arg(ms)));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void TestE2eWindow::commandLine_data()
{
    // The real program without any display: what it prints shows that no window was needed.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");      // exactly; "Usage:" stands for the help
    QTest::addColumn<QString>("errStart"); // standard error starts with it; empty: stays empty

    const QString usage = QStringLiteral("Usage:");
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << 0
                               << QStringLiteral("korvane " KORVANE_VERSION "\n") << QString();
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << 0 << QStringLiteral("korvane " KORVANE_VERSION "\n")
                        << QString();
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << usage << QString();
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << 0 << usage << QString();
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")} << 2 << QString()
                                    << QStringLiteral("korvane: Unknown option 'frobnicate'.");
    QTest::newRow("an argument") << QStringList{QStringLiteral("example.com")} << 2 << QString()
                                 << QStringLiteral("korvane: takes no arguments, not \"example.com\"");
    QTest::newRow("no option: the window needs a display") << QStringList{} << 1 << QString()
                                                           << QStringLiteral("korvane: no display found");
}

void TestE2eWindow::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, errStart);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(environment);
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(QStringLiteral(KORVANE_APP_PATH), arguments);
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
    QVERIFY(finished.wait(kStartupWaitMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    const QString printed = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitCode(), exitCode);
    if (out == QLatin1String("Usage:")) {
        QVERIFY2(printed.startsWith(QLatin1String("Usage: ")) && printed.contains(QLatin1String("--version"))
                     && printed.contains(QLatin1String("Exit status:")),
                 qPrintable(printed));
        QVERIFY2(!printed.contains(QLatin1String("--help-all")), qPrintable(printed));
    } else {
        QCOMPARE(printed, out);
    }
    if (errStart.isEmpty())
        QCOMPARE(err, QString());
    else
        QVERIFY2(err.startsWith(errStart), qPrintable(err));
    if (exitCode == 2)
        QVERIFY2(err.contains(QLatin1String("Usage: ")), qPrintable(err)); // the help follows the error
}

QTEST_MAIN(TestE2eWindow)
#include "test_e2e_window.moc"
