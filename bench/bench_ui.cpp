// The widget kit: the image box's preview of a camera-sized photo against a full-size decode of
// the same file (what a preview would cost without decoding at the box's size).
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include "BenchMain.h"
#include "ui/ImageBox.h"

namespace {

// A 6000 x 4000 JPEG at quality 85, made once per run in the temporary folder: smooth colour
// gradients under fine noise, so that it compresses as a photo does (several megabytes).
const QString& photo() {
    static const QString path = [] {
        const QString p = QDir::temp().filePath(QStringLiteral("qd_bench_photo_6000x4000.jpg"));
        QImage image(6000, 4000, QImage::Format_RGB32);
        quint32 seed = 12345;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 28) - 8;
                line[x] = qRgb(qBound(0, x * 255 / 6000 + noise, 255),
                               qBound(0, y * 255 / 4000 + noise, 255),
                               qBound(0, ((x + y) / 40) % 256 + noise, 255));
            }
        }
        QImageWriter writer(p, "jpeg");
        writer.setQuality(85);
        if (!writer.write(image))
            qFatal("cannot write %s", qPrintable(p));
        return p;
    }();
    return path;
}

void BM_FullSizeDecode(benchmark::State& state) {
    const QString& path = photo();
    for (auto _ : state) {
        QImageReader reader(path);
        const QImage image = reader.read();
        if (image.size() != QSize(6000, 4000))
            state.SkipWithError("full decode failed");
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_FullSizeDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);

void BM_ImageBoxPreview(benchmark::State& state) {
    const QString& path = photo();
    Qd::Core::Ui::ImageBox box;
    box.resize(400 + 2 * box.frameWidth(), 300 + 2 * box.frameWidth());
    for (auto _ : state) {
        if (!box.loadFile(path) || box.image().size() != QSize(400, 266))
            state.SkipWithError("preview failed");
        benchmark::DoNotOptimize(box.image().constBits());
    }
}
BENCHMARK(BM_ImageBoxPreview)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    const int rc =
        Qd::Bench::runWithRatios(argc, argv, {{"BM_ImageBoxPreview", "BM_FullSizeDecode", 0.5}});
    QFile::remove(photo());
    return rc;
}
