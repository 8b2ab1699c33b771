#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/LinkCheck.h"
#include "platform/widgets/Grid.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/LoopbackServer.h"
#include "ui/maintenance/fmData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

QTemporaryDir *g_dir = nullptr;

void makeData()
{
    Usr::sDataPh = g_dir->path() + u'/';
    Store::OpenDb(Usr::sDataPh + QStringLiteral("dbLink.mdb"));
    Sql::Transaction t;
    for (int g = 1; g <= 200; ++g)
        Sql::exec(Sql::SetPrm(Sql::kInsertGroup, {g, QStringLiteral("Group %1").arg(g), g}));
    for (int i = 0; i < 100000; ++i)
        Sql::exec(Sql::SetPrm(Sql::kInsertLink, {100 + i, QStringLiteral("https://site%1.example.org/p%2").arg(i % 977).arg(i),
                                                 1 + i % 200, QStringLiteral("Title of page %1").arg(i), QString(), 100}));
    t.commit();
}

} // namespace

// Both grids filled from 100,000 links in 200 groups.
static void BM_LoadData(benchmark::State &state)
{
    fmData w;
    for (auto _ : state)
        w.LoadData();
    state.counters["links"] = w.vSpr[1]->MaxRows();
}
BENCHMARK(BM_LoadData)->Unit(benchmark::kMillisecond)->Iterations(5);

// A save of 10,000 changed link rows, in one transaction (the reload after it not counted).
static void BM_SaveData10000(benchmark::State &state)
{
    fmData w;
    w.LoadData();
    QString error;
    for (auto _ : state) {
        state.PauseTiming();
        Grid *g = w.vSpr[1];
        for (int r = 1; r <= 10000; ++r) {
            g->SetText(3, r, QStringLiteral("Changed %1").arg(r));
            g->SetText(1, r, QStringLiteral("12"));
        }
        state.ResumeTiming();
        Sql::Transaction t;
        for (int r = 1; r <= 10000; ++r)
            Sql::exec(Sql::SetPrm(Sql::kUpdateGridLink, {g->GetText(3, r), Usr::GrpNoOf(g->GetText(4, r)), 100.0,
                                                         g->GetText(2, r).toInt()}), &error);
        t.commit();
    }
}
BENCHMARK(BM_SaveData10000)->Unit(benchmark::kMillisecond)->Iterations(3);

// 1,000 addresses on 8 loopback servers that answer after 200 ms, against one at a time.
static void BM_LinkCheck1000(benchmark::State &state)
{
    std::vector<std::unique_ptr<LoopbackServer>> servers;
    LoopbackServer::Response slow;
    slow.delayMs = 200;
    for (int i = 0; i < 8; ++i) {
        servers.push_back(std::make_unique<LoopbackServer>());
        servers.back()->start();
        servers.back()->setRoute("/page", slow);
    }
    auto run = [&](int count, bool sequential) {
        QList<LinkCheck::Row> jobs;
        for (int i = 0; i < count; ++i)
            jobs.append({i + 1, servers[size_t(i % 8)]->url(QStringLiteral("/page"))});
        LinkCheck check;
        if (sequential)
            check.setMaxInFlight(1);
        QEventLoop loop;
        QObject::connect(&check, &LinkCheck::finished, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        if (check.start(jobs))
            loop.exec();
        return t.elapsed();
    };
    const qint64 one = run(20, true);
    qint64 concurrent = 0;
    for (auto _ : state)
        concurrent = run(1000, false);
    int perHost = 0;
    for (auto &s : servers)
        perHost = qMax(perHost, s->maxInFlight("127.0.0.1:" + QByteArray::number(s->port())));
    const double sequentialMs = double(one) / 20.0 * 1000.0;
    state.counters["sequential_s_extrapolated"] = sequentialMs / 1000.0;
    state.counters["concurrent_s"] = double(concurrent) / 1000.0;
    state.counters["speedup"] = sequentialMs / double(concurrent);
    state.counters["maxPerHost"] = perHost;
}
BENCHMARK(BM_LinkCheck1000)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    Dialogs::enableTestMode();
    QTemporaryDir dir;
    g_dir = &dir;
    makeData();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Store::CloseDb();
    return 0;
}
