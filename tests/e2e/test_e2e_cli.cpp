// korvane-cli as a child process against the fake search engine in this process. The event
// loop keeps running while the child runs, so that the engine can answer it.

#include "e2e_support.h"
#include "engine_pages.h"
#include "fake_engine.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>

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
};

// Runs korvane-cli to its end. `inChild` runs in the child before the program starts.
CliRun runCli(const QStringList &arguments, const std::function<void()> &inChild = {})
{
    QProcess process;
    if (inChild)
        process.setChildProcessModifier(inChild);
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
    void severalDomains_data();
    void severalDomains();
    void runExitStatus_data();
    void runExitStatus();
    void outputFileKeptWhole_data();
    void outputFileKeptWhole();
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
    QCOMPARE(run.exitCode, status == kRefused ? 3 : status == kUnreadable ? 5 : 0);
    QCOMPARE(run.out, printed(reference.report));
    if (status == kDone) // every result the engine served, in whatever layout
        QCOMPARE(reportRows(reference.report), expectedRows(config, config.total));
    else if (status == kUnreadable)
        QCOMPARE(reference.report, noticeReport(kUnreadable));
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
    // first (a later --output wins).
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("unknown format") << QStringList{QStringLiteral("--format"), QStringLiteral("xml"), QStringLiteral("a.cn")}
                                    << QStringLiteral("--format");
    QTest::newRow("negative delay") << QStringList{QStringLiteral("--delay"), QStringLiteral("-1"), QStringLiteral("a.cn")}
                                    << QStringLiteral("--delay");
    QTest::newRow("delay that is no number")
        << QStringList{QStringLiteral("--delay"), QStringLiteral("soon"), QStringLiteral("a.cn")} << QStringLiteral("--delay");
    QTest::newRow("empty domain") << QStringList{QStringLiteral("a.cn"), QString()} << QStringLiteral("DOMAIN");
    QTest::newRow("unreadable --input")
        << QStringList{QStringLiteral("--input"), QStringLiteral("{dir}/missing.txt")} << QStringLiteral("--input");
    QTest::newRow("--output in a folder that does not exist")
        << QStringList{QStringLiteral("--output"), QStringLiteral("{dir}/no/such/out.csv"), QStringLiteral("a.cn")}
        << QStringLiteral("{dir}/no/such/out.csv");
}

void TestE2eCli::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HttpTestServer closed; // nothing may be asked of any engine; this one would refuse anyway
    QVERIFY(closed.start());
    closed.stop();
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("{dir}"), dir.path());
    mentions.replace(QStringLiteral("{dir}"), dir.path());

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
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(askedDomains(engine), batch.domains);

    // Standard error: each domain's status line, the progress line cleared before it.
    static const QRegularExpression progressLine(
        QStringLiteral("^(?:\\r\\[[1-3]/3\\] [a-c]\\.cn  page \\d+/[\\d?]+  sites \\d+ *)*(\\r\\[[1-3]/3\\] [^\\r]*)\\r( +)\\r"));
    const QStringList errLines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(errLines.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QString line = errLines[i];
        if (progress) {
            QVERIFY2(line.startsWith(QStringLiteral("\r[%1/3] %2  page 0/?  sites 0").arg(i + 1).arg(batch.domains[i])),
                     qPrintable(line));
            const QRegularExpressionMatch match = progressLine.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            QVERIFY(match.captured(2).size() >= match.captured(1).trimmed().size()); // wiped whole
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
        const QString header = QStringLiteral("domain,site,links,latest_date,latest_date_iso,latest_address\r\n");
        const QByteArray head = "\xEF\xBB\xBF" + header.toUtf8();
        QVERIFY2(run.outBytes.startsWith(head), run.outBytes.left(100).constData());
        QVERIFY(run.out.endsWith(QStringLiteral("\r\n")));
        QStringList rows = QString::fromUtf8(run.outBytes.mid(3 + header.size())).split(QStringLiteral("\r\n"));
        rows.removeLast();
        QStringList expected;
        for (int i = 0; i < 3; ++i) {
            for (const SiteRow &row : batch.rows(i))
                expected.append(QStringList{batch.domains[i], row.site, QString::number(row.count), row.date, row.url}.join(QLatin1Char(',')));
        }
        for (QString &row : rows) {
            QStringList fields = row.split(QLatin1Char(','));
            QCOMPARE(fields.size(), 6);
            QVERIFY2(!fields.takeAt(4).isEmpty(), qPrintable(row)); // every date the engine shows is recognised
            row = fields.join(QLatin1Char(','));
        }
        QCOMPARE(rows, expected);
    } else {
        const QStringList lines = run.out.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.last(), QString());
        const QStringList outcomes{QStringLiteral("complete"), QStringLiteral("page_error"), QStringLiteral("complete")};
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
    QTest::addColumn<bool>("interrupt"); // else the file system refuses the write

    QTest::newRow("the write fails: exit 4") << false;
    QTest::newRow("interrupted in the second domain: exit 143") << true;
}

void TestE2eCli::outputFileKeptWhole()
{
    QFETCH(bool, interrupt);

    FakeEngine engine;
    QVERIFY(engine.start());
    engine.setDomain(QStringLiteral("a.cn"), domainOf(45));
    EngineDomain slow = domainOf(45);
    slow.delay = std::chrono::seconds(interrupt ? 60 : 0);
    engine.setDomain(QStringLiteral("b.cn"), slow);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("links.csv"));
    const QByteArray earlier = "domain,site\r\nold.cn,x.cn\r\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    const QStringList arguments{QStringLiteral("--engine"), engine.origin(), QStringLiteral("--format"), QStringLiteral("csv"),
                                QStringLiteral("--output"), path, QStringLiteral("a.cn"), QStringLiteral("b.cn")};

    if (interrupt) {
        QProcess process;
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral(KORVANE_CLI_PATH), arguments);
        QTRY_VERIFY_WITH_TIMEOUT(askedDomains(engine).contains(QStringLiteral("b.cn")), kChildWaitMs);
        process.terminate();
        QVERIFY(!finished.isEmpty() || finished.wait(kChildWaitMs));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + SIGTERM);
        QVERIFY(process.readAllStandardError().endsWith("korvane-cli: interrupted\n"));
    } else {
        // Files of this process may not grow past 100 bytes: the report does not fit.
        const CliRun run = runCli(arguments, [] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{100, 100};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        QVERIFY(run.ended);
        QCOMPARE(run.exitStatus, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(run.lastErrLine().startsWith(QStringLiteral("korvane-cli: cannot write ") + path), qPrintable(run.err));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), earlier);
    // No half-written file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("links.csv")});
}

QTEST_GUILESS_MAIN(TestE2eCli)
#include "test_e2e_cli.moc"
