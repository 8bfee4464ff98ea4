#include "browser/web_browser.h"
#include "form1.h"

#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Started where there is no display, say so in one line instead of the toolkit's abort.
bool displayAvailable()
{
#ifdef Q_OS_WIN
    return true; // a Windows session always has its desktop
#else
    const auto has = [](const char *name) {
        const char *value = std::getenv(name);
        return value && *value;
    };
    return has("QT_QPA_PLATFORM") || has("DISPLAY") || has("WAYLAND_DISPLAY");
#endif
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

constexpr int kExitUsage = 2;

// The window's options: only --help and --version, which print and end without a window.
void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "The Korvane window: the backlinks of a domain as the search engine lists them for the "
        "query domain:DOMAIN. Right-click the report for 导出… (CSV, JSON or text, also Ctrl+S) "
        "and 关于 Korvane… (the version, the servers and the homepage). korvane-cli runs the "
        "same analysis without the window.\n"
        "\n"
        "Exit status:\n"
        "  0      the window was closed, or --help or --version printed\n"
        "  1      no display to open the window on\n"
        "  2      usage error (an unknown option or an argument); no window was opened"));
    // Qt's own help option would add --help-all, which lists Qt's options: the window
    // has nothing to say about those.
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help and ends.")));
    parser.addVersionOption();
}

enum class Request { Window, Printed, UsageError };

// Reads the command line. --help and --version print to standard output, a usage error goes to
// standard error with the help.
Request readCommandLine(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "korvane: %s\n\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
        return Request::UsageError;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return Request::Printed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fputs("korvane " KORVANE_VERSION "\n", stdout);
        return Request::Printed;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "korvane: takes no arguments, not \"%s\"\n\n%s",
                     qPrintable(parser.positionalArguments().constFirst()), qPrintable(parser.helpText()));
        return Request::UsageError;
    }
    return Request::Window;
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before anything needs a display. Qt's own options (-platform,
    // -style, …) are unknown here; when the first reading fails, the second, after the
    // application object has taken Qt's options out, decides.
    bool readAgain = false;
    {
        QCoreApplication reader(argc, argv);
        QCommandLineParser parser;
        describeOptions(parser);
        if (parser.parse(QCoreApplication::arguments())) {
            const Request request = readCommandLine(parser, QCoreApplication::arguments());
            if (request != Request::Window)
                return request == Request::Printed ? 0 : kExitUsage;
        } else if (!displayAvailable()) {
            readCommandLine(parser, QCoreApplication::arguments()); // says what is wrong
            return kExitUsage;
        } else {
            readAgain = true;
        }
    }
    if (!displayAvailable()) {
        std::fputs("korvane: no display found (DISPLAY is not set); start it from a desktop "
                   "session, or without one as: xvfb-run -a korvane\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    if (readAgain) {
        QCommandLineParser parser;
        describeOptions(parser);
        const Request request = readCommandLine(parser, QCoreApplication::arguments());
        if (request != Request::Window)
            return request == Request::Printed ? 0 : kExitUsage;
    }
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
