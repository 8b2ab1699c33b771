#include "address/UrlKey.h"
#include "collection/CollectionIndex.h"
#include "collection/LinkList.h"
#include "search/LinkSearch.h"
#include "store/LinkStore.h"
#include "store/Store.h"

#include "BenchSupport.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace {

// What a generated collection's texts look like: the plain one (about 85 bytes of text a link)
// or one with longer Japanese titles and a description on most links (about 110).
enum class Texts { Plain, Rich };

// A data folder holding n links in 200 groups as a browser export gives them, written through
// the store in one transaction, made once. With LINKWELL_BENCH_DATA set, the folders are kept
// there and reused by later runs (a million links take a while to write).
QString folderOf(int links, Texts texts = Texts::Plain)
{
    static QHash<QString, QString> made;
    const QString name = QStringLiteral("data%1%2")
                             .arg(links)
                             .arg(texts == Texts::Rich ? QStringLiteral("-rich") : QString());
    if (made.contains(name))
        return made.value(name);
    const QString kept = qEnvironmentVariable("LINKWELL_BENCH_DATA");
    const QString dir = kept.isEmpty() ? g_dir->filePath(name) : QDir(kept).filePath(name);
    const QString done = dir + QStringLiteral("/.complete");
    if (QFile::exists(done)) {
        made.insert(name, dir);
        return dir;
    }
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QString error;
    if (!Store::OpenDb(dir + QStringLiteral("/dbLink.mdb"), &error))
        qFatal("%s", qPrintable(error));
    QList<GroupRecord> groups;
    for (int g = 1; g <= 200; ++g)
        groups.append({g, QStringLiteral("Folder %1/Sub %2").arg(g / 10).arg(g), double(g)});
    const QStringList words {"news", "Linux",  "kernel", "ニュース", "技術",    "recipe",
                             "Qt",   "travel", "ブログ", "music",    "science", "sports"};
    const QStringList japanese {"東京",     "旅行",     "料理",       "レシピ", "最新",
                                "ニュース", "まとめ",   "技術解説",   "入門",   "使い方",
                                "比較",     "おすすめ", "ランキング", "季節の", "写真"};
    QRandomGenerator rng(1);
    QList<DatedLink> all;
    all.reserve(links);
    for (int i = 0; i < links; ++i) {
        QString title, description;
        if (texts == Texts::Plain) {
            for (int w = 0; w < 4; ++w)
                title += words[int(rng.bounded(words.size()))] + u' ';
            title += QString::number(i);
            if (i % 5 == 0)
                description = QStringLiteral("memo");
        } else {
            for (int w = 0; w < 4; ++w)
                title += japanese[int(rng.bounded(japanese.size()))];
            title += u' ' + QString::number(i);
            if (i % 4 != 0) {
                for (int w = 0; w < 2; ++w)
                    description += japanese[int(rng.bounded(japanese.size()))];
            }
        }
        QString address = QStringLiteral("https://site%1.example.com/articles/%2/page.html")
                              .arg(rng.bounded(5000))
                              .arg(i);
        // Addresses as a browser keeps them: encoded Japanese paths, "www.", tracking tags.
        if (texts == Texts::Rich && i % 3 == 0)
            address = QStringLiteral("https://ja.example.org/wiki/")
                + QString::fromLatin1(
                          QUrl::toPercentEncoding(japanese[int(rng.bounded(japanese.size()))]))
                + QStringLiteral("?id=%1").arg(i);
        else if (texts == Texts::Rich && i % 3 == 1)
            address.replace(QStringLiteral("https://"), QStringLiteral("https://www."))
                .append(QStringLiteral("?utm_source=rss"));
        all.append(
            {{100 + i, address, int(rng.bounded(200)) + 1, title, description, double(i % 7)},
             1700000000 + i});
    }
    if (links > 0
        && LinkStore::importLinks(groups, all, {}, &error) != LinkStore::ImportResult::Written)
        qFatal("%s", qPrintable(error));
    Store::CloseDb();
    QFile mark(done);
    if (!mark.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(done));
    made.insert(name, dir);
    return dir;
}

// Seconds and peak memory (MB) of a command, output to a file.
struct Run
{
    double seconds = 0;
    double peakMb = 0;
    double cpuSeconds = 0; // user and system: less swayed by the machine's load
};
Run run(const QStringList &args, const QString &out, const QStringList &env = {})
{
    // A variable given replaces the inherited one (the first of a name is the one read).
    std::vector<QByteArray> envBytes;
    for (const QString &e : env)
        envBytes.push_back(e.toLocal8Bit());
    for (char **e = environ; *e; ++e) {
        const QByteArray inherited(*e);
        const QByteArray name = inherited.left(inherited.indexOf('=') + 1);
        if (std::none_of(envBytes.begin(), envBytes.end(),
                         [&](const QByteArray &b) { return b.startsWith(name); }))
            envBytes.push_back(inherited);
    }
    std::vector<char *> envp;
    for (QByteArray &b : envBytes)
        envp.push_back(b.data());
    envp.push_back(nullptr);
    // The peak from time(1), which forks the command itself: the maximum a spawned child reports
    // to wait4 starts from this process's own.
    const QString peakFile = g_dir->filePath(QStringLiteral("peak.txt"));
    std::vector<QByteArray> bytes {"/usr/bin/time", "-f", "%M %U %S", "-o", peakFile.toLocal8Bit()};
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
    const QByteArray errors = g_dir->filePath(QStringLiteral("errors.txt")).toLocal8Bit();
    posix_spawn_file_actions_addopen(&files, 2, errors.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) != 0)
        qFatal("cannot run %s", argv[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    posix_spawn_file_actions_destroy(&files);
    QFile peak(peakFile);
    const QList<QByteArray> figures = peak.open(QIODevice::ReadOnly)
        ? peak.readAll().trimmed().split('\n').constLast().split(' ')
        : QList<QByteArray>();
    // A failed command makes no figure.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        QFile why(QString::fromLocal8Bit(errors));
        qFatal("%s failed: %s", qPrintable(args.join(u' ')),
               why.open(QIODevice::ReadOnly) ? why.readAll().constData() : "");
    }
    return {seconds, figures.value(0).toDouble() / 1024.0,
            figures.value(1).toDouble() + figures.value(2).toDouble()};
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
    // Output to a file: GNU grep stops at its first match when it writes to /dev/null.
    const QString out = g_dir->filePath(QStringLiteral("out.txt"));
    for (auto _ : state) {
        exp = run({program(), "--data-dir", dir, "export", exported}, out);
        find = run({program(), "--data-dir", dir, "find", "Linux"}, out);
        grep = run({"grep", "-c", "-i", "Linux", exported}, out);
        dump = run({"sqlite3", dir + "/dbLink.mdb", "Select * From tURL"}, out);
        state.SetIterationTime(find.seconds);
    }
    state.counters["grep_s"] = grep.seconds;
    state.counters["dump_s"] = dump.seconds;
    state.counters["find_s"] = find.seconds;
    state.counters["find_MB"] = find.peakMb;
    state.counters["find_to_grep"] = find.seconds / grep.seconds;
    state.counters["find_cpu_to_grep"]
        = find.cpuSeconds / qMax(grep.cpuSeconds, 0.01); // time(1) counts in hundredths
    state.counters["export_s"] = exp.seconds;
    state.counters["export_MB"] = exp.peakMb;
    state.counters["export_to_dump"] = exp.seconds / dump.seconds;
    state.counters["export_cpu_to_dump"] = exp.cpuSeconds / qMax(dump.cpuSeconds, 0.01);
}
BENCHMARK(BM_CommandLine)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// An X server of the benchmark's own on a free display, for the window as a desktop runs it:
// under X, Qt WebEngine's GPU thread maps the GL drivers and their memory, which the offscreen
// platform never does. None when Xvfb is not installed.
class XServer
{
public:
    ~XServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // ":N", or empty without an X server.
    QString display()
    {
        if (m_tried)
            return m_display;
        m_tried = true;
        int n = 90;
        while (n < 200
               && (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))
                   || QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))))
            ++n;
        const QByteArray display = ':' + QByteArray::number(n);
        const char *argv[] = {"Xvfb",         display.constData(), "-screen", "0",
                              "1920x1080x24", "-nolisten",         "tcp",     nullptr};
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
        const int failed
            = posix_spawnp(&m_pid, argv[0], &files, nullptr, const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&files);
        if (failed) {
            m_pid = 0;
            std::printf("Xvfb is not installed: the window is measured offscreen only\n");
            return {};
        }
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!QFile::exists(socket) || waitpid(m_pid, nullptr, WNOHANG) != 0) {
            std::printf("Xvfb did not start on %s: the window is measured offscreen only\n",
                        display.constData());
            return {};
        }
        m_display = QString::fromLatin1(display);
        return m_display;
    }

private:
    bool m_tried = false;
    pid_t m_pid = 0;
    QString m_display;
};
XServer g_x;

// The window as a user starts it (release build): seconds from the start to the first paint of
// the list with its rows, and to the ready search, beside the same for the empty collection (the
// floor); the memory then (from the program's /proc/self/status). Each the median of three
// starts. Offscreen unless display names an X server: then as on a desktop, with the GPU thread
// (no --disable-gpu).
struct Start
{
    double seconds = 0;
    double rssMb = 0;
    double hwmMb = 0;
    int rows = 0;
};
Start startWindow(const QString &dir, const char *until, const QString &display = {})
{
    const QString out = dir + QStringLiteral("/../probe.txt");
    QStringList env {QStringLiteral("LINKWELL_START_PROBE=") + QLatin1String(until),
                     "LINKWELL_NONINTERACTIVE=1", "LINKWELL_SEARCH_URL=about:blank",
                     "LINKWELL_HOME_URL=about:blank"};
    if (!display.isEmpty())
        env << "QT_QPA_PLATFORM=xcb"
            << "DISPLAY=" + display << "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox"
            << "QTWEBENGINE_DISABLE_SANDBOX=1";
    std::vector<Start> starts;
    for (int i = 0; i < 3; ++i) {
        const Run r = run({program(), "--data-dir", dir}, out, env);
        QFile f(out);
        Start s {r.seconds, 0, 0, -1};
        if (f.open(QIODevice::ReadOnly)) {
            for (const QByteArray &field : f.readAll().trimmed().split(' ')) {
                const QList<QByteArray> kv = field.split('=');
                const double v = kv.value(1).toDouble();
                if (kv[0] == "rows")
                    s.rows = int(v);
                else if (kv[0] == "rss_kb")
                    s.rssMb = v / 1024.0;
                else if (kv[0] == "hwm_kb")
                    s.hwmMb = v / 1024.0;
            }
        }
        starts.push_back(s);
    }
    std::sort(starts.begin(), starts.end(),
              [](const Start &a, const Start &b) { return a.seconds < b.seconds; });
    return starts[1];
}

void BM_WindowStart(benchmark::State &state)
{
    const int links = int(state.range(0));
    const QString dir = folderOf(links, Texts(state.range(1)));
    static const Start emptyList = startWindow(folderOf(0), "list");
    static const Start emptyReady = startWindow(folderOf(0), "ready");
    const QString display = g_x.display();
    static const Start emptyX
        = display.isEmpty() ? Start {} : startWindow(folderOf(0), "ready", display);
    Start list, ready, underX;
    for (auto _ : state) {
        list = startWindow(dir, "list");
        ready = startWindow(dir, "ready");
        if (!display.isEmpty())
            underX = startWindow(dir, "ready", display);
        state.SetIterationTime(list.seconds);
    }
    if (list.rows <= 0 || ready.rows != links || (!display.isEmpty() && underX.rows != links))
        state.SkipWithError("the window did not show the list");
    state.counters["empty_s"] = emptyList.seconds;
    state.counters["painted_s"] = list.seconds;
    state.counters["painted_to_empty"] = list.seconds / emptyList.seconds;
    state.counters["painted_MB"] = list.rssMb;
    state.counters["ready_s"] = ready.seconds;
    state.counters["ready_to_empty"] = ready.seconds / emptyReady.seconds;
    state.counters["ready_MB"] = ready.rssMb;
    state.counters["peak_MB"] = ready.hwmMb;
    if (links >= 1000000)
        state.counters["peak_to_500MB"] = ready.hwmMb / 500.0;
    if (!display.isEmpty()) {
        // Under X: the empty window is the floor, what grows with the collection is the rest.
        state.counters["x_empty_MB"] = emptyX.hwmMb;
        state.counters["x_peak_MB"] = underX.hwmMb;
        state.counters["x_growth_MB"] = underX.hwmMb - emptyX.hwmMb;
        if (links >= 1000000)
            state.counters["x_peak_to_500MB"] = underX.hwmMb / 500.0;
    }
}
// The second argument: 1 for the collection with more text a link (Texts::Rich).
BENCHMARK(BM_WindowStart)
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// Heap in use (freed memory is not always given back to the system, so not the resident size).
double heapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd); // large blocks are mapped apart
}

// Bytes per link the window's structures hold beside the text they hold (text_B: the UTF-8 the
// list's rows hold: number, group name, title, description, and the address only where the
// title is empty; index_text_B: the address, title and description the index is made from; the
// twin keys hold none), each made as the window makes it: the list's rows with their order keys,
// the grid's own handles on them (the window shows every link), the search index made from one
// more pass over the links, the twin keys of every address in that pass.
// window_B is the whole of the window's index (CollectionIndex::build) as a cross-check.
void BM_MemoryPerLink(benchmark::State &state)
{
    const int links = int(state.range(0));
    QString error;
    if (!Store::OpenDb(folderOf(links, Texts(state.range(1))) + QStringLiteral("/dbLink.mdb"),
                       &error))
        qFatal("%s", qPrintable(error));
    double list = 0, grid = 0, index = 0, twins = 0, window = 0, text = 0, indexText = 0;
    double listS = 0, indexS = 0, twinsS = 0;
    QElapsedTimer t;
    for (auto _ : state) {
        {
            const double start = heapBytes();
            t.start();
            LinkList::Ordered rows;
            LinkList::loadAll(rows, &error);
            listS = double(t.nsecsElapsed()) / 1e9;
            const double listed = heapBytes();
            text = 0;
            for (const PackedRow &r : rows.rows) {
                for (int c = 0; c < 5; ++c)
                    text += double(r.cell(c).size());
            }
            const std::vector<PackedRow> shown(rows.rows);
            const double withGrid = heapBytes();
            t.start();
            LinkSearch search;
            search.rebuild(rows.rows.size(), rows.textBytes, [&](const LinkSearch::AddFn &add) {
                indexText = 0;
                return LinkStore::forEachLink(0, [&](const LinkStore::LinkView &v) {
                    if (!rows.groupAt.contains(v.nGrp))
                        return;
                    add({v.nURL, v.sURL, v.sNam, v.sMem});
                    indexText += double(v.sURL.size() + v.sNam.size() + v.sMem.size());
                });
            });
            std::vector<qint64> order;
            order.reserve(rows.keys.size());
            for (size_t i = 0; i < rows.keys.size(); ++i)
                order.push_back(rows.number(i));
            search.setListOrder(order);
            order = {};
            indexS = double(t.nsecsElapsed()) / 1e9;
            const double indexed = heapBytes();
            t.start();
            UrlTwins keys;
            keys.reserve(rows.rows.size());
            LinkStore::forEachLink(0, [&](const LinkStore::LinkView &v) {
                keys.add(v.nURL, QString::fromUtf8(v.sURL));
            });
            keys.finish();
            twinsS = double(t.nsecsElapsed()) / 1e9;
            list = listed - start;
            grid = withGrid - listed;
            index = indexed - withGrid;
            twins = heapBytes() - indexed;
        }
        const double start = heapBytes();
        CollectionIndex whole;
        if (!whole.build(&error))
            qFatal("%s", qPrintable(error));
        window = heapBytes() - start;
    }
    Store::CloseDb();
    state.counters["text_B"] = text / links;
    state.counters["list_B"] = list / links;
    state.counters["list_to_text"] = list / text;
    state.counters["list_over_text_B"] = (list - text) / links;
    state.counters["grid_B"] = grid / links;
    state.counters["index_B"] = index / links;
    state.counters["index_text_B"] = indexText / links;
    state.counters["index_to_text"] = index / indexText;
    state.counters["twins_B"] = twins / links;
    state.counters["window_B"] = window / links;
    state.counters["list_s"] = listS;
    state.counters["index_s"] = indexS;
    state.counters["twins_s"] = twinsS;
}
BENCHMARK(BM_MemoryPerLink)
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
