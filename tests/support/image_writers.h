// Test inputs for the image loaders: PNG written with libpng, GIF with
// giflib, BMP by hand (so malformed headers can be made on purpose).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "tests/support/test_files.h"

namespace quill::test {

using Rgb = std::array<std::uint8_t, 3>;

struct PngSpec {
    int width = 16;
    int height = 12;
    int colorType = 2;  // PNG colour type: 0 gray, 2 RGB, 3 palette, 4 gray+alpha, 6 RGBA
    int bitDepth = 8;
    bool interlace = false;      // Adam7
    std::vector<Rgb> palette;    // colour type 3
    std::vector<std::uint8_t> paletteAlpha;  // tRNS for colour type 3
    bool grayTransparent = false;            // tRNS gray value 0 for colour type 0
    // Sample c of (x, y) at the file's bit depth (or the palette index).
    std::function<unsigned(int x, int y, int c)> sample;
};
Bytes makePng(const PngSpec& spec);

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    std::vector<Rgb> localMap;  // empty: use the global map; size a power of two
    int transparent = -1;       // index, or -1 for no control extension
    std::function<std::uint8_t(int x, int y)> index;
};

struct GifSpec {
    int width = 16, height = 12;
    std::vector<Rgb> globalMap;  // empty: no global map; size a power of two
    int background = 0;
    std::vector<GifFrame> frames;
};
Bytes makeGif(const GifSpec& spec);

struct BmpSpec {
    int width = 8;
    int height = 6;              // negative: top-down
    int bitCount = 24;
    std::vector<Rgb> palette;    // written as blue, green, red, 0
    // Pixel value of (x, y), y counted from the top of the picture: palette
    // index, 16- or 32-bit word, or 0xRRGGBB for 24 bits.
    std::function<std::uint32_t(int x, int y)> value;
    std::uint32_t compression = 0;  // 1, 2: rows coded as RLE8, RLE4
    std::uint32_t infoSize = 40;    // 12: the OS/2 1.x layout, 3-byte colour entries
    std::vector<std::uint32_t> masks;  // behind a 40-byte header, else inside it
    std::int64_t pixelOffset = -1;  // -1: directly behind the palette
    std::uint32_t colorsUsed = 0;
};
Bytes makeBmp(const BmpSpec& spec);

}  // namespace quill::test
