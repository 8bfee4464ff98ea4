// korvane-fake-engine: the fake search engine and notice server, by hand.
//   korvane-fake-engine --port 8080 --total 45
// then build Korvane with -DKORVANE_ENGINE_ORIGIN=http://127.0.0.1:8080 (or run
// korvane-cli --engine http://127.0.0.1:8080 --delay 0 example.com).

#include "fake_engine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves results pages in the search engine's markup for any domain:DOMAIN query, and "
        "the notice page, on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port to listen on (0: any)."),
                                  QStringLiteral("N"), QStringLiteral("8080"));
    const QCommandLineOption total(QStringLiteral("total"), QStringLiteral("Results per domain."),
                                   QStringLiteral("N"), QStringLiteral("45"));
    const QCommandLineOption sites(QStringLiteral("sites"), QStringLiteral("Linking sites per domain."),
                                   QStringLiteral("N"), QStringLiteral("7"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Wait before each answer."),
                                   QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption gb2312(QStringLiteral("gb2312"), QStringLiteral("Serve GB2312-labelled bytes."));
    const QCommandLineOption refuse(
        QStringLiteral("refuse"),
        QStringLiteral("Refuse every query page: redirect (to the captcha path), security or "
                       "access-error (a verification page)."),
        QStringLiteral("how"));
    const QCommandLineOption layout(
        QStringLiteral("layout"),
        QStringLiteral("The engine's page markup of that year: 2011, 2015, 2018, 2021 or 2026 (no total)."),
        QStringLiteral("year"), QStringLiteral("2011"));
    const QCommandLineOption noResults(QStringLiteral("no-results"),
                                       QStringLiteral("Answer every query with the engine's \"no results\" page."));
    const QCommandLineOption unknownLayout(QStringLiteral("unknown-layout"),
                                           QStringLiteral("Serve a search template that Korvane cannot read."));
    parser.addOptions({port, total, sites, delay, gb2312, refuse, layout, noResults, unknownLayout});
    parser.process(app);

    korvane::testing::EngineDomain config;
    config.total = parser.value(total).toInt();
    config.sites = parser.value(sites).toInt();
    config.delay = std::chrono::milliseconds(parser.value(delay).toInt());
    config.gb2312 = parser.isSet(gb2312);
    config.layout = parser.value(layout).toInt();
    if (!QList<int>{2011, 2015, 2018, 2021, 2026}.contains(config.layout)) {
        std::fprintf(stderr, "korvane-fake-engine: --layout takes 2011, 2015, 2018, 2021 or 2026\n");
        return 2;
    }
    config.noResults = parser.isSet(noResults);
    config.unknownLayout = parser.isSet(unknownLayout);
    if (parser.isSet(refuse)) {
        using Refusal = korvane::testing::EngineDomain::Refusal;
        const QHash<QString, Refusal> kinds = {{QStringLiteral("redirect"), Refusal::CaptchaRedirect},
                                               {QStringLiteral("security"), Refusal::SecurityPage},
                                               {QStringLiteral("access-error"), Refusal::AccessErrorPage}};
        if (!kinds.contains(parser.value(refuse))) {
            std::fprintf(stderr, "korvane-fake-engine: --refuse takes redirect, security or access-error\n");
            return 2;
        }
        config.refusals.insert(-1, kinds.value(parser.value(refuse)));
    }

    korvane::testing::FakeEngine engine;
    engine.setDefaultDomain(config);
    if (!engine.start(quint16(parser.value(port).toUInt()))) {
        std::fprintf(stderr, "korvane-fake-engine: cannot listen on 127.0.0.1:%s\n",
                     qPrintable(parser.value(port)));
        return 1;
    }
    std::printf("%s\n", qPrintable(engine.origin()));
    std::fflush(stdout);
    return app.exec();
}
