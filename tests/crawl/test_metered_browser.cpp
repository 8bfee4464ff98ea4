// The browser in front of the real one: request and read counts, and pacing with the wait and
// the random draw replaced, so that no test waits for real time.

#include "crawl/metered_browser.h"

#include "fake_browser.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace korvane;
using namespace korvane::testing;

namespace {

using std::chrono::milliseconds;

const QString kPage = QStringLiteral("<html><body><p>x</p></body></html>");

// A browser in front of a fake one, whose waits the test ends by hand.
struct Paced
{
    FakeBrowser inner;
    MeteredBrowser browser{inner};
    QList<milliseconds> waits;               // every wait started, in order
    QList<std::function<void()>> pending;    // their ends, not yet called

    explicit Paced(milliseconds delay, QList<double> draws = {})
    {
        browser.setDelay(delay);
        browser.setRandom([draws]() mutable { return draws.isEmpty() ? 0.5 : draws.takeFirst(); });
        browser.setWait([this](milliseconds duration, std::function<void()> done) {
            waits.append(duration);
            pending.append(std::move(done));
        });
    }
    void endWait(int index) { pending.at(index)(); }
};

} // namespace

class TestMeteredBrowser : public QObject
{
    Q_OBJECT
private slots:
    void pacing_data();
    void pacing();
    void navigateDuringWaitReplacesIt();
    void counts();
};

void TestMeteredBrowser::pacing_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<QList<double>>("draws");
    QTest::addColumn<QList<int>>("waits"); // ms, before the 2nd, 3rd and 4th request

    QTest::newRow("no delay: every request at once") << 0 << QList<double>{} << QList<int>{};
    QTest::newRow("2 s: waits from 1 s to 3 s, as drawn")
        << 2000 << QList<double>{0.0, 0.5, 0.9995} << QList<int>{1000, 2000, 2999};
}

void TestMeteredBrowser::pacing()
{
    QFETCH(int, delay);
    QFETCH(QList<double>, draws);
    QFETCH(QList<int>, waits);

    Paced p(milliseconds(delay), draws);
    for (int i = 0; i < 4; ++i) {
        const QString address = QStringLiteral("http://e.test/%1").arg(i);
        p.browser.navigate(address);
        if (i > 0 && delay > 0) {
            // Not sent until its wait has ended.
            QCOMPARE(p.inner.requested.size(), i);
            QCOMPARE(p.pending.size(), i);
            p.endWait(i - 1);
        }
        QCOMPARE(p.inner.requested.size(), i + 1);
        QCOMPARE(p.inner.requested.last(), address);
        p.inner.completeLast(kPage);
    }
    QList<int> started;
    for (const milliseconds wait : std::as_const(p.waits))
        started.append(int(wait.count()));
    QCOMPARE(started, waits);
}

void TestMeteredBrowser::navigateDuringWaitReplacesIt()
{
    Paced p(milliseconds(1000));
    QSignalSpy completed(&p.browser, &Browser::documentComplete);
    p.browser.navigate(QStringLiteral("http://e.test/a"));
    p.browser.navigate(QStringLiteral("http://e.test/b"));
    // The load of a completes while b waits: b abandoned it, so nothing is raised.
    p.inner.completeLast(kPage);
    QCOMPARE(completed.count(), 0);
    p.browser.navigate(QStringLiteral("http://e.test/c"));
    p.endWait(0);
    QCOMPARE(p.inner.requested, QStringList{QStringLiteral("http://e.test/a")});
    p.endWait(1);
    QCOMPARE(p.inner.requested, (QStringList{QStringLiteral("http://e.test/a"), QStringLiteral("http://e.test/c")}));
    QCOMPARE(p.browser.pagesRequested(), 2);
}

void TestMeteredBrowser::counts()
{
    QFile verification(QStringLiteral(KORVANE_TEST_DATA_DIR "/pages/verify_security.html"));
    QVERIFY(verification.open(QIODevice::ReadOnly));
    const QString refusedPage = QString::fromUtf8(verification.readAll());

    FakeBrowser inner;
    MeteredBrowser browser(inner);
    QSignalSpy completed(&browser, &Browser::documentComplete);
    for (int i = 0; i < 3; ++i)
        browser.navigate(QStringLiteral("http://e.test/%1").arg(i));
    inner.completeLast(kPage);                  // read
    inner.completeLast(kPage, true);            // failed
    QVERIFY(browser.lastNavigationFailed());
    inner.completeLast(refusedPage);            // refused
    QVERIFY(browser.lastNavigationRefused() && !browser.lastNavigationFailed());
    inner.completeFrame(QStringLiteral("http://e.test/frame"));
    inner.complete(QString(), QStringLiteral("about:blank"));
    QCOMPARE(browser.pagesRequested(), 3);
    QCOMPARE(browser.pagesRead(), 1);

    // The top-level document completes as this browser's own; frames keep their identity.
    QCOMPARE(completed.count(), 5);
    for (int i : {0, 1, 2, 4})
        QCOMPARE(completed.at(i).at(0).value<const QObject *>(), browser.topLevelObject());
    QVERIFY(completed.at(3).at(0).value<const QObject *>() != browser.topLevelObject());

    browser.resetCounts();
    QCOMPARE(browser.pagesRequested(), 0);
    QCOMPARE(browser.pagesRead(), 0);
}

QTEST_GUILESS_MAIN(TestMeteredBrowser)
#include "test_metered_browser.moc"
