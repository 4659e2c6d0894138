// LoadImageFile and the four loaders: the DIB shape, each format's variants
// against pixels known in advance (djpeg for JPEG), the one palette rule,
// and the reason every refusal gives.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <cstring>

#include "base/jpeg_guard.h"
#include "imaging/loaded_image.h"
#include "tests/imaging/image_test_util.h"
#include "tests/support/jpeg_patch.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::pixelAt;
using test::Rgb;
using test::TempDir;
using test::writeBytes;

// Loader messages (libjpeg/libpng warnings on purpose-made bad files) stay
// out of the test log.
struct QuietMessages {
    QuietMessages() { setMessageSink([](const char*) {}); }
    ~QuietMessages() { setMessageSink(nullptr); }
};

Bytes smallJpeg() { return test::makeJpeg({.width = 24, .height = 16}); }

Bytes smallPng() {
    return test::makePng({.width = 5, .height = 3, .sample = [](int x, int y, int c) {
                              return unsigned(x * 40 + y * 7 + c * 3);
                          }});
}

void expectDibShape(const LoadedImage& img, int w, int h) {
    ASSERT_FALSE(img.empty());
    const BitmapInfoHeader* hd = img.info;
    EXPECT_EQ(hd->biSize, 40u);
    EXPECT_EQ(hd->biWidth, w);
    EXPECT_EQ(hd->biHeight, h);
    EXPECT_EQ(hd->biPlanes, 1);
    EXPECT_EQ(hd->biBitCount, 24);
    EXPECT_EQ(hd->biCompression, 0u);
    const std::size_t stride = ((std::size_t(w) * 24 + 31) / 32) * 4;
    EXPECT_EQ(hd->biSizeImage, stride * h);
    // The header sits right behind the last row, inside the one block.
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(hd), img.pixels.get() + stride * h);
}

// The DIB shape, the source's depth, and every pixel against expect(x, y).
void expectPicture(const LoadedImage& img, int w, int h, int bits,
                   const std::function<Rgb(int, int)>& expect) {
    expectDibShape(img, w, h);
    EXPECT_EQ(img.sourceBits, bits);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) wrong += pixelAt(img, x, y) != expect(x, y);
    EXPECT_EQ(wrong, 0);
}

// The extension, in any case, picks the loader (other extensions, and
// content of another format, are among the refusals below). A name without
// one leaves the record as it was; any other failure empties it.
TEST(LoadImageFile, ExtensionPicksTheLoader) {
    TempDir dir;
    LoadedImage img;
    for (const char* name : {"photo.JPG", "photo.Jpeg", "a.PNG"})
        EXPECT_TRUE(img.LoadImageFile(writeBytes(dir / name, name[0] == 'a' ? smallPng() : smallJpeg()), 0)) << name;
    const std::uint8_t* before = img.pixels.get();
    EXPECT_FALSE(img.LoadImageFile(writeBytes(dir / "noext", smallJpeg()), 0));
    EXPECT_EQ(img.pixels.get(), before);
    EXPECT_FALSE(img.LoadImageFile(dir / "missing.png", 0));
    EXPECT_TRUE(img.empty());
    EXPECT_EQ(img.info, nullptr);
}

TEST(LoadImageFile, RecordsFileFactsAndDibLayout) {
    TempDir dir;
    const Bytes png = smallPng();
    writeBytes(dir / "a.png", png);
    LoadedImage img;
    ASSERT_TRUE(img.LoadImageFile(dir / "a.png", 0));
    expectDibShape(img, 5, 3);
    EXPECT_EQ(img.width, 5);
    EXPECT_EQ(img.height, 3);
    EXPECT_EQ(img.fileSize, png.size());
    struct stat st {};
    ASSERT_EQ(::stat((dir / "a.png").c_str(), &st), 0);
    EXPECT_EQ(img.modified, st.st_mtime);
    EXPECT_EQ(img.mcuWidth, 0);
    // Rows are bottom-up: the picture's top row is the last row in memory.
    EXPECT_EQ(pixelAt(img, 2, 0), (Rgb{80, 83, 86}));
    const std::uint8_t* top = img.pixels.get() + 2 * 16;  // stride 16 for width 5
    EXPECT_EQ(top[0], 6);                                 // blue of (0, 0)
    EXPECT_EQ(img.pixels.get()[0], 2 * 7 + 6);            // blue of (0, 2), the bottom row
}

const std::vector<Rgb> kMap = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

// Every refusal says why: not that format, unsupported variant (named),
// truncated at byte N, too large, or damage libjpeg/libpng/giflib found.
TEST(LoadImageFile, EveryRefusalSaysWhy) {
    QuietMessages quiet;
    TempDir dir;
    auto cut = [](Bytes b, std::size_t n) { return b.resize(n), b; };
    auto patched = [](Bytes b, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t v : bytes) b[at++] = v;
        return b;
    };
    auto withIhdrCrc = [](Bytes b) {
        const uLong crc = crc32(0, b.data() + 12, 17);
        for (int i = 0; i < 4; ++i) b[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
        return b;
    };
    auto value = [](int x, int y) { return std::uint32_t(x + y); };

    const Bytes jpeg = smallJpeg();
    const std::size_t sof = test::findFrame(jpeg), sos = test::findMarker(jpeg, 0xDA);
    Bytes twins = patched(jpeg, sof + 16, {2});  // ids 1, 2, 2 in the frame ...
    twins[sos + 9] = 2;                           // ... and in the scan
    test::JpegSpec separate{.width = 16, .height = 16, .h0 = 1, .v0 = 1};
    separate.scans = {{{0}, 0, 0}, {{1}, 0, 0}, {{2}, 0, 0}, {{0}, 1, 63}, {{1}, 1, 63}, {{2}, 1, 63}};
    const Bytes noScan = test::withoutScan(test::withoutScan(test::makeJpeg(separate), 5), 2);

    const Bytes png = test::makePng({.width = 64, .height = 64, .sample = [](int x, int y, int c) {
                                         return unsigned(x * y + c * 77) & 0xFF;
                                     }});
    test::GifSpec gifSpec{.width = 64, .height = 64, .globalMap = kMap};
    gifSpec.frames.push_back({.width = 64, .height = 64, .index = [](int x, int y) { return std::uint8_t(x * y % 4); }});
    const Bytes gif = test::makeGif(gifSpec);
    Bytes noMap = patched(gif, 10, {std::uint8_t(gif[10] & 0x7F)});  // no global map flag ...
    noMap.erase(noMap.begin() + 13, noMap.begin() + 25);             // ... and no map bytes
    const Bytes bmp = test::makeBmp({.value = value});
    const Bytes rle = test::makeBmp({.width = 64, .height = 64, .bitCount = 8, .palette = kMap,
                                     .value = [](int x, int y) { return std::uint32_t(x * y % 3); }, .compression = 1});

    struct Case {
        const char* name;
        Bytes file;
        FailReason reason;
        std::string detail;  // "*": any
    };
    const Case cases[] = {
        {"a.tif", jpeg, FailReason::NotImage, "unknown extension .tif"},
        {"photo.jpe", jpeg, FailReason::NotImage, "unknown extension .jpe"},
        {"png.jpg", smallPng(), FailReason::NotJpeg, ""},
        {"jpeg.png", jpeg, FailReason::NotImage, "not a PNG file"},
        {"png.gif", smallPng(), FailReason::NotImage, "not a GIF file"},
        {"png.bmp", smallPng(), FailReason::NotImage, "not a BMP file"},
        {"empty.jpg", {}, FailReason::NotImage, "empty file"},
        {"cut.jpg", cut(jpeg, 40), FailReason::Truncated, "at byte 40"},
        {"cut.png", cut(png, png.size() / 2), FailReason::Truncated, "at byte " + std::to_string(png.size() / 2)},
        {"cut.gif", cut(gif, gif.size() / 2), FailReason::Truncated, "at byte " + std::to_string(gif.size() / 2)},
        {"cut.bmp", cut(bmp, bmp.size() - 10), FailReason::Truncated, "at byte " + std::to_string(bmp.size() - 10)},
        {"cut-rle.bmp", cut(rle, rle.size() / 2), FailReason::Truncated, "at byte " + std::to_string(rle.size() / 2)},
        {"huge.jpg", patched(jpeg, sof + 5, {0xFF, 0xDC, 0xFF, 0xDC}), FailReason::TooLarge, "65500 x 65500 pixels"},
        {"huge.png", withIhdrCrc(patched(png, 16, {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60})), FailReason::TooLarge, "60000 x 60000 pixels"},
        {"huge.gif", patched(gif, 6, {0xFF, 0xFF, 0xFF, 0xFF}), FailReason::TooLarge, "65535 x 65535 pixels"},
        {"huge.bmp", patched(bmp, 18, {0, 0, 1, 0, 0, 0, 1, 0}), FailReason::TooLarge, "65536 x 65536 pixels"},
        // No pixel bytes at all, yet 2^31 - 1 rows to walk.
        {"rows.bmp", patched(bmp, 18, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}), FailReason::TooLarge, "*"},
        {"twins.jpg", twins, FailReason::Corrupt, "components 2 and 3 share the id 2"},
        {"noscan.jpg", noScan, FailReason::Corrupt, "no scan carries component 3"},
        {"crc.png", patched(png, 40, {std::uint8_t(png[40] ^ 0x55)}), FailReason::Corrupt, "*"},
        {"none.gif", test::makeGif({.globalMap = kMap}), FailReason::NotImage, "a GIF without a picture"},
        {"nomap.gif", noMap, FailReason::Corrupt, "no colour map"},
        {"jpeg.bmp", test::makeBmp({.value = value, .compression = 4}), FailReason::Unsupported, "BMP with an embedded JPEG"},
        {"png-in.bmp", test::makeBmp({.value = value, .compression = 5}), FailReason::Unsupported, "BMP with an embedded PNG"},
        {"rle24.bmp", test::makeBmp({.value = value, .compression = 4, .infoSize = 64}), FailReason::Unsupported,
         "OS/2 BMP with RLE24 compression"},
        {"huffman.bmp", test::makeBmp({.bitCount = 1, .palette = kMap, .value = value, .compression = 3, .infoSize = 64}),
         FailReason::Unsupported, "OS/2 BMP with Huffman compression"},
        {"fields24.bmp", test::makeBmp({.value = value, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000}}),
         FailReason::Unsupported, "BMP bit fields at 24 bits"},
        {"64.bmp", patched(bmp, 28, {64}), FailReason::Unsupported, "64-bit BMP"},
        {"header.bmp", test::makeBmp({.value = value, .infoSize = 200}), FailReason::Unsupported, "BMP header of 200 bytes"},
        // The file ends with a 13-byte header, inside the bit count.
        {"header13.bmp", cut(patched(bmp, 14, {13}), 27), FailReason::Unsupported, "BMP header of 13 bytes"},
        {"offset.bmp", patched(bmp, 10, {20, 0, 0, 0}), FailReason::Corrupt, "pixel data inside the header"},
        {"width.bmp", patched(bmp, 21, {0xFF}), FailReason::Corrupt, "negative width"},
    };
    for (const Case& c : cases) {
        LoadedImage img;
        FileResult why;
        EXPECT_FALSE(img.LoadImageFile(writeBytes(dir / c.name, c.file), 0, &why)) << c.name;
        EXPECT_TRUE(img.empty()) << c.name;
        EXPECT_EQ(why.reason, c.reason) << c.name << ": " << failureText(why);
        if (c.detail != "*") {
            EXPECT_EQ(why.detail, c.detail) << c.name;
        }
    }
}

// One rule in every loader: an index with no palette entry is black, even
// over a coloured canvas.
TEST(LoadImageFile, IndicesPastThePaletteAreBlackInEveryFormat) {
    TempDir dir;
    const std::vector<Rgb> two = {{10, 20, 30}, {200, 100, 50}};
    auto index = [](int x, int) { return x == 0 ? 1u : 3u; };  // 3 has no entry
    test::GifSpec gif{.width = 2, .height = 1, .globalMap = two, .background = 1};
    gif.frames.push_back({.width = 2, .height = 1, .index = [&](int x, int y) { return std::uint8_t(index(x, y)); }});
    const std::pair<const char*, Bytes> files[] = {
        {"a.bmp", test::makeBmp({.width = 2, .height = 1, .bitCount = 8, .palette = two, .value = index, .colorsUsed = 2})},
        {"a.png", test::makePng({.width = 2, .height = 1, .colorType = 3, .bitDepth = 2, .palette = two,
                                 .sample = [&](int x, int y, int) { return index(x, y); }})},
        {"a.gif", test::makeGif(gif)},
    };
    for (const auto& [name, bytes] : files) {
        LoadedImage img;
        ASSERT_TRUE(img.LoadImageFile(writeBytes(dir / name, bytes), 0)) << name;
        EXPECT_EQ(pixelAt(img, 0, 0), two[1]) << name;
        EXPECT_EQ(pixelAt(img, 1, 0), (Rgb{0, 0, 0})) << name;
    }
}

// ---------------------------------------------------------------- JPEG

class JpegLoad : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::haveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
    }
    // Loads `jpeg` and compares every pixel with djpeg run with `options`.
    void expectMatchesDjpeg(const Bytes& jpeg, int previewWidth, const std::string& options) {
        const fs::path in = writeBytes(dir / "in.jpg", jpeg);
        LoadedImage img;
        ASSERT_TRUE(LoadJpeg(img, in, previewWidth));
        test::Pnm ref = test::djpeg(options, in, dir / "ref.pnm");
        ASSERT_EQ(img.info->biWidth, ref.width);
        ASSERT_EQ(img.info->biHeight, ref.height);
        int mismatches = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x) mismatches += pixelAt(img, x, y) != ref.at(x, y);
        EXPECT_EQ(mismatches, 0) << options;
    }
    TempDir dir;
};

TEST_F(JpegLoad, FullDecodeEqualsDjpegForGrayAndColourSamplings) {
    expectMatchesDjpeg(test::makeJpeg({.width = 37, .height = 29, .input = test::Space::Gray,
                                       .stored = test::Space::Gray, .h0 = 1, .v0 = 1}),
                       0, "");
    for (auto [h, v] : {std::pair{1, 1}, {2, 1}, {2, 2}, {4, 1}})
        expectMatchesDjpeg(test::makeJpeg({.width = 45, .height = 31, .h0 = h, .v0 = v}), 0, "");
    expectMatchesDjpeg(test::makeJpeg({.width = 40, .height = 24, .progressive = true}), 0, "");
    expectMatchesDjpeg(test::makeJpeg({.width = 40, .height = 24, .stored = test::Space::RGB,
                                       .h0 = 1, .v0 = 1, .writeAdobe = true}),
                       0, "");
}

TEST_F(JpegLoad, PreviewDecodeEqualsDjpegAtSameReduction) {
    // 400 wide: previewWidth 100 asks for 1/4, 150 for 1/2, 30 for 1/13
    // (libjpeg's nearest is 1/8).
    const Bytes jpeg = test::makeJpeg({.width = 400, .height = 120});
    expectMatchesDjpeg(jpeg, 100, "-scale 1/4 -dct fast -nosmooth");
    expectMatchesDjpeg(jpeg, 150, "-scale 1/2 -dct fast -nosmooth");
    expectMatchesDjpeg(jpeg, 30, "-scale 1/8 -dct fast -nosmooth");
}

TEST(JpegLoadFacts, ReducedDecodeKeepsFullSizeAndNoMcu) {
    TempDir dir;
    const fs::path in = writeBytes(dir / "wide.jpg", test::makeJpeg({.width = 4000, .height = 16}));
    LoadedImage img;
    ASSERT_TRUE(img.LoadImageFile(in, 300));  // 4000 / 300 = 13, nearest 1/8
    EXPECT_EQ(img.info->biWidth, 500);
    EXPECT_EQ(img.info->biHeight, 2);
    EXPECT_EQ(img.width, 4000);
    EXPECT_EQ(img.height, 16);
    EXPECT_EQ(img.sourceBits, 24);
    EXPECT_EQ(img.mcuWidth, 0);
    EXPECT_EQ(img.mcuHeight, 0);
    LoadedImage capped;
    ASSERT_TRUE(capped.LoadImageFile(in, 10));  // 400, capped at 16
    EXPECT_EQ(capped.info->biWidth, 500);
    const fs::path narrow = writeBytes(dir / "narrow.jpg", test::makeJpeg({.width = 200, .height = 16}));
    LoadedImage full;
    ASSERT_TRUE(full.LoadImageFile(narrow, 300));  // narrower than asked: 1/1
    EXPECT_EQ(full.info->biWidth, 200);
}

TEST(JpegLoadFacts, McuSizeAndSourceBitsFollowTheFile) {
    TempDir dir;
    struct Case {
        test::JpegSpec spec;
        int mcuW, mcuH, bits;
    };
    const Case cases[] = {
        {{.h0 = 2, .v0 = 2}, 16, 16, 24},
        {{.h0 = 1, .v0 = 1}, 8, 8, 24},
        {{.h0 = 2, .v0 = 1}, 16, 8, 24},
        {{.input = test::Space::Gray, .stored = test::Space::Gray, .h0 = 1, .v0 = 1}, 8, 8, 8},
        {{.input = test::Space::CMYK, .stored = test::Space::CMYK, .h0 = 1, .v0 = 1, .writeAdobe = true}, 8, 8, 32},
    };
    for (const Case& c : cases) {
        const fs::path in = writeBytes(dir / "c.jpg", test::makeJpeg(c.spec));
        LoadedImage img;
        ASSERT_TRUE(img.LoadImageFile(in, 0));
        EXPECT_EQ(img.mcuWidth, c.mcuW);
        EXPECT_EQ(img.mcuHeight, c.mcuH);
        EXPECT_EQ(img.sourceBits, c.bits);
    }
}

// The loader notes the orientation and leaves the pixels as stored; a
// malformed Exif structure, cut anywhere, reads as 1 and never past its end.
TEST(JpegLoadFacts, ExifOrientationIsNotedFromAnyByteOrderAndCutsReadAsOne) {
    TempDir dir;
    for (bool big : {false, true}) {
        test::JpegSpec spec{.width = 32, .height = 16};
        spec.segments.push_back(test::exifOrientationSegment(6, big));
        LoadedImage img;
        ASSERT_TRUE(img.LoadImageFile(writeBytes(dir / "o.jpg", test::makeJpeg(spec)), 300));
        EXPECT_EQ(img.orientation, 6) << big;
        EXPECT_EQ(img.info->biWidth, 32);
    }
    const Bytes segment = test::exifOrientationSegment(8, true).data;
    const Bytes tiff(segment.begin() + 6, segment.end());
    for (std::size_t cut = 0; cut <= tiff.size(); ++cut) {
        const Bytes part(tiff.begin(), tiff.begin() + long(cut));
        const int got = exifOrientation(part.data(), part.size());
        EXPECT_EQ(got, cut >= 8 + 2 + 12 ? 8 : 1) << cut;
    }
    Bytes bad = tiff;
    bad[8 + 2 + 8 + 1] = 9;  // no such orientation
    EXPECT_EQ(exifOrientation(bad.data(), bad.size()), 1);
    bad = tiff;
    bad[7] = 0xF0;  // IFD0 beyond the end
    EXPECT_EQ(exifOrientation(bad.data(), bad.size()), 1);
}

TEST(JpegLoadFacts, CmykIsScaledByInvertedK) {
    TempDir dir;
    test::JpegSpec spec{.width = 16, .height = 16, .input = test::Space::CMYK,
                        .stored = test::Space::CMYK, .h0 = 1, .v0 = 1, .quality = 100,
                        .writeAdobe = true};
    spec.pixel = [](int, int, int c) { return std::uint8_t(c == 3 ? 128 : 255); };
    const fs::path in = writeBytes(dir / "cmyk.jpg", test::makeJpeg(spec));
    LoadedImage img;
    ASSERT_TRUE(img.LoadImageFile(in, 0));
    EXPECT_EQ(pixelAt(img, 5, 5), (Rgb{128, 128, 128}));  // trunc(255 * 128 / 255.0)

    // A varied picture: every pixel is trunc(channel * K / 255.0) of libjpeg's samples.
    spec.pixel = nullptr;
    const Bytes varied = test::makeJpeg(spec);
    writeBytes(in, varied);
    ASSERT_TRUE(img.LoadImageFile(in, 0));
    const test::Decoded ref = test::decodeJpeg(varied);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t* s = ref.pixels.data() + (y * 16 + x) * 4;
            const double k = s[3] / 255.0;
            ASSERT_EQ(pixelAt(img, x, y), (Rgb{std::uint8_t(int(s[0] * k)), std::uint8_t(int(s[1] * k)),
                                               std::uint8_t(int(s[2] * k))}));
        }
}

// Every scan visits every block of the frame, data or not: a few kilobytes of
// empty scans over an 8192 x 8192 frame would hold the preview thread for
// seconds. The scans allowed shrink as the frame grows.
TEST(JpegLoadFacts, ManyEmptyScansOverALargeFrameAreRefused) {
    QuietMessages quiet;
    TempDir dir;
    LoadedImage img;
    EXPECT_TRUE(img.LoadImageFile(writeBytes(dir / "few.jpg", test::emptyScans(8192, 4)), 300));
    EXPECT_EQ(img.width, 8192);
    EXPECT_FALSE(img.LoadImageFile(writeBytes(dir / "many.jpg", test::emptyScans(8192, 400)), 300));
    EXPECT_TRUE(img.empty());
}

// ---------------------------------------------------------------- PNG

struct PngCase {
    const char* name;
    test::PngSpec spec;
    int sourceBits;
    // Expected (r, g, b) of (x, y).
    std::function<Rgb(int x, int y)> expect;
};

TEST(PngLoad, EveryColourTypeAndDepthBecomes24Bit) {
    TempDir dir;
    const std::vector<Rgb> palette = {{10, 20, 30}, {200, 100, 50}, {0, 255, 0}, {9, 8, 7}};
    auto gray = [](unsigned v) { return Rgb{std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)}; };
    const PngCase cases[] = {
        {"gray8", {.colorType = 0, .bitDepth = 8, .sample = [](int x, int y, int) { return unsigned(x * 13 + y); }},
         8, [&](int x, int y) { return gray(x * 13 + y); }},
        {"gray1", {.colorType = 0, .bitDepth = 1, .sample = [](int x, int y, int) { return unsigned((x + y) % 2); }},
         1, [&](int x, int y) { return gray((x + y) % 2 ? 255 : 0); }},
        {"gray4", {.colorType = 0, .bitDepth = 4, .sample = [](int x, int, int) { return unsigned(x % 16); }},
         4, [&](int x, int) { return gray(x % 16 * 17); }},
        {"palette2", {.colorType = 3, .bitDepth = 2, .palette = palette,
                      .sample = [](int x, int y, int) { return unsigned((x + 2 * y) % 4); }},
         2, [&](int x, int y) { return palette[(x + 2 * y) % 4]; }},
        {"palette8 with tRNS", {.colorType = 3, .bitDepth = 8, .palette = palette, .paletteAlpha = {0, 128},
                                .sample = [](int x, int, int) { return unsigned(x % 4); }},
         8, [&](int x, int) { return palette[x % 4]; }},
        {"rgb8", {.colorType = 2, .bitDepth = 8, .sample = [](int x, int y, int c) { return unsigned(x * 10 + y * 3 + c); }},
         24, [](int x, int y) { return Rgb{std::uint8_t(x * 10 + y * 3), std::uint8_t(x * 10 + y * 3 + 1), std::uint8_t(x * 10 + y * 3 + 2)}; }},
        {"rgba16", {.colorType = 6, .bitDepth = 16, .sample = [](int x, int, int c) { return c == 3 ? 0u : unsigned((x * 16 + c) << 8 | 0x7F); }},
         64, [](int x, int) { return Rgb{std::uint8_t(x * 16), std::uint8_t(x * 16 + 1), std::uint8_t(x * 16 + 2)}; }},
        {"gray-alpha8", {.colorType = 4, .bitDepth = 8, .sample = [](int x, int, int c) { return c ? 0u : unsigned(x * 9); }},
         8, [&](int x, int) { return gray(x * 9); }},
        {"adam7 rgb", {.width = 19, .height = 13, .colorType = 2, .bitDepth = 8, .interlace = true,
                       .sample = [](int x, int y, int c) { return unsigned((x * 11 + y * 17) * (c + 1)) & 0xFF; }},
         24, [](int x, int y) { return Rgb{std::uint8_t(x * 11 + y * 17), std::uint8_t((x * 11 + y * 17) * 2),
                                           std::uint8_t((x * 11 + y * 17) * 3)}; }},
        {"adam7 gray2", {.width = 9, .height = 10, .colorType = 0, .bitDepth = 2, .interlace = true,
                         .sample = [](int x, int y, int) { return unsigned(x + y) % 4; }},
         2, [&](int x, int y) { return gray((x + y) % 4 * 85); }},
    };
    for (const PngCase& c : cases) {
        const fs::path in = writeBytes(dir / "in.png", test::makePng(c.spec));
        LoadedImage img;
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(LoadPng(img, in));
        expectPicture(img, c.spec.width, c.spec.height, c.sourceBits, c.expect);
    }
}

// ---------------------------------------------------------------- GIF

TEST(GifLoad, FullFrameInterlacedAndNonAsciiName) {
    TempDir dir;
    std::vector<Rgb> map(32);
    for (int i = 0; i < 32; ++i) map[i] = {std::uint8_t(i * 8), std::uint8_t(255 - i * 8), std::uint8_t(i)};
    for (bool interlace : {false, true}) {
        test::GifSpec spec{.width = 7, .height = 21, .globalMap = map};
        // Each row carries its own index, so a row put in the wrong place shows.
        spec.frames.push_back({.width = 7, .height = 21, .interlace = interlace,
                               .index = [](int x, int y) { return std::uint8_t((y + x) % 32); }});
        const fs::path in = writeBytes(dir / "写真.gif", test::makeGif(spec));
        LoadedImage img;
        SCOPED_TRACE(interlace);
        ASSERT_TRUE(img.LoadImageFile(in, 0));
        expectPicture(img, 7, 21, 5, [&](int x, int y) { return map[(y + x) % 32]; });
    }
}

TEST(GifLoad, FrameSitsOnTheCanvasClippedToTheScreen) {
    TempDir dir;
    test::GifSpec spec{.width = 10, .height = 8, .globalMap = kMap};
    spec.frames.push_back({.left = 3, .top = 2, .width = 4, .height = 3, .index = [](int, int) { return 1; }});
    LoadedImage img;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "a.gif", test::makeGif(spec))));
    EXPECT_EQ(pixelAt(img, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(img, 3, 2), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixelAt(img, 6, 4), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixelAt(img, 7, 4), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(img, 6, 5), (Rgb{0, 0, 0}));

    spec.background = 3;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "b.gif", test::makeGif(spec))));
    EXPECT_EQ(pixelAt(img, 0, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(img, 4, 3), (Rgb{255, 0, 0}));

    // The frame moved to reach past the right and bottom edges (giflib
    // will not write one), then wholly off the screen: the part inside shows.
    Bytes moved = test::makeGif(spec);
    ASSERT_EQ(moved[25], 0x2C);  // image descriptor behind header, screen and 4-entry map
    moved[26] = 8;               // left 8 of a 10-wide screen
    moved[28] = 6;               // top 6 of 8
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "c.gif", moved)));
    EXPECT_EQ(pixelAt(img, 9, 7), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixelAt(img, 7, 7), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(img, 9, 5), (Rgb{0, 0, 255}));
    moved[26] = 40;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "d.gif", moved)));
    EXPECT_EQ(pixelAt(img, 9, 7), (Rgb{0, 0, 255}));
}

// A transparent index keeps the canvas, only the first frame shows, and a
// local map wins over the global one and gives the depth.
TEST(GifLoad, TransparencyFirstFrameAndLocalMap) {
    TempDir dir;
    test::GifSpec spec{.width = 4, .height = 4, .globalMap = kMap, .background = 2};
    spec.frames.push_back({.width = 4, .height = 4, .transparent = 1,
                           .index = [](int x, int) { return std::uint8_t(x < 2 ? 1 : 3); }});
    spec.frames.push_back({.width = 4, .height = 4, .index = [](int, int) { return 0; }});
    LoadedImage img;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "t.gif", test::makeGif(spec))));
    EXPECT_EQ(pixelAt(img, 0, 1), (Rgb{0, 255, 0}));  // transparent: background shows
    EXPECT_EQ(pixelAt(img, 3, 1), (Rgb{0, 0, 255}));
    EXPECT_EQ(img.sourceBits, 2);

    spec.frames[0].localMap = {{1, 2, 3}, {4, 5, 6}};
    spec.frames[0].transparent = -1;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "l.gif", test::makeGif(spec))));
    EXPECT_EQ(pixelAt(img, 0, 1), (Rgb{4, 5, 6}));
    EXPECT_EQ(img.sourceBits, 1);
}

// ---------------------------------------------------------------- BMP

TEST(BmpLoad, EveryBitCountConvertsExactly) {
    TempDir dir;
    const std::vector<Rgb> pal16 = [] {
        std::vector<Rgb> p(16);
        for (int i = 0; i < 16; ++i) p[i] = {std::uint8_t(i * 16), std::uint8_t(i), std::uint8_t(255 - i)};
        return p;
    }();
    struct Case {
        int bits;
        std::vector<Rgb> palette;
        std::function<std::uint32_t(int, int)> value;
        std::function<Rgb(int, int)> expect;
    };
    auto idx = [](int x, int y) { return std::uint32_t((x + 3 * y) % 16); };
    const Case cases[] = {
        {1, {{0, 0, 0}, {250, 251, 252}}, [](int x, int y) { return std::uint32_t((x ^ y) & 1); },
         [](int x, int y) { return (x ^ y) & 1 ? Rgb{250, 251, 252} : Rgb{0, 0, 0}; }},
        {2, {pal16.begin(), pal16.begin() + 4}, [&](int x, int y) { return idx(x, y) % 4; },
         [&](int x, int y) { return pal16[idx(x, y) % 4]; }},
        {4, pal16, idx, [&](int x, int y) { return pal16[idx(x, y)]; }},
        {8, pal16, idx, [&](int x, int y) { return pal16[idx(x, y)]; }},
        {16, {}, [](int x, int y) { return std::uint32_t(x == 0 ? 0x7FFF : (1 << 10) | (y << 5) | x); },
         [](int x, int y) {
             return x == 0 ? Rgb{255, 255, 255}
                           : Rgb{8, std::uint8_t(int(y * 8.225806451612904)), std::uint8_t(int(x * 8.225806451612904))};
         }},
        {24, {}, [](int x, int y) { return std::uint32_t(x * 0x010203 + y * 0x300000); },
         [](int x, int y) { std::uint32_t v = x * 0x010203 + y * 0x300000;
             return Rgb{std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}; }},
        {32, {}, [](int x, int y) { return std::uint32_t(0xC0FFEE + x - y); },
         [](int x, int y) { std::uint32_t v = 0xC0FFEE + x - y;
             return Rgb{std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}; }},
    };
    for (const Case& c : cases) {
        // Odd widths exercise the row padding of every depth.
        test::BmpSpec spec{.width = 13, .height = 5, .bitCount = c.bits, .palette = c.palette, .value = c.value};
        SCOPED_TRACE(c.bits);
        LoadedImage img;
        ASSERT_TRUE(LoadBmp(img, writeBytes(dir / "a.bmp", test::makeBmp(spec))));
        expectPicture(img, 13, 5, c.bits, c.expect);
    }
}

// What everyday editors write: V4/V5 headers, bit fields, top-down rows,
// RLE, OS/2 headers. Each variant of the picture reads as that picture.
TEST(BmpLoad, EveryHeaderAndCodingVariantReadsThePicture) {
    TempDir dir;
    std::vector<Rgb> pal(16);
    for (int i = 0; i < 16; ++i) pal[i] = {std::uint8_t(i * 16), std::uint8_t(255 - i * 9), std::uint8_t(i * i)};
    // Runs of three and single pixels, so RLE writes runs and literal groups.
    auto idx = [](int x, int y) { return std::uint32_t(x < 6 ? (x / 3 + y) % 16 : (x * 5 + y) % 16); };
    auto indexed = [&](int x, int y) { return pal[idx(x, y)]; };
    auto r5 = [](int x, int) { return unsigned(x * 4 % 32); };
    auto g6 = [](int, int y) { return unsigned(y * 13 % 64); };
    auto b5 = [](int x, int y) { return unsigned((x + y) * 3 % 32); };
    auto rgba = [](int x, int y) { return std::uint32_t(x * 20 | y * 40 << 8 | (x + y) * 10 << 16 | 0x80u << 24); };
    struct Variant {
        const char* name;
        test::BmpSpec spec;
        std::function<Rgb(int, int)> expect;
    };
    const Variant variants[] = {
        {"V5 header", {.bitCount = 8, .palette = pal, .value = idx, .infoSize = 124}, indexed},
        {"V4 header, top-down", {.height = -5, .bitCount = 4, .palette = pal, .value = idx, .infoSize = 108}, indexed},
        {"RLE8", {.bitCount = 8, .palette = pal, .value = idx, .compression = 1}, indexed},
        {"RLE4", {.bitCount = 4, .palette = pal, .value = idx, .compression = 2}, indexed},
        {"OS/2 1.x", {.bitCount = 8, .palette = pal, .value = idx, .infoSize = 12}, indexed},
        {"OS/2 2.x", {.bitCount = 4, .palette = pal, .value = idx, .infoSize = 64}, indexed},
        {"5-6-5 bit fields",
         {.bitCount = 16, .value = [&](int x, int y) { return r5(x, y) << 11 | g6(x, y) << 5 | b5(x, y); },
          .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}},
         [&](int x, int y) {
             return Rgb{std::uint8_t(r5(x, y) * 255 / 31), std::uint8_t(g6(x, y) * 255 / 63), std::uint8_t(b5(x, y) * 255 / 31)};
         }},
        {"32-bit fields in a V5 header, top-down",
         {.height = -5, .bitCount = 32, .value = rgba, .compression = 3, .infoSize = 124,
          .masks = {0x0000FF, 0x00FF00, 0xFF0000}},
         [&](int x, int y) { return Rgb{std::uint8_t(x * 20), std::uint8_t(y * 40), std::uint8_t((x + y) * 10)}; }},
    };
    for (const Variant& v : variants) {
        test::BmpSpec spec = v.spec;
        spec.width = 11;
        if (spec.height > 0) spec.height = 5;
        SCOPED_TRACE(v.name);
        LoadedImage img;
        const FileResult r = LoadBmp(img, writeBytes(dir / "a.bmp", test::makeBmp(spec)));
        ASSERT_TRUE(r) << failureText(r);
        expectPicture(img, 11, 5, spec.bitCount, v.expect);
    }
}

// RLE codes that skip pixels (delta, end of line, end of bitmap) leave them
// black; a run past the right edge is cut there.
TEST(BmpLoad, RleSkipsLeaveBlackAndRunsStopAtTheEdge) {
    TempDir dir;
    Bytes file = test::makeBmp({.width = 4, .height = 3, .bitCount = 8, .palette = kMap,
                                .value = [](int, int) { return 0u; }, .compression = 1});
    file.resize(file[10]);
    // Bottom row: six red, two of them past the edge; end of line; a delta
    // over the middle row to x 2 of the top row; one green; end of bitmap.
    const Bytes codes = {6, 1, 0, 0, 0, 2, 2, 1, 1, 2, 0, 1};
    file.insert(file.end(), codes.begin(), codes.end());
    LoadedImage img;
    ASSERT_TRUE(LoadBmp(img, writeBytes(dir / "a.bmp", file)));
    EXPECT_EQ(pixelAt(img, 0, 2), kMap[1]);
    EXPECT_EQ(pixelAt(img, 3, 2), kMap[1]);
    EXPECT_EQ(pixelAt(img, 0, 1), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(img, 2, 0), kMap[2]);
    EXPECT_EQ(pixelAt(img, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(img, 3, 0), (Rgb{0, 0, 0}));
}

TEST(BmpLoad, ZeroHeightGivesEmptyPicture) {
    TempDir dir;
    LoadedImage img;
    ASSERT_TRUE(LoadBmp(img, writeBytes(dir / "a.bmp", test::makeBmp({.height = 0, .value = [](int, int) { return 0u; }}))));
    EXPECT_EQ(img.height, 0);
    EXPECT_EQ(img.info->biSizeImage, 0u);
}

// A file cut short fails, leaving the record empty, or loads at the whole
// file's size; a PNG, GIF or BMP that loads has every pixel of the whole
// file (it may only lack a trailer), while a JPEG cut in its scans has its
// missing blocks filled by libjpeg.
TEST(LoadImageFile, EveryCutFailsCleanlyOrLoadsAtTheWholeSize) {
    QuietMessages quiet;
    std::vector<std::pair<std::string, Bytes>> files = {
        {"s.jpg", test::makeJpeg({.width = 33, .height = 17, .progressive = true})},
        {"s.png", test::makePng({.width = 9, .height = 7, .colorType = 3, .bitDepth = 4,
                                 .interlace = true, .palette = {{1, 2, 3}, {4, 5, 6}},
                                 .sample = [](int x, int y, int) { return unsigned(x + y) % 3; }})},
        {"s.bmp", test::makeBmp({.width = 7, .height = 5, .bitCount = 4, .palette = {{9, 9, 9}, {200, 0, 0}},
                                 .value = [](int x, int y) { return std::uint32_t(x * y % 16); }})},
    };
    test::GifSpec gif{.width = 9, .height = 9, .globalMap = kMap, .background = 1};
    gif.frames.push_back({.left = 1, .top = 1, .width = 7, .height = 7, .interlace = true, .transparent = 2,
                          .index = [](int x, int y) { return std::uint8_t((x + y) % 4); }});
    files.emplace_back("s.gif", test::makeGif(gif));

    for (const auto& [name, whole] : files) {
        const bool jpeg = name == "s.jpg";
        test::MemoryFile file(name);
        for (int previewWidth : jpeg ? std::vector<int>{0, 8} : std::vector<int>{0}) {
            LoadedImage ref;
            ASSERT_TRUE(ref.LoadImageFile(file.write(whole), previewWidth)) << name;
            const std::size_t bytes = ref.info->biSizeImage;
            for (std::size_t cut = 0; cut < whole.size(); ++cut) {
                SCOPED_TRACE(name + " cut at " + std::to_string(cut) + " preview " + std::to_string(previewWidth));
                const fs::path path = file.write(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(cut)));
                LoadedImage img;
                if (!img.LoadImageFile(path, previewWidth)) {
                    ASSERT_TRUE(img.empty());
                    continue;
                }
                ASSERT_EQ(img.info->biWidth, ref.info->biWidth);
                ASSERT_EQ(img.info->biHeight, ref.info->biHeight);
                ASSERT_EQ(img.info->biSizeImage, bytes);
                if (!jpeg) {
                    ASSERT_EQ(std::memcmp(img.pixels.get(), ref.pixels.get(), bytes), 0);
                }
            }
        }
    }
}

}  // namespace
}  // namespace quill
