#include "core/failure.h"
#include "tally/dates.h"

#include <QTest>

using namespace korvane;

class TestDates : public QObject
{
    Q_OBJECT

private slots:
    void normalizeCalendar_data();
    void normalizeCalendar();
    void normalizeRelative_data();
    void normalizeRelative();
    void normalizeUnreadableNumber_data();
    void normalizeUnreadableNumber();
    void laterDate_data();
    void laterDate();
    void laterDatePassesConversionFailure_data();
    void laterDatePassesConversionFailure();
};

void TestDates::normalizeCalendar_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one-digit month and day") << QStringLiteral("2011-1-5") << QStringLiteral("2011-01-05");
    QTest::newRow("one-digit day only") << QStringLiteral("2011-12-5") << QStringLiteral("2011-12-05");
    QTest::newRow("one-digit month only") << QStringLiteral("2011-1-25") << QStringLiteral("2011-01-25");
    QTest::newRow("already padded") << QStringLiteral("2011-12-25") << QStringLiteral("2011-12-25");
    QTest::newRow("short year left alone") << QStringLiteral("11-1-5") << QStringLiteral("11-1-5");
    QTest::newRow("dash and hours unit is calendar")
        << QStringLiteral("2011-1-5小时") << QStringLiteral("2011-01-5小时");
    QTest::newRow("lone dash") << QStringLiteral("-") << QStringLiteral("-");
    QTest::newRow("dash at position 6 of a short text")
        << QStringLiteral("abcde-") << QStringLiteral("abcde0-");
    QTest::newRow("empty text is the fixed date") << QString() << QStringLiteral("1980-08-13");
    QTest::newRow("unrecognised text is the fixed date")
        << QStringLiteral("12K") << QStringLiteral("1980-08-13");
    QTest::newRow("unit-like text without unit") << QStringLiteral("3小前") << QStringLiteral("1980-08-13");
    QTest::newRow("year, month and day in Chinese") << QStringLiteral("2016年11月16日") << QStringLiteral("2016-11-16");
    QTest::newRow("Chinese date with one-digit month and day")
        << QStringLiteral("2023年4月8日") << QStringLiteral("2023-04-08");
    QTest::newRow("Chinese date without its day is not one")
        << QStringLiteral("2016年11月") << QStringLiteral("1980-08-13");
    QTest::newRow("Chinese date with a two-digit year is not one")
        << QStringLiteral("16年11月16日") << QStringLiteral("1980-08-13");
    QTest::newRow("days ago without a number is not one") << QStringLiteral("天前") << QStringLiteral("1980-08-13");
}

void TestDates::normalizeCalendar()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const NormalizedDate date = NormalizeDate(input);
    QVERIFY(!date.isNumber);
    QCOMPARE(date.text, expected);
    QCOMPARE(date.asText(), expected);
}

void TestDates::normalizeRelative_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<double>("minutes");
    QTest::addColumn<QString>("text");

    QTest::newRow("hours") << QStringLiteral("3小时前") << 180.0 << QStringLiteral("180");
    QTest::newRow("fractional hours round down before multiplying")
        << QStringLiteral("1.5小时前") << 60.0 << QStringLiteral("60");
    QTest::newRow("hours win over minutes") << QStringLiteral("1小时20分钟前") << 60.0 << QStringLiteral("60");
    QTest::newRow("minutes") << QStringLiteral("25分钟前") << 25.0 << QStringLiteral("25");
    QTest::newRow("fractional minutes round down") << QStringLiteral("7.9分钟前") << 7.0 << QStringLiteral("7");
    QTest::newRow("blanks around the number") << QStringLiteral(" 2 小时前") << 120.0 << QStringLiteral("120");
    QTest::newRow("leading zeros") << QStringLiteral("007分钟前") << 7.0 << QStringLiteral("7");
    QTest::newRow("days ago") << QStringLiteral("6天前") << 8640.0 << QStringLiteral("8640");
    QTest::newRow("one day ago") << QStringLiteral("1天前") << 1440.0 << QStringLiteral("1440");
    QTest::newRow("yesterday with a time") << QStringLiteral("昨天 12:30") << 1440.0 << QStringLiteral("1440");
    QTest::newRow("the day before yesterday") << QStringLiteral("前天") << 2880.0 << QStringLiteral("2880");
    QTest::newRow("sixteen digits") << QStringLiteral("1234567890123456分钟前") << 1234567890123456.0
                                    << QStringLiteral("1234567890123456");
    QTest::newRow("signed number") << QStringLiteral("+4分钟前") << 4.0 << QStringLiteral("4");
    QTest::newRow("zero minutes") << QStringLiteral("0分钟前") << 0.0 << QStringLiteral("0");
    QTest::newRow("large hours stay plain digits")
        << QStringLiteral("100000000小时前") << 6000000000.0 << QStringLiteral("6000000000");
}

void TestDates::normalizeRelative()
{
    QFETCH(QString, input);
    QFETCH(double, minutes);
    QFETCH(QString, text);
    const NormalizedDate date = NormalizeDate(input);
    QVERIFY(date.isNumber);
    QCOMPARE(date.minutes, minutes);
    QCOMPARE(date.asText(), text);
}

void TestDates::normalizeUnreadableNumber_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("nothing before hours") << QStringLiteral("小时前");
    QTest::newRow("nothing before minutes") << QStringLiteral("分钟前");
    QTest::newRow("letters before hours") << QStringLiteral("abc小时前");
    QTest::newRow("grouped digits before minutes") << QStringLiteral("1,000分钟前");
    QTest::newRow("blank before minutes") << QStringLiteral("  分钟");
}

void TestDates::normalizeUnreadableNumber()
{
    QFETCH(QString, input);
    try {
        NormalizeDate(input);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(failure.code(), FailureCode::TypeMismatch);
    }
}

void TestDates::laterDate_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("expected");

    const QString d20111225 = QStringLiteral("2011-12-25");
    QTest::newRow("same text") << d20111225 << d20111225 << d20111225;
    QTest::newRow("calendar, first newer") << d20111225 << QStringLiteral("2011-1-5") << d20111225;
    QTest::newRow("calendar, second newer") << QStringLiteral("2011-1-5") << d20111225 << d20111225;
    QTest::newRow("calendar, padding decides order")
        << QStringLiteral("2011-9-1") << QStringLiteral("2011-10-1") << QStringLiteral("2011-10-1");
    QTest::newRow("calendar tie goes to first")
        << QStringLiteral("2011-1-5") << QStringLiteral("2011-01-05") << QStringLiteral("2011-1-5");
    QTest::newRow("calendar tie goes to first, reversed")
        << QStringLiteral("2011-01-05") << QStringLiteral("2011-1-5") << QStringLiteral("2011-01-05");
    QTest::newRow("relative tie goes to first")
        << QStringLiteral("2小时前") << QStringLiteral("120分钟前") << QStringLiteral("2小时前");
    QTest::newRow("relative tie after rounding goes to first")
        << QStringLiteral("5.9分钟前") << QStringLiteral("5分钟前") << QStringLiteral("5.9分钟前");
    QTest::newRow("fewer minutes ago wins (second)")
        << QStringLiteral("3小时前") << QStringLiteral("5分钟前") << QStringLiteral("5分钟前");
    QTest::newRow("fewer minutes ago wins (first)")
        << QStringLiteral("5分钟前") << QStringLiteral("3小时前") << QStringLiteral("5分钟前");
    QTest::newRow("relative beats calendar (second)")
        << d20111225 << QStringLiteral("1小时前") << QStringLiteral("1小时前");
    QTest::newRow("relative beats calendar (first)")
        << QStringLiteral("1小时前") << d20111225 << QStringLiteral("1小时前");
    QTest::newRow("relative beats unrecognised")
        << QStringLiteral("12K") << QStringLiteral("999小时前") << QStringLiteral("999小时前");
    QTest::newRow("unrecognised loses to calendar (first)")
        << QStringLiteral("12K") << d20111225 << d20111225;
    QTest::newRow("unrecognised loses to calendar (second)")
        << d20111225 << QStringLiteral("12K") << d20111225;
    QTest::newRow("unrecognised beats an older calendar date")
        << QStringLiteral("1970-1-1") << QStringLiteral("12K") << QStringLiteral("12K");
    QTest::newRow("two unrecognised give the first")
        << QStringLiteral("12K") << QStringLiteral("abc") << QStringLiteral("12K");
    QTest::newRow("empty and unrecognised give the first") << QString() << QStringLiteral("abc") << QString();
    QTest::newRow("Chinese dates compare as dates")
        << QStringLiteral("2016年11月16日") << QStringLiteral("2016年9月30日") << QStringLiteral("2016年11月16日");
    QTest::newRow("Chinese date against a dashed one, newer second")
        << QStringLiteral("2016-9-30") << QStringLiteral("2016年11月16日") << QStringLiteral("2016年11月16日");
    QTest::newRow("hours ago beat yesterday") << QStringLiteral("昨天") << QStringLiteral("23小时前") << QStringLiteral("23小时前");
    QTest::newRow("one day ago ties yesterday: first")
        << QStringLiteral("1天前") << QStringLiteral("昨天 08:00") << QStringLiteral("1天前");
    QTest::newRow("days ago beat a calendar date")
        << QStringLiteral("2026年8月1日") << QStringLiteral("6天前") << QStringLiteral("6天前");
    QTest::newRow("unrecognised equal to the fixed date gives the first")
        << QStringLiteral("1980-08-13") << QStringLiteral("xyz") << QStringLiteral("1980-08-13");
}

void TestDates::laterDate()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, expected);
    const QString result = LaterDate(first, second);
    QCOMPARE(result, expected);
    // The result is one of the arguments, never a normalised form.
    QVERIFY(result == first || result == second);
}

void TestDates::laterDatePassesConversionFailure_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("first unreadable") << QStringLiteral("小时前") << QStringLiteral("2011-1-5");
    QTest::newRow("second unreadable") << QStringLiteral("2011-1-5") << QStringLiteral("分钟前");
}

void TestDates::laterDatePassesConversionFailure()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    try {
        LaterDate(first, second);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(failure.code(), FailureCode::TypeMismatch);
    }
}

QTEST_APPLESS_MAIN(TestDates)
#include "test_dates.moc"
