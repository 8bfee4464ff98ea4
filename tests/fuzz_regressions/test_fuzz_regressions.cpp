#include "fuzz_inputs.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace korvane::fuzzing;

// Every kept fuzz finding, and every fixture page behind a few selector bytes, goes through the
// same code as the fuzz harness it belongs to. A finding that comes back shows up here as a
// broken expectation, or under the sanitizer build (scripts/test-sanitized) as a report.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT
private slots:
    void keptFindingsAreThere();
    void replay_data();
    void replay();
    void contentTypeSelector_data();
    void contentTypeSelector();
};

namespace {

const QStringList &harnesses()
{
    static const QStringList names{QStringLiteral("results_page"), QStringLiteral("notice_page")};
    return names;
}

QStringList runInput(const QString &harness, const QByteArray &input)
{
    if (harness == QLatin1String("results_page"))
        return runResultsPageInput(input);
    return runNoticePageInput(input);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

} // namespace

void TestFuzzRegressions::keptFindingsAreThere()
{
    const QDir root(QStringLiteral(KORVANE_FUZZ_REGRESSIONS_DIR));
    QVERIFY2(root.exists(), qPrintable(root.path()));
    // Each folder is named after a harness; an unknown name would be silently skipped.
    const QStringList folders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &folder : folders)
        QVERIFY2(harnesses().contains(folder), qPrintable(folder));
}

void TestFuzzRegressions::replay_data()
{
    QTest::addColumn<QString>("harness");
    QTest::addColumn<QByteArray>("input");

    const QDir root(QStringLiteral(KORVANE_FUZZ_REGRESSIONS_DIR));
    for (const QString &harness : harnesses()) {
        const QDir folder(root.filePath(harness));
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        for (const QString &file : files) {
            QTest::addRow("%s/%s", qPrintable(harness), qPrintable(file))
                << harness << readFile(folder.filePath(file));
        }
    }

    // The fixture pages with no header, a gb2312 header and a header of the page's own; for
    // the results reader also with the largest page count.
    const QDir data(QStringLiteral(KORVANE_TEST_DATA_DIR));
    const QStringList folders{QStringLiteral("pages"), QStringLiteral("browser")};
    for (const QString &name : folders) {
        const QDir folder(data.filePath(name));
        const QStringList pages = folder.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
        for (const QString &page : pages) {
            const QByteArray bytes = readFile(folder.filePath(page));
            QTest::addRow("fixture %s/%s results, no header", qPrintable(name), qPrintable(page))
                << harnesses().at(0) << QByteArray("\x00\x0a", 2) + bytes;
            QTest::addRow("fixture %s/%s results, gb2312, 76 pages", qPrintable(name),
                          qPrintable(page))
                << harnesses().at(0) << QByteArray("\x02\x97", 2) + bytes;
            QTest::addRow("fixture %s/%s notice, own header", qPrintable(name), qPrintable(page))
                << harnesses().at(1) << QByteArray("\x80text/html; charset=utf-8\n") + bytes;
        }
    }
}

void TestFuzzRegressions::replay()
{
    QFETCH(QString, harness);
    QFETCH(QByteArray, input);
    const QStringList problems = runInput(harness, input);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestFuzzRegressions::contentTypeSelector_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty input") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("selector 0: no header")
        << QByteArray("\x00<p>", 4) << QByteArray() << QByteArray("<p>");
    QTest::newRow("selector 2: gb2312")
        << QByteArray("\x02<p>") << QByteArray("text/html; charset=gb2312") << QByteArray("<p>");
    QTest::newRow("selector wraps at 16")
        << QByteArray("\x12<p>") << QByteArray("text/html; charset=gb2312") << QByteArray("<p>");
    QTest::newRow("0x80: the first line is the header")
        << QByteArray("\x80" "text/html;charset=big5\n<p>") << QByteArray("text/html;charset=big5")
        << QByteArray("<p>");
    QTest::newRow("0x80 without a line feed: all header, no page")
        << QByteArray("\x80" "text/html") << QByteArray("text/html") << QByteArray();
}

void TestFuzzRegressions::contentTypeSelector()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, body);
    QByteArray actualBody;
    QCOMPARE(splitContentType(input, actualBody), header);
    QCOMPARE(actualBody, body);
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
