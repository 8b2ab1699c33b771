#include "store/LinkStore.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

QTemporaryDir *g_dir = nullptr;

// A data folder holding n links in 200 groups as a browser export gives them, written through
// the store in one transaction, made once.
QString folderOf(int links)
{
    static QHash<int, QString> made;
    if (made.contains(links))
        return made.value(links);
    const QString dir = g_dir->filePath(QStringLiteral("data%1").arg(links));
    QDir().mkpath(dir);
    QString error;
    if (!Store::OpenDb(dir + QStringLiteral("/dbLink.mdb"), &error))
        qFatal("%s", qPrintable(error));
    QList<GroupRecord> groups;
    for (int g = 1; g <= 200; ++g)
        groups.append({g, QStringLiteral("Folder %1/Sub %2").arg(g / 10).arg(g), double(g)});
    const QStringList words {"news", "Linux",  "kernel", "ニュース", "技術",    "recipe",
                             "Qt",   "travel", "ブログ", "music",    "science", "sports"};
    QRandomGenerator rng(1);
    QList<DatedLink> all;
    all.reserve(links);
    for (int i = 0; i < links; ++i) {
        QString title;
        for (int w = 0; w < 4; ++w)
            title += words[int(rng.bounded(words.size()))] + u' ';
        title += QString::number(i);
        all.append({{100 + i,
                     QStringLiteral("https://site%1.example.com/articles/%2/page.html")
                         .arg(rng.bounded(5000))
                         .arg(i),
                     int(rng.bounded(200)) + 1, title, i % 5 ? QString() : QStringLiteral("memo"),
                     double(i % 7)},
                    1700000000 + i});
    }
    if (LinkStore::importLinks(groups, all, {}, &error) != LinkStore::ImportResult::Written)
        qFatal("%s", qPrintable(error));
    Store::CloseDb();
    made.insert(links, dir);
    return dir;
}

// Seconds and peak memory (MB) of a command, output to a file.
struct Run
{
    double seconds = 0;
    double peakMb = 0;
};
Run run(const QStringList &args, const QString &out)
{
    std::vector<QByteArray> bytes;
    for (const QString &a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.toLocal8Bit().constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0)
        qFatal("cannot run %s", argv[0]);
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&files);
    return {double(t.nsecsElapsed()) / 1e9, double(usage.ru_maxrss) / 1024.0};
}

QString program()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../linkwell");
}

// find and export as a user runs them, beside their floors: grep -c -i over the exported file
// and a SQLite dump of the rows.
void BM_CommandLine(benchmark::State &state)
{
    const int links = int(state.range(0));
    const QString dir = folderOf(links);
    const QString exported = dir + QStringLiteral("/../export%1.html").arg(links);
    Run find, exp, grep, dump;
    for (auto _ : state) {
        exp = run({program(), "--data-dir", dir, "export", exported}, "/dev/null");
        find = run({program(), "--data-dir", dir, "find", "Linux"}, "/dev/null");
        grep = run({"grep", "-c", "-i", "Linux", exported}, "/dev/null");
        dump = run({"sqlite3", dir + "/dbLink.mdb", "Select * From tURL"}, "/dev/null");
        state.SetIterationTime(find.seconds);
    }
    state.counters["find_s"] = find.seconds;
    state.counters["find_MB"] = find.peakMb;
    state.counters["find_to_grep"] = find.seconds / grep.seconds;
    state.counters["export_s"] = exp.seconds;
    state.counters["export_MB"] = exp.peakMb;
    state.counters["export_to_dump"] = exp.seconds / dump.seconds;
}
BENCHMARK(BM_CommandLine)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
