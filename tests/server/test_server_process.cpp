// korvane-server as a process: what it refuses at start, and SIGTERM while its worker holds a domain.

#include "fake_engine.h"
#include "store/accounts.h"
#include "store/history_store.h"
#include "store/outbox.h"
#include "store/work_queue.h"
#include "webhook_receiver.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

using namespace korvane;
using namespace korvane::testing;

class TestServerProcess : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void sigtermPutsBack();
    void workersAnalyseAndPauseAfterRefusal();
    void workersChangeReachesWebhook();
    void tls();
};

void TestServerProcess::refusals_data()
{
    QTest::addColumn<bool>("withUser");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no user") << false << QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} << QStringLiteral("user add NAME");
    QTest::newRow("not loopback, no TLS") << true << QStringList{QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0")} << QStringLiteral("--behind-proxy");
    QTest::newRow("a key without its certificate") << true << QStringList{QStringLiteral("--tls-key"), QStringLiteral("k.pem")} << QStringLiteral("go together");
    QTest::newRow("a short password") << false << QStringList{QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("ann"), QStringLiteral("--password-stdin")} << QStringLiteral("shorter than 8");
}

void TestServerProcess::refusals()
{
    QFETCH(bool, withUser);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("h.sqlite"));
    if (withUser) {
        HistoryStore s;
        QVERIFY(s.open(store, HistoryStore::Access::ReadWrite));
        QVERIFY(Accounts(s).addUser(QStringLiteral("ann"), QStringLiteral("admin"), QStringLiteral("$argon2id$x")).value());
    }
    QProcess server;
    server.start(QStringLiteral(KORVANE_SERVER), QStringList{QStringLiteral("--store"), store, QStringLiteral("--workers"), QStringLiteral("0")} + arguments);
    server.write("short\n");
    server.closeWriteChannel();
    QVERIFY(server.waitForFinished(20000));
    QCOMPARE(server.exitCode(), 2);
    const QString error = QString::fromUtf8(server.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
    if (!withUser && arguments.first() == QLatin1String("user")) {
        HistoryStore s;
        QVERIFY(s.open(store, HistoryStore::Access::ReadWrite));
        QCOMPARE(Accounts(s).userCount(), 0);
    }
}

void TestServerProcess::sigtermPutsBack()
{
    // An engine that takes the connection and never answers: the worker holds its domain.
    QTcpServer engine;
    QVERIFY(engine.listen(QHostAddress::LocalHost, 0));
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("h.sqlite"));
    {
        HistoryStore s;
        QVERIFY(s.open(store, HistoryStore::Access::ReadWrite));
        QVERIFY(Accounts(s).addUser(QStringLiteral("ann"), QStringLiteral("admin"), QStringLiteral("$argon2id$x")).value());
        QVERIFY(WorkQueue(s).add({QStringLiteral("example.cn")}));
    }
    QProcess server;
    server.start(QStringLiteral(KORVANE_SERVER),
                 {QStringLiteral("--store"), store, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--workers"),
                  QStringLiteral("1"), QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--engine"),
                  QStringLiteral("http://127.0.0.1:%1").arg(engine.serverPort())});
    QVERIFY(server.waitForStarted());
    QByteArray printed;
    QTRY_VERIFY2_WITH_TIMEOUT((printed += server.readAllStandardOutput()).contains("listening on http://127.0.0.1:"),
                              qPrintable(QString::fromUtf8(printed + server.readAllStandardError())), 20000);
    {
        HistoryStore s;
        QVERIFY(s.open(store, HistoryStore::Access::ReadOnly));
        QTRY_COMPARE_WITH_TIMEOUT(WorkQueue(s).counts()->working, 1, 20000);
    }
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(server.processId()), SIGTERM);
    QVERIFY(server.waitForFinished(10000));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);
    HistoryStore s;
    QVERIFY(s.open(store, HistoryStore::Access::ReadOnly));
    const auto counts = WorkQueue(s).counts();
    QCOMPARE(counts->working, 0);
    QCOMPARE(counts->waiting, 1);
}

void TestServerProcess::workersAnalyseAndPauseAfterRefusal()
{
    FakeEngine engine;
    QVERIFY(engine.start());
    EngineDomain refusing;
    refusing.refusals.insert(-1, EngineDomain::Refusal::SecurityPage);
    engine.setDomain(QStringLiteral("refused.cn"), refusing);
    engine.setDomain(QStringLiteral("a.cn"), EngineDomain{});
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("h.sqlite"));
    {
        HistoryStore s;
        QVERIFY(s.open(store, HistoryStore::Access::ReadWrite));
        QVERIFY(Accounts(s).addUser(QStringLiteral("ann"), QStringLiteral("admin"), QStringLiteral("$argon2id$x")).value());
        QVERIFY(WorkQueue(s).add({QStringLiteral("a.cn"), QStringLiteral("refused.cn"), QStringLiteral("b.cn")}));
    }
    QProcess server;
    server.start(QStringLiteral(KORVANE_SERVER),
                 QStringList{QStringLiteral("--store"), store, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--delay"),
                  QStringLiteral("0"), QStringLiteral("--refusal-pause"), QStringLiteral("60"), QStringLiteral("--engine"), engine.origin()});
    QVERIFY(server.waitForStarted());
    HistoryStore s;
    QVERIFY(s.open(store, HistoryStore::Access::ReadOnly));
    WorkQueue queue(s);
    // a.cn analysed and recorded, refused.cn back in the queue with its refusal; then the worker rests.
    QTRY_COMPARE_WITH_TIMEOUT(queue.counts()->refused, 1, 30000);
    QCOMPARE(queue.counts()->done, 1);
    QCOMPARE(s.analyses(QStringLiteral("a.cn"))->size(), 1);
    QCOMPARE(s.analyses(QStringLiteral("a.cn"))->first().outcome, QStringLiteral("complete"));
    ::kill(pid_t(server.processId()), SIGTERM);
    QVERIFY(server.waitForFinished(10000));
    QCOMPARE(server.exitCode(), 0);
    const auto counts = queue.counts();
    QCOMPARE(counts->waiting, 2);
    QCOMPARE(counts->working, 0);
    for (const HttpTestServer::Request &request : engine.server().requests())
        QVERIFY2(!request.target.contains("b.cn"), request.target.constData());
}

void TestServerProcess::workersChangeReachesWebhook()
{
    // A domain analysed twice by the server's own worker, the engine's sites changed between:
    // the change goes through the outbox to the target set for every domain.
    WebhookReceiver receiver;
    QVERIFY(receiver.start());
    FakeEngine engine;
    QVERIFY(engine.start());
    EngineDomain before;
    before.sites = 3;
    engine.setDomain(QStringLiteral("a.cn"), before);
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("h.sqlite"));
    HistoryStore s;
    QVERIFY(s.open(store, HistoryStore::Access::ReadWrite));
    QVERIFY(Accounts(s).addUser(QStringLiteral("ann"), QStringLiteral("admin"), QStringLiteral("$argon2id$x")).value());
    AlertTarget target;
    target.address = receiver.url(QStringLiteral("/hook?key=0123456789abcdef"));
    target.format = QStringLiteral("json");
    QVERIFY(Outbox(s).addTarget(target));
    WorkQueue queue(s);
    QVERIFY(queue.add({QStringLiteral("a.cn")}));
    QProcess server;
    server.start(QStringLiteral(KORVANE_SERVER),
                 QStringList{QStringLiteral("--store"), store, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                             QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--engine"), engine.origin()});
    QVERIFY(server.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(queue.counts()->done, 1, 30000);
    QCOMPARE(receiver.count(), 0); // a first analysis changes nothing
    EngineDomain after;
    after.sites = 5;
    engine.setDomain(QStringLiteral("a.cn"), after);
    QVERIFY(queue.add({QStringLiteral("a.cn")}));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.count(), 1, 30000);
    const QJsonObject event = QJsonDocument::fromJson(receiver.lastBody()).object();
    QCOMPARE(event.value(QStringLiteral("event")).toString(), QStringLiteral("changed"));
    QCOMPARE(event.value(QStringLiteral("domain")).toString(), QStringLiteral("a.cn"));
    QCOMPARE(event.value(QStringLiteral("new")).toArray().size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(Outbox(s).recent(5)->constFirst().state, kOutboxDelivered, 10000);
    ::kill(pid_t(server.processId()), SIGTERM);
    QVERIFY(server.waitForFinished(10000));
    QCOMPARE(server.exitCode(), 0);
    QCOMPARE(receiver.count(), 1);
    QCOMPARE(Outbox(s).recent(5)->size(), 1);
}

void TestServerProcess::tls()
{
    // With a certificate (a throwaway one of the tests' own), any address may be listened on;
    // the cookies are Secure.
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("h.sqlite"));
    {
        HistoryStore s;
        QVERIFY(s.open(store, HistoryStore::Access::ReadWrite));
        QVERIFY(Accounts(s).addUser(QStringLiteral("ann"), QStringLiteral("admin"), QStringLiteral("$argon2id$x")).value());
    }
    const QString data = QStringLiteral(KORVANE_TEST_DATA_DIR "/server/");
    QProcess server;
    server.start(QStringLiteral(KORVANE_SERVER),
                 QStringList{QStringLiteral("--store"), store, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                             QStringLiteral("--workers"), QStringLiteral("0"), QStringLiteral("--tls-cert"),
                             data + QStringLiteral("test-cert.pem"), QStringLiteral("--tls-key"), data + QStringLiteral("test-key.pem")});
    QVERIFY(server.waitForStarted());
    QByteArray printed;
    QTRY_VERIFY2_WITH_TIMEOUT((printed += server.readAllStandardOutput()).contains("/\n"),
                              qPrintable(QString::fromUtf8(printed + server.readAllStandardError())), 20000);
    const QString address = QString::fromUtf8(printed).section(QStringLiteral("listening on "), 1).trimmed();
    QVERIFY2(address.startsWith(QLatin1String("https://127.0.0.1:")), qPrintable(address));
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(address + QStringLiteral("login"))));
    reply->ignoreSslErrors();
    QSignalSpy done(reply, &QNetworkReply::finished);
    QVERIFY(done.wait(10000));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QVERIFY(reply->rawHeader("Set-Cookie").contains("; Secure"));
    delete reply;
    ::kill(pid_t(server.processId()), SIGTERM);
    QVERIFY(server.waitForFinished(10000));
    QCOMPARE(server.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestServerProcess)
#include "test_server_process.moc"
