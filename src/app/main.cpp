#include "browser/web_browser.h"
#include "form1.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Started where there is no display, say so in one line instead of the toolkit's abort.
bool displayAvailable()
{
    const auto has = [](const char *name) {
        const char *value = std::getenv(name);
        return value && *value;
    };
    return has("QT_QPA_PLATFORM") || has("DISPLAY") || has("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fputs("korvane: no display found (DISPLAY is not set); start it from a desktop "
                   "session, or without one as: xvfb-run -a korvane\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));
    korvane::installFontSubstitutions();
    korvane::installQtTranslation(); // without it Qt's few texts stay English

    korvane::WebBrowser browser;
    korvane::Form1 window(browser, korvane::Origins::builtIn());
    window.load();
    window.show();
    return app.exec();
}
