// Several korvane-cli work processes draining one queue against the fake search engine in this
// process, on SQLite and on the throwaway PostgreSQL of the test run: each domain is analysed
// and recorded once, a worker killed in the middle of a domain leaves it to another, and a
// worker that the engine refuses puts its domain back and exits 3.

#include "fake_engine.h"
#include "pg_test_cluster.h"
#include "store/history_store.h"
#include "store/work_queue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QTest>

#include <csignal>
#include <memory>

using namespace korvane;
using namespace korvane::testing;

namespace {

constexpr int kChildWaitMs = 60000;

// One korvane-cli process, started at once; wait() runs the event loop (the engine answers
// meanwhile) until it ends.
class Cli
{
public:
    explicit Cli(const QStringList &arguments, const QStringList &environment = {})
        : m_finished(&m_process, &QProcess::finished)
    {
        if (!environment.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const QString &entry : environment)
                env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
            m_process.setProcessEnvironment(env);
        }
        m_process.start(QStringLiteral(KORVANE_CLI_PATH), arguments);
    }
    bool wait() { return !m_finished.isEmpty() || m_finished.wait(kChildWaitMs); }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    int exitCode() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }
    QString err() { return m_err += QString::fromUtf8(m_process.readAllStandardError()); }
    QByteArray out() { return m_process.readAllStandardOutput(); }

private:
    QProcess m_process;
    QSignalSpy m_finished;
    QString m_err;
};

// Runs korvane-cli to its end: its exit status (-1 when it did not end normally) and output.
int run(const QStringList &arguments, QByteArray *out = nullptr, QString *err = nullptr)
{
    Cli cli(arguments);
    if (!cli.wait())
        return -1;
    if (out)
        *out = cli.out();
    if (err)
        *err = cli.err();
    return cli.exitCode();
}

QStringList domainsNumbered(int count)
{
    QStringList domains;
    for (int i = 1; i <= count; ++i)
        domains.append(QStringLiteral("d%1.example.cn").arg(i));
    return domains;
}

QStringList workArguments(const QString &store, const QString &engine, const QStringList &more = {})
{
    return QStringList{QStringLiteral("work"), QStringLiteral("--store"), store, QStringLiteral("--engine"), engine,
                       QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--quiet"),
                       QStringLiteral("--format"), QStringLiteral("csv")}
        + more;
}

// The outcomes recorded for each domain, in order.
QHash<QString, QStringList> recordedOutcomes(const QString &store, const QStringList &domains)
{
    QHash<QString, QStringList> outcomes;
    HistoryStore history;
    if (!history.open(store, HistoryStore::Access::ReadOnly))
        return outcomes;
    for (const QString &domain : domains) {
        const auto list = history.analyses(domain);
        for (const StoredAnalysis &analysis : list.value_or(QList<StoredAnalysis>{}))
            outcomes[domain].append(analysis.outcome);
    }
    return outcomes;
}

QJsonObject queueStatus(const QString &store)
{
    QByteArray out;
    if (run({QStringLiteral("queue"), QStringLiteral("status"), QStringLiteral("--store"), store,
             QStringLiteral("--format"), QStringLiteral("json")},
            &out)
        != 0)
        return QJsonObject();
    return QJsonDocument::fromJson(out).object();
}

qint64 doneCount(const QString &store)
{
    HistoryStore history;
    if (!history.open(store, HistoryStore::Access::ReadOnly))
        return -1;
    WorkQueue queue(history);
    const auto counts = queue.counts();
    return counts ? counts->done : -1;
}

// Statements run on the store as they are, outside the program.
bool rawSql(const QString &store, const QStringList &statements)
{
    const QString connection = QStringLiteral("korvane-test-raw");
    bool ok = false;
    {
        QSqlDatabase db;
        if (HistoryStore::isServerAddress(store)) {
            const QUrl url(store);
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(url.host());
            db.setPort(url.port(5432));
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(store);
        }
        ok = db.open();
        QSqlQuery query(db);
        for (const QString &statement : statements)
            ok = ok && query.exec(statement);
        if (!ok)
            qWarning() << query.lastError().text() << db.lastError().text();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

// Stops the test run's PostgreSQL server, keeping its data ("halt"), or starts it again
// ("resume"), through tests/support/pg-cluster. The event loop does not run meanwhile.
bool pgCluster(const QString &command)
{
    QProcess script;
    script.start(QStringLiteral(KORVANE_PG_CLUSTER_SCRIPT), {command, qEnvironmentVariable("KORVANE_TEST_PG_DIR")});
    return script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

// Starts the server again when it goes out of scope, however the test ended: the tests after
// this one use it too.
struct ResumeCluster
{
    ~ResumeCluster()
    {
        if (!pgCluster(QStringLiteral("resume")))
            qWarning("the PostgreSQL server of the test run did not start again");
    }
};

} // namespace

class TestE2eQueue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data();
    void initTestCase();
    void init();
    void refusedBeforeAnyRequest_data();
    void refusedBeforeAnyRequest();
    void threeWorkersAnalyseEachDomainOnce();
    void killedWorkersDomainIsDoneByAnother();
    void refusedWorkerPutsItsDomainBack();
    void workerOutlivesServerRestart();
    void workerGivesUpOnServerAway();
    void pruneOnBothSidesOfItsCutOff();

private:
    QString m_store;
    QTemporaryDir m_dir;
    FakeEngine m_engine;      // answers every domain with one small page
    FakeEngine m_slowEngine;  // takes a minute for every answer
    FakeEngine m_refusingEngine;
    FakeEngine m_unhurriedEngine; // takes a second for every answer
};

void TestE2eQueue::initTestCase_data()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgresql");
}

void TestE2eQueue::initTestCase()
{
    QVERIFY(m_dir.isValid());
    EngineDomain small;
    small.total = 8;
    small.sites = 3;
    m_engine.setDefaultDomain(small);
    EngineDomain slow = small;
    slow.delay = std::chrono::seconds(60);
    m_slowEngine.setDefaultDomain(slow);
    EngineDomain refusing = small;
    refusing.refusals.insert(-1, EngineDomain::Refusal::SecurityPage);
    m_refusingEngine.setDefaultDomain(refusing);
    EngineDomain unhurried = small;
    unhurried.delay = std::chrono::seconds(1);
    m_unhurriedEngine.setDefaultDomain(unhurried);
    QVERIFY(m_engine.start() && m_slowEngine.start() && m_refusingEngine.start() && m_unhurriedEngine.start());
}

// A new, empty store for each test: a file, or a database of its own on the test server.
void TestE2eQueue::init()
{
    QFETCH_GLOBAL(QString, backend);
    static int number = 0;
    ++number;
    if (backend == QLatin1String("sqlite")) {
        m_store = m_dir.filePath(QStringLiteral("queue%1.sqlite").arg(number));
        return;
    }
    const PgTestCluster cluster = pgTestCluster();
    if (!cluster.skipReason.isEmpty())
        QSKIP(qPrintable(cluster.skipReason));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP("Qt's QPSQL driver is not installed (Debian package libqt6sql6-psql)");
    QString error;
    const QUrl url = pgFreshDatabase(cluster, QStringLiteral("korvane_e2e_queue%1").arg(number), &error);
    QVERIFY2(url.isValid() && !url.isEmpty(), qPrintable(error));
    m_store = url.toString();
}

void TestE2eQueue::refusedBeforeAnyRequest_data()
{
    // {store} stands for this test's store, {text} for a text file that is no store.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    const QString work = QStringLiteral("work"), queue = QStringLiteral("queue"), add = QStringLiteral("add");
    QTest::newRow("work with a DOMAIN") << QStringList{work, QStringLiteral("a.cn")} << QStringLiteral("queue add");
    QTest::newRow("work with --input") << QStringList{work, QStringLiteral("--input"), QStringLiteral("{text}")}
                                       << QStringLiteral("queue add");
    QTest::newRow("a lease of 0 s") << QStringList{work, QStringLiteral("--lease"), QStringLiteral("0")}
                                    << QStringLiteral("--lease takes a number of seconds from 1");
    QTest::newRow("a lease of a week and a second")
        << QStringList{work, QStringLiteral("--lease"), QStringLiteral("604801")} << QStringLiteral("--lease takes");
    QTest::newRow("a poll that is no number")
        << QStringList{work, QStringLiteral("--follow"), QStringLiteral("--poll"), QStringLiteral("soon")}
        << QStringLiteral("--poll takes");
    QTest::newRow("--follow with an HTML page")
        << QStringList{work, QStringLiteral("--follow"), QStringLiteral("--format"), QStringLiteral("html")}
        << QStringLiteral("--follow does not end");
    QTest::newRow("work with --resume") << QStringList{work, QStringLiteral("--resume")}
                                        << QStringLiteral("--resume is not used with work");
    QTest::newRow("work on a text file") << QStringList{work, QStringLiteral("--store"), QStringLiteral("{text}")}
                                         << QStringLiteral("is not a Korvane history store");
    QTest::newRow("queue add of a domain that is not one")
        << QStringList{queue, add, QStringLiteral("a.cn"), QStringLiteral("no_dot")}
        << QStringLiteral("argument 2: not a domain name");
    QTest::newRow("queue add of nothing") << QStringList{queue, add} << QStringLiteral("no domain to add");
    QTest::newRow("queue status as CSV")
        << QStringList{queue, QStringLiteral("status"), QStringLiteral("--format"), QStringLiteral("csv")}
        << QStringLiteral("--format takes text or json");
    QTest::newRow("queue without add or status") << QStringList{queue, QStringLiteral("clear")}
                                                 << QStringLiteral("queue takes add, status or prune");
}

// Each is refused with exit status 2 before the engine is asked anything, and nothing is queued.
void TestE2eQueue::refusedBeforeAnyRequest()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);

    const QString text = m_dir.filePath(QStringLiteral("not_a_store.txt"));
    {
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("example.com\n");
    }
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("{text}"), text);
    if (!arguments.contains(QStringLiteral("--store")))
        arguments += {QStringLiteral("--store"), m_store};
    if (arguments.first() == QLatin1String("work"))
        arguments += {QStringLiteral("--engine"), m_engine.origin()};
    // One domain waits: no worker takes it, nothing is added to it.
    QCOMPARE(run({QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store,
                  QStringLiteral("seed.example.cn")}),
             0);
    m_engine.server().clearRequests();
    QByteArray out;
    QString err;
    QCOMPARE(run(arguments, &out, &err), 2);
    QCOMPARE(out, QByteArray());
    QVERIFY2(err.startsWith(QLatin1String("korvane-cli: ")) && err.contains(mentions), qPrintable(err));
    QVERIFY(m_engine.server().requests().isEmpty());
    const QJsonObject status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("waiting")).toInt(-1), 1);
    QCOMPARE(status.value(QStringLiteral("working")).toInt(-1), 0);
}

void TestE2eQueue::threeWorkersAnalyseEachDomainOnce()
{
    const QStringList domains = domainsNumbered(60);
    QByteArray out;
    QString err;
    QCOMPARE(run(QStringList{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store} + domains,
                 &out, &err),
             0);
    QVERIFY2(out.startsWith("60 added, 0 already waiting"), out.constData());
    // Added again while waiting: nothing new.
    QCOMPARE(run(QStringList{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store}
                     + domains.mid(0, 2),
                 &out),
             0);
    QVERIFY2(out.startsWith("0 added, 2 already waiting; 60 waiting in all"), out.constData());

    std::vector<std::unique_ptr<Cli>> workers;
    for (int i = 0; i < 3; ++i)
        workers.push_back(std::make_unique<Cli>(workArguments(m_store, m_engine.origin(), {QStringLiteral("--lease"),
                                                                                           QStringLiteral("30")})));
    // Each domain in the output of one worker only (the CSV's first column), all of them in all.
    QSet<QString> analysedByAll;
    qsizetype analysedEach = 0;
    for (auto &worker : workers) {
        QVERIFY(worker->wait());
        QVERIFY2(worker->exitCode() == 0, qPrintable(worker->err()));
        QSet<QString> analysed;
        const QList<QByteArray> lines = worker->out().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (!lines.at(i).isEmpty())
                analysed.insert(QString::fromUtf8(lines.at(i).split(',').first()));
        }
        analysedEach += analysed.size();
        analysedByAll += analysed;
    }
    QCOMPARE(analysedEach, qsizetype(60));
    QCOMPARE(analysedByAll, QSet<QString>(domains.cbegin(), domains.cend()));

    const auto outcomes = recordedOutcomes(m_store, domains);
    for (const QString &domain : domains)
        QCOMPARE(outcomes.value(domain), QStringList{QStringLiteral("complete")});
    const QJsonObject status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("done")).toInt(), 60);
    QCOMPARE(status.value(QStringLiteral("waiting")).toInt(), 0);
    QCOMPARE(status.value(QStringLiteral("working")).toInt(), 0);
}

void TestE2eQueue::killedWorkersDomainIsDoneByAnother()
{
    const QStringList domains = domainsNumbered(3);
    QCOMPARE(run(QStringList{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store} + domains), 0);

    // A worker stopped with SIGTERM in the middle of a domain puts it back at once.
    QSignalSpy asked(&m_slowEngine.server(), &HttpTestServer::requestReceived);
    {
        Cli stopped(workArguments(m_store, m_slowEngine.origin(), {QStringLiteral("--lease"), QStringLiteral("600")}));
        QVERIFY(asked.wait(kChildWaitMs));
        stopped.signal(SIGTERM);
        QVERIFY(stopped.wait());
        QCOMPARE(stopped.exitCode(), 128 + SIGTERM);
        QVERIFY2(stopped.err().contains(QStringLiteral("d1.example.cn: back in the queue")), qPrintable(stopped.err()));
        const QJsonObject status = queueStatus(m_store);
        QCOMPARE(status.value(QStringLiteral("waiting")).toInt(), 3);
        QCOMPARE(status.value(QStringLiteral("working")).toInt(), 0);
        asked.clear();
    }

    // The next worker takes the oldest domain and waits for the slow engine's answer: killed there.
    Cli doomed(workArguments(m_store, m_slowEngine.origin(), {QStringLiteral("--lease"), QStringLiteral("1")}));
    QVERIFY(asked.wait(kChildWaitMs));
    QVERIFY2(QString::fromLatin1(asked.first().first().toByteArray()).contains(QStringLiteral("d1.example.cn")),
             asked.first().first().toByteArray().constData());
    doomed.signal(SIGKILL);
    QVERIFY(doomed.wait());
    QCOMPARE(doomed.exitCode(), -1);

    // Another takes the others, then the first once its lease has run out.
    Cli rescuer(workArguments(m_store, m_engine.origin(),
                              {QStringLiteral("--lease"), QStringLiteral("1"), QStringLiteral("--follow"),
                               QStringLiteral("--poll"), QStringLiteral("1")}));
    QTRY_COMPARE_WITH_TIMEOUT(doneCount(m_store), qint64(3), kChildWaitMs);
    rescuer.signal(SIGTERM);
    QVERIFY(rescuer.wait());
    QCOMPARE(rescuer.exitCode(), 128 + SIGTERM);

    const auto outcomes = recordedOutcomes(m_store, domains);
    for (const QString &domain : domains)
        QCOMPARE(outcomes.value(domain), QStringList{QStringLiteral("complete")});
    const QJsonObject status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("done")).toInt(), 3);
    QCOMPARE(status.value(QStringLiteral("working")).toInt(), 0);
}

void TestE2eQueue::refusedWorkerPutsItsDomainBack()
{
    const QStringList domains = domainsNumbered(3);
    QCOMPARE(run(QStringList{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store} + domains), 0);

    QString err;
    QCOMPARE(run(workArguments(m_store, m_refusingEngine.origin()), nullptr, &err), 3);
    QVERIFY2(err.contains(QStringLiteral("d1.example.cn: back in the queue for another worker")), qPrintable(err));
    QJsonObject status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("waiting")).toInt(), 3);
    QCOMPARE(status.value(QStringLiteral("refused")).toInt(), 1);

    QCOMPARE(run(workArguments(m_store, m_engine.origin()), nullptr, &err), 0);
    const auto outcomes = recordedOutcomes(m_store, domains);
    QCOMPARE(outcomes.value(domains.at(0)), (QStringList{QStringLiteral("refused"), QStringLiteral("complete")}));
    QCOMPARE(outcomes.value(domains.at(1)), QStringList{QStringLiteral("complete")});
    QCOMPARE(outcomes.value(domains.at(2)), QStringList{QStringLiteral("complete")});
    status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("done")).toInt(), 3);
    QCOMPARE(status.value(QStringLiteral("waiting")).toInt(), 0);

    // The history command reads the same store: the refusal, then the complete analysis.
    QByteArray out;
    QCOMPARE(run({QStringLiteral("history"), QStringLiteral("--store"), m_store, QStringLiteral("--format"),
                  QStringLiteral("json"), domains.at(0)},
                 &out),
             0);
    const QJsonArray analyses = QJsonDocument::fromJson(out).object().value(QStringLiteral("analyses")).toArray();
    QCOMPARE(analyses.size(), 2);
    QCOMPARE(analyses.at(0).toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("refused"));
    QCOMPARE(analyses.at(1).toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("complete"));

    // A run with --record on the same store, then what changed between the two complete analyses.
    QCOMPARE(run({QStringLiteral("--record"), QStringLiteral("--store"), m_store, QStringLiteral("--engine"),
                  m_engine.origin(), QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--quiet"),
                  domains.at(0)}),
             0);
    QCOMPARE(run({QStringLiteral("diff"), QStringLiteral("--store"), m_store, QStringLiteral("--format"),
                  QStringLiteral("json"), domains.at(0)},
                 &out),
             0);
    const QJsonObject diff = QJsonDocument::fromJson(out).object();
    QCOMPARE(diff.value(QStringLiteral("domain")).toString(), domains.at(0));
    QCOMPARE(diff.value(QStringLiteral("new")).toArray().size(), 0);
    QCOMPARE(diff.value(QStringLiteral("lost")).toArray().size(), 0);
    QCOMPARE(diff.value(QStringLiteral("to")).toObject().value(QStringLiteral("sites")).toInt(), 3);
}

// The server restarts while a worker follows the queue and holds a domain: the worker gets
// its connection back and finishes the queue; each domain is recorded complete, once.
void TestE2eQueue::workerOutlivesServerRestart()
{
    QFETCH_GLOBAL(QString, backend);
    if (backend != QLatin1String("postgresql"))
        QSKIP("a file store has no server to restart");
    const QStringList domains = domainsNumbered(4);
    QCOMPARE(run(QStringList{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store} + domains), 0);

    QSignalSpy asked(&m_unhurriedEngine.server(), &HttpTestServer::requestReceived);
    Cli worker(workArguments(m_store, m_unhurriedEngine.origin(),
                             {QStringLiteral("--lease"), QStringLiteral("60"), QStringLiteral("--follow"), QStringLiteral("--poll"),
                              QStringLiteral("1")}));
    QVERIFY(asked.wait(kChildWaitMs)); // d1 is in hand
    {
        ResumeCluster resume;
        QVERIFY(pgCluster(QStringLiteral("halt")));
    }
    QTRY_COMPARE_WITH_TIMEOUT(doneCount(m_store), qint64(4), kChildWaitMs);
    worker.signal(SIGTERM);
    QVERIFY(worker.wait());
    QCOMPARE(worker.exitCode(), 128 + SIGTERM);
    QVERIFY2(worker.err().contains(QStringLiteral("reconnected to ")), qPrintable(worker.err()));

    const auto outcomes = recordedOutcomes(m_store, domains);
    for (const QString &domain : domains)
        QCOMPARE(outcomes.value(domain), QStringList{QStringLiteral("complete")});
    const QJsonObject status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("done")).toInt(), 4);
    QCOMPARE(status.value(QStringLiteral("working")).toInt(), 0);
    QCOMPARE(status.value(QStringLiteral("waiting")).toInt(), 0);
}

// The server stays away longer than the worker waits for it (3 s here, 10 minutes unless told
// otherwise): the worker exits 4, its domain left to its lease (the store could not be told),
// nothing recorded; the other domain still waits.
void TestE2eQueue::workerGivesUpOnServerAway()
{
    QFETCH_GLOBAL(QString, backend);
    if (backend != QLatin1String("postgresql"))
        QSKIP("a file store has no server to stop");
    const QStringList domains = domainsNumbered(2);
    QCOMPARE(run(QStringList{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store} + domains), 0);

    QSignalSpy asked(&m_unhurriedEngine.server(), &HttpTestServer::requestReceived);
    Cli worker(workArguments(m_store, m_unhurriedEngine.origin(), {QStringLiteral("--lease"), QStringLiteral("600")}),
               {QStringLiteral("KORVANE_STORE_RECONNECT_SECONDS=3")});
    QVERIFY(asked.wait(kChildWaitMs));
    {
        ResumeCluster resume;
        QVERIFY(pgCluster(QStringLiteral("halt")));
        QVERIFY(worker.wait());
        QCOMPARE(worker.exitCode(), 4);
    }
    QVERIFY2(worker.err().contains(QStringLiteral("could not get it back within 3 s")), qPrintable(worker.err()));
    QVERIFY2(worker.err().contains(QStringLiteral("another worker takes it once the lease has run out")), qPrintable(worker.err()));
    const auto outcomes = recordedOutcomes(m_store, domains);
    QVERIFY(outcomes.isEmpty());
    const QJsonObject status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("working")).toInt(), 1);
    QCOMPARE(status.value(QStringLiteral("waiting")).toInt(), 1);
    QCOMPARE(status.value(QStringLiteral("done")).toInt(), 0);
}

// queue prune at 9 days removes what finished 10 days ago and keeps 8 days ago; work --follow
// removes what finished 91 days ago and keeps 89 days ago.
void TestE2eQueue::pruneOnBothSidesOfItsCutOff()
{
    const QStringList domains = domainsNumbered(5);
    QCOMPARE(run(QStringList{QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store} + domains.mid(0, 4)), 0);
    QCOMPARE(run(workArguments(m_store, m_engine.origin())), 0);
    const QString doneAgo = QStringLiteral("UPDATE queue SET done_at = '%1' WHERE domain = '%2'");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QVERIFY(rawSql(m_store, {doneAgo.arg(storedTime(now.addDays(-10)), domains.at(0)),
                             doneAgo.arg(storedTime(now.addDays(-8)), domains.at(1)),
                             doneAgo.arg(storedTime(now.addDays(-91)), domains.at(2)),
                             doneAgo.arg(storedTime(now.addDays(-89)), domains.at(3))}));
    QByteArray out;
    QCOMPARE(run({QStringLiteral("queue"), QStringLiteral("prune"), QStringLiteral("--older-than"), QStringLiteral("90"),
                  QStringLiteral("--store"), m_store},
                 &out),
             0);
    QCOMPARE(out, QByteArray("1 done entry removed\n")); // d3
    QCOMPARE(run({QStringLiteral("queue"), QStringLiteral("prune"), QStringLiteral("--older-than"), QStringLiteral("9"),
                  QStringLiteral("--store"), m_store},
                 &out),
             0);
    QCOMPARE(out, QByteArray("2 done entries removed\n")); // d1, d4
    QCOMPARE(doneCount(m_store), qint64(1));

    // A worker that follows prunes at 90 days: d2 (8 days) stays.
    QVERIFY(rawSql(m_store, {doneAgo.arg(storedTime(now.addDays(-91)), domains.at(1))}));
    QCOMPARE(run({QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store, domains.at(4)}), 0);
    Cli follower(workArguments(m_store, m_engine.origin(), {QStringLiteral("--follow"), QStringLiteral("--poll"), QStringLiteral("1")}));
    QTRY_COMPARE_WITH_TIMEOUT(recordedOutcomes(m_store, {domains.at(4)}).value(domains.at(4)).size(), 1, kChildWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(doneCount(m_store), qint64(1), kChildWaitMs); // d2 gone, d5 done
    follower.signal(SIGTERM);
    QVERIFY(follower.wait());
    QVERIFY2(follower.err().contains(QStringLiteral("1 done entry older than 90 days removed from the queue")),
             qPrintable(follower.err()));
    // No analysis goes with the entries.
    const auto outcomes = recordedOutcomes(m_store, domains);
    for (const QString &domain : domains)
        QCOMPARE(outcomes.value(domain), QStringList{QStringLiteral("complete")});
    const QJsonObject status = queueStatus(m_store);
    QCOMPARE(status.value(QStringLiteral("waiting")).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestE2eQueue)
#include "test_e2e_queue.moc"
