#include "browser/web_browser.h"
#include "form1.h"

#include <QApplication>
#include <QClipboard>
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

// Ends the process once the window and the browser are gone. Qt's own teardown (the
// application object's destructor and the global objects after it) waits for every host-name
// lookup that is still running: a lookup is a blocking getaddrinfo() on one of Qt's threads
// and cannot be cancelled, so an unanswered one (the notice server's, say, when the name
// server is slow) would keep the process alive for seconds after the window has vanished.
// Nothing of ours is left to finish by then, so the process ends here, output flushed.
// Except when the clipboard holds text copied from the window: Qt's teardown hands it to the
// desktop's clipboard manager, so that it can still be pasted after the program has gone.
int leave(int status)
{
    if (QGuiApplication::clipboard()->ownsClipboard())
        return status;
    std::fflush(nullptr);
    std::_Exit(status);
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
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));
    korvane::installFontSubstitutions();
    korvane::installQtTranslation(); // without it Qt's few texts stay English

    int status = 0;
    {
        korvane::WebBrowser browser;
        korvane::Form1 window(browser, korvane::Origins::builtIn());
        window.load();
        window.show();
        status = app.exec();
    } // the window goes first, then the browser, abandoning a load in progress
    return leave(status);
}
