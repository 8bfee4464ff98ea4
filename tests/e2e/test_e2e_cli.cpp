// korvane-cli as a child process against the fake search engine in this process. The event
// loop keeps running while the child runs, so that the engine can answer it.

#include "e2e_support.h"
#include "engine_pages.h"
#include "fake_engine.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace korvane;
using namespace korvane::testing;

Q_DECLARE_METATYPE(korvane::testing::EngineDomain)

namespace {

constexpr auto kBrowserTimeout = std::chrono::seconds(2);
constexpr int kChildWaitMs = 30000;

const QString kPageError = QStringLiteral("分析完成，但出现了页面无法访问的错误，您可以尝试再次分析！");
const QString kNoSite = QStringLiteral("分析已完成，未找到外链网站！");
const QString kDone = QStringLiteral("分析已完成！");
const QString kRefused = QStringLiteral("分析中止，搜索引擎要求安全验证，请稍后再试！");
const QString kAnalysing = QStringLiteral("正在进行分析，请等待...");

struct CliRun
{
    bool ended = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString out;
    QString err;

    QString lastErrLine() const
    {
        const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.constLast();
    }
};

CliRun runCli(const QStringList &arguments)
{
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(KORVANE_CLI_PATH), arguments);
    CliRun run;
    run.ended = !finished.isEmpty() || finished.wait(kChildWaitMs);
    if (!run.ended) {
        process.kill();
        finished.wait(kChildWaitMs);
        return run;
    }
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The report as the command line prints it: LF for CR LF, one final LF.
QString printed(const QString &report)
{
    return QString(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + QLatin1Char('\n');
}

} // namespace

class TestE2eCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void printsTheWindowsReport_data();
    void printsTheWindowsReport();
    void exitStatus_data();
    void exitStatus();
    void usage_data();
    void usage();
};

void TestE2eCli::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(KORVANE_CLI_PATH)).isExecutable(), KORVANE_CLI_PATH);
}

void TestE2eCli::printsTheWindowsReport_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<EngineDomain>("config");
    QTest::addColumn<QString>("status");

    QTest::newRow("45 results over five pages") << QStringLiteral("example.com") << domainOf(45) << kDone;
    EngineDomain gb2312 = domainOf(45);
    gb2312.gb2312 = true;
    QTest::newRow("GB2312 engine") << QStringLiteral("example.com") << gb2312 << kDone;
    QTest::newRow("Chinese domain") << QStringLiteral("名称.中国") << domainOf(15) << kDone;
    EngineDomain broken = domainOf(45);
    broken.brokenPages = {2};
    QTest::newRow("unreadable entry on page 2") << QStringLiteral("example.com") << broken << kPageError;
    QTest::newRow("zero results") << QStringLiteral("example.com") << domainOf(0) << kNoSite;
    EngineDomain queryFails = domainOf(45);
    queryFails.httpErrors = {{-1, 503}};
    QTest::newRow("HTTP 503 on the query page") << QStringLiteral("example.com") << queryFails << kPageError;
    EngineDomain firstFails = domainOf(45);
    firstFails.httpErrors = {{0, 503}};
    QTest::newRow("HTTP 503 on results page 0: nothing tallied")
        << QStringLiteral("example.com") << firstFails << kPageError;

    using Refusal = EngineDomain::Refusal;
    const QList<std::pair<const char *, QHash<int, Refusal>>> refusals = {
        {"query redirected to the captcha path: exit 3", {{-1, Refusal::CaptchaRedirect}}},
        {"query answered with the security page: exit 3", {{-1, Refusal::SecurityPage}}},
        {"query answered with the old GB2312 error page: exit 3", {{-1, Refusal::AccessErrorPage}}},
        {"captcha redirect in mid-walk: report so far, exit 3", {{3, Refusal::CaptchaRedirect}}},
    };
    for (const auto &[name, refusal] : refusals) {
        EngineDomain refused = domainOf(45);
        refused.refusals = refusal;
        QTest::newRow(name) << QStringLiteral("example.com") << refused << kRefused;
    }
}

void TestE2eCli::printsTheWindowsReport()
{
    QFETCH(QString, domain);
    QFETCH(EngineDomain, config);
    QFETCH(QString, status);

    FakeEngine engine;
    QVERIFY(engine.start());
    engine.setDomain(domain, config);

    // The window's logic with the same browser against the same engine, for reference.
    const Outcome reference = analyse({engine.origin(), engine.origin()}, domain, kBrowserTimeout);
    QVERIFY(reference.finished);
    QCOMPARE(reference.status, status);
    const QList<int> referenceOffsets = engine.requestedOffsets();
    engine.server().clearRequests();

    const CliRun run = runCli({QStringLiteral("--engine"), engine.origin(), domain});
    QVERIFY(run.ended);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, status == kRefused ? 3 : 0);
    QCOMPARE(run.out, printed(reference.report));
    QCOMPARE(run.lastErrLine(), status);
    QCOMPARE(engine.requestedOffsets(), referenceOffsets);
    // The verification pages are never asked for.
    for (const HttpTestServer::Request &request : engine.server().requests())
        QVERIFY2(!request.path().startsWith(QLatin1String("/static/captcha/")), request.target.constData());
}

void TestE2eCli::exitStatus_data()
{
    // In the arguments, {engine} stands for the fake engine, {refused} for a port that refuses
    // connections and {long} for a server whose one result has a site name too long for the
    // report's width test.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("lastErrLine");

    QTest::newRow("engine given with a trailing slash")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("{engine}/"), QStringLiteral("none.cn")} << 0
        << printed(noticeReport()) << kNoSite;
    QTest::newRow("engine refuses the connection: report, page error")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("{refused}"), QStringLiteral("none.cn")} << 0
        << printed(noticeReport(kPageError)) << kPageError;
    QTest::newRow("walk stopped without a report: exit 1")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("{long}"), QStringLiteral("long.cn")} << 1
        << QString() << kAnalysing;
}

void TestE2eCli::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, lastErrLine);

    FakeEngine engine;
    QVERIFY(engine.start());
    HttpTestServer refusing;
    QVERIFY(refusing.start());
    refusing.stop();
    HttpTestServer longSite;
    QVERIFY(longSite.start());
    const QString page = resultsPage({addressLine(QString(33000, QLatin1Char('a')) + QStringLiteral(".cn/x"),
                                                  QStringLiteral("2011-1-1"))},
                                     totalText(QStringLiteral("5")));
    longSite.setHandler([&page](const HttpTestServer::Request &) {
        return HttpTestServer::Response::html(page.toUtf8());
    });

    for (QString &argument : arguments) {
        argument.replace(QStringLiteral("{engine}"), engine.origin());
        argument.replace(QStringLiteral("{refused}"), refusing.urlText().chopped(1));
        argument.replace(QStringLiteral("{long}"), longSite.urlText().chopped(1));
    }
    const CliRun run = runCli(arguments);
    QVERIFY(run.ended);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(run.lastErrLine(), lastErrLine);
}

void TestE2eCli::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("helpOnStdout"); // else: stdout stays empty, the help goes to stderr

    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << true;
    QTest::newRow("no DOMAIN") << QStringList{} << 2 << false;
    QTest::newRow("two domains") << QStringList{QStringLiteral("a.cn"), QStringLiteral("b.cn")} << 2 << false;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate"), QStringLiteral("a.cn")} << 2
                                    << false;
    QTest::newRow("--engine without its value") << QStringList{QStringLiteral("--engine")} << 2 << false;
    QTest::newRow("--engine not http")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("ftp://127.0.0.1"), QStringLiteral("a.cn")} << 2
        << false;
    QTest::newRow("--engine with a path")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("http://127.0.0.1:1/s"), QStringLiteral("a.cn")}
        << 2 << false;
    QTest::newRow("--engine with a query")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("http://127.0.0.1:1?x=1"), QStringLiteral("a.cn")}
        << 2 << false;
    QTest::newRow("--engine that is no address")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("no address"), QStringLiteral("a.cn")} << 2
        << false;
}

void TestE2eCli::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(bool, helpOnStdout);

    const CliRun run = runCli(arguments);
    QVERIFY(run.ended);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, exitCode);
    const QString help = helpOnStdout ? run.out : run.err;
    QVERIFY2(help.contains(QLatin1String("Usage:")) && help.contains(QLatin1String("--engine"))
                 && help.contains(QLatin1String("DOMAIN")),
             qPrintable(help));
    if (helpOnStdout) {
        QCOMPARE(run.err, QString());
    } else {
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QLatin1String("korvane-cli: ")), qPrintable(run.err));
    }
}

QTEST_GUILESS_MAIN(TestE2eCli)
#include "test_e2e_cli.moc"
