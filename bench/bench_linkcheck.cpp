// Link check over loopback servers that answer every request after 200 ms: the concurrent
// check (32 in flight, 4 per host) of 1,000 addresses against one request at a time. The
// one-at-a-time check is measured on 20 addresses and extrapolated to 1,000 (its time is
// linear in the count: 20 x 200 ms is already 4 s, 1,000 would be over three minutes).
// Eight servers on eight ports are eight hosts, so 32 in flight is reachable.

#include "check/LinkCheck.h"
#include "support/LoopbackServer.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int ServerCount = 8;
constexpr int DelayMs = 200;
constexpr int FullCount = 1000;
constexpr int SampleCount = 20;

std::vector<std::unique_ptr<LoopbackServer>> &servers()
{
    static std::vector<std::unique_ptr<LoopbackServer>> s;
    if (s.empty()) {
        for (int i = 0; i < ServerCount; ++i) {
            auto server = std::make_unique<LoopbackServer>();
            if (!server->start())
                return s;
            LoopbackServer::Response slow;
            slow.delayMs = DelayMs;
            server->setFallback(slow);
            s.push_back(std::move(server));
        }
    }
    return s;
}

QList<LinkCheck::Row> addresses(int count)
{
    QList<LinkCheck::Row> rows;
    for (int i = 0; i < count; ++i)
        rows.append({i + 1, servers()[i % ServerCount]->url(QStringLiteral("/page%1").arg(i))});
    return rows;
}

struct Run
{
    int dead = 0;
    int checked = 0;
};

Run check(const QList<LinkCheck::Row> &rows, int maxInFlight)
{
    LinkCheck check;
    check.setMaxInFlight(maxInFlight);
    Run run;
    QEventLoop loop;
    QObject::connect(&check, &LinkCheck::rowChecked, &loop, [&run](int, const LinkResult &r) {
        ++run.checked;
        run.dead += !r.alive;
    });
    QObject::connect(&check, &LinkCheck::finished, &loop, &QEventLoop::quit);
    check.start(rows);
    loop.exec();
    return run;
}

int maxPerHost()
{
    int most = 0;
    for (const auto &s : servers())
        most = qMax(most, s->maxInFlight(QStringLiteral("127.0.0.1:%1").arg(s->port()).toUtf8()));
    return most;
}

double g_concurrentMs = 0;
double g_sequentialPerAddressMs = 0;

void BM_ConcurrentCheck(benchmark::State &state)
{
    if (int(servers().size()) != ServerCount) {
        state.SkipWithError("loopback servers did not start");
        return;
    }
    const QList<LinkCheck::Row> rows = addresses(FullCount);
    Run run;
    for (auto _ : state) {
        for (const auto &s : servers())
            s->resetCounts();
        const auto t0 = std::chrono::steady_clock::now();
        run = check(rows, LinkCheck::DefaultMaxInFlight);
        g_concurrentMs
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                  .count();
    }
    state.counters["addresses"] = run.checked;
    state.counters["dead"] = run.dead;
    state.counters["max_per_host"] = maxPerHost();
}
BENCHMARK(BM_ConcurrentCheck)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OneAtATime(benchmark::State &state)
{
    if (int(servers().size()) != ServerCount) {
        state.SkipWithError("loopback servers did not start");
        return;
    }
    const QList<LinkCheck::Row> rows = addresses(SampleCount);
    Run run;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        run = check(rows, 1);
        const double ms
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                  .count();
        g_sequentialPerAddressMs = ms / SampleCount;
    }
    state.counters["addresses"] = run.checked;
    state.counters["dead"] = run.dead;
    state.counters["extrapolated_1000_s"] = g_sequentialPerAddressMs * FullCount / 1000.0;
}
BENCHMARK(BM_OneAtATime)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_concurrentMs > 0 && g_sequentialPerAddressMs > 0) {
        const double sequentialMs = g_sequentialPerAddressMs * FullCount;
        std::printf("1000 addresses: concurrent %.0f ms, one at a time %.0f ms (extrapolated from "
                    "%d), speed-up %.1fx\n",
                    g_concurrentMs, sequentialMs, SampleCount, sequentialMs / g_concurrentMs);
    }
    return 0;
}
