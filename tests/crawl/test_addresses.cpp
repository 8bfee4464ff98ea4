#include "core/failure.h"
#include "crawl/addresses.h"
#include "crawl/module_pub.h"

#include <QTest>

using namespace korvane;

class TestAddresses : public QObject
{
    Q_OBJECT
private slots:
    void cacheBuster_data();
    void cacheBuster();
    void cacheBusterOverflow();
    void composition_data();
    void composition();
};

void TestAddresses::cacheBuster_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("query part gets &cache=")
        << QStringLiteral("http://n.example/ad/Korvane.php?Version=1") << 5.0
        << QStringLiteral("http://n.example/ad/Korvane.php?Version=1&cache=5");
    QTest::newRow("no query part gets ?cache=")
        << QStringLiteral("http://n.example/x") << 5.0 << QStringLiteral("http://n.example/x?cache=5");
    QTest::newRow("fraction cut off at 23:59:59.9")
        << QStringLiteral("a?b") << 86399.9 << QStringLiteral("a?b&cache=86399");
    QTest::newRow("midnight") << QStringLiteral("a?b") << 0.0 << QStringLiteral("a?b&cache=0");
    QTest::newRow("question mark at the very start")
        << QStringLiteral("?") << 12.5 << QStringLiteral("?&cache=12");
    QTest::newRow("empty address") << QString() << 1.0 << QStringLiteral("?cache=1");
}

void TestAddresses::cacheBuster()
{
    QFETCH(QString, address);
    QFETCH(double, seconds);
    QFETCH(QString, expected);
    const QString before = address;
    QCOMPARE(AddCacheBuster(address, seconds), expected);
    QCOMPARE(address, before);
}

void TestAddresses::cacheBusterOverflow()
{
    const QString farQuestion = QString(32767, QLatin1Char('x')) + QLatin1Char('?');
    QVERIFY_THROWS_EXCEPTION(Failure, AddCacheBuster(farQuestion, 1));
    const QString lastAllowed = QString(32766, QLatin1Char('x')) + QLatin1Char('?');
    QVERIFY(AddCacheBuster(lastAllowed, 1).endsWith(QStringLiteral("&cache=1")));
    // A long address without any "?" is fine: the position found is 0.
    QVERIFY(AddCacheBuster(QString(40000, QLatin1Char('x')), 1).endsWith(QStringLiteral("?cache=1")));
}

void TestAddresses::composition_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("expected");
    const QString base = QStringLiteral("http://engine.test/s?wd=domain%3A");
    const QString tail = QStringLiteral("&rsv_spt=1&issp=1&rsv_bp=0&ie=utf-8&tn=baiduhome_pg&inputT=8094");
    QTest::newRow("query") << "query" << QStringLiteral("example.com") << 0
                           << base + QStringLiteral("example.com") + tail;
    QTest::newRow("query keeps a space and an ampersand")
        << "query" << QStringLiteral("a b&c.com") << 0 << base + QStringLiteral("a b&c.com") + tail;
    QTest::newRow("query with Chinese") << "query" << QStringLiteral("www.名称.com") << 0
                                        << base + QStringLiteral("www.名称.com") + tail;
    QTest::newRow("query with empty domain") << "query" << QString() << 0 << base + tail;
    QTest::newRow("page 0") << "page" << QStringLiteral("d.cn") << 0
                            << base + QStringLiteral("d.cn&pn=0&tn=baiduhome_pg");
    QTest::newRow("page 2") << "page" << QStringLiteral("d.cn") << 2
                            << base + QStringLiteral("d.cn&pn=20&tn=baiduhome_pg");
    QTest::newRow("page 75") << "page" << QStringLiteral("d.cn") << 75
                             << base + QStringLiteral("d.cn&pn=750&tn=baiduhome_pg");
    QTest::newRow("page with empty domain") << "page" << QString() << 1
                                            << base + QStringLiteral("&pn=10&tn=baiduhome_pg");
    QTest::newRow("notice") << "notice" << QString() << 0
                            << QStringLiteral("http://notice.test/ad/Korvane.php?Version=1");
}

void TestAddresses::composition()
{
    QFETCH(QString, kind);
    QFETCH(QString, domain);
    QFETCH(int, page);
    QFETCH(QString, expected);
    const Origins origins{QStringLiteral("http://engine.test"), QStringLiteral("http://notice.test")};
    QString actual;
    if (kind == QLatin1String("query"))
        actual = queryAddress(origins, domain);
    else if (kind == QLatin1String("page"))
        actual = resultsPageAddress(origins, domain, page);
    else
        actual = noticeAddress(origins);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestAddresses)
#include "test_addresses.moc"
