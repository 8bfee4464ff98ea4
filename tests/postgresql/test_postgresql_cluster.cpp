// The throwaway PostgreSQL server of the test run, reached through Qt's QPSQL driver: bound
// parameters go in and come back unchanged, and two sessions taking work with
// FOR UPDATE SKIP LOCKED never take the same row.

#include "pg_test_cluster.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace korvane::testing;

namespace {

QSqlDatabase openSession(const QUrl &url, const QString &name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setUserName(url.userName());
    db.setDatabaseName(url.path().mid(1));
    db.open();
    return db;
}

// The id of the oldest waiting row that no other session holds; 0 when there is none.
qint64 takeOne(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT id FROM smoke_queue WHERE state = 'waiting' ORDER BY id LIMIT 1 "
                                   "FOR UPDATE SKIP LOCKED")))
        qWarning("%s", qPrintable(query.lastError().text()));
    return query.next() ? query.value(0).toLongLong() : 0;
}

} // namespace

class TestPostgresqlCluster : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void boundParametersAndSkipLocked();
    void cleanupTestCase();

private:
    QUrl m_url;
};

void TestPostgresqlCluster::initTestCase()
{
    const PgTestCluster cluster = pgTestCluster();
    if (!cluster.skipReason.isEmpty())
        QSKIP(qPrintable(cluster.skipReason));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        QSKIP("Qt's QPSQL driver is not installed (Debian package libqt6sql6-psql)");
    QVERIFY2(cluster.url.isValid() && cluster.url.scheme() == QLatin1String("postgresql"),
             qPrintable(cluster.url.toString()));
    m_url = cluster.url;
}

void TestPostgresqlCluster::boundParametersAndSkipLocked()
{
    QSqlDatabase first = openSession(m_url, QStringLiteral("first"));
    QVERIFY2(first.isOpen(), qPrintable(first.lastError().text()));
    QSqlDatabase second = openSession(m_url, QStringLiteral("second"));
    QVERIFY2(second.isOpen(), qPrintable(second.lastError().text()));

    QSqlQuery setup(first);
    QVERIFY(setup.exec(QStringLiteral("DROP TABLE IF EXISTS smoke_queue")));
    QVERIFY2(setup.exec(QStringLiteral("CREATE TABLE smoke_queue (id BIGSERIAL PRIMARY KEY, domain TEXT NOT NULL, "
                                       "state TEXT NOT NULL DEFAULT 'waiting')")),
             qPrintable(setup.lastError().text()));

    const QStringList domains{QStringLiteral("a.cn"), QStringLiteral("名称.中国"),
                              QStringLiteral("x'); DROP TABLE smoke_queue; --")};
    QSqlQuery insert(first);
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO smoke_queue (domain) VALUES (:domain)")));
    for (const QString &domain : domains) {
        insert.bindValue(QStringLiteral(":domain"), domain);
        QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
    }
    QSqlQuery read(second);
    QVERIFY(read.exec(QStringLiteral("SELECT domain FROM smoke_queue ORDER BY id")));
    QStringList stored;
    while (read.next())
        stored.append(read.value(0).toString());
    QCOMPARE(stored, domains);

    // Two sessions take work at once: each gets its own row.
    QVERIFY(first.transaction());
    QVERIFY(second.transaction());
    QCOMPARE(takeOne(first), qint64(1));
    QCOMPARE(takeOne(second), qint64(2));
    QSqlQuery mark(first);
    QVERIFY(mark.prepare(QStringLiteral("UPDATE smoke_queue SET state = 'working' WHERE id = ?")));
    mark.addBindValue(qint64(1));
    QVERIFY2(mark.exec(), qPrintable(mark.lastError().text()));
    QVERIFY(first.commit());
    QVERIFY(second.rollback());

    // Row 1 is taken for good, row 2 was only held: the next to take gets 2, then 3.
    QVERIFY(second.transaction());
    QCOMPARE(takeOne(second), qint64(2));
    QVERIFY(first.transaction());
    QCOMPARE(takeOne(first), qint64(3));
    QVERIFY(first.rollback());
    QVERIFY(second.rollback());
}

void TestPostgresqlCluster::cleanupTestCase()
{
    for (const QString &name : {QStringLiteral("first"), QStringLiteral("second")}) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

QTEST_GUILESS_MAIN(TestPostgresqlCluster)
#include "test_postgresql_cluster.moc"
