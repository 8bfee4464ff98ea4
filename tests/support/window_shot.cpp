// korvane-window-shot: shows the window against the fake engine, runs one analysis and saves a
// screenshot of the screen area the window covers. Meant for a real X server (Xvfb), so the
// picture is what a user sees; scripts/screenshot runs it.

#include "app/form1.h"
#include "browser/web_browser.h"
#include "fake_engine.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QSignalSpy>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

using namespace korvane;

namespace {

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("PNG file to write."),
                                 QStringLiteral("file"), QStringLiteral("screenshot.png"));
    const QCommandLineOption domain(QStringLiteral("domain"), QStringLiteral("Domain to analyse."),
                                    QStringLiteral("text"), QStringLiteral("example.com"));
    parser.addOptions({out, domain});
    parser.process(app);
    installFontSubstitutions();

    testing::FakeEngine engine;
    testing::EngineDomain config;
    config.total = 4050;
    config.distinctPages = 6; // the engine then repeats itself, which ends the walk
    config.sites = 17;
    engine.setDomain(parser.value(domain), config);
    engine.setNotice({QStringLiteral("<a href=\"http://www.korvane.org/\" title=\"Korvane 主页\">官方网站</a>"),
                      QStringLiteral("<a href=\"http://www.korvane.org/help\" title=\"使用帮助\">使用帮助</a>"),
                      QStringLiteral("<a href=\"http://www.korvane.org/faq\" title=\"常见问题\">常见问题</a>")});
    if (!engine.start()) {
        std::fprintf(stderr, "korvane-window-shot: cannot start the fake engine\n");
        return 1;
    }

    WebBrowser browser;
    browser.setProxyRules(ProxyRules()); // the local server, whatever the environment says
    Form1 window(browser, Origins{engine.origin(), engine.origin()});
    window.move(0, 0);
    window.load();
    window.show();
    if (!QSignalSpy(&window.logic(), &Form1Logic::startupFinished).wait(10000)) {
        std::fprintf(stderr, "korvane-window-shot: start-up did not finish\n");
        return 1;
    }
    window.Text1->setText(parser.value(domain));
    window.CmdOk->click();
    if (!QSignalSpy(&window.logic(), &Form1Logic::analysisFinished).wait(60000)) {
        std::fprintf(stderr, "korvane-window-shot: the analysis did not finish\n");
        return 1;
    }
    settle(300); // let the X server draw the last frame
    const QRect area = window.frameGeometry();
    const QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!shot.save(parser.value(out))) {
        std::fprintf(stderr, "korvane-window-shot: cannot write %s\n", qPrintable(parser.value(out)));
        return 1;
    }
    std::printf("%s\n", qPrintable(parser.value(out)));
    return 0;
}
