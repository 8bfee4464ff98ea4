// Golden-file tests of the DOM: every tests/data/browser/<name>.html is decoded (no HTTP
// header: its own label or the bytes decide) and parsed, and the DOM
// operations listed in <name>.expected are run on it. Each operation line is followed in the
// file by "= " and its result; a mismatch writes <name>.actual beside and fails.
//
// An operation is a chain of steps read left to right from the document:
//   body | all:<id> | tags:<tag>          a start: the body, document.All(id), a tag collection
//   children | rows | cells              an element's collections
//   [i]                                  a collection's item i
//   length | tagName | innerText | innerHTML | href | title | id | value   the final read
// A result that throws is written "! <failure code name>".

#include "browser/charset.h"
#include "browser/dom.h"
#include "core/failure.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>

#include <optional>
#include <variant>

using namespace korvane;

namespace {

const QUrl kFixtureAddress(QStringLiteral("http://www.example.test/dir/page.html?wd=x"));

QString escapeResult(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else
            out += c;
    }
    return out;
}

QString failureName(FailureCode code)
{
    switch (code) {
    case FailureCode::DomIndexOutOfRange: return QStringLiteral("IndexOutOfRange");
    case FailureCode::DomObjectRequired: return QStringLiteral("ObjectRequired");
    case FailureCode::DomMissingMember: return QStringLiteral("MissingMember");
    default: return QStringLiteral("code %1").arg(int(code));
    }
}

using Value = std::variant<std::monostate, Element, ElementList>;

QString runOperation(const Document &document, const QString &operation)
{
    const QStringList steps = operation.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Value current;
    try {
        for (const QString &step : steps) {
            if (step == QLatin1String("body")) {
                current = document.body();
            } else if (step.startsWith(QLatin1String("all:"))) {
                current = document.all(step.mid(4));
            } else if (step.startsWith(QLatin1String("tags:"))) {
                current = document.getElementsByTagName(step.mid(5));
            } else if (step.startsWith(QLatin1Char('[')) && step.endsWith(QLatin1Char(']'))) {
                current = std::get<ElementList>(current).item(step.mid(1, step.size() - 2).toInt());
            } else if (step == QLatin1String("length")) {
                return QString::number(std::get<ElementList>(current).length());
            } else {
                const Element &element = std::get<Element>(current);
                if (step == QLatin1String("children"))
                    current = element.children();
                else if (step == QLatin1String("rows"))
                    current = element.rows();
                else if (step == QLatin1String("cells"))
                    current = element.cells();
                else if (step == QLatin1String("tagName"))
                    return escapeResult(element.tagName());
                else if (step == QLatin1String("innerText"))
                    return escapeResult(element.innerText());
                else if (step == QLatin1String("innerHTML"))
                    return escapeResult(element.innerHTML());
                else if (step == QLatin1String("href"))
                    return escapeResult(element.href());
                else if (step == QLatin1String("title"))
                    return escapeResult(element.title());
                else if (step == QLatin1String("id"))
                    return escapeResult(element.id());
                else if (step == QLatin1String("value"))
                    return escapeResult(element.value());
                else
                    return QStringLiteral("?? unknown step ") + step;
            }
        }
    } catch (const Failure &failure) {
        return QStringLiteral("! ") + failureName(failure.code());
    } catch (const std::bad_variant_access &) {
        return QStringLiteral("?? step applied to the wrong kind of value");
    }
    return QStringLiteral("?? operation does not end in a read");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace

class DomGoldenTest : public QObject
{
    Q_OBJECT
private slots:
    void fixture_data();
    void fixture();
};

void DomGoldenTest::fixture_data()
{
    QTest::addColumn<QString>("base");
    const QDir dir(QStringLiteral(KORVANE_TEST_DATA_DIR "/browser"));
    const QStringList expected = dir.entryList({QStringLiteral("*.expected")}, QDir::Files, QDir::Name);
    QVERIFY2(!expected.isEmpty(), "no golden files found");
    for (const QString &name : expected) {
        const QString base = name.chopped(int(qstrlen(".expected")));
        QTest::newRow(qPrintable(base)) << dir.filePath(base);
    }
}

void DomGoldenTest::fixture()
{
    QFETCH(QString, base);
    const QByteArray html = readFile(base + QStringLiteral(".html"));
    QVERIFY2(!html.isEmpty(), qPrintable(base + QStringLiteral(".html is missing or empty")));
    const QString expected = QString::fromUtf8(readFile(base + QStringLiteral(".expected")));

    const auto document = Document::parse(decodeHtml(html, QByteArray()), kFixtureAddress);

    QString actual;
    const QStringList lines = expected.split(QLatin1Char('\n'));
    int operations = 0;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("= ")) || line == QLatin1String("="))
            continue;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            actual += line + QLatin1Char('\n');
            continue;
        }
        ++operations;
        actual += line + QLatin1Char('\n');
        actual += QStringLiteral("= ") + runOperation(*document, line) + QLatin1Char('\n');
    }
    actual.chop(1); // the split gave one line more than the file's last newline
    QVERIFY(operations > 0);

    const QString actualPath = base + QStringLiteral(".actual");
    if (actual != expected) {
        QFile out(actualPath);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(actual.toUtf8());
        QFAIL(qPrintable(QStringLiteral("DOM results differ from %1.expected; see %2")
                             .arg(base, actualPath)));
    }
    QFile::remove(actualPath);
}

QTEST_GUILESS_MAIN(DomGoldenTest)
#include "test_dom_golden.moc"
