// quill-make-fuzz-seeds DIR: small starting inputs for every fuzz target,
// one folder a target (DIR/fuzz_load_bmp, ...), made with the tests'
// builders: the BMP header and coding variants, GIF frames reaching past the
// screen, progressive JPEGs whose tables are defined or redefined between
// scans. Pass DIR as SEED_DIR to scripts/fuzz.sh.
#include <cstdio>
#include <string>

#include "tests/support/image_writers.h"
#include "tests/support/jpeg_patch.h"
#include "tests/support/test_files.h"

using namespace quill::test;

namespace {

fs::path root;

void put(const std::string& target, const std::string& name, const Bytes& bytes, const Bytes& prefix = {}) {
    Bytes all = prefix;
    all.insert(all.end(), bytes.begin(), bytes.end());
    writeBytes(root / target / name, all);
}

Bytes dqt(int slot, std::uint8_t value, bool sixteenBit = false) {
    Bytes payload(1 + 64 * (sixteenBit ? 2 : 1), value);
    payload[0] = std::uint8_t(slot | (sixteenBit ? 0x10 : 0));
    if (sixteenBit)
        for (std::size_t i = 1; i < payload.size(); i += 2) payload[i] = 0;
    return segment(0xDB, payload);
}

// Segment at `at` (its 0xFF) as bytes, and the file without it.
Bytes segmentAt(const Bytes& jpeg, std::size_t at) {
    return Bytes(jpeg.begin() + std::ptrdiff_t(at), jpeg.begin() + std::ptrdiff_t(at + 2 + (jpeg[at + 2] << 8 | jpeg[at + 3])));
}

void jpegSeeds() {
    std::vector<std::pair<std::string, Bytes>> files;
    files.emplace_back("baseline420.jpg", makeJpeg({.width = 24, .height = 16}));
    files.emplace_back("gray.jpg", makeJpeg({.width = 16, .height = 16, .input = Space::Gray, .stored = Space::Gray,
                                             .h0 = 1, .v0 = 1}));
    files.emplace_back("progressive.jpg", makeJpeg({.width = 24, .height = 16, .progressive = true}));
    files.emplace_back("restart-optimized.jpg",
                       makeJpeg({.width = 32, .height = 16, .h0 = 2, .v0 = 1, .optimize = true, .restartInterval = 1}));
    files.emplace_back("arithmetic.jpg", makeJpeg({.width = 16, .height = 16, .progressive = true, .arithmetic = true}));
    files.emplace_back("cmyk.jpg", makeJpeg({.width = 16, .height = 8, .input = Space::CMYK, .stored = Space::YCCK,
                                             .h0 = 1, .v0 = 1, .writeAdobe = true}));

    // Luminance DC first, chroma in later scans, so a table spliced between
    // them is latched by the chroma components only.
    JpegSpec spec{.width = 24, .height = 16, .h0 = 1, .v0 = 1};
    spec.scans = {{{0}, 0, 0}, {{1, 2}, 0, 0}, {{0}, 1, 63}, {{1}, 1, 63}, {{2}, 1, 63}};
    const Bytes plain = makeJpeg(spec);
    const std::size_t luma = findMarker(plain, 0xDB);
    const std::size_t chroma = luma + 2 + (plain[luma + 2] << 8 | plain[luma + 3]);
    const Bytes chromaTable = segmentAt(plain, chroma);
    Bytes late = plain;
    late.erase(late.begin() + std::ptrdiff_t(chroma), late.begin() + std::ptrdiff_t(chroma + chromaTable.size()));
    files.emplace_back("table-defined-late.jpg", withBytesBeforeScan(late, 1, chromaTable));
    files.emplace_back("table-redefined.jpg", withBytesBeforeScan(plain, 1, dqt(1, 2)));
    files.emplace_back("table-redefined-16bit.jpg", withBytesBeforeScan(plain, 3, dqt(1, 5, true)));
    files.emplace_back("shared-slot-redefined.jpg", withBytesBeforeScan(withTableRenumbered(plain, 1, 0), 1, dqt(0, 3)));
    files.emplace_back("stray-bytes.jpg", withBytesBeforeScan(plain, 0, Bytes{0x00, 0x12, 0x34}));
    files.emplace_back("cr-ac-scan-missing.jpg", withoutScan(plain, 4));

    for (const auto& [name, bytes] : files) {
        put("fuzz_scan_jpeg", name, bytes);
        put("fuzz_load_jpeg", name, bytes);
        put("fuzz_lossless_oracle", "p-" + name, bytes, {1});
        put("fuzz_lossless_oracle", "b-" + name, bytes, {0});
        // Rotation right (progressive output) and a crop with a transpose.
        put("fuzz_convert_lossless", "r-" + name, bytes, {0x21, 0x00});
        put("fuzz_convert_lossless", "c-" + name, bytes, {0x04, 0x25});
    }
}

void bmpSeeds() {
    std::vector<Rgb> pal(16);
    for (int i = 0; i < 16; ++i) pal[i] = {std::uint8_t(i * 16), std::uint8_t(255 - i * 9), std::uint8_t(i * i)};
    auto idx = [](int x, int y) { return std::uint32_t(x < 4 ? (x / 2 + y) % 16 : (x * 5 + y) % 16); };
    auto rgb = [](int x, int y) { return std::uint32_t(x * 30 | y * 50 << 8 | (x + y) * 20 << 16); };
    auto word16 = [](int x, int y) { return std::uint32_t((x * 4 % 32) << 11 | (y * 13 % 64) << 5 | (x + y) % 32); };
    const std::pair<const char*, BmpSpec> variants[] = {
        {"rgb24", {.value = rgb}},
        {"rgb32", {.bitCount = 32, .value = rgb}},
        {"rgb555", {.bitCount = 16, .value = word16}},
        {"pal1", {.bitCount = 1, .palette = {{0, 0, 0}, {255, 255, 255}}, .value = idx}},
        {"pal2", {.bitCount = 2, .palette = {pal.begin(), pal.begin() + 4}, .value = idx}},
        {"pal4-short-palette", {.bitCount = 4, .palette = {pal.begin(), pal.begin() + 5}, .value = idx, .colorsUsed = 5}},
        {"pal8", {.bitCount = 8, .palette = pal, .value = idx}},
        {"v4-topdown-pal4", {.height = -6, .bitCount = 4, .palette = pal, .value = idx, .infoSize = 108}},
        {"v5-pal8", {.bitCount = 8, .palette = pal, .value = idx, .infoSize = 124}},
        {"rle8", {.bitCount = 8, .palette = pal, .value = idx, .compression = 1}},
        {"rle4", {.bitCount = 4, .palette = pal, .value = idx, .compression = 2}},
        {"os2v1-pal8", {.bitCount = 8, .palette = pal, .value = idx, .infoSize = 12}},
        {"os2v1-rgb24", {.value = rgb, .infoSize = 12}},
        {"os2v2-pal4", {.bitCount = 4, .palette = pal, .value = idx, .infoSize = 64}},
        {"fields565", {.bitCount = 16, .value = word16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}}},
        {"v5-topdown-fields32",
         {.height = -6, .bitCount = 32, .value = rgb, .compression = 3, .infoSize = 124,
          .masks = {0x0000FF, 0x00FF00, 0xFF0000}}},
        {"v4-fields32-alpha", {.bitCount = 32, .value = rgb, .compression = 3, .infoSize = 108,
                               .masks = {0xFF000000, 0x00FF0000, 0x0000FF00}}},
        {"gap-before-pixels", {.bitCount = 8, .palette = pal, .value = idx, .pixelOffset = 1100}},
    };
    for (const auto& [name, spec] : variants) put("fuzz_load_bmp", std::string(name) + ".bmp", makeBmp(spec));
}

void gifSeeds() {
    const std::vector<Rgb> map = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    auto index = [](int x, int y) { return std::uint8_t((x + 2 * y) % 4); };
    GifSpec plain{.width = 10, .height = 8, .globalMap = map, .background = 3};
    plain.frames.push_back({.left = 2, .top = 1, .width = 6, .height = 5, .index = index});
    const Bytes inside = makeGif(plain);
    put("fuzz_load_gif", "inside.gif", inside);
    // giflib will not write a frame past the screen: move the descriptor's
    // left and top (behind the header, screen and 4-entry map).
    auto moved = [&](int left, int top) {
        Bytes b = inside;
        if (b[25] != 0x2C) std::abort();
        b[26] = std::uint8_t(left), b[27] = std::uint8_t(left >> 8);
        b[28] = std::uint8_t(top), b[29] = std::uint8_t(top >> 8);
        return b;
    };
    put("fuzz_load_gif", "partly-outside.gif", moved(7, 6));
    put("fuzz_load_gif", "wholly-outside.gif", moved(300, 2));

    GifSpec rich{.width = 12, .height = 9, .globalMap = map};
    rich.frames.push_back({.left = 0, .top = 0, .width = 12, .height = 9, .interlace = true,
                           .localMap = {{10, 20, 30}, {40, 50, 60}}, .transparent = 1,
                           .index = [](int x, int y) { return std::uint8_t((x ^ y) & 1); }});
    rich.frames.push_back({.left = 1, .top = 1, .width = 3, .height = 3, .index = index});
    put("fuzz_load_gif", "interlaced-local-map-two-frames.gif", makeGif(rich));
    GifSpec bigFrame = plain;
    bigFrame.frames[0] = {.left = 0, .top = 0, .width = 14, .height = 11, .index = index};
    bigFrame.width = 14, bigFrame.height = 11;
    Bytes larger = makeGif(bigFrame);
    larger[6] = 10, larger[8] = 8;  // the screen shrunk under its frame
    put("fuzz_load_gif", "frame-larger-than-screen.gif", larger);
}

void pngSeeds() {
    const std::vector<Rgb> pal = {{0, 0, 0}, {200, 10, 10}, {10, 200, 10}};
    auto wave = [](int x, int y, int c) { return unsigned(x * 17 + y * 5 + c * 40) & 0xFF; };
    const std::pair<const char*, PngSpec> variants[] = {
        {"rgb8", {.width = 7, .height = 5, .sample = wave}},
        {"gray1", {.width = 9, .height = 3, .colorType = 0, .bitDepth = 1,
                   .sample = [](int x, int y, int) { return unsigned(x + y) & 1; }}},
        {"pal2-trns-short", {.width = 6, .height = 4, .colorType = 3, .bitDepth = 2, .palette = pal,
                             .paletteAlpha = {0, 128}, .sample = [](int x, int, int) { return unsigned(x % 4); }}},
        {"rgba16-adam7", {.width = 9, .height = 9, .colorType = 6, .bitDepth = 16, .interlace = true,
                          .sample = [](int x, int y, int c) { return unsigned(x * 4000 + y * 300 + c * 99) & 0xFFFF; }}},
        {"gray-alpha8", {.width = 5, .height = 5, .colorType = 4, .sample = wave}},
        {"gray16-trns", {.width = 4, .height = 4, .colorType = 0, .bitDepth = 16, .grayTransparent = true,
                         .sample = [](int x, int y, int) { return unsigned(x * 9000 + y); }}},
    };
    for (const auto& [name, spec] : variants) put("fuzz_load_png", std::string(name) + ".png", makePng(spec));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quill-make-fuzz-seeds DIR\n");
        return 2;
    }
    root = argv[1];
    jpegSeeds();
    bmpSeeds();
    gifSeeds();
    pngSeeds();
    return 0;
}
