#include "pages/PageImage.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// The whole pipeline on a window picture of 659 x 466, 32 bits, at 50 %, to a JPEG file.
static void BM_PageImage50(benchmark::State &state)
{
    QTemporaryDir dir;
    QImage picture(659, 466, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    const QString path = dir.filePath(QStringLiteral("100.jpg"));
    for (auto _ : state) {
        if (!PageImage::writeJpeg(PageImage::process(picture, 50), path))
            state.SkipWithError("save failed");
    }
    state.SetLabel("659x466 RGB32 -> 320x223 JPEG q75");
}
BENCHMARK(BM_PageImage50)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
