// Link check at scale, against loopback servers in a process of their own (so that their work
// is not counted as the checker's, nor their memory):
//   - 10,000 addresses over 1,000 hosts (127.0.x.y, one host each) that answer after 200 ms:
//     the time against the least the limits allow (64 in flight: 10,000 / 64 x 0.2 s), peak
//     memory, and the per-host limits as the servers counted them;
//   - Debian's linkchecker with its default settings on 200 such addresses, side by side with
//     this check on the same 200: the throughput ratio;
//   - servers that never answer, drip a byte a second, loop their redirects, send a 1 GB body
//     or headers without end: each ends within its deadline, memory unchanged.
// Flags (before the benchmark's own): --addresses=N --hosts=N --delay-ms=N --peer-addresses=N
// --misbehaving=0|1 --deadline-ms=N --grouped=0|1. The program runs its own servers with
// --serve.

#include "check/LinkCheck.h"
#include "support/LoopbackServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Config
{
    int addresses = 10000;
    int hosts = 1000;
    int delayMs = 200;
    int peerAddresses = 200;
    bool misbehaving = true;
    int deadlineMs = LinkCheck::DefaultDeadlineMs;
    bool grouped = false; // a host's addresses in consecutive rows instead of spread out
};
Config g_config;

// Host i of the well-behaved ones: 127.0.1.1, 127.0.1.2, ... 250 per third byte.
QString hostAddress(int i)
{
    return QStringLiteral("127.0.%1.%2").arg(1 + i / 250).arg(1 + i % 250);
}

// The misbehaving servers, one host each.
struct Misbehaviour
{
    const char *name;
    const char *address;
    LoopbackServer::Response (*response)();
    const char *expected;
    int headStatus = 0; // the answer to HEAD when it differs: 405 sends the check to GET
};
const Misbehaviour kMisbehaviours[] = {
    {"never answers", "127.0.200.1",
     [] {
         LoopbackServer::Response r;
         r.silent = true;
         return r;
     },
     "×"},
    {"drips a byte a second", "127.0.200.2",
     [] {
         LoopbackServer::Response r;
         r.dripMs = 1000;
         return r;
     },
     "×"},
    {"redirect loop", "127.0.200.3",
     [] {
         LoopbackServer::Response r;
         r.status = 302;
         r.headers = {{"Location", "/again"}};
         return r;
     },
     "×"},
    {"1 GB body", "127.0.200.4",
     [] {
         LoopbackServer::Response r;
         r.bodyBytes = qint64(1) << 30;
         return r;
     },
     "◎", 405},
    {"headers without end", "127.0.200.5",
     [] {
         LoopbackServer::Response r;
         r.flood = LoopbackServer::Flood::Headers;
         return r;
     },
     "△"},
    {"one endless header line", "127.0.200.6",
     [] {
         LoopbackServer::Response r;
         r.flood = LoopbackServer::Flood::HeaderLine;
         return r;
     },
     "△"},
};

// ---- The server process ----

int serve(int hosts, int delayMs)
{
    LoopbackServer::Response slow;
    slow.status = 200;
    slow.body = "<html><body>ok</body></html>";
    slow.delayMs = delayMs;
    // All hosts on one port, so that an address differs from another by its host only.
    std::vector<std::unique_ptr<LoopbackServer>> servers;
    for (int attempt = 0; attempt < 20 && int(servers.size()) < hosts; ++attempt) {
        servers.clear();
        quint16 port = 0;
        for (int i = 0; i < hosts; ++i) {
            auto s = std::make_unique<LoopbackServer>();
            if (!s->start(QHostAddress(hostAddress(i)), port))
                break;
            port = s->port();
            s->setFallback(slow);
            servers.push_back(std::move(s));
        }
    }
    std::vector<std::unique_ptr<LoopbackServer>> bad;
    for (const Misbehaviour &m : kMisbehaviours) {
        auto s = std::make_unique<LoopbackServer>();
        if (!s->start(QHostAddress(QString::fromLatin1(m.address)), 0))
            return 1;
        s->setFallback(m.response());
        if (m.headStatus) {
            LoopbackServer::Response head;
            head.status = m.headStatus;
            s->setRoute("/x", head, "HEAD");
        }
        bad.push_back(std::move(s));
    }
    if (int(servers.size()) < hosts)
        return 1;
    QString ready = QStringLiteral("ready %1").arg(servers[0]->port());
    for (const auto &s : bad)
        ready += QStringLiteral(" %1").arg(s->port());
    std::printf("%s\n", qPrintable(ready));
    std::fflush(stdout);

    // Commands on standard input, one a line: "stats" and "reset"; the end of input ends it.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, n);
        int end = 0;
        while ((end = int(pending.indexOf('\n'))) >= 0) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (command == "reset") {
                for (const auto &s : servers)
                    s->resetCounts();
                std::printf("done\n");
            } else if (command == "stats") {
                int mostPerHost = 0;
                qint64 leastSpacing = -1;
                qint64 requests = 0;
                for (const auto &s : servers) {
                    mostPerHost = qMax(mostPerHost, s->maxInFlight(s->hostHeader()));
                    const qint64 spacing = s->minSpacingMs();
                    if (spacing >= 0)
                        leastSpacing = leastSpacing < 0 ? spacing : qMin(leastSpacing, spacing);
                    requests += s->requests().size();
                }
                std::printf("%d %lld %lld\n", mostPerHost, qlonglong(leastSpacing),
                            qlonglong(requests));
            }
            std::fflush(stdout);
        }
    });
    return QCoreApplication::exec();
}

// ---- The checking side ----

QProcess *g_servers = nullptr;
quint16 g_port = 0;
QList<quint16> g_badPorts;

QByteArray askServers(const QByteArray &command)
{
    g_servers->write(command + '\n');
    g_servers->waitForBytesWritten(5000);
    QElapsedTimer clock;
    clock.start();
    while (!g_servers->canReadLine() && clock.elapsed() < 10000)
        g_servers->waitForReadyRead(100);
    return g_servers->readLine().trimmed();
}

bool startServers()
{
    if (g_servers)
        return g_port != 0;
    g_servers = new QProcess;
    g_servers->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    g_servers->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--serve"), QString::number(g_config.hosts),
                      QString::number(g_config.delayMs)});
    if (!g_servers->waitForStarted(10000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (!g_servers->canReadLine() && clock.elapsed() < 60000)
        g_servers->waitForReadyRead(100);
    const QList<QByteArray> words = g_servers->readLine().trimmed().split(' ');
    if (words.value(0) != "ready" || words.size() != 2 + int(std::size(kMisbehaviours)))
        return false;
    g_port = quint16(words[1].toUInt());
    for (int i = 2; i < words.size(); ++i)
        g_badPorts.append(quint16(words[i].toUInt()));
    return true;
}

void stopServers()
{
    if (!g_servers)
        return;
    g_servers->closeWriteChannel();
    if (!g_servers->waitForFinished(5000))
        g_servers->kill();
    delete g_servers;
    g_servers = nullptr;
}

// Row i goes to host i % hosts, so the first rows spread over every host; grouped, a host's
// rows follow each other and the per-host limits are what the scheduling has to work around.
QList<LinkCheck::Row> addresses(int count)
{
    QList<LinkCheck::Row> rows;
    rows.reserve(count);
    const int perHost = (count + g_config.hosts - 1) / g_config.hosts;
    for (int i = 0; i < count; ++i)
        rows.append({i + 1,
                     QStringLiteral("http://%1:%2/page%3")
                         .arg(hostAddress(g_config.grouped ? i / perHost : i % g_config.hosts))
                         .arg(g_port)
                         .arg(i)});
    return rows;
}

struct Outcome
{
    double seconds = 0;
    int alive = 0;
    int dead = 0;
    int uncertain = 0;
    double meanMs = 0; // of the rows' own times
    QHash<int, LinkResult> results;
};

Outcome check(const QList<LinkCheck::Row> &rows, bool keepResults = false)
{
    LinkCheck check;
    check.setDeadlineMs(g_config.deadlineMs);
    Outcome out;
    QEventLoop loop;
    QObject::connect(&check, &LinkCheck::rowChecked, &loop, [&](int row, const LinkResult &r) {
        out.alive += r.verdict == LinkResult::Verdict::Alive;
        out.dead += r.verdict == LinkResult::Verdict::Dead;
        out.uncertain += r.verdict == LinkResult::Verdict::Uncertain;
        out.meanMs += double(r.elapsedMs) / double(rows.size());
        if (keepResults)
            out.results.insert(row, r);
    });
    QObject::connect(&check, &LinkCheck::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    check.start(rows);
    loop.exec();
    out.seconds = double(clock.nsecsElapsed()) / 1e9;
    return out;
}

double peakMb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return double(fields.value(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The figures printed at the end.
struct Figures
{
    double checkSeconds = 0;
    double leastSeconds = 0;
    double peakMb = 0;
    int mostPerHost = 0;
    qint64 leastSpacingMs = -1;
    double oursPeerSeconds = 0;
    double peerSeconds = 0;
    int peerExit = -1;
    QStringList misbehaving;
};
Figures g_figures;

void BM_Check(benchmark::State &state)
{
    if (!startServers()) {
        state.SkipWithError("loopback servers did not start");
        return;
    }
    const QList<LinkCheck::Row> rows = addresses(g_config.addresses);
    Outcome out;
    for (auto _ : state) {
        askServers("reset");
        out = check(rows);
    }
    const QList<QByteArray> stats = askServers("stats").split(' ');
    const double least
        = double(g_config.addresses) / LinkCheck::DefaultMaxInFlight * g_config.delayMs / 1000.0;
    g_figures.checkSeconds = out.seconds;
    g_figures.leastSeconds = least;
    g_figures.peakMb = peakMb();
    g_figures.mostPerHost = stats.value(0).toInt();
    g_figures.leastSpacingMs = stats.value(1).toLongLong();
    state.counters["addresses"] = g_config.addresses;
    state.counters["alive"] = out.alive;
    state.counters["seconds"] = out.seconds;
    state.counters["mean_row_ms"] = out.meanMs;
    state.counters["x_least_time"] = out.seconds / least;
    state.counters["peak_MB"] = g_figures.peakMb;
    state.counters["max_per_host"] = g_figures.mostPerHost;
    state.counters["min_spacing_ms"] = double(g_figures.leastSpacingMs);
    state.counters["server_requests"] = stats.value(2).toDouble();
}

void BM_BesideLinkchecker(benchmark::State &state)
{
    if (!startServers()) {
        state.SkipWithError("loopback servers did not start");
        return;
    }
    const QString peer = QStandardPaths::findExecutable(QStringLiteral("linkchecker"));
    if (peer.isEmpty()) {
        state.SkipWithError("linkchecker is not installed (scripts/bench installs it)");
        return;
    }
    const QList<LinkCheck::Row> rows = addresses(g_config.peerAddresses);
    QStringList urls;
    for (const LinkCheck::Row &r : rows)
        urls << r.address;
    for (auto _ : state) {
        const Outcome ours = check(rows);
        g_figures.oursPeerSeconds = ours.seconds;

        // Its default settings; a home of its own so that nothing of the user's is read.
        QTemporaryDir home;
        QProcess linkchecker;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        linkchecker.setProcessEnvironment(env);
        linkchecker.setStandardOutputFile(QProcess::nullDevice());
        linkchecker.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        linkchecker.start(peer, urls);
        linkchecker.waitForFinished(-1);
        g_figures.peerSeconds = double(clock.nsecsElapsed()) / 1e9;
        g_figures.peerExit = linkchecker.exitCode();
        state.counters["ours_alive"] = ours.alive;
    }
    state.counters["addresses"] = g_config.peerAddresses;
    state.counters["ours_s"] = g_figures.oursPeerSeconds;
    state.counters["linkchecker_s"] = g_figures.peerSeconds;
    state.counters["linkchecker_exit"] = g_figures.peerExit;
    state.counters["x_throughput"] = g_figures.peerSeconds / g_figures.oursPeerSeconds;
}

void BM_Misbehaving(benchmark::State &state)
{
    if (!g_config.misbehaving) {
        state.SkipWithError("skipped (--misbehaving=0)");
        return;
    }
    if (!startServers()) {
        state.SkipWithError("loopback servers did not start");
        return;
    }
    QList<LinkCheck::Row> rows;
    for (int i = 0; i < int(std::size(kMisbehaviours)); ++i)
        rows.append({i,
                     QStringLiteral("http://%1:%2/x")
                         .arg(QString::fromLatin1(kMisbehaviours[i].address))
                         .arg(g_badPorts.value(i))});
    // The worst a retried time-out may take: every try at its deadline, and the waits.
    const double bound = (LinkCheck::DefaultMaxRetries + 1) * g_config.deadlineMs / 1000.0
        + (1 + 2 + 4) * LinkCheck::DefaultBackoffBaseMs / 1000.0;
    for (auto _ : state) {
        const double residentBefore = residentMb();
        const double peakBefore = peakMb();
        const Outcome out = check(rows, true);
        g_figures.misbehaving.clear();
        for (int i = 0; i < int(std::size(kMisbehaviours)); ++i) {
            const LinkResult r = out.results.value(i);
            g_figures.misbehaving
                << QStringLiteral("  %1: %2 %3 after %4 s (%5 requests; %6)")
                       .arg(QString::fromLatin1(kMisbehaviours[i].name), r.mark(),
                            QString::number(r.status),
                            QString::number(r.elapsedMs / 1000.0, 'f', 1))
                       .arg(r.requests)
                       .arg(r.mark() == QString::fromUtf8(kMisbehaviours[i].expected)
                                ? QStringLiteral("as expected")
                                : QStringLiteral("NOT as expected"));
        }
        g_figures.misbehaving << QStringLiteral("  all done in %1 s (bound %2 s); resident "
                                                "%3 -> %4 MB, peak %5 -> %6 MB")
                                     .arg(out.seconds, 0, 'f', 1)
                                     .arg(bound, 0, 'f', 1)
                                     .arg(residentBefore, 0, 'f', 1)
                                     .arg(residentMb(), 0, 'f', 1)
                                     .arg(peakBefore, 0, 'f', 1)
                                     .arg(peakMb(), 0, 'f', 1);
        state.counters["seconds"] = out.seconds;
        state.counters["peak_growth_MB"] = peakMb() - peakBefore;
    }
}

BENCHMARK(BM_Check)->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_BesideLinkchecker)
    ->Iterations(1)
    ->Repetitions(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_Misbehaving)->Iterations(1)->Repetitions(1)->Unit(benchmark::kSecond)->UseRealTime();

// Takes "--name=value" flags of this benchmark out of argv.
void takeFlags(int *argc, char **argv)
{
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        const QByteArray arg = argv[i];
        const auto value = [&arg](const char *name) -> std::optional<int> {
            const QByteArray prefix = QByteArray("--") + name + '=';
            if (!arg.startsWith(prefix))
                return std::nullopt;
            return arg.mid(prefix.size()).toInt();
        };
        if (auto v = value("addresses"))
            g_config.addresses = qMax(1, *v);
        else if (auto v = value("hosts"))
            g_config.hosts = qBound(1, *v, 250 * 199);
        else if (auto v = value("delay-ms"))
            g_config.delayMs = qMax(0, *v);
        else if (auto v = value("peer-addresses"))
            g_config.peerAddresses = qMax(1, *v);
        else if (auto v = value("misbehaving"))
            g_config.misbehaving = *v != 0;
        else if (auto v = value("deadline-ms"))
            g_config.deadlineMs = qMax(1, *v);
        else if (auto v = value("grouped"))
            g_config.grouped = *v != 0;
        else
            argv[kept++] = argv[i];
    }
    *argc = kept;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--serve") == 0)
        return serve(std::atoi(argv[2]), std::atoi(argv[3]));

    takeFlags(&argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopServers();

    const Figures &f = g_figures;
    if (f.checkSeconds > 0)
        std::printf(
            "%d addresses over %d hosts (%s) answering after %d ms: %.1f s, %.2fx the least "
            "the limits allow (%.1f s); peak memory %.0f MB; at the servers: at most %d "
            "in flight per host, starts at one host at least %lld ms apart\n",
            g_config.addresses, g_config.hosts, g_config.grouped ? "grouped" : "spread",
            g_config.delayMs, f.checkSeconds, f.checkSeconds / f.leastSeconds, f.leastSeconds,
            f.peakMb, f.mostPerHost, qlonglong(f.leastSpacingMs));
    if (f.peerSeconds > 0 && f.oursPeerSeconds > 0)
        std::printf("%d addresses: linkchecker %.1f s (exit %d), this check %.2f s: %.1fx the "
                    "throughput; with the large run's rate %.1fx\n",
                    g_config.peerAddresses, f.peerSeconds, f.peerExit, f.oursPeerSeconds,
                    f.peerSeconds / f.oursPeerSeconds,
                    f.checkSeconds > 0 ? (g_config.addresses / f.checkSeconds)
                            / (g_config.peerAddresses / f.peerSeconds)
                                       : 0.0);
    if (!f.misbehaving.isEmpty())
        std::printf("Misbehaving servers:\n%s\n", qPrintable(f.misbehaving.join(u'\n')));
    return 0;
}
