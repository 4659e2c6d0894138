// quill-make-samples DIR COUNT [WIDTH HEIGHT [ORIENTATION]]: a folder of
// varied generated JPEGs, for the start command, benchmarks and screenshots.
// With an orientation, the samples that carry Exif get that Orientation tag
// and a thumbnail.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/jpeg_probe.h"
#include "tests/support/test_files.h"

using namespace quill::test;

namespace {

// A calm picture rather than test noise: sky gradient, a sun, rolling hills.
std::uint8_t scenery(int x, int y, int c, int w, int h, int seed) {
    const double fx = double(x) / w, fy = double(y) / h;
    const double hill = 0.62 + 0.08 * std::sin(fx * 6.0 + seed) + 0.04 * std::sin(fx * 17.0 + seed * 2);
    const double sunX = 0.25 + 0.5 * ((seed * 37) % 100) / 100.0, sunY = 0.25;
    const double d = std::hypot((fx - sunX) * w / h, fy - sunY);
    double rgb[3];
    if (fy > hill) {
        const double t = (fy - hill) / (1.0 - hill + 1e-9);
        rgb[0] = 40 + 60 * t;
        rgb[1] = 120 + 50 * std::sin(fx * 20 + fy * 9) * 0.3 - 40 * t;
        rgb[2] = 40;
    } else if (d < 0.09) {
        rgb[0] = 255, rgb[1] = 220, rgb[2] = 120;
    } else {
        rgb[0] = 90 + 120 * fy;
        rgb[1] = 150 + 80 * fy;
        rgb[2] = 235;
    }
    if (c >= 3) return 0;
    return static_cast<std::uint8_t>(std::fmin(255.0, std::fmax(0.0, rgb[c])));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quill-make-samples DIR COUNT [WIDTH HEIGHT [ORIENTATION]]\n");
        return 2;
    }
    fs::path dir = argv[1];
    int count = std::atoi(argv[2]);
    int w = argc > 4 ? std::atoi(argv[3]) : 0;
    int h = argc > 4 ? std::atoi(argv[4]) : 0;
    const int orientation = argc > 5 ? std::atoi(argv[5]) : 0;
    fs::create_directories(dir);
    for (int i = 0; i < count; ++i) {
        JpegSpec spec;
        spec.width = w ? w : 160 + (i * 37) % 480;
        spec.height = h ? h : 120 + (i * 53) % 360;
        spec.quality = 40 + (i * 7) % 60;
        spec.progressive = i % 3 == 1;
        const int sampling[4][2] = {{2, 2}, {1, 1}, {2, 1}, {4, 1}};
        spec.h0 = sampling[i % 4][0];
        spec.v0 = sampling[i % 4][1];
        if (i % 5 == 4) {
            spec.input = spec.stored = Space::Gray;
            spec.h0 = spec.v0 = 1;
        }
        if (i % 2 == 0 && orientation)
            spec.segments.push_back({0xE1, makeExifPayload(false, std::uint32_t(spec.width),
                                                           std::uint32_t(spec.height), orientation,
                                                           makeJpeg({.width = 40, .height = 24}))});
        else if (i % 2 == 0)
            spec.segments.push_back({0xE1, Bytes{'E', 'x', 'i', 'f', 0, 0}});
        if (i % 6 == 0) spec.segments.push_back({0xFE, Bytes{'h', 'i'}});
        spec.densityUnit = 1;
        spec.xDensity = spec.yDensity = i % 2 ? 72 : 300;
        const int sw = spec.width, sh = spec.height, seed = i;
        const bool gray = spec.input == Space::Gray;
        spec.pixel = [sw, sh, seed, gray](int x, int y, int c) -> std::uint8_t {
            if (!gray) return scenery(x, y, c, sw, sh, seed);
            return static_cast<std::uint8_t>((scenery(x, y, 0, sw, sh, seed) * 3 +
                                              scenery(x, y, 1, sw, sh, seed) * 6 +
                                              scenery(x, y, 2, sw, sh, seed)) / 10);
        };
        char name[64];
        std::snprintf(name, sizeof name, "photo_%04d.jpg", i + 1);
        writeBytes(dir / name, makeJpeg(spec));
    }
    return 0;
}
