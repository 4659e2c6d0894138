// quill-make-samples DIR COUNT: a folder of varied generated JPEGs, for the
// start command, benchmarks and screenshots.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/test_files.h"

using namespace quill::test;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quill-make-samples DIR COUNT [WIDTH HEIGHT]\n");
        return 2;
    }
    fs::path dir = argv[1];
    int count = std::atoi(argv[2]);
    int w = argc > 4 ? std::atoi(argv[3]) : 0;
    int h = argc > 4 ? std::atoi(argv[4]) : 0;
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
        if (i % 2 == 0) spec.segments.push_back({0xE1, Bytes{'E', 'x', 'i', 'f', 0, 0}});
        if (i % 6 == 0) spec.segments.push_back({0xFE, Bytes{'h', 'i'}});
        spec.densityUnit = 1;
        spec.xDensity = spec.yDensity = i % 2 ? 72 : 300;
        char name[64];
        std::snprintf(name, sizeof name, "photo_%04d.jpg", i + 1);
        writeBytes(dir / name, makeJpeg(spec));
    }
    return 0;
}
