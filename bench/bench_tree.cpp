#include "bookmarks/BookmarkTransfer.h"
#include "collection/GroupFolders.h"
#include "store/LinkStore.h"
#include "store/Statements.h"
#include "store/Store.h"

#include "BenchSupport.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void freshDatabase()
{
    static int n = 0;
    Store::CloseDb();
    const QString path = g_dir->filePath(QStringLiteral("db%1/dbLink.mdb").arg(++n));
    QDir().mkpath(QFileInfo(path).path());
    QString error;
    if (!Store::OpenDb(path, &error))
        qFatal("%s", qPrintable(error));
}

// A browser's file: links in folders nested up to 8 deep, some names holding "/", some
// folders empty.
QByteArray browserFile(int links, int folders, int empty)
{
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
                     "CONTENT=\"text/html; charset=UTF-8\">\n<DL><p>\n";
    int link = 0;
    for (int f = 0; f < folders + empty; ++f) {
        const int depth = 1 + f % 8;
        for (int d = 0; d < depth; ++d)
            out += "<DT><H3>" + QByteArray(d == depth - 1 && f % 5 == 0 ? "TCP/IP " : "F ")
                + QByteArray::number(d == 0 ? f / 8 : f) + "</H3>\n<DL><p>\n";
        const int here = f < folders ? links / folders + (f < links % folders) : 0;
        for (int i = 0; i < here; ++i, ++link)
            out += "<DT><A HREF=\"https://example.org/" + QByteArray::number(link)
                + "\" ADD_DATE=\"" + QByteArray::number(1600000000 + link) + "\">Link "
                + QByteArray::number(link) + "</A>\n";
        for (int d = 0; d < depth; ++d)
            out += "</DL><p>\n";
    }
    return out + "</DL><p>\n";
}

void import(const QString &path)
{
    BookmarkTransfer t;
    QString error;
    if (!t.read(path, &error) || t.write({}, &error) != BookmarkTransfer::Result::Written)
        qFatal("%s", qPrintable(error));
}

} // namespace

// Import, export, import into an empty collection, export again: the exports are alike.
static void BM_RoundTrip(benchmark::State &state)
{
    const QString file = g_dir->filePath(QStringLiteral("browser.html"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(browserFile(10000, 500, 50)) < 0)
        return state.SkipWithError("cannot write the file");
    f.close();
    bool alike = true;
    for (auto _ : state) {
        QByteArray first, second;
        freshDatabase();
        import(file);
        BookmarkTransfer::exportBytes(first);
        const QString again = g_dir->filePath(QStringLiteral("first.html"));
        QFile out(again);
        if (!out.open(QIODevice::WriteOnly) || out.write(first) < 0)
            return state.SkipWithError("cannot write the export");
        out.close();
        freshDatabase();
        import(again);
        BookmarkTransfer::exportBytes(second);
        alike = alike && first == second && first.count("<DT><A ") == 10000;
    }
    if (!alike)
        state.SkipWithError("the exports differ");
    state.counters["alike"] = alike;
}
BENCHMARK(BM_RoundTrip)->Iterations(3)->Unit(benchmark::kMillisecond);

// What the selector does with 5,000 groups: the tree of their paths.
static void BM_SelectorTree(benchmark::State &state)
{
    QList<GroupRecord> groups;
    for (int g = 1; g <= 5000; ++g)
        groups.append({g, QStringLiteral("分類 %1/下 %2/その下 %3").arg(g / 100).arg(g / 10).arg(g),
                       double(g)});
    for (auto _ : state) {
        const GroupTree tree(groups);
        benchmark::DoNotOptimize(tree.nodes().size());
    }
}
BENCHMARK(BM_SelectorTree)->Unit(benchmark::kMillisecond);

// A folder listed with its subtree of 100,000 links in 100 groups (the list's fill: about 80 ms).
static void BM_FolderBelow(benchmark::State &state)
{
    freshDatabase();
    QList<GroupRecord> groups;
    for (int g = 1; g <= 100; ++g)
        groups.append({g, QStringLiteral("技術/%1/%2").arg(g % 10).arg(g), double(g)});
    QList<DatedLink> links;
    for (int i = 0; i < 100000; ++i)
        links.append({{100 + i, QStringLiteral("https://example.org/%1").arg(i), 1 + i % 100,
                       QStringLiteral("Link %1").arg(i), QString(), double(i)},
                      0});
    if (LinkStore::importLinks(groups, links) != LinkStore::ImportResult::Written)
        return state.SkipWithError("cannot fill the collection");
    GroupTree tree;
    GroupFolders::load(tree);
    const int node = tree.indexOf(QStringLiteral("技術"));
    size_t rows = 0;
    for (auto _ : state) {
        std::vector<PackedRow> listed;
        GroupFolders::loadFolder(tree, node, true, listed);
        rows = listed.size();
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_FolderBelow)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv, [] { Store::CloseDb(); });
}
