// The two file outputs at the sizes a large collection reaches.
#include "output/Document.h"
#include "output/Portal.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// Rows as a list of registered Japanese pages shows them, in group order.
QList<ListRow> makeRows(int n)
{
    QList<ListRow> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString num = QString::number(100 + i);
        rows.append(ListRow {
            num, "https://www.example.co.jp/news/" + num + "/index.html?from=portal&id=" + num,
            QStringLiteral("ニュース・") + QString::number(i / 500),
            QStringLiteral("サンプル記事 ") + num + QStringLiteral(" の見出し – 速報 & 解説"),
            QStringLiteral("今日の出来事を短くまとめた説明です。") + num
                + QStringLiteral("\r\n二行目には <注記> や ①② が入ります 😀")});
    }
    return rows;
}

void BM_PortalPageToFile(benchmark::State &state)
{
    const QList<ListRow> rows = makeRows(int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath("Portal.htm");
    Dialogs::enableTestMode();
    qint64 size = 0;
    for (auto _ : state) {
        Dialogs::setNextFileName(path);
        const QString written = Portal::make(rows, "*", dir.path() + "/");
        if (written != path)
            state.SkipWithError("page not written");
        state.PauseTiming();
        size = QFileInfo(path).size();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(size) / 1e6;
}
BENCHMARK(BM_PortalPageToFile)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_PortalPageText(benchmark::State &state)
{
    const QList<ListRow> rows = makeRows(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Portal::pageText(rows));
}
BENCHMARK(BM_PortalPageText)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_PortalPageBytes(benchmark::State &state)
{
    const QList<ListRow> rows = makeRows(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Portal::pageBytes(rows));
}
BENCHMARK(BM_PortalPageBytes)->Arg(100000)->Unit(benchmark::kMillisecond);

// What the page pays once per distinct character it has not met before.
void BM_Cp932LearnOneCharacter(benchmark::State &state)
{
    char16_t c = 0x4E00;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Cp932::canEncode(QChar(c)));
        c = c >= 0x9FA0 ? 0x4E00 : c + 1;
    }
}
BENCHMARK(BM_Cp932LearnOneCharacter)->Unit(benchmark::kMicrosecond);

void BM_DocumentToFile(benchmark::State &state)
{
    const int n = int(state.range(0));
    QTemporaryDir dir;
    const QString data = dir.path() + "/usData/";
    QDir().mkpath(data + "Pic");
    QDir().mkpath(data + "Doc");
    const QList<ListRow> rows = makeRows(n);
    for (int i = 0; i < n; ++i) {
        QImage img(320, 223, QImage::Format_RGB32);
        img.fill(qRgb(i % 256, (i * 7) % 256, 128));
        for (int y = 0; y < img.height(); y += 3)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb((x + i) % 256, y % 256, (x * y) % 256));
        img.save(data + "Pic/" + rows[i].nURL + ".jpg", "JPG", 75);
    }
    const QString path = data + "Doc/Portal.docx";
    Dialogs::enableTestMode();
    Shell::enableTestMode();
    for (auto _ : state) {
        Dialogs::setNextFileName(path);
        if (!Document::make(rows, "*", data, 32))
            state.SkipWithError("document not written");
        state.PauseTiming();
        Shell::clearCalls();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_DocumentToFile)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
