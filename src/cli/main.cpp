// korvane-cli: the window's analysis without the window, for one domain or many. Same
// addresses, walk and report as the window; the export goes to standard output or a file,
// the status lines to standard error.

#include "batch_run.h"
#include "browser/web_browser.h"
#include "cli_view.h"
#include "crawl/form1_logic.h"
#include "crawl/metered_browser.h"
#include "interruption.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

using namespace korvane;

constexpr double kMaxDelaySeconds = 3600;

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

// A usage error in one line, exit status 2.
int usageError(const QString &message)
{
    std::fprintf(stderr, "korvane-cli: %s\n", message.toUtf8().constData());
    return kExitUsage;
}

// The domains listed in `path` ("-": standard input): one a line, blanks around it ignored,
// blank lines and lines starting with "#" skipped. nullopt when it cannot be read.
std::optional<QStringList> readDomainList(const QString &path, QString *error)
{
    QFile file;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                   : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    QByteArray bytes;
    if (opened)
        bytes = file.readAll();
    if (!opened || file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringList domains;
    for (const QString &line : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        const QString domain = line.trimmed();
        if (!domain.isEmpty() && !domain.startsWith(QLatin1Char('#')))
            domains.append(domain);
    }
    return domains;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Analyses the backlinks of each DOMAIN as the search engine shows them for the query "
        "domain:DOMAIN, one domain after another, and prints the reports (or CSV or JSON). The "
        "final status line of each domain goes to standard error.\n"
        "\n"
        "Exit status:\n"
        "  0      every analysis ended with its report\n"
        "  1      an analysis stopped without a report\n"
        "  2      usage error; nothing was analysed\n"
        "  3      the search engine refused (asked for a verification): that domain's report\n"
        "         holds what was read before, the domains after it are not analysed\n"
        "  4      the output could not be written\n"
        "  5      the search engine's pages could not be read (a page layout this program does\n"
        "         not know): that domain's report says so; the next domains are analysed\n"
        "  128+N  interrupted by signal N (130 for Ctrl+C); FILE is left as it was\n"
        "When domains end differently, 4 wins over 3, 3 over 5, 5 over 1, and 1 over 0."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption engineOption(
        QStringLiteral("engine"),
        QStringLiteral("The search engine's scheme, host and optional port (default: %1).")
            .arg(Origins::builtIn().engine),
        QStringLiteral("URL"));
    const QCommandLineOption formatOption(
        QStringLiteral("format"), QStringLiteral("text (the report, the default), csv or json (JSON Lines)."),
        QStringLiteral("FORMAT"), QStringLiteral("text"));
    const QCommandLineOption outputOption(
        QStringLiteral("output"),
        QStringLiteral("Write to FILE instead of standard output (\"-\"). FILE is replaced only once the run has "
                       "ended; an interrupted or failed run leaves it as it was."),
        QStringLiteral("FILE"));
    const QCommandLineOption noBomOption(QStringLiteral("no-bom"),
                                         QStringLiteral("CSV without the UTF-8 byte-order mark."));
    const QCommandLineOption inputOption(
        QStringLiteral("input"),
        QStringLiteral("Also analyse the domains listed in FILE (\"-\": standard input), one a line; blank lines "
                       "and lines starting with # are skipped."),
        QStringLiteral("FILE"));
    const QCommandLineOption delayOption(
        QStringLiteral("delay"),
        QStringLiteral("Wait before every request after the first, drawn between 0.5 and 1.5 times SECONDS "
                       "(default 0, at most %1).")
            .arg(kMaxDelaySeconds),
        QStringLiteral("SECONDS"), QStringLiteral("0"));
    const QCommandLineOption progressOption(
        QStringLiteral("progress"),
        QStringLiteral("Show the progress line on standard error even when it is not a terminal."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("No progress line."));
    parser.addOptions({engineOption, formatOption, outputOption, noBomOption, inputOption, delayOption,
                       progressOption, quietOption});
    parser.addPositionalArgument(QStringLiteral("DOMAIN"), QStringLiteral("The domains to analyse."),
                                 QStringLiteral("DOMAIN..."));

    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "korvane-cli: %s\n\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return kExitUsage;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    Origins origins = Origins::builtIn();
    if (parser.isSet(engineOption)) {
        origins.engine = engineOrigin(parser.value(engineOption));
        if (origins.engine.isEmpty()) {
            std::fprintf(stderr, "korvane-cli: --engine takes http://host[:port], not \"%s\"\n\n%s",
                         qPrintable(parser.value(engineOption)), qPrintable(parser.helpText()));
            return kExitUsage;
        }
    }

    BatchSettings settings;
    settings.engine = origins.engine;
    const auto format = exportFormatNamed(parser.value(formatOption));
    if (!format)
        return usageError(QStringLiteral("--format takes text, csv or json, not \"%1\"").arg(parser.value(formatOption)));
    settings.format = {*format, !parser.isSet(noBomOption)};

    bool delayRead = false;
    const double delay = QLocale::c().toDouble(parser.value(delayOption), &delayRead);
    if (!delayRead || !std::isfinite(delay) || delay < 0 || delay > kMaxDelaySeconds)
        return usageError(QStringLiteral("--delay takes a number of seconds from 0 to %1, not \"%2\"")
                              .arg(kMaxDelaySeconds)
                              .arg(parser.value(delayOption)));

    for (const QString &domain : parser.positionalArguments()) {
        if (domain.trimmed().isEmpty())
            return usageError(QStringLiteral("a DOMAIN is empty"));
        settings.domains.append(domain);
    }
    if (parser.isSet(inputOption)) {
        const QString path = parser.value(inputOption);
        QString error;
        const auto listed = readDomainList(path, &error);
        if (!listed)
            return usageError(QStringLiteral("cannot read --input %1: %2").arg(path, error));
        if (listed->isEmpty())
            return usageError(QStringLiteral("--input %1 lists no domain").arg(path));
        settings.domains += *listed;
    }
    if (settings.domains.isEmpty()) {
        std::fprintf(stderr, "korvane-cli: give a DOMAIN, or --input FILE\n\n%s", qPrintable(parser.helpText()));
        return kExitUsage;
    }

    // The output: a file replaced at the end, or standard output as the run goes.
    const QString outputPath = parser.value(outputOption);
    const bool toFile = parser.isSet(outputOption) && outputPath != QLatin1String("-");
    std::unique_ptr<QFileDevice> out;
    if (toFile) {
        auto file = std::make_unique<QSaveFile>(outputPath);
        // Unbuffered: a write that fails fails at once and is remembered by the file, so that
        // commit() refuses to replace the old file. (A failure of the final flush inside
        // commit() would not be.)
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return usageError(QStringLiteral("cannot write %1: %2").arg(outputPath, file->errorString()));
        out = std::move(file);
    } else {
        auto file = std::make_unique<QFile>();
        if (!file->open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered))
            return usageError(QStringLiteral("cannot write to standard output: %1").arg(file->errorString()));
        out = std::move(file);
    }
    const QString outName = toFile ? outputPath : QStringLiteral("standard output");

    settings.progress = !parser.isSet(quietOption) && (parser.isSet(progressOption) || isatty(fileno(stderr)));

    CliView view;
    WebBrowser webBrowser;
    MeteredBrowser browser(webBrowser);
    browser.setDelay(std::chrono::milliseconds(std::llround(delay * 1000)));
    Form1Logic logic(view, browser, origins);
    BatchRun run(settings, logic, view, browser, *out, outName);
    Interruption interruption;
    QObject::connect(&interruption, &Interruption::interrupted, &run, &BatchRun::interrupt);
    QTimer::singleShot(0, &run, &BatchRun::start);
    int status = app.exec();

    if (toFile) {
        auto *file = static_cast<QSaveFile *>(out.get());
        if (status == kExitOutputFailed || status >= 128) {
            file->cancelWriting();
        } else if (!file->commit()) {
            std::fprintf(stderr, "korvane-cli: cannot write %s: %s\n", outputPath.toUtf8().constData(),
                         file->errorString().toUtf8().constData());
            status = kExitOutputFailed;
        }
    }
    return status;
}
