#pragma once

// The throwaway PostgreSQL server that CTest starts for the tests that ask for it (the
// "postgresql" fixture of tests/CMakeLists.txt, through tests/support/pg-cluster).

#include <QFile>
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

} // namespace korvane::testing
