// korvane-cli as a child process against the fake search engine in this process. The event
// loop keeps running while the child runs, so that the engine can answer it.

#include "e2e_support.h"
#include "engine_pages.h"
#include "fake_engine.h"
#include "http_test_proxy.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/types.h>

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
const QString kStopped = QStringLiteral("分析中止，出现了意外的错误，您可以尝试再次分析！");
const QString kAnalysing = QStringLiteral("正在进行分析，请等待...");
const QString kUnreadable = QStringLiteral("分析中止，搜索引擎的页面格式无法识别！");

EngineDomain layoutOf(int total, int layout)
{
    EngineDomain config = domainOf(total);
    config.layout = layout;
    return config;
}

struct CliRun
{
    bool ended = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString out;
    QByteArray outBytes;
    QString err;

    QString lastErrLine() const
    {
        const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.constLast();
    }
    // The last status line: the last line, or the one before the reason line that follows the
    // status line of an incomplete analysis ("a.cn: 第3页: connection refused (...)").
    QString statusLine() const
    {
        QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        static const QRegularExpression reason(QStringLiteral("^\\S+: 第[0-9-]+页: "));
        if (lines.size() > 1 && reason.match(lines.constLast()).hasMatch())
            lines.removeLast();
        return lines.isEmpty() ? QString() : lines.constLast();
    }
};

// Runs korvane-cli to its end. `inChild` runs in the child before the program starts;
// `environment` ("NAME=VALUE") is added to the child's.
CliRun runCli(const QStringList &arguments, const std::function<void()> &inChild = {},
              const QStringList &environment = {})
{
    QProcess process;
    if (inChild)
        process.setChildProcessModifier(inChild);
    if (!environment.isEmpty()) {
        QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
        for (const QString &entry : environment)
            childEnvironment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        process.setProcessEnvironment(childEnvironment);
    }
    QSignalSpy finished(&process, &QProcess::finished);
    // Unpaced unless a row asks for pacing (a later --delay wins); the history and diff
    // commands ask for nothing and come first.
    const bool command = !arguments.isEmpty()
        && (arguments.first() == QLatin1String("history") || arguments.first() == QLatin1String("diff"));
    process.start(QStringLiteral(KORVANE_CLI_PATH),
                  command ? arguments : QStringList{QStringLiteral("--delay"), QStringLiteral("0")} + arguments);
    CliRun run;
    run.ended = !finished.isEmpty() || finished.wait(kChildWaitMs);
    if (!run.ended) {
        process.kill();
        finished.wait(kChildWaitMs);
        return run;
    }
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.outBytes = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.outBytes);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The report as the command line prints it: LF for CR LF, one final LF.
QString printed(const QString &report)
{
    return QString(report).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + QLatin1Char('\n');
}

// The domains whose pages the engine was asked for, in the order first asked.
QStringList askedDomains(FakeEngine &engine)
{
    static const QRegularExpression word(QStringLiteral("wd=domain%3A([^&]*)"));
    QStringList domains;
    for (const HttpTestServer::Request &request : engine.server().requests()) {
        const QString domain = word.match(QString::fromLatin1(request.target)).captured(1);
        if (!domain.isEmpty() && !domains.contains(domain))
            domains.append(domain);
    }
    return domains;
}

// An engine domain whose one site name is too long for the report: its walk stops without one.
EngineDomain stoppingDomain()
{
    EngineDomain config = domainOf(5);
    const QString page = resultsPage({addressLine(QString(33000, QLatin1Char('a')) + QStringLiteral(".cn/x"),
                                                  QStringLiteral("2011-1-1"))},
                                     totalText(QStringLiteral("5")));
    config.customAnswers.insert(0, [page](const HttpTestServer::Request &, const QString &) {
        return HttpTestServer::Response::html(page.toUtf8());
    });
    return config;
}

// The three domains of the batch tests: a whole walk, a page error on page 2, no result.
struct Batch
{
    QStringList domains{QStringLiteral("a.cn"), QStringLiteral("b.cn"), QStringLiteral("c.cn")};
    QList<EngineDomain> configs;
    QList<int> tallied{45, 22, 0};
    QStringList statuses{kDone, kPageError, kNoSite};
    QList<int> pagesRequested{6, 4, 1};
    QStringList lastProgress{QStringLiteral("5/5"), QStringLiteral("3/5"), QStringLiteral("0/0")};
    QStringList outcomes{QStringLiteral("complete"), QStringLiteral("page_error"), QStringLiteral("complete")};

    Batch()
    {
        EngineDomain broken = domainOf(45);
        broken.brokenPages = {2};
        configs = {domainOf(45), broken, domainOf(0)};
    }
    QList<SiteRow> rows(int i) const { return tallied[i] > 0 ? expectedRows(configs[i], tallied[i]) : QList<SiteRow>{}; }
};

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
    void badInput_data();
    void badInput();
    void checkedDomains_data();
    void checkedDomains();
    void severalDomains_data();
    void severalDomains();
    void runExitStatus_data();
    void runExitStatus();
    void outputFileKeptWhole_data();
    void outputFileKeptWhole();
    void throughProxy_data();
    void throughProxy();
    void failureReason_data();
    void failureReason();
    void resumeAnalysesIncompleteAgain_data();
    void resumeAnalysesIncompleteAgain();
    void standardOutput_data();
    void standardOutput();
    void recordedHistory_data();
    void recordedHistory();
    void skipRecent_data();
    void skipRecent();
    void storeSurvives_data();
    void storeSurvives();
    void storeRefused_data();
    void storeRefused();
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

    for (const int layout : {2015, 2018, 2021})
        QTest::newRow(qPrintable(QStringLiteral("%1 layout, 45 results").arg(layout)))
            << QStringLiteral("example.com") << layoutOf(45, layout) << kDone;
    QTest::newRow("2026 layout: no total, walked to the last page") << QStringLiteral("example.com")
                                                                   << layoutOf(45, 2026) << kDone;
    QTest::newRow("2026 layout, one page") << QStringLiteral("example.com") << layoutOf(7, 2026) << kDone;
    EngineDomain noResults = layoutOf(45, 2021);
    noResults.noResults = true;
    QTest::newRow("the later no-results page") << QStringLiteral("example.com") << noResults << kNoSite;
    EngineDomain noResults2011 = domainOf(45);
    noResults2011.noResults = true;
    QTest::newRow("the 2011 no-results page") << QStringLiteral("example.com") << noResults2011 << kNoSite;
    EngineDomain unknown = domainOf(45);
    unknown.unknownLayout = true;
    QTest::newRow("a page layout it cannot read: exit 5") << QStringLiteral("example.com") << unknown << kUnreadable;
    EngineDomain noBar = domainOf(45);
    noBar.pageBar = false;
    QTest::newRow("2011 results without a total: exit 5") << QStringLiteral("example.com") << noBar << kUnreadable;
    EngineDomain emptyPages = domainOf(45);
    emptyPages.distinctPages = 0;
    emptyPages.pastLast = EngineDomain::PastLast::Empty;
    QTest::newRow("a total, but pages without entries: exit 5") << QStringLiteral("example.com") << emptyPages
                                                                << kUnreadable;

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
    QCOMPARE(run.exitCode, status == kRefused ? 3 : status == kUnreadable ? 5 : status == kPageError ? 1 : 0);
    QCOMPARE(run.out, printed(reference.report));
    if (status == kDone) // every result the engine served, in whatever layout
        QCOMPARE(reportRows(reference.report), expectedRows(config, config.total));
    else if (status == kUnreadable)
        QCOMPARE(reference.report, noticeReport(kUnreadable));
    QCOMPARE(run.statusLine(), status);
    // Every incomplete outcome (page error, refusal, unreadable pages) tells why, after it.
    if (status == kDone || status == kNoSite)
        QCOMPARE(run.lastErrLine(), status);
    else
        QVERIFY2(run.lastErrLine().startsWith(domain + QStringLiteral(": 第")), qPrintable(run.err));
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
    QTest::newRow("engine refuses the connection: report, page error, exit 1: nothing was read")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("{refused}"), QStringLiteral("none.cn")} << 1
        << printed(noticeReport(kPageError)) << kPageError;
    QTest::newRow("walk stopped without a report: it ends with its message, exit 1")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("{long}"), QStringLiteral("long.cn")} << 1
        << QString() << kStopped;
    QTest::newRow("walk stopped, CSV: one row saying so")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("{long}"), QStringLiteral("--format"), QStringLiteral("csv"),
                       QStringLiteral("--no-bom"), QStringLiteral("long.cn")}
        << 1 << QStringLiteral("domain,site,links,latest_date,latest_date_iso,latest_address,outcome\r\nlong.cn,,,,,,stopped\r\n")
        << kStopped;
    QTest::newRow("engine refuses the connection, CSV: one row saying so")
        << QStringList{QStringLiteral("--engine"), QStringLiteral("{refused}"), QStringLiteral("--format"), QStringLiteral("csv"),
                       QStringLiteral("--no-bom"), QStringLiteral("none.cn")}
        << 1 << QStringLiteral("domain,site,links,latest_date,latest_date_iso,latest_address,outcome\r\nnone.cn,,,,,,page_error\r\n")
        << kPageError;
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
    QCOMPARE(run.statusLine(), lastErrLine);
}

void TestE2eCli::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("helpOnStdout"); // else: stdout stays empty, the help goes to stderr

    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << true;
    QTest::newRow("--help-all") << QStringList{QStringLiteral("--help-all")} << 0 << true;
    QTest::newRow("no DOMAIN") << QStringList{} << 2 << false;
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

void TestE2eCli::badInput_data()
{
    // {dir} stands for an empty temporary folder; every run is given --output {dir}/out.csv
    // first (a later --output wins). {list} stands for a file elsewhere holding `list`.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("mentions");

    const QString input = QStringLiteral("--input");
    const QString list = QStringLiteral("{list}");
    QTest::newRow("unknown format") << QStringList{QStringLiteral("--format"), QStringLiteral("xml"), QStringLiteral("a.cn")}
                                    << QByteArray() << QStringLiteral("--format");
    QTest::newRow("negative delay") << QStringList{QStringLiteral("--delay"), QStringLiteral("-1"), QStringLiteral("a.cn")}
                                    << QByteArray() << QStringLiteral("--delay");
    QTest::newRow("delay that is no number")
        << QStringList{QStringLiteral("--delay"), QStringLiteral("soon"), QStringLiteral("a.cn")} << QByteArray()
        << QStringLiteral("--delay");
    QTest::newRow("empty domain") << QStringList{QStringLiteral("a.cn"), QString()} << QByteArray() << QStringLiteral("DOMAIN");
    QTest::newRow("unreadable --input")
        << QStringList{input, QStringLiteral("{dir}/missing.txt")} << QByteArray() << QStringLiteral("--input");
    QTest::newRow("--proxy neither http nor socks5")
        << QStringList{QStringLiteral("--proxy"), QStringLiteral("ftp://127.0.0.1:3128"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("--proxy");
    QTest::newRow("--proxy without a scheme")
        << QStringList{QStringLiteral("--proxy"), QStringLiteral("127.0.0.1:3128"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("--proxy");
    QTest::newRow("--proxy without a host")
        << QStringList{QStringLiteral("--proxy"), QStringLiteral("http://:3128"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("--proxy");
    QTest::newRow("--proxy with a path")
        << QStringList{QStringLiteral("--proxy"), QStringLiteral("http://127.0.0.1:3128/x"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("--proxy");
    QTest::newRow("--proxy with a port out of range")
        << QStringList{QStringLiteral("--proxy"), QStringLiteral("socks5://127.0.0.1:65536"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("--proxy");
    QTest::newRow("--lease without work")
        << QStringList{QStringLiteral("--lease"), QStringLiteral("60"), QStringLiteral("a.cn")} << QByteArray()
        << QStringLiteral("--lease is used with work");
    QTest::newRow("--follow without work") << QStringList{QStringLiteral("--follow"), QStringLiteral("a.cn")}
                                           << QByteArray() << QStringLiteral("--follow is used with work");
    QTest::newRow("--output in a folder that does not exist")
        << QStringList{QStringLiteral("--output"), QStringLiteral("{dir}/no/such/out.csv"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("{dir}/no/such/out.csv");

    QTest::newRow("--resume without --output FILE")
        << QStringList{QStringLiteral("--output"), QStringLiteral("-"), QStringLiteral("--resume"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("--resume");
    QTest::newRow("--resume of text")
        << QStringList{QStringLiteral("--format"), QStringLiteral("text"), QStringLiteral("--resume"), QStringLiteral("a.cn")}
        << QByteArray() << QStringLiteral("--resume");
    QTest::newRow("--resume of a CSV file with other columns")
        << QStringList{QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--output"), list,
                       QStringLiteral("--resume"), QStringLiteral("a.cn")}
        << QByteArray("domain,site\r\na.cn,x.cn\r\n") << QStringLiteral("cannot resume {list}");

    // Every domain is checked before the first request; the first bad one is named by its line.
    QTest::newRow("5,000-character line")
        << QStringList{input, list} << QByteArray("a.cn\n" + QByteArray(4996, 'a') + ".com\n")
        << QStringLiteral("{list}:2: longer than 253 characters (5000)");
    QTest::newRow("253 characters in all and one more")
        << QStringList{input, list}
        << QByteArray(QByteArray(QByteArray(63, 'a') + '.').repeated(3) + QByteArray(61, 'b') + "\n"
                      + QByteArray(QByteArray(63, 'a') + '.').repeated(3) + QByteArray(62, 'b') + "\n")
        << QStringLiteral("{list}:2: longer than 253 characters (254)");
    QTest::newRow("a label of 64 characters")
        << QStringList{QString(63, QLatin1Char('a')) + QStringLiteral(".cn"), QString(64, QLatin1Char('a')) + QStringLiteral(".cn")}
        << QByteArray() << QStringLiteral("argument 2: a label longer than 63 characters");
    QTest::newRow("UTF-16 with its byte-order mark")
        << QStringList{input, list} << QByteArray("\xFF\xFE" "a\0.\0c\0n\0\n\0", 12)
        << QStringLiteral("{list}: text in UTF-16 or UTF-32");
    QTest::newRow("UTF-16 without a byte-order mark: NUL bytes")
        << QStringList{input, list} << QByteArray("a\0.\0c\0n\0\n\0", 10) << QStringLiteral("{list}: text in UTF-16 or UTF-32");
    QTest::newRow("bytes that are not UTF-8: U+FFFD")
        << QStringList{input, list} << QByteArray("a.cn\n\xE5\x90.cn\n") << QStringLiteral("{list}:2: not a domain name: it holds U+FFFD");
    QTest::newRow("a space inside")
        << QStringList{QStringLiteral("a b.cn")} << QByteArray() << QStringLiteral("argument 1: not a domain name: it holds U+0020");
    QTest::newRow("a path without the scheme")
        << QStringList{input, list} << QByteArray("# list\n\nwww.a.com/path\n")
        << QStringLiteral("{list}:3: not a domain name: it holds \"/\" (U+002F)");
    QTest::newRow("no dot") << QStringList{QStringLiteral("localhost")} << QByteArray()
                            << QStringLiteral("argument 1: not a domain name: it has no dot");
    QTest::newRow("two dots together") << QStringList{QStringLiteral("a..cn")} << QByteArray()
                                       << QStringLiteral("argument 1: an empty label");
    QTest::newRow("a comment without a blank before it")
        << QStringList{QStringLiteral("a.cn#note")} << QByteArray() << QStringLiteral("argument 1: not a domain name: it holds \"#\"");
}

void TestE2eCli::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, list);
    QFETCH(QString, mentions);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QTemporaryDir listDir;
    QVERIFY(listDir.isValid());
    const QString listPath = listDir.filePath(QStringLiteral("domains.txt"));
    if (!list.isEmpty()) {
        QFile file(listPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(list);
    }
    HttpTestServer closed; // nothing may be asked of any engine; this one would refuse anyway
    QVERIFY(closed.start());
    closed.stop();
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("{dir}"), dir.path()).replace(QStringLiteral("{list}"), listPath);
    mentions.replace(QStringLiteral("{dir}"), dir.path()).replace(QStringLiteral("{list}"), listPath);

    const CliRun run = runCli(QStringList{QStringLiteral("--engine"), closed.urlText().chopped(1), QStringLiteral("--output"),
                                          dir.filePath(QStringLiteral("out.csv"))}
                              + arguments);
    QVERIFY(run.ended);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith(QLatin1String("korvane-cli: ")) && run.err.count(QLatin1Char('\n')) == 1
                 && run.err.endsWith(QLatin1Char('\n')) && run.err.contains(mentions),
             qPrintable(run.err));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList()); // no output, no leftover
    if (!list.isEmpty()) { // a file given to --resume is left as it was
        QFile file(listPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), list);
    }
}

void TestE2eCli::checkedDomains_data()
{
    // {list} stands for a file holding `list`. Every domain the engine does not know has no result.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("analysed"); // the engine is asked for these, and the output labels them so
    QTest::addColumn<QStringList>("warnings"); // each one line of standard error, in order
    QTest::addColumn<int>("exitCode");

    const QString input = QStringLiteral("--input");
    const QString list = QStringLiteral("{list}");
    QTest::newRow("an address is reduced to its host, with a warning naming the line")
        << QStringList{input, list} << QByteArray("HTTPS://user@WWW.A.com:8080/path?q=1#top\n") << QStringList{QStringLiteral("www.a.com")}
        << QStringList{QStringLiteral("korvane-cli: {list}:1: warning: \"HTTPS://user@WWW.A.com:8080/path?q=1#top\" is an "
                                      "address; its host www.a.com is analysed")}
        << 0;
    QTest::newRow("a comment after the domain is left out of the query and the label")
        << QStringList{input, list} << QByteArray("example.com # note\r\n\tb.cn\t#second\n")
        << QStringList{QStringLiteral("example.com"), QStringLiteral("b.cn")} << QStringList{} << 0;
    QTest::newRow("letters lowered, a duplicate analysed once")
        << QStringList{QStringLiteral("A.CN"), input, list, QStringLiteral("名称.中国")} << QByteArray("b.cn\na.cn\n名称.中国\n")
        << QStringList{QStringLiteral("a.cn"), QStringLiteral("名称.中国"), QStringLiteral("b.cn")}
        << QStringList{QStringLiteral("korvane-cli: {list}:2: warning: a.cn is listed again (first at argument 1); it is analysed once"),
                       QStringLiteral("korvane-cli: {list}:3: warning: 名称.中国 is listed again (first at argument 2); it is "
                                      "analysed once")}
        << 0;
    QTest::newRow("--skip-invalid: the others are analysed")
        << QStringList{QStringLiteral("--skip-invalid"), QStringLiteral("bad"), input, list} << QByteArray("a b.cn\nc.cn\n")
        << QStringList{QStringLiteral("c.cn")}
        << QStringList{QStringLiteral("korvane-cli: argument 1: not a domain name: it has no dot (skipped)"),
                       QStringLiteral("korvane-cli: {list}:1: not a domain name: it holds U+0020 (skipped)")}
        << 0;
    QTest::newRow("--skip-invalid with nothing left: exit 2, nothing asked")
        << QStringList{QStringLiteral("--skip-invalid"), QStringLiteral("bad")} << QByteArray() << QStringList{}
        << QStringList{QStringLiteral("korvane-cli: argument 1: not a domain name: it has no dot (skipped)"),
                       QStringLiteral("korvane-cli: no valid domain to analyse")}
        << 2;
}

void TestE2eCli::checkedDomains()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, list);
    QFETCH(QStringList, analysed);
    QFETCH(QStringList, warnings);
    QFETCH(int, exitCode);

    FakeEngine engine;
    QVERIFY(engine.start());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString listPath = dir.filePath(QStringLiteral("domains.txt"));
    QFile file(listPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(list);
    file.close();
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("{list}"), listPath);
    for (QString &warning : warnings)
        warning.replace(QStringLiteral("{list}"), listPath);

    const CliRun run = runCli(QStringList{QStringLiteral("--engine"), engine.origin(), QStringLiteral("--format"),
                                          QStringLiteral("json"), QStringLiteral("--quiet")}
                              + arguments);
    QVERIFY(run.ended);
    QCOMPARE(run.exitCode, exitCode);
    QStringList asked = askedDomains(engine);
    for (QString &domain : asked)
        domain = QUrl::fromPercentEncoding(domain.toUtf8());
    QCOMPARE(asked, analysed);
    QStringList labels;
    for (const QString &line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        labels.append(QJsonDocument::fromJson(line.toUtf8()).object().value(QLatin1String("domain")).toString());
    QCOMPARE(labels, analysed);
    QStringList errLines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(errLines.mid(0, warnings.size()), warnings);
    // Then only the domains' status lines.
    QCOMPARE(errLines.size() - warnings.size(), analysed.size());
}

void TestE2eCli::severalDomains_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("fromInputFile");
    QTest::addColumn<bool>("progress");

    QTest::newRow("text: each report and a blank line") << QStringLiteral("text") << QStringList{} << false << false;
    QTest::newRow("CSV, with the progress line")
        << QStringLiteral("csv") << QStringList{QStringLiteral("--progress")} << false << true;
    QTest::newRow("JSON Lines from --input, paced, --quiet over --progress")
        << QStringLiteral("json")
        << QStringList{QStringLiteral("--delay"), QStringLiteral("0.001"), QStringLiteral("--progress"), QStringLiteral("--quiet")}
        << true << false;
    QTest::newRow("HTML: one page, the summary before the sections")
        << QStringLiteral("html") << QStringList{QStringLiteral("--quiet")} << false << false;
}

void TestE2eCli::severalDomains()
{
    QFETCH(QString, format);
    QFETCH(QStringList, options);
    QFETCH(bool, fromInputFile);
    QFETCH(bool, progress);

    const Batch batch;
    FakeEngine engine;
    QVERIFY(engine.start());
    for (int i = 0; i < 3; ++i)
        engine.setDomain(batch.domains[i], batch.configs[i]);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QStringList arguments = QStringList{QStringLiteral("--engine"), engine.origin(), QStringLiteral("--format"), format} + options;
    if (fromInputFile) {
        QFile list(dir.filePath(QStringLiteral("domains.txt")));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("# the batch\n\na.cn\r\n  b.cn  \n#c.cn is next\nc.cn");
        list.close();
        arguments << QStringLiteral("--input") << list.fileName();
    } else {
        arguments += batch.domains;
    }
    const CliRun run = runCli(arguments);
    QVERIFY(run.ended);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 1); // b.cn did not complete
    QCOMPARE(askedDomains(engine), batch.domains);

    // Standard error: each domain's status line, the progress line cleared before it.
    static const QRegularExpression progressLine(
        QStringLiteral("^(?:\\r\\[[1-3]/3\\] [a-c]\\.cn  page \\d+/[\\d?]+  sites \\d+ *)*(\\r\\[[1-3]/3\\] [^\\r]*)\\r( +)\\r"));
    QStringList errLines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // b.cn's reason follows its status line.
    static const QRegularExpression reasonLine(QStringLiteral("^b\\.cn: 第\\d+页: "));
    QCOMPARE(errLines.size(), 4);
    QVERIFY2(reasonLine.match(errLines.at(2)).hasMatch(), qPrintable(errLines.at(2)));
    errLines.removeAt(2);
    for (int i = 0; i < 3; ++i) {
        QString line = errLines[i];
        if (progress) {
            QVERIFY2(line.startsWith(QStringLiteral("\r[%1/3] %2  page 0/?  sites 0").arg(i + 1).arg(batch.domains[i])),
                     qPrintable(line));
            const QRegularExpressionMatch match = progressLine.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            QVERIFY(match.captured(2).size() >= match.captured(1).trimmed().size()); // wiped whole
            // The last page read shows before the line goes.
            QCOMPARE(match.captured(1).trimmed(), QStringLiteral("[%1/3] %2  page %3  sites %4")
                                                      .arg(i + 1)
                                                      .arg(batch.domains[i], batch.lastProgress[i])
                                                      .arg(batch.rows(i).size()));
            line = line.mid(match.capturedLength());
        }
        QCOMPARE(line, batch.domains[i] + QStringLiteral(": ") + batch.statuses[i]);
    }

    if (format == QLatin1String("text")) {
        QString expected;
        for (const QString &domain : batch.domains) {
            const Outcome reference = analyse({engine.origin(), engine.origin()}, domain, kBrowserTimeout);
            QVERIFY(reference.finished);
            expected += printed(reference.report) + QLatin1Char('\n');
        }
        QCOMPARE(run.out, expected);
    } else if (format == QLatin1String("csv")) {
        const QString header = QStringLiteral("domain,site,links,latest_date,latest_date_iso,latest_address,outcome\r\n");
        const QByteArray head = "\xEF\xBB\xBF" + header.toUtf8();
        QVERIFY2(run.outBytes.startsWith(head), run.outBytes.left(100).constData());
        QVERIFY(run.out.endsWith(QStringLiteral("\r\n")));
        QStringList rows = QString::fromUtf8(run.outBytes.mid(3 + header.size())).split(QStringLiteral("\r\n"));
        rows.removeLast();
        QStringList expected;
        for (int i = 0; i < 3; ++i) {
            for (const SiteRow &row : batch.rows(i))
                expected.append(QStringList{batch.domains[i], row.site, QString::number(row.count), row.date, row.url,
                                            batch.outcomes[i]}
                                    .join(QLatin1Char(',')));
            if (batch.rows(i).isEmpty()) // a domain without a site has its row all the same
                expected.append(batch.domains[i] + QStringLiteral(",,,,,") + batch.outcomes[i]);
        }
        for (QString &row : rows) {
            QStringList fields = row.split(QLatin1Char(','));
            QCOMPARE(fields.size(), 7);
            const QString iso = fields.takeAt(4);
            QVERIFY2(!iso.isEmpty() || fields[1].isEmpty(), qPrintable(row)); // every date the engine shows is recognised
            row = fields.join(QLatin1Char(','));
        }
        QCOMPARE(rows, expected);
    } else if (format == QLatin1String("html")) {
        // One page, written whole at the end: the summary links each domain to its section, and
        // each section holds one table row per site.
        QCOMPARE(run.out.count(QLatin1String("<!DOCTYPE html>")), 1);
        QVERIFY(run.out.endsWith(QLatin1String("</html>\n")));
        qsizetype summaryAt = -1;
        int siteRows = 0;
        for (int i = 0; i < 3; ++i) {
            const qsizetype link = run.out.indexOf(QStringLiteral("<a href=\"#d%1\">%2</a>").arg(i + 1).arg(batch.domains[i]));
            const qsizetype section = run.out.indexOf(QStringLiteral("<section id=\"d%1\">").arg(i + 1));
            QVERIFY2(link > summaryAt && section > link, qPrintable(batch.domains[i]));
            summaryAt = link;
            siteRows += int(batch.rows(i).size());
            for (const SiteRow &row : batch.rows(i))
                QVERIFY2(run.out.contains(QStringLiteral("<tr><td>%1<td>%2<td>").arg(row.site).arg(row.count)), qPrintable(row.site));
        }
        QCOMPARE(run.out.count(QLatin1String("<tr><td>")), 3 + siteRows);
    } else {
        const QStringList lines = run.out.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.last(), QString());
        const QStringList &outcomes = batch.outcomes;
        for (int i = 0; i < 3; ++i) {
            const QJsonObject object = QJsonDocument::fromJson(lines[i].toUtf8()).object();
            QCOMPARE(object.value(QLatin1String("domain")).toString(), batch.domains[i]);
            QCOMPARE(object.value(QLatin1String("engine")).toString(), engine.origin());
            QCOMPARE(object.value(QLatin1String("status")).toString(), batch.statuses[i]);
            QCOMPARE(object.value(QLatin1String("outcome")).toString(), outcomes[i]);
            QCOMPARE(object.value(QLatin1String("engine_total")).toInt(), batch.configs[i].total);
            QCOMPARE(object.value(QLatin1String("pages_requested")).toInt(), batch.pagesRequested[i]);
            QCOMPARE(object.value(QLatin1String("pages_read")).toInt(), batch.pagesRequested[i]);
            const QDateTime started = QDateTime::fromString(object.value(QLatin1String("started_at")).toString(), Qt::ISODate);
            const QDateTime finished = QDateTime::fromString(object.value(QLatin1String("finished_at")).toString(), Qt::ISODate);
            QVERIFY(started.isValid() && finished.isValid() && started <= finished);
            QList<SiteRow> rows;
            for (const QJsonValue &row : object.value(QLatin1String("rows")).toArray()) {
                const QJsonObject r = row.toObject();
                rows.append({r.value(QLatin1String("site")).toString(), r.value(QLatin1String("links")).toInt(),
                             r.value(QLatin1String("latest_date")).toString(), r.value(QLatin1String("latest_address")).toString()});
            }
            QCOMPARE(rows, batch.rows(i));
            QCOMPARE(object.value(QLatin1String("sites")).toInt(-1), int(rows.size()));
        }
    }
}

void TestE2eCli::runExitStatus_data()
{
    QTest::addColumn<QStringList>("domains");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("outcomes"); // of the domains analysed, in order
    QTest::addColumn<QStringList>("notAnalysed");
    QTest::addColumn<QStringList>("totals"); // engine_total of the domains analysed

    const QString a = QStringLiteral("a.cn");
    const QString c = QStringLiteral("c.cn");
    const QString refused = QStringLiteral("refused.cn");
    const QString stopping = QStringLiteral("long.cn");
    QTest::newRow("refused on the second: the third is not asked for, exit 3")
        << QStringList{a, refused, c} << 3 << QStringList{QStringLiteral("complete"), QStringLiteral("refused")}
        << QStringList{c} << QStringList{QStringLiteral("15"), QStringLiteral("45")};
    QTest::newRow("a walk stopped without a report: the run goes on, exit 1")
        << QStringList{stopping, a} << 1 << QStringList{QStringLiteral("stopped"), QStringLiteral("complete")}
        << QStringList{} << QStringList{QStringLiteral("5"), QStringLiteral("15")};
    QTest::newRow("stopped, then refused: 3 wins over 1")
        << QStringList{stopping, refused, a, c} << 3 << QStringList{QStringLiteral("stopped"), QStringLiteral("refused")}
        << QStringList{a, c} << QStringList{QStringLiteral("5"), QStringLiteral("45")};
    const QString unknown = QStringLiteral("unknown.cn");
    const QString noTotal = QStringLiteral("nototal.cn");
    const QString null = QStringLiteral("null");
    QTest::newRow("unreadable pages: the run goes on, exit 5")
        << QStringList{unknown, a} << 5 << QStringList{QStringLiteral("unreadable"), QStringLiteral("complete")}
        << QStringList{} << QStringList{null, QStringLiteral("15")};
    QTest::newRow("stopped, then unreadable: 5 wins over 1")
        << QStringList{stopping, unknown} << 5 << QStringList{QStringLiteral("stopped"), QStringLiteral("unreadable")}
        << QStringList{} << QStringList{QStringLiteral("5"), null};
    QTest::newRow("unreadable, then refused: 3 wins over 5")
        << QStringList{unknown, refused, a} << 3 << QStringList{QStringLiteral("unreadable"), QStringLiteral("refused")}
        << QStringList{a} << QStringList{null, QStringLiteral("45")};
    QTest::newRow("second query page without a total: its engine_total is null, not the first's")
        << QStringList{a, noTotal} << 0 << QStringList{QStringLiteral("complete"), QStringLiteral("complete")}
        << QStringList{} << QStringList{QStringLiteral("15"), null};
    QTest::newRow("the engine's no-results answer is a total of 0")
        << QStringList{a, QStringLiteral("none.cn")} << 0 << QStringList{QStringLiteral("complete"), QStringLiteral("complete")}
        << QStringList{} << QStringList{QStringLiteral("15"), QStringLiteral("0")};
    QTest::newRow("a walk without a total, then one with: the second has its total")
        << QStringList{noTotal, a} << 0 << QStringList{QStringLiteral("complete"), QStringLiteral("complete")}
        << QStringList{} << QStringList{null, QStringLiteral("15")};
}

void TestE2eCli::runExitStatus()
{
    QFETCH(QStringList, domains);
    QFETCH(int, exitCode);
    QFETCH(QStringList, outcomes);
    QFETCH(QStringList, notAnalysed);

    FakeEngine engine;
    QVERIFY(engine.start());
    EngineDomain refusing = domainOf(45);
    refusing.refusals = {{2, EngineDomain::Refusal::SecurityPage}};
    engine.setDomain(QStringLiteral("refused.cn"), refusing);
    engine.setDomain(QStringLiteral("long.cn"), stoppingDomain());
    engine.setDomain(QStringLiteral("a.cn"), domainOf(15));
    engine.setDomain(QStringLiteral("c.cn"), domainOf(15));
    EngineDomain unknown = domainOf(45);
    unknown.unknownLayout = true;
    engine.setDomain(QStringLiteral("unknown.cn"), unknown);
    engine.setDomain(QStringLiteral("nototal.cn"), layoutOf(25, 2026));
    EngineDomain none = layoutOf(45, 2018);
    none.noResults = true;
    engine.setDomain(QStringLiteral("none.cn"), none);

    const CliRun run = runCli(QStringList{QStringLiteral("--engine"), engine.origin(), QStringLiteral("--format"),
                                          QStringLiteral("json")}
                              + domains);
    QVERIFY(run.ended);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(askedDomains(engine), domains.mid(0, outcomes.size()));

    QStringList seen;
    QStringList totals;
    for (const QString &line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        seen.append(object.value(QLatin1String("outcome")).toString());
        const QJsonValue total = object.value(QLatin1String("engine_total"));
        totals.append(total.isNull() ? QStringLiteral("null") : QString::number(total.toInteger(-1)));
        const int rows = int(object.value(QLatin1String("rows")).toArray().size());
        if (seen.last() == QLatin1String("stopped")) { // no report: no rows, no site count
            QCOMPARE(rows, 0);
            QVERIFY(object.value(QLatin1String("sites")).isNull());
        } else if (seen.last() == QLatin1String("refused")) { // what was read before: pages 0 and 1
            QCOMPARE(rows, int(expectedRows(refusing, 20).size()));
        }
    }
    QCOMPARE(seen, outcomes);
    QTEST(totals, "totals");
    for (const QString &domain : notAnalysed)
        QVERIFY2(run.err.contains(QStringLiteral("korvane-cli: %1: not analysed").arg(domain)), qPrintable(run.err));
    QCOMPARE(run.err.count(QLatin1String("not analysed")), notAnalysed.size());
}

void TestE2eCli::outputFileKeptWhole_data()
{
    // The run analyses a.cn, b.cn and c.cn into FILE, which holds an earlier export. `slow`
    // answers so slowly that the run is still in it when the row interrupts it with `signal`;
    // `sizeLimit` keeps files from growing past this many bytes more than FILE is expected to hold.
    QTest::addColumn<int>("signal"); // 0: none
    QTest::addColumn<QString>("slow");
    QTest::addColumn<int>("sizeLimit"); // -1: none
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("kept");   // the domains FILE then holds; none: FILE as it was
    QTest::addColumn<QString>("contents");   // the last line of standard error
    QTest::addColumn<bool>("resume");        // then run again with --resume, nothing slow
    QTest::addColumn<QString>("format");     // csv, or html (one page of the domains that ended)

    const QString a = QStringLiteral("a.cn");
    const QString b = QStringLiteral("b.cn");
    QTest::newRow("SIGINT in the second domain: the first is kept, exit 130")
        << int(SIGINT) << b << -1 << 130 << QStringList{a} << QStringLiteral("{file}: 1 domain; not analysed: 2, from b.cn")
        << false << QStringLiteral("csv");
    QTest::newRow("SIGTERM in the second domain: the first is kept, exit 143")
        << int(SIGTERM) << b << -1 << 143 << QStringList{a} << QStringLiteral("{file}: 1 domain; not analysed: 2, from b.cn")
        << false << QStringLiteral("csv");
    QTest::newRow("SIGHUP in the second domain: the first is kept, exit 129")
        << int(SIGHUP) << b << -1 << 129 << QStringList{a} << QStringLiteral("{file}: 1 domain; not analysed: 2, from b.cn")
        << false << QStringLiteral("csv");
    QTest::newRow("SIGTERM in the first domain: FILE as it was")
        << int(SIGTERM) << a << -1 << 143 << QStringList{} << QStringLiteral("{file}: left as it was; not analysed: 3, from a.cn")
        << false << QStringLiteral("csv");
    QTest::newRow("the disk fills in the second domain: the first is kept whole, exit 4")
        << 0 << QString() << 10 << 4 << QStringList{a} << QStringLiteral("{file}: 1 domain; not analysed: 2, from b.cn") << false
        << QStringLiteral("csv");
    QTest::newRow("the disk fills in the first domain: FILE as it was, exit 4")
        << 0 << QString() << 10 << 4 << QStringList{} << QStringLiteral("{file}: left as it was; not analysed: 3, from a.cn")
        << false << QStringLiteral("csv");
    QTest::newRow("--resume after SIGINT: only what is missing is analysed, as if never interrupted")
        << int(SIGINT) << b << -1 << 130 << QStringList{a} << QStringLiteral("{file}: 1 domain; not analysed: 2, from b.cn")
        << true << QStringLiteral("csv");
    QTest::newRow("HTML, SIGINT in the second domain: the page of the first, the others not analysed")
        << int(SIGINT) << b << -1 << 130 << QStringList{a} << QStringLiteral("{file}: 1 domain; not analysed: 2, from b.cn")
        << false << QStringLiteral("html");
    QTest::newRow("HTML, SIGTERM in the first domain: FILE as it was")
        << int(SIGTERM) << a << -1 << 143 << QStringList{} << QStringLiteral("{file}: left as it was; not analysed: 3, from a.cn")
        << false << QStringLiteral("html");
}

void TestE2eCli::outputFileKeptWhole()
{
    QFETCH(int, signal);
    QFETCH(QString, slow);
    QFETCH(int, sizeLimit);
    QFETCH(int, exitCode);
    QFETCH(QStringList, kept);
    QFETCH(QString, contents);
    QFETCH(bool, resume);
    QFETCH(QString, format);

    const QStringList domains{QStringLiteral("a.cn"), QStringLiteral("b.cn"), QStringLiteral("c.cn")};
    FakeEngine engine;
    QVERIFY(engine.start());
    const auto configure = [&engine, &domains](const QString &slowDomain) {
        for (const QString &domain : domains) {
            EngineDomain config = domainOf(domain == domains[2] ? 15 : 45);
            config.delay = std::chrono::seconds(domain == slowDomain ? 60 : 0);
            engine.setDomain(domain, config);
        }
    };
    configure(QString());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("links.csv"));
    contents.replace(QStringLiteral("{file}"), path);
    const QStringList arguments = QStringList{QStringLiteral("--engine"), engine.origin(), QStringLiteral("--format"),
                                              format, QStringLiteral("--output"), path, QStringLiteral("--quiet")}
                                  + domains;

    // What an uninterrupted run writes, for reference.
    const CliRun whole = runCli(arguments);
    QVERIFY(whole.ended);
    QCOMPARE(whole.exitCode, 0);
    QFile reference(path);
    QVERIFY(reference.open(QIODevice::ReadOnly));
    const QByteArray referenceBytes = reference.readAll();
    reference.close();
    // The relative dates of the engine turn into times counted back from each run's start.
    static const QRegularExpression times(QStringLiteral(",\\d{4}-\\d\\d-\\d\\dT[^,]*,"));
    const auto timesAside = [](const QByteArray &bytes) { return QString::fromUtf8(bytes).replace(times, QStringLiteral(",T,")); };
    const QByteArray head = referenceBytes.left(referenceBytes.indexOf('\n') + 1);
    QByteArray expected = head;
    for (const QString &domain : kept) {
        for (const QByteArray &row : referenceBytes.split('\n')) {
            if (row.startsWith(QByteArray(domain.toUtf8() + ',')))
                expected += row + '\n';
        }
    }
    QVERIFY(expected.size() > head.size() || kept.isEmpty() || format != QLatin1String("csv"));

    const QByteArray earlier = "domain,site\r\nold.cn,x.cn\r\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    configure(slow);
    engine.server().clearRequests();

    QString err;
    if (signal != 0) {
        QProcess process;
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral(KORVANE_CLI_PATH), QStringList{QStringLiteral("--delay"), QStringLiteral("0")} + arguments);
        QTRY_VERIFY_WITH_TIMEOUT(askedDomains(engine).contains(slow), kChildWaitMs);
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(!finished.isEmpty() || finished.wait(kChildWaitMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("korvane-cli: interrupted\n")), qPrintable(err));
    } else {
        // Files of this process may not grow past the limit, as on a full disk.
        const qint64 limit = expected.size() + sizeLimit;
        const CliRun run = runCli(arguments, [limit] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{rlim_t(limit), rlim_t(limit)};
            setrlimit(RLIMIT_FSIZE, &size);
        });
        QVERIFY(run.ended);
        QCOMPARE(run.exitStatus, QProcess::NormalExit);
        QCOMPARE(run.exitCode, exitCode);
        err = run.err;
        QVERIFY2(err.contains(QStringLiteral("korvane-cli: cannot write ") + path), qPrintable(err));
    }
    QCOMPARE(err.split(QLatin1Char('\n'), Qt::SkipEmptyParts).constLast(), contents);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray held = file.readAll();
    file.close();
    if (kept.isEmpty()) {
        QCOMPARE(held, earlier);
    } else if (format == QLatin1String("html")) {
        // A whole page: a section for each domain that ended, the others listed as not analysed.
        QVERIFY(held.startsWith("<!DOCTYPE html>"));
        QVERIFY(held.endsWith("</html>\n"));
        QCOMPARE(held.count("<section id="), kept.size());
        QCOMPARE(held.count("<td>未分析"), domains.size() - kept.size());
    } else {
        QCOMPARE(timesAside(held), timesAside(expected));
    }
    // No half-written file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("links.csv")});

    if (resume) {
        configure(QString());
        engine.server().clearRequests();
        const CliRun again = runCli(arguments + QStringList{QStringLiteral("--resume")});
        QVERIFY(again.ended);
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(askedDomains(engine), domains.mid(kept.size()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(timesAside(file.readAll()), timesAside(referenceBytes));
        QCOMPARE(again.lastErrLine(), path + QStringLiteral(": 3 domains"));
    }
}

void TestE2eCli::standardOutput_data()
{
    // a.cn, then b.cn (whose pages come slowly), then c.cn, as JSON Lines to standard output.
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("message"); // the first line of standard error

    const QStringList ab{QStringLiteral("a.cn"), QStringLiteral("b.cn")};
    QTest::newRow("> /dev/full: exit 4 after the first domain, no further request")
        << QStringLiteral("full") << 4 << QStringList{QStringLiteral("a.cn")}
        << QStringLiteral("korvane-cli: cannot write standard output: No space left on device");
    QTest::newRow("| head -1: exit 4 without a message, c.cn never asked for")
        << QStringLiteral("head") << 4 << ab << QStringLiteral("a.cn: 分析已完成！");
    QTest::newRow("a pipe: the first line arrives before the second domain's first request")
        << QStringLiteral("pipe") << 0 << QStringList{QStringLiteral("a.cn"), QStringLiteral("b.cn"), QStringLiteral("c.cn")}
        << QStringLiteral("a.cn: 分析已完成！");
}

void TestE2eCli::standardOutput()
{
    QFETCH(QString, how);
    QFETCH(int, exitCode);
    QFETCH(QStringList, asked);
    QFETCH(QString, message);

    FakeEngine engine;
    QVERIFY(engine.start());
    EngineDomain slow = domainOf(45);
    slow.delay = std::chrono::milliseconds(how == QLatin1String("head") ? 300 : 0);
    engine.setDomain(QStringLiteral("a.cn"), domainOf(15));
    engine.setDomain(QStringLiteral("b.cn"), slow);
    engine.setDomain(QStringLiteral("c.cn"), domainOf(15));
    QStringList arguments{QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--engine"), engine.origin(),
                          QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--quiet"),
                          QStringLiteral("a.cn"), QStringLiteral("b.cn"), QStringLiteral("c.cn")};
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    if (how == QLatin1String("full")) {
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(KORVANE_CLI_PATH), arguments);
    } else if (how == QLatin1String("head")) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("bash"), QStringList{QStringLiteral("-c"),
                                                          QStringLiteral("\"$@\" | head -1; exit ${PIPESTATUS[0]}"),
                                                          QStringLiteral("bash"), QStringLiteral(KORVANE_CLI_PATH)}
                                                  + arguments);
    } else {
        // Paced, so that the second domain's first request comes well after the first line.
        arguments[1] = QStringLiteral("0.5");
        QSignalSpy output(&process, &QProcess::readyReadStandardOutput);
        process.start(QStringLiteral(KORVANE_CLI_PATH), arguments);
        QVERIFY(output.wait(kChildWaitMs));
        QCOMPARE(askedDomains(engine), QStringList{QStringLiteral("a.cn")});
        const QByteArray first = process.readAllStandardOutput();
        QVERIFY2(first.endsWith('\n') && first.count('\n') == 1, first.constData());
        QCOMPARE(QJsonDocument::fromJson(first).object().value(QLatin1String("domain")).toString(), QStringLiteral("a.cn"));
    }
    QVERIFY(!finished.isEmpty() || finished.wait(kChildWaitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    // A closed pipe may show before b.cn or only when b.cn is written.
    const QStringList got = askedDomains(engine);
    if (how == QLatin1String("head"))
        QVERIFY2(!got.isEmpty() && got.first() == QLatin1String("a.cn") && !got.contains(QStringLiteral("c.cn")),
                 qPrintable(got.join(QLatin1Char(' '))));
    else
        QCOMPARE(got, asked);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(err.section(QLatin1Char('\n'), 0, 0), message);
    QVERIFY2(how == QLatin1String("full") || !err.contains(QLatin1String("cannot write")), qPrintable(err));
}

void TestE2eCli::throughProxy_data()
{
    // Every run analyses a.cn on the fake engine with --format json. In the arguments and the
    // environment ("NAME=VALUE"), {proxy} stands for a recording proxy, {guarded} for one that
    // wants the user korvane with the password s3cret, {dead} for a port that refuses and
    // {refused} for an engine address that refuses.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("outcome");  // the JSON's outcome; empty: nothing analysed, exit 2
    QTest::addColumn<bool>("viaProxy");    // every engine request came through a proxy, else none did

    const QString proxy = QStringLiteral("--proxy");
    const QString complete = QStringLiteral("complete");
    const QString pageError = QStringLiteral("page_error");
    QTest::newRow("--proxy: every engine request goes through it")
        << QStringList{proxy, QStringLiteral("{proxy}")} << QStringList{} << complete << true;
    QTest::newRow("http_proxy: every engine request goes through it")
        << QStringList{} << QStringList{QStringLiteral("http_proxy={proxy}")} << complete << true;
    QTest::newRow("HTTP_PROXY in upper case")
        << QStringList{} << QStringList{QStringLiteral("HTTP_PROXY={proxy}")} << complete << true;
    QTest::newRow("http_proxy without a scheme")
        << QStringList{} << QStringList{QStringLiteral("http_proxy={proxy-host-port}")} << complete << true;
    QTest::newRow("all_proxy when http_proxy is not set")
        << QStringList{} << QStringList{QStringLiteral("all_proxy={proxy}")} << complete << true;
    QTest::newRow("https_proxy alone does not take http requests")
        << QStringList{} << QStringList{QStringLiteral("https_proxy={dead}")} << complete << false;
    QTest::newRow("no_proxy names the engine's address: direct")
        << QStringList{} << QStringList{QStringLiteral("http_proxy={dead}"), QStringLiteral("no_proxy=example.org, 127.0.0.0/8")}
        << complete << false;
    QTest::newRow("no_proxy names another host: through the proxy")
        << QStringList{} << QStringList{QStringLiteral("http_proxy={proxy}"), QStringLiteral("no_proxy=.example.org,127.0.0.2")}
        << complete << true;
    QTest::newRow("--proxy wins over http_proxy and no_proxy")
        << QStringList{proxy, QStringLiteral("{proxy}")}
        << QStringList{QStringLiteral("http_proxy={dead}"), QStringLiteral("no_proxy=*")} << complete << true;
    QTest::newRow("--proxy with the user and password the proxy wants")
        << QStringList{proxy, QStringLiteral("{guarded}")} << QStringList{} << complete << true;
    QTest::newRow("--proxy with a wrong password: page error, the engine asked nothing")
        << QStringList{proxy, QStringLiteral("{guarded-wrong}")} << QStringList{} << pageError << false;
    QTest::newRow("--proxy that refuses the connection: page error")
        << QStringList{proxy, QStringLiteral("{dead}")} << QStringList{} << pageError << false;
    QTest::newRow("socks5 --proxy that refuses the connection: page error")
        << QStringList{proxy, QStringLiteral("socks5://{dead-host-port}")} << QStringList{} << pageError << false;
    QTest::newRow("http_proxy that refuses the connection: page error")
        << QStringList{} << QStringList{QStringLiteral("http_proxy={dead}")} << pageError << false;
    QTest::newRow("the proxy cannot reach the engine: page error")
        << QStringList{proxy, QStringLiteral("{proxy}"), QStringLiteral("--engine"), QStringLiteral("{refused}")}
        << QStringList{} << pageError << false;
    QTest::newRow("http_proxy that is no proxy address: usage error")
        << QStringList{} << QStringList{QStringLiteral("http_proxy=ftp://127.0.0.1:21")} << QString() << false;
}

void TestE2eCli::throughProxy()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(QString, outcome);
    QFETCH(bool, viaProxy);

    FakeEngine engine;
    QVERIFY(engine.start());
    engine.setDomain(QStringLiteral("a.cn"), domainOf(15));
    HttpTestProxy proxy;
    QVERIFY(proxy.start());
    HttpTestProxy guarded;
    QVERIFY(guarded.start());
    guarded.requireCredentials("korvane", "s3cret");
    HttpTestProxy dead;
    QVERIFY(dead.start());
    dead.stop();
    HttpTestServer refusing;
    QVERIFY(refusing.start());
    refusing.stop();

    const QString deadHostPort = QStringLiteral("127.0.0.1:%1").arg(dead.port());
    auto substitute = [&](QStringList &texts) {
        for (QString &text : texts) {
            text.replace(QStringLiteral("{proxy-host-port}"), QStringLiteral("127.0.0.1:%1").arg(proxy.port()));
            text.replace(QStringLiteral("{proxy}"), proxy.urlText());
            text.replace(QStringLiteral("{guarded-wrong}"), guarded.urlText(QStringLiteral("korvane"), QStringLiteral("s3cre")));
            text.replace(QStringLiteral("{guarded}"), guarded.urlText(QStringLiteral("korvane"), QStringLiteral("s3cret")));
            text.replace(QStringLiteral("{dead-host-port}"), deadHostPort);
            text.replace(QStringLiteral("{dead}"), dead.urlText());
            text.replace(QStringLiteral("{refused}"), refusing.urlText().chopped(1));
        }
    };
    substitute(arguments);
    substitute(environment);

    const QStringList common{QStringLiteral("--engine"), engine.origin(), QStringLiteral("--format"), QStringLiteral("json")};
    const CliRun run = runCli(common + arguments + QStringList{QStringLiteral("a.cn")}, {}, environment);
    QVERIFY(run.ended);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);

    const QList<QByteArray> forwarded = proxy.forwardedTargets() + guarded.forwardedTargets();
    QList<QByteArray> engineTargets;
    for (const HttpTestServer::Request &request : engine.server().requests())
        engineTargets.append(engine.origin().toUtf8() + request.target);

    if (outcome.isEmpty()) {
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith(QLatin1String("korvane-cli: ")) && run.err.contains(QLatin1String("http_proxy")),
                 qPrintable(run.err));
        QCOMPARE(run.out, QString());
        QCOMPARE(engineTargets, QList<QByteArray>());
        QCOMPARE(proxy.requests().size(), 0);
        return;
    }

    const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(object.value(QLatin1String("outcome")).toString(), outcome);
    if (outcome == QLatin1String("complete")) {
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.statusLine(), kDone);
        QCOMPARE(engineTargets.size(), 3); // the query page, then pages 0 and 1
        QCOMPARE(forwarded, viaProxy ? engineTargets : QList<QByteArray>());
    } else {
        // The same ending as an engine that cannot be reached at all, never a clean one.
        QCOMPARE(run.statusLine(), kPageError);
        QCOMPARE(object.value(QLatin1String("rows")).toArray().size(), 0);
        QCOMPARE(engineTargets, QList<QByteArray>());
        const CliRun direct = runCli({QStringLiteral("--engine"), refusing.urlText().chopped(1), QStringLiteral("--format"),
                                      QStringLiteral("json"), QStringLiteral("a.cn")});
        QVERIFY(direct.ended);
        QCOMPARE(run.exitCode, direct.exitCode);
        QCOMPARE(QJsonDocument::fromJson(direct.out.toUtf8()).object().value(QLatin1String("outcome")).toString(), outcome);
    }
}

void TestE2eCli::failureReason_data()
{
    // a.cn on the fake engine (45 results), recorded, with --format json. {dead} is a proxy
    // port that refuses, {guarded-wrong} a proxy that wants other credentials, {refused} an
    // engine address that refuses; {dead-port} and {refused-port} their ports.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("http502Page"); // results page answered with HTTP 502; -2: none
    QTest::addColumn<QString>("failure");

    const QString proxy = QStringLiteral("--proxy");
    const QString engine = QStringLiteral("--engine");
    QTest::newRow("the engine refuses the connection")
        << QStringList{engine, QStringLiteral("{refused}")} << -2
        << QStringLiteral("第0页: connection refused (127.0.0.1:{refused-port})");
    QTest::newRow("a dead proxy")
        << QStringList{proxy, QStringLiteral("{dead}")} << -2
        << QStringLiteral("第0页: proxy refused the connection (127.0.0.1:{dead-port})");
    QTest::newRow("wrong proxy credentials")
        << QStringList{proxy, QStringLiteral("{guarded-wrong}")} << -2 << QStringLiteral("第0页: proxy authentication required");
    QTest::newRow("HTTP 502 on results page 2") << QStringList{} << 2 << QStringLiteral("第2页: HTTP 502");
    QTest::newRow("complete: no reason") << QStringList{} << -2 << QString();
}

// The reason of an incomplete analysis in its JSON, on standard error after the status line,
// and in the store (as history gives it back).
void TestE2eCli::failureReason()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, http502Page);
    QFETCH(QString, failure);

    FakeEngine engine;
    QVERIFY(engine.start());
    EngineDomain config = domainOf(45);
    if (http502Page >= 0)
        config.httpErrors = {{http502Page, 502}};
    engine.setDomain(QStringLiteral("a.cn"), config);
    HttpTestProxy dead;
    QVERIFY(dead.start());
    dead.stop();
    HttpTestProxy guarded;
    QVERIFY(guarded.start());
    guarded.requireCredentials("korvane", "s3cret");
    HttpTestServer refusing;
    QVERIFY(refusing.start());
    refusing.stop();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString store = dir.filePath(QStringLiteral("h.sqlite"));

    for (QString &argument : arguments) {
        argument.replace(QStringLiteral("{refused}"), refusing.urlText().chopped(1));
        argument.replace(QStringLiteral("{dead}"), dead.urlText());
        argument.replace(QStringLiteral("{guarded-wrong}"), guarded.urlText(QStringLiteral("korvane"), QStringLiteral("s3cre")));
    }
    failure.replace(QStringLiteral("{refused-port}"), QString::number(QUrl(refusing.urlText()).port()));
    failure.replace(QStringLiteral("{dead-port}"), QString::number(dead.port()));

    QStringList all{QStringLiteral("--engine"), engine.origin()};
    all += arguments; // a later --engine wins
    all += {QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--record"), QStringLiteral("--store"), store,
            QStringLiteral("a.cn")};
    const CliRun run = runCli(all);
    QVERIFY(run.ended);
    QCOMPARE(run.exitCode, failure.isEmpty() ? 0 : 1);
    const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QVERIFY2(object.contains(QLatin1String("failure")), qPrintable(run.out));
    QCOMPARE(object.value(QLatin1String("failure")).toString(), failure);
    QCOMPARE(object.value(QLatin1String("failure")).isNull(), failure.isEmpty());
    if (failure.isEmpty()) {
        QCOMPARE(run.lastErrLine(), kDone);
    } else {
        QCOMPARE(run.lastErrLine(), QStringLiteral("a.cn: ") + failure);
        QCOMPARE(run.statusLine(), kPageError);
    }

    const CliRun history = runCli({QStringLiteral("history"), QStringLiteral("--store"), store, QStringLiteral("--format"),
                                   QStringLiteral("json"), QStringLiteral("a.cn")});
    QVERIFY(history.ended);
    QCOMPARE(history.exitCode, 0);
    const QJsonArray analyses = QJsonDocument::fromJson(history.out.toUtf8()).object().value(QLatin1String("analyses")).toArray();
    QCOMPARE(analyses.size(), 1);
    QCOMPARE(analyses.at(0).toObject().value(QLatin1String("failure")).toString(), failure);
}

void TestE2eCli::resumeAnalysesIncompleteAgain_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("CSV: b.cn held as page_error is analysed again") << QStringLiteral("csv");
    QTest::newRow("JSON: b.cn held as page_error is analysed again") << QStringLiteral("json");
}

// FILE holds a.cn complete and b.cn with a page error: --resume keeps a.cn and asks for b.cn again.
void TestE2eCli::resumeAnalysesIncompleteAgain()
{
    QFETCH(QString, format);
    FakeEngine engine;
    QVERIFY(engine.start());
    engine.setDomain(QStringLiteral("a.cn"), domainOf(15));
    EngineDomain failing = domainOf(25);
    failing.httpErrors = {{1, 503}};
    engine.setDomain(QStringLiteral("b.cn"), failing);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("links.") + format);
    const auto fileBytes = [](const QString &name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QStringList arguments{QStringLiteral("--engine"), engine.origin(), QStringLiteral("--format"), format,
                                QStringLiteral("--output"), path, QStringLiteral("--quiet"), QStringLiteral("a.cn"),
                                QStringLiteral("b.cn")};
    const CliRun first = runCli(arguments);
    QVERIFY(first.ended);
    QCOMPARE(first.exitCode, 1);
    QVERIFY(QString::fromUtf8(fileBytes(path)).contains(QLatin1String("page_error")));

    engine.setDomain(QStringLiteral("b.cn"), domainOf(25));
    engine.server().clearRequests();
    const CliRun again = runCli(arguments + QStringList{QStringLiteral("--resume")});
    QVERIFY(again.ended);
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(askedDomains(engine), QStringList{QStringLiteral("b.cn")});
    const QString held = QString::fromUtf8(fileBytes(path));
    QVERIFY2(!held.contains(QLatin1String("page_error")), qPrintable(held));
    QVERIFY2(held.contains(QLatin1String("a.cn")) && held.contains(QLatin1String("b.cn")), qPrintable(held));
}

namespace {

// The sites of the rows of a JSON export line.
QSet<QString> exportedSites(const QString &jsonLine)
{
    QSet<QString> sites;
    const QJsonArray rows = QJsonDocument::fromJson(jsonLine.toUtf8()).object().value(QLatin1String("rows")).toArray();
    for (const QJsonValue &row : rows)
        sites.insert(row.toObject().value(QLatin1String("site")).toString());
    return sites;
}

QStringList sorted(QSet<QString> set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

QStringList sitesOf(const QJsonArray &array)
{
    QStringList list;
    for (const QJsonValue &value : array)
        list.append(value.toObject().value(QLatin1String("site")).toString());
    list.sort();
    return list;
}

// One value read from an SQLite file through the driver, or an empty text.
QString sqlValue(const QString &path, const QString &statement)
{
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(statement) && query.next())
                value = query.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return value;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestE2eCli::recordedHistory_data()
{
    QTest::addColumn<QString>("format");

    QTest::newRow("text") << QStringLiteral("text");
    QTest::newRow("csv") << QStringLiteral("csv");
    QTest::newRow("json") << QStringLiteral("json");
    QTest::newRow("html: the history page") << QStringLiteral("html");
}

// Four recorded analyses of a.cn: 7 sites, then 5 (two lost), a walk that stopped, then 9
// (four new); history and diff in each format, and diff of the two JSON exports.
void TestE2eCli::recordedHistory()
{
    QFETCH(QString, format);

    FakeEngine engine;
    QVERIFY(engine.start());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString store = dir.filePath(QStringLiteral("history.sqlite"));
    const QString a = QStringLiteral("a.cn");
    QStringList exports;
    const QList<int> siteCounts{7, 5, -1, 9};
    for (int i = 0; i < siteCounts.size(); ++i) {
        EngineDomain config = domainOf(45);
        config.sites = siteCounts[i];
        engine.setDomain(a, siteCounts[i] < 0 ? stoppingDomain() : config);
        const CliRun run = runCli({QStringLiteral("--engine"), engine.origin(), QStringLiteral("--record"),
                                   QStringLiteral("--store"), store, QStringLiteral("--format"), QStringLiteral("json"), a});
        QVERIFY(run.ended);
        QCOMPARE(run.exitCode, siteCounts[i] < 0 ? 1 : 0);
        exports.append(run.out);
    }
    const QSet<QString> second = exportedSites(exports[1]);
    const QSet<QString> last = exportedSites(exports[3]);

    const CliRun history = runCli({QStringLiteral("history"), QStringLiteral("--store"), store, QStringLiteral("--format"),
                                   format, QStringLiteral("--no-bom"), a});
    QVERIFY(history.ended);
    QCOMPARE(history.exitCode, 0);
    QCOMPARE(history.err, QString());
    QStringList outcomes, added, lost;
    if (format == QLatin1String("html")) {
        // The analyses table, one row an analysis: id, start, end, outcome, total, sites, new, lost.
        const QString table = history.out.section(QStringLiteral("<table class=\"history"), 1).section(QStringLiteral("</table>"), 0, 0);
        QStringList rows = table.section(QStringLiteral("<tbody>"), 1).split(QStringLiteral("<tr>"));
        rows.removeFirst(); // what stands before the first row
        QCOMPARE(rows.size(), 4);
        const QHash<QString, QString> names{{QStringLiteral("完成"), QStringLiteral("complete")}, {QStringLiteral("中止"), QStringLiteral("stopped")}};
        for (const QString &row : rows) {
            const QStringList cells = row.trimmed().split(QStringLiteral("<td>"), Qt::SkipEmptyParts);
            QCOMPARE(cells.size(), 8);
            outcomes.append(names.value(cells[3], cells[3]));
            const QString lostCell = cells[7].section(QLatin1Char('<'), 0, 0).trimmed(); // the last row ends the body
            added.append(cells[6] == QStringLiteral("—") ? QString() : cells[6]);
            lost.append(lostCell == QStringLiteral("—") ? QString() : lostCell);
        }
        // The latest change lists the four new sites; the line chart has a point per analysis with a total.
        for (const QString &site : sorted(exportedSites(exports[3]) - exportedSites(exports[1])))
            QVERIFY2(history.out.contains(site), qPrintable(site));
        QVERIFY(history.out.contains(QStringLiteral("default-src 'none'")));
    } else if (format == QLatin1String("json")) {
        const QJsonObject object = QJsonDocument::fromJson(history.out.toUtf8()).object();
        QCOMPARE(object.value(QLatin1String("domain")).toString(), a);
        for (const QJsonValue &value : object.value(QLatin1String("analyses")).toArray()) {
            const QJsonObject entry = value.toObject();
            outcomes.append(entry.value(QLatin1String("outcome")).toString());
            added.append(entry.value(QLatin1String("new")).isNull() ? QString() : QString::number(entry.value(QLatin1String("new")).toInt()));
            lost.append(entry.value(QLatin1String("lost")).isNull() ? QString() : QString::number(entry.value(QLatin1String("lost")).toInt()));
        }
    } else {
        QStringList lines = history.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), format == QLatin1String("csv") ? 5 : 6); // text: a line of titles too
        const QString head = lines.takeFirst();
        if (format == QLatin1String("csv")) {
            QCOMPARE(head, QStringLiteral("id,started_at,finished_at,outcome,engine_total,sites,new,lost,failure\r"));
            for (const QString &line : lines) {
                const QStringList fields = line.chopped(1).split(QLatin1Char(','));
                outcomes.append(fields.value(3));
                added.append(fields.value(6));
                lost.append(fields.value(7));
            }
        } else {
            QVERIFY2(head.startsWith(QStringLiteral("对域名a.cn的分析历史:")) && head.endsWith(QStringLiteral("分析次数= 4")), qPrintable(head));
            lines.removeFirst(); // the column titles
            for (const QString &line : lines) {
                const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
                outcomes.append(fields.value(3));
                const bool counted = fields.value(3) == QLatin1String("complete") && fields.size() == 8;
                added.append(counted ? fields.value(6) : QString());
                lost.append(counted ? fields.value(7) : QString());
            }
        }
    }
    const QString complete = QStringLiteral("complete");
    QCOMPARE(outcomes, (QStringList{complete, complete, QStringLiteral("stopped"), complete}));
    QCOMPARE(added, (QStringList{QString(), QStringLiteral("0"), QString(), QStringLiteral("4")}));
    QCOMPARE(lost, (QStringList{QString(), QStringLiteral("2"), QString(), QStringLiteral("0")}));

    if (format == QLatin1String("html"))
        return; // diff has no page of its own: the history page shows the latest change

    // The default diff: the two latest complete analyses (the stopped walk is passed over).
    const CliRun diff = runCli({QStringLiteral("diff"), QStringLiteral("--store"), store, QStringLiteral("--format"), format,
                                QStringLiteral("--no-bom"), a});
    QVERIFY(diff.ended);
    QCOMPARE(diff.exitCode, 0);
    QCOMPARE(diff.err, QString());
    const QStringList expectedNew = sorted(last - second);
    QCOMPARE(expectedNew.size(), 4);
    if (format == QLatin1String("json")) {
        const QJsonObject object = QJsonDocument::fromJson(diff.out.toUtf8()).object();
        QCOMPARE(sitesOf(object.value(QLatin1String("new")).toArray()), expectedNew);
        QCOMPARE(sitesOf(object.value(QLatin1String("lost")).toArray()), QStringList());
        QCOMPARE(object.value(QLatin1String("to")).toObject().value(QLatin1String("sites")).toInt(), 9);
        // The same from the two exports, with no store.
        QTemporaryDir files;
        QVERIFY(files.isValid());
        for (int i : {1, 3}) {
            QFile file(files.filePath(QStringLiteral("%1.json").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(exports[i].toUtf8());
        }
        const CliRun fromFiles = runCli({QStringLiteral("diff"), QStringLiteral("--format"), QStringLiteral("json"),
                                         files.filePath(QStringLiteral("1.json")), files.filePath(QStringLiteral("3.json"))});
        QVERIFY(fromFiles.ended);
        QCOMPARE(fromFiles.exitCode, 0);
        const QJsonObject fileObject = QJsonDocument::fromJson(fromFiles.out.toUtf8()).object();
        for (const char *key : {"new", "lost", "changed"})
            QCOMPARE(fileObject.value(QLatin1String(key)), object.value(QLatin1String(key)));
        QVERIFY(fileObject.value(QLatin1String("from")).toObject().value(QLatin1String("id")).isNull());
    } else if (format == QLatin1String("csv")) {
        QStringList lines = diff.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.takeFirst(), QStringLiteral("change,site,links_before,links_after,latest_date,latest_address"));
        QStringList newSites;
        for (const QString &line : lines)
            if (line.startsWith(QLatin1String("new,")))
                newSites.append(line.section(QLatin1Char(','), 1, 1));
        newSites.sort();
        QCOMPARE(newSites, expectedNew);
        QVERIFY(!diff.out.contains(QLatin1String("\r\nlost,")));
    } else {
        QVERIFY2(diff.out.startsWith(QStringLiteral("对域名a.cn的外链变化:")), qPrintable(diff.out));
        QVERIFY2(diff.out.contains(QStringLiteral("\n新增站点= 4\n")) && diff.out.contains(QStringLiteral("\n消失站点= 0\n"))
                     && diff.out.contains(QStringLiteral("\n外链数变化= ")),
                 qPrintable(diff.out));
    }

    // Naming the stopped walk is allowed, with a warning.
    const QString stoppedId = QStringLiteral("3");
    const CliRun named = runCli({QStringLiteral("diff"), QStringLiteral("--store"), store, a, stoppedId, QStringLiteral("4")});
    QVERIFY(named.ended);
    QCOMPARE(named.exitCode, 0);
    QVERIFY2(named.err.startsWith(QStringLiteral("korvane-cli: warning: analysis 3 of a.cn did not complete")), qPrintable(named.err));
}

void TestE2eCli::skipRecent_data()
{
    QTest::addColumn<QString>("hours");
    QTest::addColumn<int>("ageMinutes");    // how long ago a.cn's analysis finished (as stored)
    QTest::addColumn<QStringList>("asked"); // of a.cn (complete), long.cn (stopped just now), c.cn (never)

    QTest::newRow("20 hours: the complete one is skipped")
        << QStringLiteral("20") << 0 << QStringList{QStringLiteral("long.cn"), QStringLiteral("c.cn")};
    QTest::newRow("0 hours: nothing is skipped")
        << QStringLiteral("0") << 0 << QStringList{QStringLiteral("a.cn"), QStringLiteral("long.cn"), QStringLiteral("c.cn")};
    QTest::newRow("1 hour, complete 30 minutes ago: skipped")
        << QStringLiteral("1") << 30 << QStringList{QStringLiteral("long.cn"), QStringLiteral("c.cn")};
    QTest::newRow("0.25 hours, complete 30 minutes ago: analysed again")
        << QStringLiteral("0.25") << 30 << QStringList{QStringLiteral("a.cn"), QStringLiteral("long.cn"), QStringLiteral("c.cn")};
}

void TestE2eCli::skipRecent()
{
    QFETCH(QString, hours);
    QFETCH(int, ageMinutes);
    QFETCH(QStringList, asked);

    FakeEngine first;
    QVERIFY(first.start());
    first.setDomain(QStringLiteral("a.cn"), domainOf(15));
    first.setDomain(QStringLiteral("long.cn"), stoppingDomain());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString store = dir.filePath(QStringLiteral("history.sqlite"));
    const CliRun before = runCli({QStringLiteral("--engine"), first.origin(), QStringLiteral("--record"), QStringLiteral("--store"),
                                  store, QStringLiteral("a.cn"), QStringLiteral("long.cn")});
    QVERIFY(before.ended);
    QCOMPARE(before.exitCode, 1);
    if (ageMinutes > 0) {
        const QString finished = QDateTime::currentDateTimeUtc().addSecs(-60 * ageMinutes).toString(
            QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
        sqlValue(store, QStringLiteral("UPDATE analyses SET finished_at = '%1' WHERE domain = 'a.cn'").arg(finished));
        QCOMPARE(sqlValue(store, QStringLiteral("SELECT finished_at FROM analyses WHERE domain = 'a.cn'")), finished);
    }

    FakeEngine engine;
    QVERIFY(engine.start());
    engine.setDomain(QStringLiteral("a.cn"), domainOf(15));
    engine.setDomain(QStringLiteral("long.cn"), domainOf(15));
    engine.setDomain(QStringLiteral("c.cn"), domainOf(15));
    const CliRun run = runCli({QStringLiteral("--engine"), engine.origin(), QStringLiteral("--record"), QStringLiteral("--store"),
                               store, QStringLiteral("--skip-recent"), hours, QStringLiteral("a.cn"), QStringLiteral("long.cn"),
                               QStringLiteral("c.cn")});
    QVERIFY(run.ended);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(askedDomains(engine), asked);
    QCOMPARE(run.err.count(QLatin1String("skipped")), 3 - asked.size());
    QCOMPARE(sqlValue(store, QStringLiteral("SELECT COUNT(*) FROM analyses")), QString::number(2 + asked.size()));
}

void TestE2eCli::storeSurvives_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("recorded"); // analyses in the store at the end

    QTest::newRow("killed with SIGKILL in the fourth domain") << QStringLiteral("kill") << 3;
    QTest::newRow("two recorders on one store at once") << QStringLiteral("two") << 6;
    QTest::newRow("the store cannot grow: the run stops with exit 4") << QStringLiteral("full") << 1;
}

void TestE2eCli::storeSurvives()
{
    QFETCH(QString, how);
    QFETCH(int, recorded);

    FakeEngine engine;
    QVERIFY(engine.start());
    QStringList domains{QStringLiteral("a.cn"), QStringLiteral("b.cn"), QStringLiteral("c.cn")};
    for (const QString &domain : domains)
        engine.setDomain(domain, domainOf(45));
    EngineDomain slow = domainOf(45);
    slow.delay = std::chrono::seconds(60);
    engine.setDomain(QStringLiteral("slow.cn"), slow);
    EngineDomain large = domainOf(750);
    large.sites = 600; // more rows than the store's file may grow by
    engine.setDomain(QStringLiteral("large.cn"), large);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString store = dir.filePath(QStringLiteral("history.sqlite"));

    std::function<void()> inChild;
    if (how == QLatin1String("kill")) {
        domains.append(QStringLiteral("slow.cn"));
    } else if (how == QLatin1String("full")) {
        // A store with one analysis, then a run whose files may not grow past its size (and not
        // below 40 KiB, the 32 KiB index of the write-ahead log with room to spare): the store's
        // tables (the queue's, the server's and the alerts' among them) fit, and the log, a file
        // under the same limit, has room for its first pages, not for 600 rows more.
        const CliRun first = runCli({QStringLiteral("--engine"), engine.origin(), QStringLiteral("--record"),
                                     QStringLiteral("--store"), store, QStringLiteral("a.cn")});
        QCOMPARE(first.exitCode, 0);
        const rlim_t most = rlim_t(std::max<qint64>(40960, QFileInfo(store).size()));
        QVERIFY(QFileInfo(store).size() <= qint64(most));
        inChild = [most] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{most, most};
            setrlimit(RLIMIT_FSIZE, &limit);
        };
        domains = QStringList{QStringLiteral("large.cn"), QStringLiteral("b.cn")};
        engine.server().clearRequests();
    }

    const int runs = how == QLatin1String("two") ? 2 : 1;
    QList<QProcess *> processes;
    QList<QSignalSpy *> spies;
    for (int i = 0; i < runs; ++i) {
        auto *process = new QProcess(this);
        if (inChild)
            process->setChildProcessModifier(inChild);
        spies.append(new QSignalSpy(process, &QProcess::finished));
        process->start(QStringLiteral(KORVANE_CLI_PATH),
                       QStringList{QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--engine"), engine.origin(),
                                   QStringLiteral("--record"), QStringLiteral("--store"), store, QStringLiteral("--quiet")}
                           + domains);
        processes.append(process);
    }
    if (how == QLatin1String("kill")) {
        QTRY_VERIFY_WITH_TIMEOUT(askedDomains(engine).contains(QStringLiteral("slow.cn")), kChildWaitMs);
        ::kill(pid_t(processes[0]->processId()), SIGKILL);
    }
    for (int i = 0; i < runs; ++i) {
        QVERIFY(!spies[i]->isEmpty() || spies[i]->wait(kChildWaitMs));
        if (how == QLatin1String("kill")) {
            QCOMPARE(processes[i]->exitStatus(), QProcess::CrashExit);
        } else {
            QCOMPARE(processes[i]->exitStatus(), QProcess::NormalExit);
            const QString err = QString::fromUtf8(processes[i]->readAllStandardError());
            QVERIFY2(processes[i]->exitCode() == (how == QLatin1String("full") ? 4 : 0), qPrintable(err));
            if (how == QLatin1String("full")) {
                QVERIFY2(err.contains(QStringLiteral("korvane-cli: cannot record large.cn in ")), qPrintable(err));
                QCOMPARE(askedDomains(engine), QStringList{QStringLiteral("large.cn")}); // b.cn is not analysed
            }
        }
    }
    qDeleteAll(spies);
    qDeleteAll(processes);

    QCOMPARE(sqlValue(store, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    // Every analysis that ended, whole with its rows, and nothing of the one under way.
    QCOMPARE(sqlValue(store, QStringLiteral("SELECT COUNT(*) FROM analyses")), QString::number(recorded));
    QCOMPARE(sqlValue(store, QStringLiteral("SELECT COUNT(*) FROM analyses WHERE domain IN ('slow.cn', 'large.cn')")),
             QStringLiteral("0"));
    QCOMPARE(sqlValue(store, QStringLiteral("SELECT COUNT(*) FROM analyses a WHERE sites <> "
                                            "(SELECT COUNT(*) FROM sites s WHERE s.analysis_id = a.id) OR sites = 0")),
             QStringLiteral("0"));
}

void TestE2eCli::storeRefused_data()
{
    // {store} is the file made as `kind` says, in the empty folder {dir}; every analysis run is
    // also given --engine.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    const QString store = QStringLiteral("{store}");
    const QStringList record{QStringLiteral("--record"), QStringLiteral("--store"), store, QStringLiteral("a.cn")};
    const QString notOurs = QStringLiteral("is not a Korvane history store");
    QTest::newRow("--record into a text file") << QStringLiteral("text") << record << notOurs;
    QTest::newRow("--record into another program's SQLite database") << QStringLiteral("sqlite") << record << notOurs;
    QTest::newRow("--record into a store of a later version") << QStringLiteral("later") << record
                                                               << QStringLiteral("later Korvane");
    QTest::newRow("--record into a folder that is not there") << QStringLiteral("none")
        << QStringList{QStringLiteral("--record"), QStringLiteral("--store"), QStringLiteral("{dir}/no/such.sqlite"),
                       QStringLiteral("a.cn")}
        << QStringLiteral("cannot create");
    QTest::newRow("history of a text file")
        << QStringLiteral("text") << QStringList{QStringLiteral("history"), QStringLiteral("--store"), store, QStringLiteral("a.cn")}
        << notOurs;
    QTest::newRow("diff of a store of a later version")
        << QStringLiteral("later") << QStringList{QStringLiteral("diff"), QStringLiteral("--store"), store, QStringLiteral("a.cn")}
        << QStringLiteral("later Korvane");
    QTest::newRow("history with no store there")
        << QStringLiteral("none") << QStringList{QStringLiteral("history"), QStringLiteral("--store"), store, QStringLiteral("a.cn")}
        << QStringLiteral("no history store");
    QTest::newRow("--skip-recent without --record")
        << QStringLiteral("none") << QStringList{QStringLiteral("--skip-recent"), QStringLiteral("5"), QStringLiteral("a.cn")}
        << QStringLiteral("--skip-recent");
}

void TestE2eCli::storeRefused()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);

    FakeEngine engine;
    QVERIFY(engine.start());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    if (kind == QLatin1String("text")) {
        QVERIFY(QFile::copy(QStringLiteral(KORVANE_TEST_DATA_DIR "/store/not_a_store.txt"), path));
    } else if (kind == QLatin1String("sqlite")) {
        sqlValue(path, QStringLiteral("CREATE TABLE analyses (x TEXT)"));
        sqlValue(path, QStringLiteral("INSERT INTO analyses VALUES ('a')"));
        QCOMPARE(sqlValue(path, QStringLiteral("SELECT x FROM analyses")), QStringLiteral("a"));
    } else if (kind == QLatin1String("later")) {
        const CliRun made = runCli({QStringLiteral("--engine"), engine.origin(), QStringLiteral("--record"),
                                    QStringLiteral("--store"), path, QStringLiteral("none.cn")});
        QCOMPARE(made.exitCode, 0);
        sqlValue(path, QStringLiteral("PRAGMA user_version = 99"));
        QCOMPARE(sqlValue(path, QStringLiteral("PRAGMA user_version")), QStringLiteral("99"));
        engine.server().clearRequests();
    }
    const QByteArray before = fileBytes(path);
    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("{store}"), path).replace(QStringLiteral("{dir}"), dir.path());

    const bool command = arguments.first() == QLatin1String("history") || arguments.first() == QLatin1String("diff");
    const CliRun run = runCli(command ? arguments : QStringList{QStringLiteral("--engine"), engine.origin()} + arguments);
    QVERIFY(run.ended);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith(QLatin1String("korvane-cli: ")) && run.err.contains(mentions), qPrintable(run.err));
    QCOMPARE(askedDomains(engine), QStringList());
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
}

QTEST_GUILESS_MAIN(TestE2eCli)
#include "test_e2e_cli.moc"
