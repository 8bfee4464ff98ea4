// korvane-cli: one analysis without the window. Same addresses, walk and report as the window;
// the report goes to standard output, the final status line to standard error.

#include "browser/web_browser.h"
#include "core/form_view.h"
#include "core/status.h"
#include "crawl/form1_logic.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QUrl>

#include <cstdio>

namespace {

using namespace korvane;

// The window as plain strings.
class CliView : public FormView
{
public:
    explicit CliView(QString domain) : m_domain(std::move(domain)) {}

    QString domainText() const override { return m_domain; }
    QString markerText() const override { return m_marker; }
    void setMarkerText(const QString &text) override { m_marker = text; }
    QString resultText() const override { return m_result; }
    void setResultText(const QString &text) override { m_result = text; }
    void setLinkCountText(const QString &) override {}
    void setSiteCountText(const QString &) override {}
    QString statusText() const override { return m_status; }
    void setStatusText(const QString &text) override { m_status = text; }
    void setMousePointer(int) override {}
    void updateLinkLabel(int, const LinkLabel &) override {}
    void showMessage(const QString &, const QString &) override {}
    void openExternal(const QString &) override {}

private:
    QString m_domain;
    QString m_marker;
    QString m_result;
    QString m_status;
};

// "http://host[:port]" with nothing after it, or an empty text when `text` is not one.
QString engineOrigin(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() || url.hasFragment()
        || !url.userInfo().isEmpty())
        return QString();
    return url.adjusted(QUrl::StripTrailingSlash).toString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-cli"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Analyses the backlinks of DOMAIN as the search engine shows them for the query "
        "domain:DOMAIN and prints the report. The final status line goes to standard error.\n"
        "Exit status: 0 report written, 1 stopped without a report, 2 usage error, "
        "3 the search engine refused (asked for a verification); the report then holds what "
        "was read before."));
    parser.addHelpOption();
    const QCommandLineOption engineOption(
        QStringLiteral("engine"),
        QStringLiteral("The search engine's scheme, host and optional port (default: %1).")
            .arg(Origins::builtIn().engine),
        QStringLiteral("URL"));
    parser.addOption(engineOption);
    parser.addPositionalArgument(QStringLiteral("DOMAIN"), QStringLiteral("The domain to analyse."));

    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "korvane-cli: %s\n\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "korvane-cli: give exactly one DOMAIN\n\n%s", qPrintable(parser.helpText()));
        return 2;
    }

    Origins origins = Origins::builtIn();
    if (parser.isSet(engineOption)) {
        origins.engine = engineOrigin(parser.value(engineOption));
        if (origins.engine.isEmpty()) {
            std::fprintf(stderr, "korvane-cli: --engine takes http://host[:port], not \"%s\"\n\n%s",
                         qPrintable(parser.value(engineOption)), qPrintable(parser.helpText()));
            return 2;
        }
    }

    CliView view(parser.positionalArguments().constFirst());
    WebBrowser browser;
    Form1Logic logic(view, browser, origins);
    QObject::connect(&logic, &Form1Logic::analysisFinished, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&logic, &Form1Logic::walkStopped, &app, [] { QCoreApplication::exit(1); });
    logic.OnAnalyseClick();
    const int status = app.exec();

    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    if (status == 0) {
        QString report = view.resultText();
        report.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out << report << '\n';
        out.flush();
    }
    QTextStream err(stderr);
    err.setEncoding(QStringConverter::Utf8);
    err << view.statusText() << '\n';
    if (status == 0 && outcomeOf(logic.record()) == AnalysisOutcome::Refused)
        return 3;
    return status;
}
