// Alerts from korvane-cli --record and korvane-cli work against the fake search engine in this
// process, whose pages change between runs, to a local webhook receiver and a fake sendmail:
// a change is sent once, as diff computes it; a message that failed is sent by the next run;
// bad targets are refused before any request; no key or secret is ever printed.

#include "fake_engine.h"
#include "webhook_receiver.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <csignal>

using namespace korvane::testing;

namespace {

constexpr int kChildWaitMs = 60000;
const QString kKey = QStringLiteral("SECRETKEY0123456789");
const QString kToken = QStringLiteral("TOKEN9876543210abcdef");
const QString kSigning = QStringLiteral("SECsigning0123456789");

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// korvane-cli to its end, the event loop running meanwhile (the engine and the receiver answer).
Run cli(const QStringList &arguments)
{
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(KORVANE_CLI_PATH), arguments);
    Run run;
    if (!finished.wait(kChildWaitMs)) {
        process.kill();
        finished.wait(kChildWaitMs);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

EngineDomain withSites(int sites)
{
    EngineDomain config;
    config.total = 45;
    config.sites = sites;
    return config;
}

} // namespace

class TestE2eAlerts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void refusedBeforeAnyRequest_data();
    void refusedBeforeAnyRequest();
    void changeSentOnceAndRetriedByTheNextRun();
    void workSendsByWebhookAndMail();
    void interruptedWhileWaitingForAnAnswer();

private:
    QStringList record(const QStringList &more) const;
    // Every output of every run so far, to look for secrets in.
    void keep(const Run &run) { m_printed += QString::fromUtf8(run.out) + run.err; }

    QTemporaryDir m_dir;
    FakeEngine m_engine;
    WebhookReceiver m_receiver;
    QString m_store;
    QString m_printed;
    QString m_json;     // a JSON receiver with a key in its address
    QString m_dingtalk; // a DingTalk-like one with an access token
};

void TestE2eAlerts::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_engine.start());
    QVERIFY(m_receiver.start());
    m_json = m_receiver.url(QStringLiteral("/json?key=") + kKey);
    m_dingtalk = m_receiver.url(QStringLiteral("/robot/send?access_token=") + kToken);
}

void TestE2eAlerts::init()
{
    static int number = 0;
    m_store = m_dir.filePath(QStringLiteral("alerts%1.sqlite").arg(++number));
    m_receiver.server().clearRequests();
    m_receiver.setAnswers({WebhookReceiver::Answer::Ok});
    m_engine.server().clearRequests();
}

QStringList TestE2eAlerts::record(const QStringList &more) const
{
    return QStringList{QStringLiteral("--engine"), m_engine.origin(), QStringLiteral("--delay"), QStringLiteral("0"),
                       QStringLiteral("--quiet"), QStringLiteral("--record"), QStringLiteral("--store"), m_store}
        + more;
}

void TestE2eAlerts::refusedBeforeAnyRequest_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("a --notify that is no address")
        << QStringList{QStringLiteral("--notify"), QStringLiteral("qyapi.weixin.qq.com/send?key=") + kKey} << QStringLiteral("--notify takes");
    QTest::newRow("a --notify that is not http")
        << QStringList{QStringLiteral("--notify"), QStringLiteral("file:///etc/passwd")} << QStringLiteral("--notify takes");
    QTest::newRow("an unknown --notify-format")
        << QStringList{QStringLiteral("--notify"), QStringLiteral("http://127.0.0.1:9/h"), QStringLiteral("--notify-format"),
                       QStringLiteral("teams")}
        << QStringLiteral("--notify-format takes");
    QTest::newRow("a --mail-to without @") << QStringList{QStringLiteral("--mail-to"), QStringLiteral("team.example.com")}
                                           << QStringLiteral("--mail-to takes");
    QTest::newRow("a --notify-secret for a target that is not signed")
        << QStringList{QStringLiteral("--notify"), QStringLiteral("http://127.0.0.1:9/h"), QStringLiteral("--notify-secret"), kSigning}
        << QStringLiteral("--notify-secret signs DingTalk and Feishu messages");
    QTest::newRow("a --notify-threshold of 0")
        << QStringList{QStringLiteral("--notify"), QStringLiteral("http://127.0.0.1:9/h"), QStringLiteral("--notify-threshold"),
                       QStringLiteral("0")}
        << QStringLiteral("--notify-threshold takes");
}

void TestE2eAlerts::refusedBeforeAnyRequest()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);

    for (const bool work : {false, true}) {
        const Run run = cli(work ? QStringList{QStringLiteral("work"), QStringLiteral("--store"), m_store,
                                               QStringLiteral("--engine"), m_engine.origin()} + arguments
                                 : record(arguments + QStringList{QStringLiteral("a.cn")}));
        keep(run);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(mentions), qPrintable(run.err));
        QVERIFY2(!run.err.contains(kKey) && !run.err.contains(kSigning), qPrintable(run.err));
    }
    QCOMPARE(m_engine.server().requestCount(), 0);
    QCOMPARE(m_receiver.count(), 0);
    QVERIFY(!QFile::exists(m_store));
}

// Three recorded runs of a.cn: 7 sites; then 5 (two lost), whose alert the receiver answers
// with 500; then 5 again: no new change, and the alert of the second run goes out.
void TestE2eAlerts::changeSentOnceAndRetriedByTheNextRun()
{
    // The second target as DingTalk, signed: a run of its own format options.
    const QStringList dingtalk{QStringLiteral("--notify"), m_dingtalk, QStringLiteral("--notify-format"),
                               QStringLiteral("dingtalk"), QStringLiteral("--notify-secret"), kSigning};
    const QStringList json{QStringLiteral("--notify"), m_json};

    m_engine.setDomain(QStringLiteral("a.cn"), withSites(7));
    Run run = cli(record(json + QStringList{QStringLiteral("a.cn")}));
    keep(run);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(m_receiver.count(), 0); // a first analysis changes nothing

    m_engine.setDomain(QStringLiteral("a.cn"), withSites(5));
    m_receiver.setAnswers({WebhookReceiver::Answer::ServerError});
    run = cli(record(json + QStringList{QStringLiteral("a.cn")}));
    keep(run);
    QCOMPARE(run.exitCode, 0); // the analysis was complete; the alert waits in the outbox
    QCOMPARE(m_receiver.count(), 1);
    QVERIFY2(run.err.contains(QStringLiteral("was not delivered: HTTP 500")), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("(try 1 of 4; tried again later)")), qPrintable(run.err));
    const QByteArray firstBody = m_receiver.lastBody();
    const QJsonObject event = QJsonDocument::fromJson(firstBody).object();
    QCOMPARE(event.value(QLatin1String("event")).toString(), QStringLiteral("changed"));
    QCOMPARE(event.value(QLatin1String("domain")).toString(), QStringLiteral("a.cn"));
    // The change exactly as diff gives it.
    const Run diff = cli({QStringLiteral("diff"), QStringLiteral("--store"), m_store, QStringLiteral("--format"),
                          QStringLiteral("json"), QStringLiteral("a.cn")});
    QCOMPARE(diff.exitCode, 0);
    const QJsonObject computed = QJsonDocument::fromJson(diff.out).object();
    for (const char *key : {"new", "lost", "changed"})
        QCOMPARE(event.value(QLatin1String(key)), computed.value(QLatin1String(key)));
    QCOMPARE(event.value(QLatin1String("lost")).toArray().size(), 2);
    QCOMPARE(event.value(QLatin1String("previous_id")), computed.value(QLatin1String("from")).toObject().value(QLatin1String("id")));

    Run listed = cli({QStringLiteral("alerts"), QStringLiteral("--store"), m_store, QStringLiteral("--format"), QStringLiteral("json")});
    keep(listed);
    QCOMPARE(listed.exitCode, 0);
    QJsonObject message = QJsonDocument::fromJson(listed.out).object().value(QLatin1String("messages")).toArray().first().toObject();
    QCOMPARE(message.value(QLatin1String("state")).toString(), QStringLiteral("pending"));
    QCOMPARE(message.value(QLatin1String("tries")).toInt(), 1);
    QCOMPARE(message.value(QLatin1String("target")).toString(), m_receiver.url(QStringLiteral("/json?key=SECR****")));

    // The next run: nothing new to say, and yesterday's message goes out, the same event.
    m_receiver.setAnswers({WebhookReceiver::Answer::Ok});
    run = cli(record(json + dingtalk + QStringList{QStringLiteral("a.cn")}));
    keep(run);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(m_receiver.count(), 2);
    QCOMPARE(m_receiver.lastBody(), firstBody);
    listed = cli({QStringLiteral("alerts"), QStringLiteral("--store"), m_store, QStringLiteral("--format"), QStringLiteral("json")});
    keep(listed);
    message = QJsonDocument::fromJson(listed.out).object().value(QLatin1String("messages")).toArray().first().toObject();
    QCOMPARE(message.value(QLatin1String("state")).toString(), QStringLiteral("delivered"));
    QCOMPARE(message.value(QLatin1String("tries")).toInt(), 2);
    QCOMPARE(QJsonDocument::fromJson(listed.out).object().value(QLatin1String("messages")).toArray().size(), 1);

    // A fourth run with a change, to the signed DingTalk-like target: signed, and listed masked.
    m_engine.setDomain(QStringLiteral("a.cn"), withSites(6));
    run = cli(record(dingtalk + QStringList{QStringLiteral("a.cn")}));
    keep(run);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(m_receiver.count(), 3);
    const HttpTestServer::Request signedRequest = m_receiver.requests().constLast();
    const QUrlQuery query(QString::fromLatin1(signedRequest.query()));
    QVERIFY(query.hasQueryItem(QStringLiteral("timestamp")) && query.hasQueryItem(QStringLiteral("sign")));
    QCOMPARE(QJsonDocument::fromJson(signedRequest.body).object().value(QLatin1String("msgtype")).toString(), QStringLiteral("markdown"));
    listed = cli({QStringLiteral("alerts"), QStringLiteral("--store"), m_store});
    keep(listed);
    QCOMPARE(listed.exitCode, 0);
    QVERIFY2(QString::fromUtf8(listed.out).contains(QStringLiteral("access_token=TOKE****")), listed.out.constData());

    for (const QString &secret : {kKey, kToken, kSigning})
        QVERIFY2(!m_printed.contains(secret), qPrintable(m_printed));
}

// A worker with a webhook and a mail address: the change its domain's analysis makes goes to
// both.
void TestE2eAlerts::workSendsByWebhookAndMail()
{
    m_engine.setDomain(QStringLiteral("w.cn"), withSites(4));
    QCOMPARE(cli(record({QStringLiteral("w.cn")})).exitCode, 0);
    m_engine.setDomain(QStringLiteral("w.cn"), withSites(6));
    QCOMPARE(cli({QStringLiteral("queue"), QStringLiteral("add"), QStringLiteral("--store"), m_store, QStringLiteral("w.cn")}).exitCode, 0);
    const QString mail = m_dir.filePath(QStringLiteral("work.eml"));
    const Run run = cli({QStringLiteral("work"), QStringLiteral("--store"), m_store, QStringLiteral("--engine"), m_engine.origin(),
                         QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--quiet"), QStringLiteral("--notify"), m_json,
                         QStringLiteral("--mail-to"), QStringLiteral("team@example.com"), QStringLiteral("--sendmail"),
                         QStringLiteral(KORVANE_FAKE_SENDMAIL " ") + mail});
    keep(run);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(m_receiver.count(), 1);
    const QJsonObject event = QJsonDocument::fromJson(m_receiver.lastBody()).object();
    QCOMPARE(event.value(QLatin1String("event")).toString(), QStringLiteral("changed"));
    QCOMPARE(event.value(QLatin1String("new")).toArray().size(), 2);
    QFile file(mail);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray message = file.readAll();
    QVERIFY(message.startsWith("To: team@example.com\n"));
    QVERIFY(message.contains(QByteArray("X-Korvane-Event: changed " + event.value(QLatin1String("id")).toString().toLatin1())));
    QVERIFY(!m_printed.contains(kKey));
}

// SIGTERM while the run waits for an alert's answer: it ends at once with 143, and the next run
// sends the message.
void TestE2eAlerts::interruptedWhileWaitingForAnAnswer()
{
    m_engine.setDomain(QStringLiteral("t.cn"), withSites(3));
    QCOMPARE(cli(record({QStringLiteral("t.cn")})).exitCode, 0);
    m_engine.setDomain(QStringLiteral("t.cn"), withSites(4));
    m_receiver.setAnswers({WebhookReceiver::Answer::Silence});
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(KORVANE_CLI_PATH), record({QStringLiteral("--notify"), m_json, QStringLiteral("t.cn")}));
    QTRY_COMPARE_WITH_TIMEOUT(m_receiver.count(), 1, kChildWaitMs);
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(finished.wait(5000)); // well before the 10 s the answer may take
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 143);

    m_receiver.setAnswers({WebhookReceiver::Answer::Ok});
    QCOMPARE(cli(record({QStringLiteral("--notify"), m_json, QStringLiteral("t.cn")})).exitCode, 0);
    QCOMPARE(m_receiver.count(), 2);
    QCOMPARE(m_receiver.requests().at(1).body, m_receiver.requests().at(0).body);
    const Run listed = cli({QStringLiteral("alerts"), QStringLiteral("--store"), m_store, QStringLiteral("--format"), QStringLiteral("json")});
    const QJsonObject message = QJsonDocument::fromJson(listed.out).object().value(QLatin1String("messages")).toArray().first().toObject();
    QCOMPARE(message.value(QLatin1String("state")).toString(), QStringLiteral("delivered"));
    QCOMPARE(message.value(QLatin1String("tries")).toInt(), 1);
}

QTEST_GUILESS_MAIN(TestE2eAlerts)
#include "test_e2e_alerts.moc"
