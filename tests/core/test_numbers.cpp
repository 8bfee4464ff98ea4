#include "core/analysis_record.h"
#include "core/failure.h"
#include "core/numbers.h"
#include "core/status.h"
#include "core/texts.h"

#include "fake_view.h"

#include <QTest>

#include <limits>

using namespace korvane;

class TestNumbers : public QObject
{
    Q_OBJECT
private slots:
    void roundHalfEven_data();
    void roundHalfEven();
    void roundOverflows();
    void checkedLimits();
    void localeNumber_data();
    void localeNumber();
    void decimal_data();
    void decimal();
    void showStatus_data();
    void showStatus();
};

void TestNumbers::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("9.5 goes up to even") << 9.5 << 10;
    QTest::newRow("8.5 goes down to even") << 8.5 << 8;
    QTest::newRow("7.3") << 7.3 << 7;
    QTest::newRow("5.5 (4.5 + 1)") << 5.5 << 6;
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("whole") << 40.0 << 40;
}

void TestNumbers::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(roundHalfEvenToInt32(value), expected);
}

void TestNumbers::roundOverflows()
{
    QVERIFY_THROWS_EXCEPTION(Failure, roundHalfEvenToInt32(2147483647.5 + 1));
    QVERIFY_THROWS_EXCEPTION(Failure, roundHalfEvenToInt32(std::numeric_limits<double>::quiet_NaN()));
    QCOMPARE(roundHalfEvenToInt32(2147483647.0), 2147483647);
}

void TestNumbers::checkedLimits()
{
    QCOMPARE(toInt16(32767), qint16(32767));
    QCOMPARE(toInt16(-32768), qint16(-32768));
    QVERIFY_THROWS_EXCEPTION(Failure, toInt16(32768));
    QCOMPARE(checkedAdd32(2147483646, 1), 2147483647);
    try {
        checkedAdd32(2147483647, 1);
        QFAIL("no overflow");
    } catch (const Failure &failure) {
        QCOMPARE(failure.code(), FailureCode::Overflow);
        QVERIFY(failure.number() > 0);
    }
}

void TestNumbers::localeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("expected");
    QTest::newRow("digits") << QStringLiteral("95") << true << 95.0;
    QTest::newRow("grouped") << QStringLiteral("4,050") << true << 4050.0;
    QTest::newRow("grouped millions") << QStringLiteral("100,000,000") << true << 1e8;
    QTest::newRow("fraction") << QStringLiteral("12.7") << true << 12.7;
    QTest::newRow("blanks around") << QStringLiteral("  42 ") << true << 42.0;
    QTest::newRow("sign") << QStringLiteral("-3") << true << -3.0;
    QTest::newRow("plus sign") << QStringLiteral("+3") << true << 3.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("letters") << QStringLiteral("abc") << false << 0.0;
    QTest::newRow("trailing text") << QStringLiteral("12个") << false << 0.0;
}

void TestNumbers::localeNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, expected);
    if (!ok) {
        QVERIFY_THROWS_EXCEPTION(Failure, parseEngineNumber(text));
        return;
    }
    QCOMPARE(parseEngineNumber(text), expected);
}

void TestNumbers::decimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("expected");
    QTest::newRow("digits") << QStringLiteral("3") << true << 3.0;
    QTest::newRow("decimal point") << QStringLiteral("1.5") << true << 1.5;
    QTest::newRow("blanks") << QStringLiteral(" 25 ") << true << 25.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("letters") << QStringLiteral("x") << false << 0.0;
    QTest::newRow("grouping is not a decimal") << QStringLiteral("1,5") << false << 0.0;
}

void TestNumbers::decimal()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, expected);
    if (!ok) {
        QVERIFY_THROWS_EXCEPTION(Failure, parseDecimal(text));
        return;
    }
    QCOMPARE(parseDecimal(text), expected);
}

void TestNumbers::showStatus_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("doneMessage");
    QTest::addColumn<QString>("expected");
    const QString before = QStringLiteral("暂无提示信息！");
    QTest::newRow("INITING") << texts::stateIniting() << QString() << texts::statusIniting();
    QTest::newRow("INITED") << texts::stateInited() << QString()
                            << QStringLiteral("输入您的域名，点击“分析”按钮！");
    QTest::newRow("ANAING") << texts::stateAnaing() << QString() << texts::statusAnaing();
    QTest::newRow("COMP default") << texts::stateComp() << QString() << QStringLiteral("分析已完成！");
    QTest::newRow("COMP with message")
        << texts::stateComp() << texts::pageErrorMessage() << texts::pageErrorMessage();
    QTest::newRow("lower case keyword unchanged") << QStringLiteral("inited") << QString() << before;
    QTest::newRow("empty keyword unchanged") << QString() << QString() << before;
}

void TestNumbers::showStatus()
{
    QFETCH(QString, keyword);
    QFETCH(QString, doneMessage);
    QFETCH(QString, expected);
    AnalysisRecord record;
    record.DoneMessage = doneMessage;
    testing::FakeView view;
    ShowStatus(record, view, keyword);
    QCOMPARE(view.status, expected);
}

QTEST_GUILESS_MAIN(TestNumbers)
#include "test_numbers.moc"
