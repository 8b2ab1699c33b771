#include "app/Usr.h"
#include "store/LinkStore.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"

#include "BenchSupport.h"
#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A database of n links in 200 groups, made once per size.
void ensureDatabase(int n)
{
    static int made = -1;
    if (made == n)
        return;
    Store::CloseDb();
    const QString path = g_dir->filePath(QStringLiteral("links%1.mdb").arg(n));
    Store::OpenDb(path);
    Sql::Transaction t;
    for (int g = 1; g <= 200; ++g)
        Sql::exec(Sql::SetPrm(Sql::kInsertGroup, {g, QStringLiteral("Group %1").arg(g), g}));
    for (int i = 0; i < n; ++i)
        Sql::exec(
            Sql::SetPrm(Sql::kInsertLink,
                        {100 + i,
                         QStringLiteral("https://site%1.example.org/path/page%2.html?id=%2")
                             .arg(i % 977)
                             .arg(i),
                         1 + i % 200, QStringLiteral("Title of page %1").arg(i),
                         QStringLiteral("A description of page %1 with a few words").arg(i), 100}));
    t.commit();
    made = n;
}

} // namespace

static void BM_PageLookup(benchmark::State &state)
{
    ensureDatabase(int(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        const QString url = QStringLiteral("https://site%1.example.org/path/page%2.html?id=%2")
                                .arg(i % 977)
                                .arg(i);
        QString error;
        const Sql::Rows rows = Sql::query(Sql::SetPrm(Sql::kPageLookup, {url}), &error);
        benchmark::DoNotOptimize(rows);
        i = (i + 7919) % int(state.range(0));
    }
}
BENCHMARK(BM_PageLookup)->Arg(100000)->Unit(benchmark::kMicrosecond);

static void BM_NewURLNo(benchmark::State &state)
{
    ensureDatabase(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Usr::NewURLNo());
}
BENCHMARK(BM_NewURLNo)->Arg(100000)->Unit(benchmark::kMicrosecond);

static void BM_Insert10000InOneTransaction(benchmark::State &state)
{
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Store::CloseDb();
        Store::OpenDb(g_dir->filePath(QStringLiteral("insert%1.mdb").arg(run++)));
        state.ResumeTiming();
        Sql::Transaction t;
        for (int i = 0; i < 10000; ++i)
            Sql::exec(Sql::SetPrm(Sql::kInsertLink,
                                  {100 + i, QStringLiteral("https://x.example.org/%1").arg(i), 0,
                                   QStringLiteral("Title %1").arg(i), QString(), 100}));
        t.commit();
    }
}
BENCHMARK(BM_Insert10000InOneTransaction)->Unit(benchmark::kMillisecond)->Iterations(3);

// A link check run of 10,000 results into the history: one transaction, as the windows and the
// command line write it.
static void BM_RecordChecks10000(benchmark::State &state)
{
    ensureDatabase(100000);
    QList<CheckRecord> run;
    for (int i = 0; i < 10000; ++i)
        run.append({100 + i, 1700000000, i % 7 == 0 ? CheckRecord::Dead : CheckRecord::Alive, 200,
                    QStringLiteral("https://site%1.example.org/path/page%2.html?id=%2")
                        .arg(i % 977)
                        .arg(i),
                    QString()});
    for (auto _ : state)
        LinkStore::recordChecks(run);
}
BENCHMARK(BM_RecordChecks10000)->Unit(benchmark::kMillisecond)->Iterations(5);

// One link's last checks (the tooltip, and the lasting mark of a dead row) once the history
// holds the runs above for every link.
static void BM_LastChecks(benchmark::State &state)
{
    ensureDatabase(100000);
    int i = 0;
    QList<CheckRecord> out;
    for (auto _ : state) {
        LinkStore::lastChecks(100 + i, out);
        benchmark::DoNotOptimize(out);
        i = (i + 7919) % 10000;
    }
}
BENCHMARK(BM_LastChecks)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv, [] { Store::CloseDb(); });
}
