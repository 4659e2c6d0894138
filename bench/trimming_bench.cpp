// Figures for the trimming window on a 24-megapixel photo: the decode and
// copy when it opens, the memory the window holds, and one wheel step with
// the repaint it causes (offscreen, so the figure is the painting alone).
#include "imaging/loaded_image.h"
#include "preview/crop_view.h"
#include "preview/loaded_picture.h"
#include "preview/trimming_window.h"
#include "tests/support/test_files.h"

#include <QApplication>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quill;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::TempDir dir;
    std::filesystem::path file = argc > 1 ? std::filesystem::path(argv[1]) : dir / "photo.jpg";
    if (argc <= 1) {
        test::JpegSpec spec{.width = 6000, .height = 4000, .quality = 90};
        spec.pixel = [](int x, int y, int c) {
            unsigned n = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(c) * 83492791u;
            n = (n ^ (n >> 13)) * 0x5bd1e995u;
            return std::uint8_t(std::clamp((x / 24 + y / 16 + c * 40) % 256 + int(n >> 28) - 8, 0, 255));
        };
        test::writeBytes(file, test::makeJpeg(spec));
    }

    const long before = residentKiB();
    auto start = std::chrono::steady_clock::now();
    LoadedImage loaded;
    if (!loaded.LoadImageFile(file, 0)) return 1;
    QImage picture = pictureFrom(loaded);
    const int bw = loaded.mcuWidth, bh = loaded.mcuHeight;
    loaded = LoadedImage();
    std::printf("%d x %d: decode and copy %.0f ms\n", picture.width(), picture.height(), msSince(start));

    std::int32_t regular = 0;
    TrimmingWindow window(TrimContext{&regular, QString::fromStdString(file.string())}, std::move(picture), bw, bh);
    window.resize(1280, 960);
    window.show();
    QApplication::processEvents();
    std::printf("window open: %ld MiB more resident (the picture is %.0f MiB)\n", (residentKiB() - before) / 1024,
                window.view()->image().sizeInBytes() / 1048576.0);

    CropView* view = window.view();
    QScrollBar* v = view->verticalScrollBar();
    int steps = 0;
    double worst = 0;
    start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < 2; ++pass) {
        while (pass == 0 ? v->value() < v->maximum() : v->value() > 0) {
            const auto one = std::chrono::steady_clock::now();
            view->wheelStep(pass == 0 ? -120 : 120);
            view->viewport()->repaint();
            worst = std::max(worst, msSince(one));
            ++steps;
        }
    }
    const double total = msSince(start);
    std::printf("%d wheel steps of 100 px, viewport %d x %d: %.2f ms each on average, %.2f ms at worst\n", steps,
                view->viewport()->width(), view->viewport()->height(), total / steps, worst);

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) view->viewport()->repaint();
    std::printf("full repaint of the viewport: %.2f ms\n", msSince(start) / 20);
    return 0;
}
