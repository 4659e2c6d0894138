// Figures for the image panel: what one selection costs for a W x H JPEG,
// PNG and BMP (the panel's load: reduced JPEG decode, bicubic into the box),
// beside a full-size JPEG decode, and how long a small file waits when it
// is selected right after a large one.
#include "imaging/loaded_image.h"
#include "preview/image_file_dialog.h"
#include "tests/support/image_writers.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace quill;

namespace {

double bestMs(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

QString qpath(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// Selects each path in turn at once; milliseconds until the last one shows.
double panelMs(ImagePanel& panel, const std::vector<std::filesystem::path>& paths) {
    const QString last = qpath(paths.back());
    QEventLoop loop;
    auto c = QObject::connect(&panel, &ImagePanel::loadEnded, [&](const QString& p) {
        if (p == last) loop.quit();
    });
    const double ms = bestMs(1, [&] {
        for (const auto& p : paths) panel.showFile(qpath(p));
        loop.exec();
    });
    QObject::disconnect(c);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int w = argc > 2 ? std::atoi(argv[1]) : 6000, h = argc > 2 ? std::atoi(argv[2]) : 4000;
    test::TempDir dir;
    auto pattern = [](int x, int y, int c) { return unsigned((x * (c + 1) + y * (3 - c)) / 7) & 0xFF; };
    std::printf("making %d x %d inputs ...\n", w, h);
    const auto jpeg = test::writeBytes(dir / "big.jpg", test::makeJpeg({.width = w, .height = h, .quality = 90}));
    const auto png = test::writeBytes(dir / "big.png", test::makePng({.width = w, .height = h, .sample = pattern}));
    const auto bmp = test::writeBytes(dir / "big.bmp", test::makeBmp({.width = w, .height = h, .value = [](int x, int y) {
                                                                          return std::uint32_t(x * 7 ^ y * 13) & 0xFFFFFF;
                                                                      }}));
    const auto small = test::writeBytes(dir / "small.png", test::makePng({.width = 64, .height = 48, .sample = pattern}));

    ImagePanel panel;
    const QSize box = panel.picture()->contentsRect().size();
    std::printf("box %d x %d\n", box.width(), box.height());
    for (const auto& p : {jpeg, png, bmp})
        std::printf("  panel load %-8s %8.1f ms\n", p.filename().c_str(),
                    bestMs(3, [&] { loadPanelPicture(qpath(p), box); }));
    std::printf("  full-size JPEG decode %6.1f ms\n", bestMs(3, [&] {
                    LoadedImage image;
                    image.LoadImageFile(jpeg, 0);
                }));
    std::printf("  reduced JPEG decode   %6.1f ms\n", bestMs(3, [&] {
                    LoadedImage image;
                    image.LoadImageFile(jpeg, box.width());
                }));
    // A selection replaces one the panel has not started; one it has started
    // runs to its end first, so the small file waits at most one large load.
    std::printf("  small.png alone            %8.1f ms\n", panelMs(panel, {small}));
    std::printf("  big.png, small.png at once %8.1f ms\n", panelMs(panel, {png, small}));
    return 0;
}
