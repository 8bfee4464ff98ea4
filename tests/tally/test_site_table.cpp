#include "core/analysis_record.h"
#include "core/failure.h"
#include "tally/site_table.h"

#include <QTest>

#include <limits>

using namespace korvane;

namespace {

struct Entry
{
    QString address;
    QString date;
};

struct Row
{
    QString site;
    qint32 count;
    QString date;
    QString url;
};

AnalysisRecord tallied(const QList<Entry> &entries)
{
    AnalysisRecord record;
    for (const Entry &entry : entries)
        TallyLink(record, entry.address, entry.date);
    return record;
}

QList<Row> rowsOf(const AnalysisRecord &record)
{
    QList<Row> rows;
    for (int i = 1; i < record.SiteNames.size(); ++i)
        rows.append({record.SiteNames.at(i), record.SiteLinkCounts.at(i),
                     record.SiteLatestDates.at(i), record.SiteLatestUrls.at(i)});
    return rows;
}

// A full table of kMaxSites sites "s1" .. "s32767", built the way the tally builds it.
AnalysisRecord fullTable()
{
    AnalysisRecord record;
    for (int i = 1; i <= kMaxSites; ++i)
        TallyLink(record, QStringLiteral("s%1/p").arg(i), QStringLiteral("2011-1-1"));
    return record;
}

void expectFailure(AnalysisRecord &record, const QString &address, const QString &date,
                   FailureCode code)
{
    try {
        TallyLink(record, address, date);
    } catch (const Failure &failure) {
        QCOMPARE(failure.code(), code);
        return;
    }
    QFAIL("no failure");
}

} // namespace

Q_DECLARE_METATYPE(QList<Entry>)
Q_DECLARE_METATYPE(QList<Row>)

class TestSiteTable : public QObject
{
    Q_OBJECT

private slots:
    void tally_data();
    void tally();
    void fullTableRefusesNewSite();
    void fullTableStillTalliesKnownSite();
    void countOverflowLeavesRowUnchanged();
    void unreadableDateRaisesCountOnly_data();
    void unreadableDateRaisesCountOnly();
    void columnsFilledWithoutIndex();
    void unequalColumnsFail();
    void erasedTableStartsAfresh();
};

void TestSiteTable::tally_data()
{
    QTest::addColumn<QList<Entry>>("entries");
    QTest::addColumn<QList<Row>>("rows");

    const QString d1 = QStringLiteral("2011-1-5");
    const QString a1 = QStringLiteral("a.com/1");
    const QString a2 = QStringLiteral("a.com/2");

    QTest::newRow("first entry allocates one row")
        << QList<Entry>{{a1, d1}} << QList<Row>{{QStringLiteral("a.com"), 1, d1, a1}};
    QTest::newRow("same date: URL becomes the second address")
        << QList<Entry>{{a1, d1}, {a2, d1}} << QList<Row>{{QStringLiteral("a.com"), 2, d1, a2}};
    QTest::newRow("newer date: date and URL become the new entry's")
        << QList<Entry>{{a1, d1}, {a2, QStringLiteral("3小时前")}}
        << QList<Row>{{QStringLiteral("a.com"), 2, QStringLiteral("3小时前"), a2}};
    QTest::newRow("older date: date and URL stay")
        << QList<Entry>{{a1, QStringLiteral("2011-12-25")}, {a2, d1}}
        << QList<Row>{{QStringLiteral("a.com"), 2, QStringLiteral("2011-12-25"), a1}};
    QTest::newRow("equal after normalising: stored text and URL stay")
        << QList<Entry>{{a1, d1}, {a2, QStringLiteral("2011-01-05")}}
        << QList<Row>{{QStringLiteral("a.com"), 2, d1, a1}};
    QTest::newRow("URL follows the last entry with the identical latest date")
        << QList<Entry>{{a1, d1},
                        {a2, QStringLiteral("2011-01-05")},
                        {QStringLiteral("a.com/3"), d1},
                        {QStringLiteral("a.com/4"), QStringLiteral("2010-1-1")}}
        << QList<Row>{{QStringLiteral("a.com"), 4, d1, QStringLiteral("a.com/3")}};
    QTest::newRow("hosts differing in case are two sites")
        << QList<Entry>{{QStringLiteral("A.com/x"), d1}, {QStringLiteral("a.com/y"), d1}}
        << QList<Row>{{QStringLiteral("A.com"), 1, d1, QStringLiteral("A.com/x")},
                      {QStringLiteral("a.com"), 1, d1, QStringLiteral("a.com/y")}};
    QTest::newRow("address without slash counts under itself")
        << QList<Entry>{{QStringLiteral("b.org"), d1}, {QStringLiteral("b.org/"), d1}}
        << QList<Row>{{QStringLiteral("b.org"), 2, d1, QStringLiteral("b.org/")}};
    QTest::newRow("leading slash counts under the empty site")
        << QList<Entry>{{QStringLiteral("/x"), d1}, {QStringLiteral("/y"), QStringLiteral("1小时前")}}
        << QList<Row>{{QString(), 2, QStringLiteral("1小时前"), QStringLiteral("/y")}};
    QTest::newRow("scheme address counts under the scheme and colon")
        << QList<Entry>{{QStringLiteral("http://a.com/1"), d1}, {QStringLiteral("http://b.com/2"), d1}}
        << QList<Row>{{QStringLiteral("http:"), 2, d1, QStringLiteral("http://b.com/2")}};
    QTest::newRow("site is not trimmed")
        << QList<Entry>{{QStringLiteral(" a.com/1"), d1}, {a1, d1}}
        << QList<Row>{{QStringLiteral(" a.com"), 1, d1, QStringLiteral(" a.com/1")},
                      {QStringLiteral("a.com"), 1, d1, a1}};
    QTest::newRow("rows keep the order of first appearance")
        << QList<Entry>{{QStringLiteral("c.com/1"), d1},
                        {QStringLiteral("a.com/1"), d1},
                        {QStringLiteral("b.com/1"), d1},
                        {QStringLiteral("a.com/2"), QStringLiteral("5分钟前")},
                        {QStringLiteral("c.com/2"), d1}}
        << QList<Row>{{QStringLiteral("c.com"), 2, d1, QStringLiteral("c.com/2")},
                      {QStringLiteral("a.com"), 2, QStringLiteral("5分钟前"), QStringLiteral("a.com/2")},
                      {QStringLiteral("b.com"), 1, d1, QStringLiteral("b.com/1")}};
    QTest::newRow("first entry's date is stored without reading it")
        << QList<Entry>{{a1, QStringLiteral("小时前")}}
        << QList<Row>{{QStringLiteral("a.com"), 1, QStringLiteral("小时前"), a1}};
}

void TestSiteTable::tally()
{
    QFETCH(QList<Entry>, entries);
    QFETCH(QList<Row>, rows);

    const AnalysisRecord record = tallied(entries);

    // Slot 0 is allocated with the rest and never used; all columns have the same bounds.
    QCOMPARE(record.SiteNames.size(), rows.size() + 1);
    QCOMPARE(record.SiteLinkCounts.size(), record.SiteNames.size());
    QCOMPARE(record.SiteLatestDates.size(), record.SiteNames.size());
    QCOMPARE(record.SiteLatestUrls.size(), record.SiteNames.size());
    QVERIFY(record.SiteNames.at(0).isEmpty());
    QVERIFY(record.SiteLatestUrls.at(0).isEmpty());

    const QList<Row> actual = rowsOf(record);
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(actual.at(i).site, rows.at(i).site);
        QCOMPARE(actual.at(i).count, rows.at(i).count);
        QCOMPARE(actual.at(i).date, rows.at(i).date);
        QCOMPARE(actual.at(i).url, rows.at(i).url);
        QCOMPARE(record.SiteRowIndex.value(rows.at(i).site), i + 1);
    }
    QCOMPARE(record.SiteRowIndex.size(), rows.size());
}

void TestSiteTable::fullTableRefusesNewSite()
{
    AnalysisRecord record = fullTable();
    QCOMPARE(record.siteCount(), kMaxSites);
    const AnalysisRecord before = record;

    expectFailure(record, QStringLiteral("new.com/1"), QStringLiteral("2011-1-1"), FailureCode::Overflow);

    QCOMPARE(record.SiteNames, before.SiteNames);
    QCOMPARE(record.SiteLinkCounts, before.SiteLinkCounts);
    QCOMPARE(record.SiteLatestDates, before.SiteLatestDates);
    QCOMPARE(record.SiteLatestUrls, before.SiteLatestUrls);
    QCOMPARE(record.SiteRowIndex, before.SiteRowIndex);
}

void TestSiteTable::fullTableStillTalliesKnownSite()
{
    AnalysisRecord record = fullTable();
    TallyLink(record, QStringLiteral("s32767/q"), QStringLiteral("4分钟前"));
    TallyLink(record, QStringLiteral("s1/q"), QStringLiteral("2011-1-1"));

    QCOMPARE(record.siteCount(), kMaxSites);
    QCOMPARE(record.SiteLinkCounts.at(kMaxSites), 2);
    QCOMPARE(record.SiteLatestDates.at(kMaxSites), QStringLiteral("4分钟前"));
    QCOMPARE(record.SiteLatestUrls.at(kMaxSites), QStringLiteral("s32767/q"));
    QCOMPARE(record.SiteLinkCounts.at(1), 2);
    QCOMPARE(record.SiteLatestUrls.at(1), QStringLiteral("s1/q"));
}

void TestSiteTable::countOverflowLeavesRowUnchanged()
{
    AnalysisRecord record = tallied({{QStringLiteral("a.com/1"), QStringLiteral("2011-1-1")}});
    record.SiteLinkCounts[1] = std::numeric_limits<qint32>::max() - 1;

    TallyLink(record, QStringLiteral("a.com/2"), QStringLiteral("2011-1-1"));
    QCOMPARE(record.SiteLinkCounts.at(1), std::numeric_limits<qint32>::max());

    expectFailure(record, QStringLiteral("a.com/3"), QStringLiteral("1分钟前"), FailureCode::Overflow);
    QCOMPARE(record.SiteLinkCounts.at(1), std::numeric_limits<qint32>::max());
    QCOMPARE(record.SiteLatestDates.at(1), QStringLiteral("2011-1-1"));
    QCOMPARE(record.SiteLatestUrls.at(1), QStringLiteral("a.com/2"));
}

void TestSiteTable::unreadableDateRaisesCountOnly_data()
{
    QTest::addColumn<QString>("storedDate");
    QTest::addColumn<QString>("newDate");
    QTest::newRow("stored date unreadable") << QStringLiteral("小时前") << QStringLiteral("1小时前");
    QTest::newRow("new date unreadable") << QStringLiteral("2011-1-1") << QStringLiteral("x分钟前");
}

void TestSiteTable::unreadableDateRaisesCountOnly()
{
    QFETCH(QString, storedDate);
    QFETCH(QString, newDate);
    AnalysisRecord record = tallied({{QStringLiteral("a.com/1"), storedDate}});

    expectFailure(record, QStringLiteral("a.com/2"), newDate, FailureCode::TypeMismatch);

    QCOMPARE(record.SiteLinkCounts.at(1), 2);
    QCOMPARE(record.SiteLatestDates.at(1), storedDate);
    QCOMPARE(record.SiteLatestUrls.at(1), QStringLiteral("a.com/1"));
    QCOMPARE(record.siteCount(), 1);
}

void TestSiteTable::columnsFilledWithoutIndex()
{
    // Columns written by other means than TallyLink: the row is still found, not duplicated.
    AnalysisRecord record;
    record.SiteNames = {QString(), QStringLiteral("a.com"), QStringLiteral("b.com")};
    record.SiteLinkCounts = {0, 1, 1};
    record.SiteLatestDates = {QString(), QStringLiteral("2011-1-1"), QStringLiteral("2011-1-1")};
    record.SiteLatestUrls = {QString(), QStringLiteral("a.com/1"), QStringLiteral("b.com/1")};

    TallyLink(record, QStringLiteral("b.com/2"), QStringLiteral("2011-1-2"));
    QCOMPARE(record.siteCount(), 2);
    QCOMPARE(record.SiteLinkCounts.at(2), 2);
    QCOMPARE(record.SiteLatestUrls.at(2), QStringLiteral("b.com/2"));

    // A stale index entry pointing at the wrong row is not trusted either.
    record.SiteRowIndex[QStringLiteral("a.com")] = 2;
    TallyLink(record, QStringLiteral("a.com/2"), QStringLiteral("2011-1-1"));
    QCOMPARE(record.SiteLinkCounts.at(1), 2);
    QCOMPARE(record.SiteLinkCounts.at(2), 2);
}

void TestSiteTable::unequalColumnsFail()
{
    AnalysisRecord record = tallied({{QStringLiteral("a.com/1"), QStringLiteral("2011-1-1")}});
    record.SiteLatestUrls.removeLast();
    expectFailure(record, QStringLiteral("a.com/2"), QStringLiteral("2011-1-1"),
                  FailureCode::IndexOutOfRange);
    QCOMPARE(record.SiteLinkCounts.at(1), 1);
}

void TestSiteTable::erasedTableStartsAfresh()
{
    AnalysisRecord record = tallied({{QStringLiteral("a.com/1"), QStringLiteral("2011-1-1")},
                                     {QStringLiteral("b.com/1"), QStringLiteral("2011-1-1")}});
    record.eraseSiteTable();
    TallyLink(record, QStringLiteral("b.com/2"), QStringLiteral("1分钟前"));
    QCOMPARE(record.siteCount(), 1);
    QCOMPARE(record.SiteNames.at(1), QStringLiteral("b.com"));
    QCOMPARE(record.SiteLinkCounts.at(1), 1);
}

QTEST_APPLESS_MAIN(TestSiteTable)
#include "test_site_table.moc"
