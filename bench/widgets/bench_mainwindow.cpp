#include "app/Usr.h"
#include "pages/PageArchive.h"
#include "platform/Dialogs.h"
#include "platform/widgets/Grid.h"
#include "search/TextIndex.h"
#include "settings/yIni.h"
#include "store/GroupList.h"
#include "store/GroupTree.h"
#include "store/Sql.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "ui/main/LinkListView.h"
#include "ui/main/RegistrationPanel.h"
#include "ui/main/SearchBox.h"
#include "ui/main/fmLink.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <memory>

namespace {

QTemporaryDir *g_dir = nullptr;
constexpr int kLinks = 100000;

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

void makeData()
{
    Usr::sDataPh = g_dir->path() + u'/';
    Store::OpenDb(Usr::sDataPh + QStringLiteral("dbLink.mdb"));
    Sql::Transaction t;
    for (int g = 1; g <= 200; ++g)
        Sql::exec(Sql::SetPrm(Sql::kInsertGroup, {g, QStringLiteral("Group %1").arg(g), g}));
    for (int i = 0; i < kLinks; ++i)
        Sql::exec(Sql::SetPrm(
            Sql::kInsertLink,
            {100 + i,
             QStringLiteral("https://site%1.example.org/path/page%2.html").arg(i % 977).arg(i),
             1 + i % 200, QStringLiteral("Title of the page number %1").arg(i),
             QStringLiteral("A description of page %1, long enough to be like a real one.").arg(i),
             i % 1000}));
    t.commit();
    Store::CloseDb();
    static yIni ini;
    bool ok = false;
    ini.GetTxt(Usr::sDataPh + QStringLiteral("User.xml"), ok);
    ini.GetGtx(QStringLiteral("画面"));
    Usr::Ini = &ini;
}

std::unique_ptr<fmLink> makeWindow(FakeBrowser **web)
{
    auto w = std::make_unique<fmLink>([web](QWidget *p) {
        *web = new FakeBrowser(p);
        return *web;
    });
    return w;
}

// Waits for what the window reads in the background once shown: the list, then the index.
void settle(fmLink &w)
{
    w.findChild<SearchBox *>()->ensureBuilt();
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}

} // namespace

// The start-up of the main window with 100,000 links: shown_ms up to the shown window, the
// time measured up to the filled list and the ready search.
static void BM_StartUp(benchmark::State &state)
{
    double shown = 0;
    for (auto _ : state) {
        FakeBrowser *web = nullptr;
        auto w = makeWindow(&web);
        QString error;
        QElapsedTimer t;
        t.start();
        if (!w->Form_Load(&error))
            state.SkipWithError("load failed");
        QApplication::processEvents();
        shown = double(t.nsecsElapsed()) / 1e6;
        settle(*w);
        state.counters["shown_ms"] = shown;
        state.PauseTiming();
        w.reset();
        Store::CloseDb();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->Iterations(3);

// LoadList with "*" over 100,000 links, and the memory the filled grid adds.
static void BM_ListFill(benchmark::State &state)
{
    FakeBrowser *web = nullptr;
    auto w = makeWindow(&web);
    QString error;
    w->Form_Load(&error);
    settle(*w);
    w->findChild<LinkListView *>()->SetMaxRows(0);
    // Heap in use, not the resident size: freed memory is not always given back to the system.
    const size_t before = mallinfo2().uordblks;
    double added = 0;
    for (auto _ : state) {
        w->LoadList(false); // replaces every row in one step
        added = double(mallinfo2().uordblks) - double(before);
    }
    state.counters["rows"] = w->findChild<LinkListView *>()->MaxRows();
    state.counters["addedMB"] = added / (1024.0 * 1024.0);
    state.counters["rssMB"] = double(rssKiB()) / 1024.0;
    w.reset();
    Store::CloseDb();
}
BENCHMARK(BM_ListFill)->Unit(benchmark::kMillisecond)->Iterations(5);

// A completed page looked up and shown in the panel, with 100,000 links.
static void BM_PageComplete(benchmark::State &state)
{
    FakeBrowser *web = nullptr;
    auto w = makeWindow(&web);
    QString error;
    w->Form_Load(&error);
    int i = 0;
    for (auto _ : state) {
        web->complete(
            QStringLiteral("https://site%1.example.org/path/page%2.html").arg(i % 977).arg(i),
            QStringLiteral("Title"), QStringLiteral("line 1\r\nline 2\r\nline 3"));
        i = (i + 7919) % kLinks;
    }
    w.reset();
    Store::CloseDb();
}
BENCHMARK(BM_PageComplete)->Unit(benchmark::kMicrosecond);

// What the user sees when typing into the search box: the search over 100,000 links and the
// list refilled with the result, from the key to the filled list. The index is built once.
static void BM_SearchAsTyped(benchmark::State &state, const QString &query)
{
    FakeBrowser *web = nullptr;
    auto w = makeWindow(&web);
    QString error;
    w->Form_Load(&error);
    // The index is read once the window shows; the list then shares its rows.
    const size_t before = mallinfo2().uordblks;
    settle(*w);
    const double indexMB = (double(mallinfo2().uordblks) - double(before)) / (1024.0 * 1024.0);
    QLineEdit *box
        = w->findChild<QWidget *>(QStringLiteral("Frame1"))->findChild<QLineEdit *>("txFind");
    auto type = [&](const QString &text) {
        box->setText(text);
        Q_EMIT box->textEdited(text);
        QApplication::processEvents();
    };
    for (auto _ : state) {
        state.PauseTiming();
        type(QStringLiteral("qqqq")); // a text the next one does not extend: a full search
        state.ResumeTiming();
        type(query);
    }
    state.counters["rows"] = w->findChild<LinkListView *>()->MaxRows();
    state.counters["indexMB"] = indexMB;
    w.reset();
    Store::CloseDb();
}
BENCHMARK_CAPTURE(BM_SearchAsTyped, one_word, QStringLiteral("page4711"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchAsTyped, two_words, QStringLiteral("site12. number"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchAsTyped, three_words, QStringLiteral("ＴＩＴＬＥ 4711 description"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SearchAsTyped, every_link, QStringLiteral("title"))
    ->Unit(benchmark::kMillisecond);

// A new page completes: its twins among 100,000 registered links are looked up for the panel.
static void BM_NewPageTwins(benchmark::State &state)
{
    FakeBrowser *web = nullptr;
    auto w = makeWindow(&web);
    QString error;
    w->Form_Load(&error);
    settle(*w);
    int i = 0;
    for (auto _ : state) {
        // Not registered as written, the same page as a registered one.
        web->complete(QStringLiteral("http://www.site%1.example.org/path/page%2.html/?utm_source=x")
                          .arg(i % 977)
                          .arg(i),
                      QStringLiteral("Title"), QStringLiteral("text"));
        i = (i + 7919) % kLinks;
    }
    state.counters["twin"] = w->findChild<QWidget *>(QStringLiteral("Frame1"))
                                 ->findChild<QLabel *>("lbSim")
                                 ->text()
                                 .isEmpty()
        ? 0
        : 1;
    w.reset();
    Store::CloseDb();
}
BENCHMARK(BM_NewPageTwins)->Unit(benchmark::kMicrosecond);

// The group selector with 5,000 groups nested three deep: read, shown as a tree and opened;
// then a folder listed with its subtree of 100,000 links.
static void BM_SelectorTree(benchmark::State &state)
{
    FakeBrowser *web = nullptr;
    auto w = makeWindow(&web);
    QString error;
    w->Form_Load(&error);
    settle(*w);
    {
        Sql::Transaction t;
        for (int g = 201; g <= 5000; ++g)
            Sql::exec(Sql::SetPrm(
                Sql::kInsertGroup,
                {g, QStringLiteral("分類 %1/下 %2/その下 %3").arg(g / 100).arg(g / 10).arg(g), g}));
        t.commit();
    }
    auto *panel = w->findChild<RegistrationPanel *>();
    QComboBox *selector = panel->controls().cbGrp;
    double load = 0, popup = 0, read = 0, tree = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        panel->LoadGrp();
        load += double(t.nsecsElapsed()) / 1e6;
        t.restart();
        selector->showPopup();
        QApplication::processEvents();
        popup += double(t.nsecsElapsed()) / 1e6;
        selector->hidePopup();
        state.PauseTiming();
        t.restart();
        GroupList groups;
        GroupList::load(groups);
        read += double(t.nsecsElapsed()) / 1e6;
        t.restart();
        const GroupTree made(groups.listed());
        tree += double(t.nsecsElapsed()) / 1e6;
        state.ResumeTiming();
    }
    const double runs = double(state.iterations());
    state.counters["items"] = selector->count();
    state.counters["load_ms"] = load / runs;
    state.counters["read_ms"] = read / runs;
    state.counters["tree_ms"] = tree / runs;
    state.counters["popup_ms"] = popup / runs;
    Sql::NumberList added;
    for (int g = 201; g <= 5000; ++g)
        added << g;
    Sql::exec(Sql::SetPrm(Sql::kDeleteGroups, {QVariant::fromValue(added)}));
    w.reset();
    Store::CloseDb();
}
BENCHMARK(BM_SelectorTree)->Unit(benchmark::kMillisecond);

// The start-up with 3,000 saved pages not yet in the page-text index (its file deleted): the
// window shows before the backfill begins; shown_ms beside BM_StartUp's.
static void BM_StartUpBackfillPending(benchmark::State &state)
{
    constexpr int kCopies = 3000;
    const QByteArray page = "Content-Type: text/html; charset=utf-8\r\n\r\n<p>"
        + QStringLiteral("東京の天気は晴れ、明日は雨 ").repeated(100).toUtf8() + "</p>";
    for (int n = 100; n < 100 + kCopies; ++n) {
        QFile f(PageArchive::fileFor(Usr::sDataPh, n));
        QDir().mkpath(QFileInfo(f).path());
        if (!f.open(QIODevice::WriteOnly) || f.write(page) < 0)
            return state.SkipWithError("cannot write the copies");
    }
    double shown = 0;
    for (auto _ : state) {
        TextIndex::removeFile(Usr::sDataPh);
        FakeBrowser *web = nullptr;
        auto w = makeWindow(&web);
        QString error;
        QElapsedTimer t;
        t.start();
        if (!w->Form_Load(&error))
            state.SkipWithError("load failed");
        QApplication::processEvents();
        shown = double(t.nsecsElapsed()) / 1e6;
        state.counters["shown_ms"] = shown;
        state.PauseTiming();
        w.reset();
        Store::CloseDb();
        state.ResumeTiming();
    }
    QDir(PageArchive::folderFor(Usr::sDataPh)).removeRecursively();
    TextIndex::removeFile(Usr::sDataPh);
}
BENCHMARK(BM_StartUpBackfillPending)->Unit(benchmark::kMillisecond)->Iterations(3);

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
    return 0;
}
