#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "ui/maintenance/fmData.h"

#include <QApplication>
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
        Sql::exec(Sql::SetPrm(
            Sql::kInsertLink,
            {100 + i, QStringLiteral("https://site%1.example.org/p%2").arg(i % 977).arg(i),
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
    state.counters["links"] = w.findChild<Grid *>(QStringLiteral("vSpr1"))->MaxRows();
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
        Grid *g = w.findChild<Grid *>(QStringLiteral("vSpr1"));
        for (int r = 1; r <= 10000; ++r) {
            g->SetText(3, r, QStringLiteral("Changed %1").arg(r));
            g->SetText(1, r, QStringLiteral("12"));
        }
        state.ResumeTiming();
        Sql::Transaction t;
        for (int r = 1; r <= 10000; ++r)
            Sql::exec(Sql::SetPrm(Sql::kUpdateGridLink,
                                  {g->GetText(3, r), Usr::GrpNoOf(g->GetText(4, r)), 100.0,
                                   g->GetText(2, r).toInt()}),
                      &error);
        t.commit();
    }
}
BENCHMARK(BM_SaveData10000)->Unit(benchmark::kMillisecond)->Iterations(3);

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
