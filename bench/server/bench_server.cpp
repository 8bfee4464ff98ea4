// Prints how fast korvane-server answers over a large store, with the targets:
//  - the dashboard of 1,000 tracked domains, server time: under 100 ms;
//  - a domain page (30 analyses of 100 sites): under 50 ms;
//  - GET /api/v1/analyses/<id>: under 20 ms;
//  - 50 concurrent API clients for 60 s (wrk, against the real korvane-server), each asking
//    for one analysis after another (GET /api/v1/analyses/<id>, at random): no error, p99
//    under 250 ms;
//  - the server's resident memory over that load: its peak in the last 10 s no higher than in
//    the first 10 s.
// The store is an SQLite file in a temporary folder, filled through the store's own functions
// with 1,000 domains x 30 analyses x 100 sites (each analysis gains one site and loses one
// against the one before). Server time is the time of the handler the server runs for the
// request (WebApp::handle), without the socket.
//   bench_server [--seconds N] [--store PATH]
// --seconds: the load's length (60 by default). --store: fill the store at PATH, or use it as
// an earlier run filled it (to run again without the two minutes of filling).

#include "bench_analysis.h"
#include "bench_timing.h"
#include "server/credentials.h"
#include "server/web_app.h"
#include "store/accounts.h"
#include "store/history.h"
#include "store/history_store.h"
#include "store/tracked_domains.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <unistd.h>

using namespace korvane;

namespace {

constexpr int kDomains = 1000;
constexpr int kAnalyses = 30;
constexpr int kSites = 100;
constexpr int kDomainsPerTransaction = 20;

QString domainName(int i) { return QStringLiteral("d%1.example.com").arg(i, 4, 10, QLatin1Char('0')); }

// Fills the store; the ids of the analyses recorded, or an empty list on failure.
QList<qint64> fill(HistoryStore &store, const QDateTime &now)
{
    QStringList domains;
    for (int d = 0; d < kDomains; ++d)
        domains.append(domainName(d));
    TrackedDomains tracked(store);
    if (!tracked.track(domains, 24, now)) {
        std::fprintf(stderr, "%s\n", qPrintable(tracked.errorString()));
        return {};
    }
    QList<qint64> ids;
    for (int first = 0; first < kDomains; first += kDomainsPerTransaction) {
        QList<HistoryStore::AnalysisWithSites> batch;
        for (int d = first; d < first + kDomainsPerTransaction; ++d) {
            for (int day = 0; day < kAnalyses; ++day) {
                // A day apart, the latest yesterday; one site gained and one lost each day.
                const QDateTime started = now.addDays(day - kAnalyses);
                FinishedAnalysis a = bench::largeAnalysis(kSites, d * 3 + day + 1, day, started);
                a.domain = domains.at(d);
                a.engine = QStringLiteral("http://127.0.0.1:8080");
                batch.append({storedAnalysisOf(a), storedSitesOf(a)});
            }
        }
        const auto recorded = store.recordAll(batch);
        if (!recorded) {
            std::fprintf(stderr, "%s\n", qPrintable(store.errorString()));
            return {};
        }
        ids += *recorded;
    }
    return ids;
}

// The ids of a store that fill() filled: one run, so one unbroken range.
QList<qint64> filledBefore(HistoryStore &store)
{
    const auto first = store.analyses(domainName(0));
    const auto last = store.analyses(domainName(kDomains - 1));
    if (!first || !last || first->size() != kAnalyses || last->size() != kAnalyses) {
        std::fprintf(stderr, "not a store this benchmark filled: %s\n", qPrintable(store.errorString()));
        return {};
    }
    QList<qint64> ids;
    for (qint64 id = first->first().id; id <= last->last().id; ++id)
        ids.append(id);
    return ids;
}

HttpRequest get(const QString &path, const QByteArray &header, const QByteArray &value)
{
    HttpRequest request;
    request.method = "GET";
    request.path = path;
    request.headers.insert(header, value);
    request.remoteAddress = QStringLiteral("127.0.0.1");
    return request;
}

// Best and median of `runs` calls, in milliseconds, and whether every answer was 200.
struct Timing
{
    double first = 0; // the first request, before anything was cached
    double best = 0;
    double median = 0;
    bool ok = true;
    qsizetype bytes = 0;
};

Timing timed(WebApp &app, const HttpRequest &request, int runs)
{
    Timing t;
    std::vector<double> ms;
    QElapsedTimer first;
    first.start();
    app.handle(request); // warms the caches
    t.first = double(first.nsecsElapsed()) / 1e6;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const HttpResponse response = app.handle(request);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        t.ok = t.ok && response.status == 200;
        t.bytes = response.body.size();
    }
    std::sort(ms.begin(), ms.end());
    t.best = ms.front();
    t.median = ms.at(ms.size() / 2);
    return t;
}

qint64 rssKiB(qint64 pid, const char *field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The processor time a process has used so far, in seconds (user and system).
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command's name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The load: wrk's own figures, read from what its script prints at the end.
const char *const kWrkScript = R"(-- One analysis after another, each chosen at random among all of them.
local first, last = @FIRST@, @LAST@
local threads = 0
setup = function(thread)
  threads = threads + 1
  thread:set("seed", threads)
end
init = function(args)
  math.randomseed(seed)
end
request = function()
  return wrk.format("GET", "/api/v1/analyses/" .. math.random(first, last))
end
done = function(summary, latency, requests)
  local e = summary.errors
  io.write(string.format("korvane-load requests=%d connect=%d read=%d write=%d timeout=%d status=%d p50=%d p99=%d max=%d\n",
    summary.requests, e.connect, e.read, e.write, e.timeout, e.status,
    latency:percentile(50), latency:percentile(99), latency.max))
end
)";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int seconds = 60;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QString path = dir.filePath(QStringLiteral("history.sqlite"));
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--seconds") && i + 1 < args.size())
            seconds = std::max(20, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--store") && i + 1 < args.size())
            path = args.at(i + 1);
        else {
            std::fprintf(stderr, "usage: bench_server [--seconds N] [--store PATH]\n");
            return 2;
        }
    }
    if (!credentialsReady()) {
        std::fprintf(stderr, "libsodium cannot be used\n");
        return 1;
    }
    const bool filled = QFile::exists(path);
    const QDateTime now = QDateTime::currentDateTimeUtc();

    // The store, with a user and an API token of hers.
    HistoryStore store;
    if (!store.open(path, HistoryStore::Access::ReadWrite)) {
        std::fprintf(stderr, "%s\n", qPrintable(store.errorString()));
        return 1;
    }
    QElapsedTimer filling;
    filling.start();
    const QList<qint64> ids = filled ? filledBefore(store) : fill(store, now);
    if (ids.isEmpty())
        return 1;
    if (filled)
        std::printf("store filled by an earlier run: %s\n", qPrintable(path));
    else
        std::printf("store filled: %d domains x %d analyses x %d sites in %.1f s\n", kDomains, kAnalyses, kSites,
                    double(filling.elapsed()) / 1000.0);
    const QString token = newApiToken();
    {
        Accounts accounts(store);
        const auto hash = hashPassword(QStringLiteral("bench-password"), HashCost::Minimal);
        if (!hash || !accounts.addUser(QStringLiteral("bench"), QStringLiteral("admin"), *hash)
            || !accounts.addToken(QStringLiteral("bench"), tokenHash(token))) {
            std::fprintf(stderr, "cannot add the user: %s\n", qPrintable(accounts.errorString()));
            return 1;
        }
    }

    // Server time: the handler the server runs for each request.
    {
        WebApp web(store, [] { return QDateTime::currentDateTimeUtc(); });
        const QByteArray session = web.sessions().start(QStringLiteral("bench"));
        const QByteArray cookie = "korvane_session=" + session;
        const qint64 middle = ids.at(ids.size() / 2);
        const Timing dashboard = timed(web, get(QStringLiteral("/"), "cookie", cookie), 10);
        const Timing domain = timed(web, get(QStringLiteral("/domains/") + domainName(500), "cookie", cookie), 20);
        const Timing analysis = timed(
            web, get(QStringLiteral("/api/v1/analyses/%1").arg(middle), "authorization", "Bearer " + token.toLatin1()), 50);
        const auto line = [](const char *what, const Timing &t, const char *target) {
            std::printf("%-34s best %7.2f ms, median %7.2f ms (target < %s), %lld bytes%s\n", what, t.best, t.median,
                        target, static_cast<long long>(t.bytes), t.ok ? "" : " NOT 200");
        };
        line("dashboard, 1,000 domains:", dashboard, "100 ms");
        TrackedDomains tracked(store);
        const double overview = bench::bestMillis(5, [&] { tracked.overview(WebApp::kRecentAnalyses); });
        TrackedDomains::ChangeCache kept;
        tracked.overview(WebApp::kRecentAnalyses, &kept);
        const double overviewKept = bench::bestMillis(5, [&] { tracked.overview(WebApp::kRecentAnalyses, &kept); });
        std::printf("  the first request (nothing kept yet): %.2f ms; of a request, the store's overview: best\n"
                    "  %.2f ms with the changes the server keeps between requests, %.2f ms without\n",
                    dashboard.first, overviewKept, overview);
        line("a domain page, 30 analyses:", domain, "50 ms");
        line("GET /api/v1/analyses/<id>:", analysis, "20 ms");
        const Timing list = timed(web,
                                  get(QStringLiteral("/api/v1/domains/%1/analyses").arg(domainName(500)), "authorization",
                                      "Bearer " + token.toLatin1()),
                                  20);
        std::printf("%-34s best %7.2f ms, median %7.2f ms (not in the load), %lld bytes%s\n",
                    "GET /api/v1/domains/<d>/analyses:", list.best, list.median, static_cast<long long>(list.bytes),
                    list.ok ? "" : " NOT 200");
    }

    // The load, against the real server on a port of its own.
    const quint16 port = freePort();
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral(KORVANE_SERVER_PATH),
                 {QStringLiteral("--store"), path, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                  QStringLiteral("--workers"), QStringLiteral("0")});
    QByteArray said;
    const QByteArray address = "127.0.0.1:" + QByteArray::number(port);
    while (!said.contains(address) && server.waitForReadyRead(10000))
        said += server.readAll();
    if (!said.contains(address)) {
        std::fprintf(stderr, "korvane-server did not start:\n%s\n", said.constData());
        server.kill();
        server.waitForFinished();
        return 1;
    }
    const QString script = dir.filePath(QStringLiteral("load.lua"));
    {
        QFile file(script);
        file.open(QIODevice::WriteOnly);
        QByteArray text(kWrkScript);
        text.replace("@FIRST@", QByteArray::number(ids.first()))
            .replace("@LAST@", QByteArray::number(ids.last()));
        file.write(text);
    }
    QProcess wrk;
    wrk.setProcessChannelMode(QProcess::MergedChannels);
    wrk.start(QStringLiteral("wrk"), {QStringLiteral("-t2"), QStringLiteral("-c50"), QStringLiteral("-d%1s").arg(seconds),
                                      QStringLiteral("--timeout"), QStringLiteral("10s"), QStringLiteral("-H"),
                                      QStringLiteral("Authorization: Bearer ") + token, QStringLiteral("-s"), script,
                                      QStringLiteral("http://127.0.0.1:%1/").arg(port)});
    if (!wrk.waitForStarted()) {
        std::fprintf(stderr, "cannot run wrk (Debian package wrk; scripts/install-deps installs it)\n");
        server.kill();
        server.waitForFinished();
        return 1;
    }
    // The server's resident memory, four times a second, while the load runs.
    QList<std::pair<double, qint64>> samples;
    const double cpuBefore = cpuSeconds(server.processId());
    QElapsedTimer load;
    load.start();
    while (!wrk.waitForFinished(250))
        samples.append({double(load.elapsed()) / 1000.0, rssKiB(server.processId())});
    const double loadSeconds = double(load.elapsed()) / 1000.0;
    const qint64 highWater = rssKiB(server.processId(), "VmHWM:");
    const double serverCpu = cpuSeconds(server.processId()) - cpuBefore;
    const QString out = QString::fromLocal8Bit(wrk.readAll());
    server.terminate();
    const bool stopped = server.waitForFinished(10000);
    if (!stopped) {
        server.kill();
        server.waitForFinished();
    }

    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral(
        "korvane-load requests=(\\d+) connect=(\\d+) read=(\\d+) write=(\\d+) timeout=(\\d+) status=(\\d+) "
        "p50=(\\d+) p99=(\\d+) max=(\\d+)")).match(out);
    if (!m.hasMatch()) {
        std::fprintf(stderr, "wrk printed no figures:\n%s\n", qPrintable(out));
        return 1;
    }
    qint64 errors = 0;
    for (int i = 2; i <= 6; ++i)
        errors += m.captured(i).toLongLong();
    const double requests = m.captured(1).toDouble();
    std::printf("50 API clients for %d s:            %.0f requests (%.0f a second), %lld errors "
                "(connect %s, read %s, write %s, timeout %s, not 2xx %s) (target: none)\n",
                seconds, requests, requests / loadSeconds, static_cast<long long>(errors), qPrintable(m.captured(2)),
                qPrintable(m.captured(3)), qPrintable(m.captured(4)), qPrintable(m.captured(5)), qPrintable(m.captured(6)));
    std::printf("  latency: p50 %.1f ms, p99 %.1f ms (target < 250 ms), max %.1f ms\n", m.captured(7).toDouble() / 1000.0,
                m.captured(8).toDouble() / 1000.0, m.captured(9).toDouble() / 1000.0);
    std::printf("  the server's processor time: %.1f s in %.1f s (it answers on one thread), %.2f ms a request\n", serverCpu,
                loadSeconds, serverCpu * 1000.0 / std::max(1.0, requests));
    qint64 firstPeak = 0;
    qint64 lastPeak = 0;
    for (const auto &[at, kib] : std::as_const(samples)) {
        if (at <= 10.0)
            firstPeak = std::max(firstPeak, kib);
        if (at >= loadSeconds - 10.0)
            lastPeak = std::max(lastPeak, kib);
    }
    std::printf("  server's resident memory: peak %.1f MiB in the first 10 s, %.1f MiB in the last 10 s "
                "(target: no growth), high-water mark %.1f MiB\n",
                double(firstPeak) / 1024.0, double(lastPeak) / 1024.0, double(highWater) / 1024.0);
    std::printf("  korvane-server %s on SIGTERM\n",
                stopped && server.exitStatus() == QProcess::NormalExit ? qPrintable(QStringLiteral("exited %1").arg(server.exitCode()))
                                                                       : "was killed: it did not stop");
    return 0;
}
