// The window offscreen: its controls and layout, the domain field, Analyse and Exit, the
// keyboard, the busy pointer, Qt's own texts and export.

#include "app/form1.h"

#include "engine_pages.h"
#include "fake_browser.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <memory>

using namespace korvane;
using namespace korvane::testing;

namespace {
const Origins kOrigins{QStringLiteral("http://engine.test"), QStringLiteral("http://notice.test")};
}

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void captionAndClientArea();
    void controls_data();
    void controls();
    void hiddenAndParkedControls();
    void songTiHasHalfWidthLatin_data();
    void songTiHasHalfWidthLatin();
    void startupStatus();
    void placeholderCleared_data();
    void placeholderCleared();
    void placeholderComesBack();
    void analyseSendsQuery_data();
    void analyseSendsQuery();
    void exitButton();
    void reportKeepsLineBreaks();
    void linkLabelClick();
    void exportThroughMenu_data();
    void exportThroughMenu();
    void failureOnStatusToolTip();
    void aboutBox();
    void buttonFocusIsVisible_data();
    void buttonFocusIsVisible();
    void busyPointerCoversEveryControl();
    void qtTextsInChinese();
};

void TestForm1::initTestCase()
{
    installFontSubstitutions();
}

void TestForm1::captionAndClientArea()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    QCOMPARE(window.windowTitle(), QStringLiteral("Korvane-2011圣诞版"));
    QCOMPARE(window.size(), QSize(661, 505));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
}

void TestForm1::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Text1") << "Text1" << QStringLiteral("www.名称.com") << QRect(1200, 240, 3015, 375);
    QTest::newRow("Label1") << "Label1" << QStringLiteral("站点域名:") << QRect(240, 360, 975, 255);
    QTest::newRow("TextResult") << "TextResult" << QString() << QRect(240, 1680, 9375, 5295);
    QTest::newRow("Label3") << "Label3" << QStringLiteral("分析结果:") << QRect(240, 1320, 855, 255);
    QTest::newRow("CmdOk") << "CmdOk" << QStringLiteral("分析") << QRect(4440, 120, 975, 975);
    QTest::newRow("cmdCancel") << "cmdCancel" << QStringLiteral("退出") << QRect(5640, 120, 975, 975);
    QTest::newRow("Label2") << "Label2" << QStringLiteral("外链总数:") << QRect(240, 840, 855, 255);
    QTest::newRow("textLinkCount") << "textLinkCount" << QStringLiteral("0") << QRect(1200, 720, 855, 390);
    QTest::newRow("Label4") << "Label4" << QStringLiteral("站点数量:") << QRect(2520, 840, 975, 255);
    QTest::newRow("textSiteCount") << "textSiteCount" << QStringLiteral("0") << QRect(3480, 720, 735, 390);
    QTest::newRow("lbTip") << "lbTip" << QStringLiteral("暂无提示信息！") << QRect(1320, 1320, 5535, 255);
    QTest::newRow("Label5") << "Label5" << QString() << QRect(7080, 240, 2655, 255);
    QTest::newRow("Label6") << "Label6" << QString() << QRect(7080, 600, 2535, 255);
    QTest::newRow("Label7") << "Label7" << QString() << QRect(7080, 960, 2655, 255);
}

void TestForm1::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    const QHash<QString, QWidget *> widgets = {
        {QStringLiteral("Text1"), window.Text1},         {QStringLiteral("Label1"), window.Label1},
        {QStringLiteral("TextResult"), window.TextResult}, {QStringLiteral("Label3"), window.Label3},
        {QStringLiteral("CmdOk"), window.CmdOk},         {QStringLiteral("cmdCancel"), window.cmdCancel},
        {QStringLiteral("Label2"), window.Label2},       {QStringLiteral("textLinkCount"), window.textLinkCount},
        {QStringLiteral("Label4"), window.Label4},       {QStringLiteral("textSiteCount"), window.textSiteCount},
        {QStringLiteral("lbTip"), window.lbTip},         {QStringLiteral("Label5"), window.Label5},
        {QStringLiteral("Label6"), window.Label6},       {QStringLiteral("Label7"), window.Label7}};
    QWidget *widget = widgets.value(name);
    QVERIFY(widget);
    const QRect pixels(twipsToPixels(twips.x()), twipsToPixels(twips.y()), twipsToPixels(twips.width()),
                       twipsToPixels(twips.height()));
    QCOMPARE(widget->geometry(), pixels);
    QVERIFY(window.rect().contains(widget->geometry())); // nothing sticks out of the window
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->textFormat(), Qt::PlainText);
        if (!text.isEmpty())
            QCOMPARE(label->text(), text);
        // The caption fits its box: nothing clipped.
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->text()));
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        QCOMPARE(edit->text(), text);
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), text);
    }
}

void TestForm1::hiddenAndParkedControls()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    window.show();
    QVERIFY(window.Text2->isHidden());
    QVERIFY(window.lbLink[0]->geometry().left() >= window.width()); // parked right of the client area
    for (int i = 1; i < kLinkLabelCount; ++i)
        QVERIFY(!window.lbLink[i]->isVisible());
    QCOMPARE(window.TextResult->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(window.textLinkCount->font().bold(), true);
    QCOMPARE(window.textLinkCount->font().pointSize(), 12);
    QCOMPARE(window.textLinkCount->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(window.TextResult->palette().color(QPalette::Text), QColor(0, 0, 192));
    QCOMPARE(window.lbTip->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(window.lbLink[0]->font().underline());
}

void TestForm1::songTiHasHalfWidthLatin_data()
{
    QTest::addColumn<bool>("reportBox");
    QTest::newRow("the window's face") << false;
    QTest::newRow("the report box's face") << true;
}

void TestForm1::songTiHasHalfWidthLatin()
{
    QFETCH(bool, reportBox);
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    const QFont font = reportBox ? window.TextResult->font() : songTi(9);
    const QFontMetrics metrics(font);
    const int latin = metrics.horizontalAdvance(QStringLiteral("a"));
    QVERIFY(latin > 0);
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("W")), latin);
    QCOMPARE(metrics.horizontalAdvance(QStringLiteral("域")), 2 * latin);
    QVERIFY2(QFontInfo(font).fixedPitch() || metrics.horizontalAdvance(QStringLiteral("i")) == latin,
             qPrintable(QFontInfo(font).family()));
}

void TestForm1::startupStatus()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    window.load();
    QCOMPARE(window.lbTip->text(), QStringLiteral("程序正在初始化，请等待片刻..."));
    QCOMPARE(browser.requested.size(), 1);
    QVERIFY(browser.requested[0].startsWith(
        QStringLiteral("http://notice.test/ad/Korvane.php?Version=1&cache=")));
    browser.completeLast(QStringLiteral("<html><body></body></html>"));
    QCOMPARE(window.lbTip->text(), QStringLiteral("输入您的域名，点击“分析”按钮！"));
}

namespace {
// How the domain field is reached in placeholderCleared: `keys` typed on the keyboard, on the
// keypad, pasted with Ctrl+V or Shift+Insert, committed by an input method, or pressed as a
// key sequence ("Backspace", "Ctrl+A").
enum class Input { None, Keys, Keypad, CtrlV, ShiftInsert, InputMethod, Sequence };
}
Q_DECLARE_METATYPE(Input)

void TestForm1::placeholderCleared_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("button"); // 0: no click first
    QTest::addColumn<Input>("input");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("cursor"); // -1: wherever the click put it
    const QString placeholder = QStringLiteral("www.名称.com");
    QTest::newRow("left click clears") << placeholder << int(Qt::LeftButton) << Input::None << QString()
                                       << QStringLiteral("www..com") << 4;
    QTest::newRow("right click clears") << placeholder << int(Qt::RightButton) << Input::None << QString()
                                        << QStringLiteral("www..com") << 4;
    QTest::newRow("already cleared") << QStringLiteral("www..com") << int(Qt::LeftButton) << Input::None
                                     << QString() << QStringLiteral("www..com") << -1;
    QTest::newRow("empty") << QString() << int(Qt::LeftButton) << Input::None << QString() << QString() << -1;
    QTest::newRow("other case") << QStringLiteral("WWW.名称.com") << int(Qt::LeftButton) << Input::None
                                << QString() << QStringLiteral("WWW.名称.com") << -1;
    QTest::newRow("trailing blank") << QStringLiteral("www.名称.com ") << int(Qt::LeftButton) << Input::None
                                    << QString() << QStringLiteral("www.名称.com ") << -1;

    QTest::newRow("typing without a click") << placeholder << 0 << Input::Keys << QStringLiteral("example")
                                            << QStringLiteral("www.example.com") << 11;
    QTest::newRow("typing after a click") << placeholder << int(Qt::LeftButton) << Input::Keys
                                          << QStringLiteral("example") << QStringLiteral("www.example.com") << 11;
    QTest::newRow("keypad digits") << placeholder << 0 << Input::Keypad << QStringLiteral("163")
                                   << QStringLiteral("www.163.com") << 7;
    QTest::newRow("input method text") << placeholder << 0 << Input::InputMethod << QStringLiteral("例子")
                                       << QStringLiteral("www.例子.com") << 6;
    QTest::newRow("Ctrl+V takes the whole domain") << placeholder << 0 << Input::CtrlV
                                                   << QStringLiteral("example.com") << QStringLiteral("example.com")
                                                   << 11;
    QTest::newRow("Shift+Insert takes the whole domain") << placeholder << 0 << Input::ShiftInsert
                                                         << QStringLiteral("example.com")
                                                         << QStringLiteral("example.com") << 11;
    QTest::newRow("empty clipboard: the placeholder stays") << placeholder << 0 << Input::CtrlV << QString()
                                                            << placeholder << 10;
    QTest::newRow("paste after a click goes between the dots") << placeholder << int(Qt::LeftButton) << Input::CtrlV
                                                               << QStringLiteral("example")
                                                               << QStringLiteral("www.example.com") << 11;
    QTest::newRow("Backspace deletes as ever") << placeholder << 0 << Input::Sequence << QStringLiteral("Backspace")
                                               << QStringLiteral("www.名称.co") << 9;
    QTest::newRow("a shortcut leaves the placeholder") << placeholder << 0 << Input::Sequence
                                                       << QStringLiteral("Ctrl+A") << placeholder << 10;
    QTest::newRow("text already changed") << QStringLiteral("example.co") << 0 << Input::Keys << QStringLiteral("m")
                                          << QStringLiteral("example.com") << 11;
    QTest::newRow("placeholder typed back in is text") << QStringLiteral("www.名称.co") << 0 << Input::Keys
                                                       << QStringLiteral("mx") << QStringLiteral("www.名称.comx") << 11;
}

void TestForm1::placeholderCleared()
{
    QFETCH(QString, before);
    QFETCH(int, button);
    QFETCH(Input, input);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    QFETCH(int, cursor);
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    window.show();
    window.Text1->setText(before); // the insertion point at the end, as at start
    if (button != 0) {
        // Click near the right end, so that "the insertion point where clicked" differs from 4.
        QTest::mouseClick(window.Text1, Qt::MouseButton(button), {},
                          QPoint(window.Text1->width() - 4, window.Text1->height() / 2));
    }
    switch (input) {
    case Input::None:
        break;
    case Input::Keys:
        QTest::keyClicks(window.Text1, keys);
        break;
    case Input::Keypad:
        QTest::keyClicks(window.Text1, keys, Qt::KeypadModifier);
        break;
    case Input::CtrlV:
    case Input::ShiftInsert:
        QGuiApplication::clipboard()->setText(keys);
        if (input == Input::CtrlV)
            QTest::keyClick(window.Text1, Qt::Key_V, Qt::ControlModifier);
        else
            QTest::keyClick(window.Text1, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case Input::Sequence:
        QTest::keySequence(window.Text1, QKeySequence(keys));
        break;
    case Input::InputMethod: {
        QInputMethodEvent preedit(keys.left(1), {});
        QApplication::sendEvent(window.Text1, &preedit); // composing shows between the dots
        QCOMPARE(window.Text1->text(), QStringLiteral("www..com"));
        QInputMethodEvent commit;
        commit.setCommitString(keys);
        QApplication::sendEvent(window.Text1, &commit);
        break;
    }
    }
    QCOMPARE(window.Text1->text(), after);
    if (cursor >= 0)
        QCOMPARE(window.Text1->cursorPosition(), cursor);
}

void TestForm1::placeholderComesBack()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    window.show();
    QTest::mouseClick(window.Text1, Qt::LeftButton);
    QCOMPARE(window.Text1->text(), QStringLiteral("www..com"));
    window.Text1->setText(QStringLiteral("www.名称.com"));
    QTest::mouseClick(window.Text1, Qt::LeftButton);
    QCOMPARE(window.Text1->text(), QStringLiteral("www..com"));
    QTest::keyClicks(window.Text1, QStringLiteral("abc"));
    QCOMPARE(window.Text1->text(), QStringLiteral("www.abc.com"));
}

void TestForm1::analyseSendsQuery_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<int>("key"); // 0: a click on Analyse; else this key pressed in Text1
    QTest::newRow("plain") << QStringLiteral("example.com") << 0;
    QTest::newRow("space") << QStringLiteral("exa mple.com") << 0;
    QTest::newRow("ampersand") << QStringLiteral("a&b.com") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("Chinese") << QStringLiteral("www.名称.com") << 0;
    QTest::newRow("Return in the domain field") << QStringLiteral("example.com") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter in the domain field") << QStringLiteral("example.com") << int(Qt::Key_Enter);
}

void TestForm1::analyseSendsQuery()
{
    QFETCH(QString, domain);
    QFETCH(int, key);
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    window.logic().setClock([] { return 3661.75; });
    window.load();
    browser.completeLast(QStringLiteral("<html><body></body></html>"));
    window.show();
    window.Text1->setText(domain);
    if (key == 0)
        QTest::mouseClick(window.CmdOk, Qt::LeftButton);
    else
        QTest::keyClick(window.Text1, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(browser.requested.size(), 2); // the notice page, then the query: one analysis
    QCOMPARE(browser.requested.last(),
             QStringLiteral("http://engine.test/s?wd=domain%3A") + domain
                 + QStringLiteral("&rsv_spt=1&issp=1&rsv_bp=0&ie=utf-8&tn=baiduhome_pg&inputT=8094&cache=3661"));
    QCOMPARE(window.Text2->text(), domain);
    QCOMPARE(window.lbTip->text(), QStringLiteral("正在进行分析，请等待..."));
    QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
    QCOMPARE(window.logic().record().State, QStringLiteral("ANAING"));
}

void TestForm1::exitButton()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    int exits = 0;
    window.setExitHandler([&exits] { ++exits; });
    window.show();
    QTest::mouseClick(window.cmdCancel, Qt::LeftButton);
    QCOMPARE(exits, 1);
}

void TestForm1::reportKeepsLineBreaks()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    window.setResultText(QStringLiteral("line 1\r\nline 2"));
    QCOMPARE(window.resultText(), QStringLiteral("line 1\r\nline 2"));
    QCOMPARE(window.TextResult->document()->blockCount(), 2);
    QCOMPARE(window.TextResult->toPlainText(), QStringLiteral("line 1\nline 2"));
}

void TestForm1::linkLabelClick()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    QStringList opened;
    window.setOpenHandler([&opened](const QString &address) { opened << address; });
    window.load();
    browser.completeLast(QStringLiteral("<html><body><a href=\"http://x.test/p?q=1\" title=\"说明\">友情链接</a>"
                                        "<br><a href=\"https://y.test/\">二</a></body></html>"));
    window.show();
    QVERIFY(window.lbLink[0]->isVisible());
    QCOMPARE(window.lbLink[0]->text(), QStringLiteral("友情链接"));
    QCOMPARE(window.lbLink[0]->toolTip(), QStringLiteral("说明"));
    QVERIFY(!window.lbLink[1]->isVisible());
    QVERIFY(window.lbLink[2]->isVisible());
    QCOMPARE(window.lbLink[2]->geometry().left(), twipsToPixels(240 + 800 + 100));
    QTest::mouseClick(window.lbLink[0], Qt::LeftButton);
    QCOMPARE(opened, QStringList{QStringLiteral("http://x.test/p?q=1")});
}

void TestForm1::exportThroughMenu_data()
{
    QTest::addColumn<QString>("chosen");   // what the dialog returns, in a temporary folder
    QTest::addColumn<int>("filter");       // the filter left selected: 0 CSV, 1 JSON, 2 text, 3 HTML
    QTest::addColumn<bool>("shortcut");    // Ctrl+S instead of the menu
    QTest::addColumn<QString>("written");  // the file that must exist afterwards; empty: none

    QTest::newRow("CSV, as suggested") << QStringLiteral("links.csv") << 0 << false << QStringLiteral("links.csv");
    QTest::newRow("JSON by the name's suffix, Ctrl+S") << QStringLiteral("links.json") << 0 << true
                                                       << QStringLiteral("links.json");
    QTest::newRow("no suffix: the text filter's") << QStringLiteral("links") << 2 << false << QStringLiteral("links.txt");
    QTest::newRow("no suffix: the HTML report filter's") << QStringLiteral("links") << 3 << false
                                                         << QStringLiteral("links.html");
    QTest::newRow(".htm under the CSV filter: the HTML report") << QStringLiteral("links.htm") << 0 << false
                                                                << QStringLiteral("links.htm");
    QTest::newRow("folder missing: a message, nothing else") << QStringLiteral("no/such/links.csv") << 0 << false
                                                             << QString();
}

void TestForm1::exportThroughMenu()
{
    QFETCH(QString, chosen);
    QFETCH(int, filter);
    QFETCH(bool, shortcut);
    QFETCH(QString, written);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    const QDateTime started(QDate(2011, 12, 25), QTime(10, 30, 15), QTimeZone(8 * 3600));
    window.setWallClock([&started] { return started; });
    QList<QPair<QString, QString>> messages;
    window.setMessageHandler([&messages](const QString &text, const QString &caption) { messages.append({text, caption}); });
    QString suggested;
    QStringList offered;
    window.setSaveDialog([&](const QString &path, const QStringList &filters, QString *selected) {
        suggested = path;
        offered = filters;
        if (*selected != filters.value(0))
            return QString(); // CSV is not the default: cancel, and the test fails below
        *selected = filters.value(filter);
        return dir.filePath(chosen);
    });
    window.load();
    browser.completeLast(QStringLiteral("<html><body></body></html>"));
    window.show();

    window.Text1->setText(QStringLiteral("www.example.com"));
    QTest::mouseClick(window.CmdOk, Qt::LeftButton);
    QVERIFY(!window.exportAction()->isEnabled());
    const QString page = resultsPage({addressLine(QStringLiteral("a.cn/1"), QStringLiteral("2011-7-9")),
                                      addressLine(QStringLiteral("b.cn/x,\"y\""), QStringLiteral("3小时前"))},
                                     totalText(QStringLiteral("2")));
    browser.completeLast(page); // the query page
    browser.completeLast(page); // results page 0: the report
    QCOMPARE(window.logic().record().State, QStringLiteral("COMP"));
    QVERIFY(window.exportAction()->isEnabled());
    const QString status = window.lbTip->text();
    const QString report = window.TextResult->toPlainText();

    if (shortcut) {
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.TextResult, Qt::Key_S, Qt::ControlModifier);
    } else {
        const QPoint at(10, 10);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, window.TextResult->viewport()->mapToGlobal(at));
        QApplication::sendEvent(window.TextResult->viewport(), &event);
        QMenu *menu = window.reportMenu();
        QTRY_VERIFY(menu->isVisible());
        QStringList entries;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                entries.append(action->text());
        }
        QCOMPARE(entries, (QStringList{QStringLiteral("复制"), QStringLiteral("全选"), QStringLiteral("导出…"),
                                       QStringLiteral("关于 Korvane…")}));
        window.exportAction()->trigger();
        menu->hide();
    }

    QCOMPARE(suggested, QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                            .filePath(QStringLiteral("www.example.com-20111225-1030.csv")));
    QCOMPARE(offered.size(), 4);
    QVERIFY(offered[0].contains(QLatin1String("*.csv")) && offered[1].contains(QLatin1String("*.json"))
            && offered[2].contains(QLatin1String("*.txt")));
    QCOMPARE(offered[3], QStringLiteral("HTML 报告 (*.html *.htm)"));
    // The window itself is as it was.
    QCOMPARE(window.lbTip->text(), status);
    QCOMPARE(window.TextResult->toPlainText(), report);

    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    if (written.isEmpty()) {
        QCOMPARE(files, QStringList());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].first.contains(dir.filePath(chosen)), qPrintable(messages[0].first));
        return;
    }
    QCOMPARE(messages.size(), 0);
    QCOMPARE(files, QStringList{written});
    QFile file(dir.filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (written.endsWith(QLatin1String(".csv"))) {
        QCOMPARE(bytes, QByteArray("\xEF\xBB\xBF"
                                   "domain,site,links,latest_date,latest_date_iso,latest_address,outcome\r\n"
                                   "www.example.com,a.cn,1,2011-7-9,2011-07-09,a.cn/1,complete\r\n"
                                   "www.example.com,b.cn,1,3小时前,2011-12-25T07:30:15+08:00,\"b.cn/x,\"\"y\"\"\",complete\r\n"));
    } else if (written.endsWith(QLatin1String(".json"))) {
        const QJsonObject object = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(object.value(QLatin1String("domain")).toString(), QStringLiteral("www.example.com"));
        QCOMPARE(object.value(QLatin1String("engine")).toString(), kOrigins.engine);
        QCOMPARE(object.value(QLatin1String("started_at")).toString(), QStringLiteral("2011-12-25T10:30:15+08:00"));
        QCOMPARE(object.value(QLatin1String("status")).toString(), status);
        QCOMPARE(object.value(QLatin1String("pages_requested")).toInt(), 2); // the notice page is not counted
        QCOMPARE(object.value(QLatin1String("pages_read")).toInt(), 2);
        QCOMPARE(object.value(QLatin1String("rows")).toArray().size(), 2);
    } else if (written.endsWith(QLatin1String(".html")) || written.endsWith(QLatin1String(".htm"))) {
        const QString html = QString::fromUtf8(bytes);
        QVERIFY(html.startsWith(QLatin1String("<!DOCTYPE html>")));
        QVERIFY(html.contains(QLatin1String("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none';")));
        QVERIFY(html.contains(QStringLiteral("<h1>对域名www.example.com的分析结果</h1>")));
        QVERIFY(html.contains(QStringLiteral("<dd>") + status + QStringLiteral("</dd>")));
        QVERIFY(html.contains(QLatin1String("<tr><td>a.cn<td>1<td>2011-7-9<td>a.cn/1\n")));
        QVERIFY(html.contains(QStringLiteral("<tr><td>b.cn<td>1<td>3小时前<td>b.cn/x,&quot;y&quot;\n")));
    } else {
        QCOMPARE(QString::fromUtf8(bytes), report + QLatin1Char('\n'));
    }
}

// Why the walk failed is the status line's tooltip, the status itself as ever; the next
// analysis that completes takes the tooltip away.
void TestForm1::failureOnStatusToolTip()
{
    FakeBrowser browser;
    browser.problem = QStringLiteral("connection refused (127.0.0.1:9)");
    Form1 window(browser, kOrigins);
    window.load();
    browser.completeLast(QStringLiteral("<html><body></body></html>"));
    window.Text1->setText(QStringLiteral("www.example.com"));
    QTest::mouseClick(window.CmdOk, Qt::LeftButton);
    browser.completeLast(QStringLiteral("<html><body></body></html>"), true); // the query page fails
    QCOMPARE(window.lbTip->text(), QStringLiteral("分析完成，但出现了页面无法访问的错误，您可以尝试再次分析！"));
    QCOMPARE(window.lbTip->toolTip(), QStringLiteral("第0页: connection refused (127.0.0.1:9)"));

    QTest::mouseClick(window.CmdOk, Qt::LeftButton);
    const QString page = resultsPage({addressLine(QStringLiteral("a.cn/1"), QStringLiteral("2011-7-9"))}, totalText(QStringLiteral("1")));
    browser.completeLast(page);
    browser.completeLast(page);
    QCOMPARE(window.lbTip->text(), QStringLiteral("分析已完成！"));
    QCOMPARE(window.lbTip->toolTip(), QString());
}

void TestForm1::aboutBox()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    QList<QPair<QString, QString>> messages;
    window.setMessageHandler([&messages](const QString &text, const QString &caption) { messages.append({text, caption}); });
    QVERIFY(window.reportMenu()->actions().contains(window.aboutAction()));
    QVERIFY(window.aboutAction()->isEnabled()); // before any analysis too
    window.aboutAction()->trigger();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].second, QStringLiteral("关于 Korvane"));
    QCOMPARE(messages[0].first.split(QLatin1Char('\n')),
             (QStringList{QStringLiteral("Korvane " KORVANE_VERSION), QStringLiteral("搜索引擎：http://engine.test"),
                          QStringLiteral("通知服务器：http://notice.test"),
                          QStringLiteral("主页：" KORVANE_HOMEPAGE)}));
}

void TestForm1::buttonFocusIsVisible_data()
{
    QTest::addColumn<bool>("analyse"); // CmdOk, else cmdCancel
    QTest::newRow("分析") << true;
    QTest::newRow("退出") << false;
}

void TestForm1::buttonFocusIsVisible()
{
    QFETCH(bool, analyse);
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    int exits = 0;
    window.setExitHandler([&exits] { ++exits; });
    QPushButton *button = analyse ? window.CmdOk : window.cmdCancel;
    QPushButton plain(button->text(), &window); // the style's own button, for the look
    plain.setGeometry(button->geometry());
    plain.setDefault(button->isDefault());
    plain.lower();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QImage unfocused = button->grab().toImage();
    QCOMPARE(unfocused, plain.grab().toImage()); // without keyboard focus nothing changes

    window.Text1->setFocus();
    for (int i = 0; i < 6 && !button->hasFocus(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(button->hasFocus());
    QVERIFY(button->grab().toImage() != unfocused);

    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(browser.requested.size(), analyse ? 1 : 0);
    QCOMPARE(exits, analyse ? 0 : 1);
}

void TestForm1::busyPointerCoversEveryControl()
{
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    int exits = 0;
    window.setExitHandler([&exits] { ++exits; });
    window.load();
    browser.completeLast(QStringLiteral("<html><body><a href=\"http://x.test/\">链接</a></body></html>"));
    window.show();
    QCOMPARE(window.Text1->cursor().shape(), Qt::IBeamCursor);
    QCOMPARE(window.TextResult->viewport()->cursor().shape(), Qt::IBeamCursor);
    const QList<QWidget *> controls = window.findChildren<QWidget *>();
    QHash<QWidget *, Qt::CursorShape> normal;
    for (QWidget *control : controls)
        normal.insert(control, control->cursor().shape());

    window.setMousePointer(11);
    window.setMousePointer(11); // Analyse during a walk sets it again
    QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
    for (QWidget *control : controls) {
        if (control->window() == &window) // not the report box's menu, a window of its own
            QVERIFY2(control->cursor().shape() == Qt::WaitCursor, control->metaObject()->className());
    }
    QTest::mouseClick(window.CmdOk, Qt::LeftButton);
    QCOMPARE(browser.requested.size(), 2);
    QTest::mouseClick(window.cmdCancel, Qt::LeftButton);
    QCOMPARE(exits, 1);

    window.setMousePointer(0);
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    for (QWidget *control : controls)
        QCOMPARE(control->cursor().shape(), normal.value(control));
}

void TestForm1::qtTextsInChinese()
{
    const auto menuTexts = [](QMenu *menu) {
        std::unique_ptr<QMenu> owned(menu);
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator())
                texts.append(action->text().section(QLatin1Char('\t'), 0, 0)); // without the shortcut
        }
        return texts;
    };
    QVERIFY(!installQtTranslation(QStringLiteral(KORVANE_TEST_DATA_DIR "/no-such-folder")));
    FakeBrowser browser;
    Form1 window(browser, kOrigins);
    QCOMPARE(menuTexts(window.textLinkCount->createStandardContextMenu()).last(), QStringLiteral("Select All"));

    QVERIFY(installQtTranslation());
    QCOMPARE(menuTexts(window.Text1->createStandardContextMenu()),
             (QStringList{QStringLiteral("撤消(&U)"), QStringLiteral("重做(&R)"), QStringLiteral("剪切(&T)"),
                          QStringLiteral("复制(&C)"), QStringLiteral("粘贴(&P)"), QStringLiteral("删除"),
                          QStringLiteral("全选")}));
    QCOMPARE(menuTexts(window.textLinkCount->createStandardContextMenu()),
             (QStringList{QStringLiteral("复制(&C)"), QStringLiteral("全选")}));

    // The update notice's message box, as the window shows it.
    window.show();
    QString button;
    QTimer::singleShot(0, &window, [&button] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            button = box->button(QMessageBox::Ok)->text();
            box->accept();
        }
    });
    window.showMessage(QStringLiteral("请下载新版本"), QStringLiteral("工程1"));
    QCOMPARE(button, QStringLiteral("确定"));
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
