#include "address/AddressSet.h"
#include "bookmarks/BookmarkExport.h"
#include "bookmarks/BookmarkImport.h"
#include "bookmarks/BookmarkTransfer.h"
#include "store/Store.h"
#include "support/BookmarkSamples.h"

#include "BenchSupport.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A generated file of n links (about 170 bytes each), written once.
QString fileOf(int links)
{
    static QHash<int, QString> made;
    if (!made.contains(links)) {
        const QString path = g_dir->filePath(QStringLiteral("bookmarks%1.html").arg(links));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(BookmarkSamples::generated(links)) < 0)
            return {};
        made.insert(links, path);
    }
    return made.value(links);
}

// What the import does before its database writes: read the file, look each address up in
// the collection's addresses (none: an empty collection) and plan the groups and numbers.
ImportPlan readAndPlan(const QString &path, const AddressSet &known)
{
    const BookmarkFile file = BookmarkFile::read(path);
    return BookmarkImport::plan(
        file, {{0, QStringLiteral("未分類"), 0}},
        [&](const QString &a) { return known.contains(a); }, 100);
}

// kB figures of /proc/self/status.
qint64 statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A fresh, empty link database in a folder of its own, opened.
QString freshDatabase()
{
    static int n = 0;
    const QString path = g_dir->filePath(QStringLiteral("db%1/dbLink.mdb").arg(++n));
    QDir().mkpath(QFileInfo(path).path());
    QString error;
    if (!Store::OpenDb(path, &error))
        qFatal("%s", qPrintable(error));
    return path;
}

// The whole import as the menu and the command line run it: read, plan against the open
// collection, write in one transaction. The number of links written, -1 on failure.
qsizetype importFile(const QString &path)
{
    BookmarkTransfer transfer;
    QString error;
    if (!transfer.read(path, &error)
        || transfer.write({}, &error) != LinkStore::ImportResult::Written) {
        qWarning("%s", qPrintable(error));
        return -1;
    }
    return transfer.plan().links.size();
}

} // namespace

static void BM_ReadAndPlan(benchmark::State &state)
{
    const QString path = fileOf(int(state.range(0)));
    const AddressSet known;
    qsizetype planned = 0;
    for (auto _ : state) {
        const ImportPlan plan = readAndPlan(path, known);
        planned = plan.links.size();
        benchmark::DoNotOptimize(planned);
    }
    if (planned + BookmarkSamples::generatedRepeats(int(state.range(0))) != state.range(0))
        state.SkipWithError("not every link planned");
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
    state.counters["links_per_s"]
        = benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadAndPlan)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Peak memory of one read and plan: the highest resident size while it ran, and how much
// that is above the size before it.
static void BM_ReadAndPlanPeakMemory(benchmark::State &state)
{
    const QString path = fileOf(int(state.range(0)));
    const AddressSet known;
    for (auto _ : state) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        const bool reset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
        clear.close();
        const qint64 before = statusKb("VmRSS:");
        const ImportPlan plan = readAndPlan(path, known);
        const qint64 peak = statusKb("VmHWM:");
        benchmark::DoNotOptimize(plan.links.size());
        state.counters["peak_MB"] = double(peak) / 1024;
        state.counters["above_start_MB"] = reset ? double(peak - before) / 1024 : -1;
    }
}
BENCHMARK(BM_ReadAndPlanPeakMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

static void BM_Write(benchmark::State &state)
{
    // 610 groups nested three deep, as in the generated file; links spread over them.
    QList<GroupRecord> groups {{0, QStringLiteral("未分類"), 0}};
    for (int t = 1; t <= 10; ++t) {
        groups.append(
            {int(groups.size()), QStringLiteral("分野 %1").arg(t), double(groups.size())});
        for (int m = 1; m <= 10; ++m) {
            groups.append({int(groups.size()), QStringLiteral("分野 %1/話題 %2").arg(t).arg(m),
                           double(groups.size())});
            for (int k = 1; k <= 5; ++k) {
                groups.append({int(groups.size()),
                               QStringLiteral("分野 %1/話題 %2/項目 %3").arg(t).arg(m).arg(k),
                               double(groups.size())});
            }
        }
    }
    const int n = int(state.range(0));
    QList<LinkRecord> links;
    QHash<qint64, qint64> added;
    links.reserve(n);
    for (int i = 0; i < n; ++i) {
        links.append(
            {100 + i,
             QStringLiteral("https://site%1.example.com/articles/%2/index.html?ref=bookmark&n=%2")
                 .arg(i % 997)
                 .arg(i),
             i % int(groups.size()), QStringLiteral("記事 %1: Qt と SQLite の使い方 & メモ").arg(i),
             i % 3 ? QString() : QStringLiteral("説明 %1 行目の \"メモ\"").arg(i), double(i % 50)});
        added.insert(100 + i, 1300000000 + qint64(i) * 60);
    }
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = BookmarkExport::bytes(groups, links, added);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["file_MB"] = double(size) / 1e6;
}
BENCHMARK(BM_Write)->Arg(100000)->Unit(benchmark::kMillisecond);

// The import as a user runs it, into a fresh database file: read, plan and the database
// writes, committed to the disk.
static void BM_Import(benchmark::State &state)
{
    const QString path = fileOf(int(state.range(0)));
    qsizetype written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        freshDatabase();
        state.ResumeTiming();
        written = importFile(path);
        state.PauseTiming();
        Store::CloseDb();
        state.ResumeTiming();
    }
    if (written + BookmarkSamples::generatedRepeats(int(state.range(0))) != state.range(0))
        state.SkipWithError("not every link written");
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
    state.counters["links_per_s"]
        = benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Import)->Arg(10000)->Arg(100000)->MinTime(3)->Unit(benchmark::kMillisecond);

// Peak memory of the whole import of the file into a fresh database.
static void BM_ImportPeakMemory(benchmark::State &state)
{
    const QString path = fileOf(int(state.range(0)));
    for (auto _ : state) {
        freshDatabase();
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        const bool reset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
        clear.close();
        const qint64 before = statusKb("VmRSS:");
        benchmark::DoNotOptimize(importFile(path));
        const qint64 peak = statusKb("VmHWM:");
        Store::CloseDb();
        state.counters["peak_MB"] = double(peak) / 1024;
        state.counters["above_start_MB"] = reset ? double(peak - before) / 1024 : -1;
    }
}
BENCHMARK(BM_ImportPeakMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The export as a user runs it: the whole collection read from the database and written to a
// file in one piece.
static void BM_Export(benchmark::State &state)
{
    freshDatabase();
    if (importFile(fileOf(int(state.range(0)))) < 0) {
        state.SkipWithError("import failed");
        return;
    }
    const QString out = g_dir->filePath(QStringLiteral("exported.html"));
    int links = 0;
    for (auto _ : state) {
        QString error;
        if (!BookmarkTransfer::exportTo(out, &links, &error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
    }
    Store::CloseDb();
    state.counters["links"] = links;
    state.counters["file_MB"] = double(QFile(out).size()) / 1e6;
}
BENCHMARK(BM_Export)->Arg(100000)->Unit(benchmark::kMillisecond);

// buku importing the same generated file into a fresh database of its own, side by side with
// this program's whole import of it into a fresh database.
static void BM_BukuImport(benchmark::State &state)
{
    const QString buku = QStandardPaths::findExecutable(QStringLiteral("buku"));
    if (buku.isEmpty()) {
        state.SkipWithError("buku is not installed (scripts/bench installs it)");
        return;
    }
    const QString path = fileOf(int(state.range(0)));
    double bukuSeconds = 0;
    int bukuHolds = 0;
    for (auto _ : state) {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        QProcess p;
        p.setProcessEnvironment(env);
        p.setStandardInputFile(QProcess::nullDevice());
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        p.start(
            buku,
            {QStringLiteral("--nostdin"), QStringLiteral("--tacit"), QStringLiteral("-i"), path});
        const bool done = p.waitForFinished(600'000);
        bukuSeconds = double(t.nsecsElapsed()) / 1e9;
        state.SetIterationTime(bukuSeconds);
        if (!done || p.exitCode() != 0) {
            state.SkipWithError("buku did not import the file");
            return;
        }
        // The same work: what buku holds afterwards, as its own listing tells.
        QProcess list;
        list.setProcessEnvironment(env);
        list.setStandardInputFile(QProcess::nullDevice());
        list.start(buku,
                   {QStringLiteral("--nostdin"), QStringLiteral("--np"), QStringLiteral("-j"),
                    QStringLiteral("-p")});
        list.waitForFinished(600'000);
        bukuHolds = int(QJsonDocument::fromJson(list.readAllStandardOutput()).array().size());
    }
    const int runs = 10;
    qint64 nanoseconds = 0;
    qsizetype ourLinks = 0;
    for (int i = 0; i < runs; ++i) {
        freshDatabase();
        QElapsedTimer t;
        t.start();
        ourLinks = importFile(path);
        nanoseconds += t.nsecsElapsed();
        Store::CloseDb();
    }
    const double ours = double(nanoseconds) / 1e9 / runs;
    state.counters["buku_links"] = bukuHolds;
    state.counters["linkwell_links"] = double(ourLinks);
    state.counters["buku_s"] = bukuSeconds;
    state.counters["linkwell_import_ms"] = ours * 1000;
    state.counters["buku_to_linkwell"] = bukuSeconds / ours;
}
BENCHMARK(BM_BukuImport)->Arg(10000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
