#pragma once

// The throwaway PostgreSQL server that CTest starts for the tests that ask for it (the
// "postgresql" fixture of tests/CMakeLists.txt, through tests/support/pg-cluster).

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUrl>

namespace korvane::testing {

struct PgTestCluster
{
    QUrl url;          // postgresql://USER@127.0.0.1:PORT/DB; empty when there is no server
    QString skipReason; // why there is none, for QSKIP; empty when there is one
};

// The server of this test run, as the fixture left it in $KORVANE_TEST_PG_DIR.
inline PgTestCluster pgTestCluster()
{
    const QString dir = qEnvironmentVariable("KORVANE_TEST_PG_DIR");
    if (dir.isEmpty())
        return {QUrl(), QStringLiteral("KORVANE_TEST_PG_DIR is not set: run this test through ctest")};
    auto read = [&dir](const char *name) {
        QFile file(dir + QLatin1Char('/') + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    };
    const QString skip = read("skip");
    if (!skip.isEmpty())
        return {QUrl(), skip};
    const QString url = read("url");
    if (url.isEmpty())
        return {QUrl(), QStringLiteral("no PostgreSQL server was started in %1").arg(dir)};
    return {QUrl(url, QUrl::StrictMode), QString()};
}

// A database of its own on the server of `cluster`, made afresh (an earlier one of that name
// dropped), so that test programs running at once do not meet: its URL, or an empty one with
// the reason in *error. `name` is the caller's literal.
inline QUrl pgFreshDatabase(const PgTestCluster &cluster, const QString &name, QString *error)
{
    const QString connection = QStringLiteral("korvane-test-admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(cluster.url.host());
        db.setPort(cluster.url.port(5432));
        db.setUserName(cluster.url.userName());
        db.setDatabaseName(cluster.url.path().mid(1));
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name))
            && query.exec(QStringLiteral("CREATE DATABASE %1").arg(name));
        if (!ok)
            *error = query.lastError().isValid() ? query.lastError().text() : db.lastError().text();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!ok)
        return QUrl();
    QUrl url = cluster.url;
    url.setPath(QLatin1Char('/') + name);
    return url;
}

} // namespace korvane::testing
