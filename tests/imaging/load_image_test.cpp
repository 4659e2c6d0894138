#include <gtest/gtest.h>

#include <sys/stat.h>

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

// The extension, in any case, picks the loader; the content must then be
// of that format. A failure leaves the record empty.
TEST(LoadImageFile, ExtensionPicksTheLoaderAndTheSignatureMustMatch) {
    QuietMessages quiet;
    TempDir dir;
    const struct {
        const char* name;
        Bytes data;
        bool loads;
    } cases[] = {
        {"photo.JPG", smallJpeg(), true}, {"photo.Jpeg", smallJpeg(), true}, {"a.PNG", smallPng(), true},
        {"photo.jpe", smallJpeg(), false}, {"a.tif", smallJpeg(), false}, {"jpeg.png", smallJpeg(), false},
        {"png.jpg", smallPng(), false},    {"empty.jpg", {}, false},         {"png.gif", smallPng(), false},
        {"png.bmp", smallPng(), false},
    };
    for (const auto& c : cases) {
        LoadedImage img;
        EXPECT_EQ(img.LoadImageFile(writeBytes(dir / c.name, c.data), 0), c.loads) << c.name;
        EXPECT_EQ(img.empty(), !c.loads) << c.name;
    }
}

TEST(LoadImageFile, NameWithoutExtensionLeavesRecordUntouched) {
    TempDir dir;
    writeBytes(dir / "a.png", smallPng());
    writeBytes(dir / "noext", smallJpeg());
    LoadedImage img;
    ASSERT_TRUE(img.LoadImageFile(dir / "a.png", 0));
    const std::uint8_t* before = img.pixels.get();
    EXPECT_FALSE(img.LoadImageFile(dir / "noext", 0));
    EXPECT_EQ(img.pixels.get(), before);
    // Any other failure empties the record.
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

TEST(JpegLoadFacts, DamagedAndHostileFilesFail) {
    QuietMessages quiet;
    TempDir dir;
    const Bytes good = smallJpeg();
    LoadedImage img;
    // Header cut short.
    writeBytes(dir / "cut.jpg", Bytes(good.begin(), good.begin() + 40));
    EXPECT_FALSE(img.LoadImageFile(dir / "cut.jpg", 0));
    // SOI followed by junk.
    Bytes junk = {0xFF, 0xD8, 0x12, 0x34, 0x56};
    writeBytes(dir / "junk.jpg", junk);
    EXPECT_FALSE(img.LoadImageFile(dir / "junk.jpg", 0));
    // A header that declares 65500 x 65500: refused before the picture is allocated.
    Bytes huge = good;
    for (std::size_t i = 2; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFF; huge[i + 6] = 0xDC;  // height
            huge[i + 7] = 0xFF; huge[i + 8] = 0xDC;  // width
            break;
        }
    writeBytes(dir / "huge.jpg", huge);
    EXPECT_FALSE(img.LoadImageFile(dir / "huge.jpg", 0));
    EXPECT_TRUE(img.empty());
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
        ASSERT_TRUE(LoadPng(img, in)) << c.name;
        expectDibShape(img, c.spec.width, c.spec.height);
        EXPECT_EQ(img.sourceBits, c.sourceBits) << c.name;
        int wrong = 0;
        for (int y = 0; y < c.spec.height; ++y)
            for (int x = 0; x < c.spec.width; ++x) wrong += pixelAt(img, x, y) != c.expect(x, y);
        EXPECT_EQ(wrong, 0) << c.name;
    }
}

TEST(PngLoad, DamagedFilesFail) {
    QuietMessages quiet;
    TempDir dir;
    const Bytes good = test::makePng({.width = 64, .height = 64, .sample = [](int x, int y, int c) {
                                          return unsigned(x * y + c * 77) & 0xFF;
                                      }});
    LoadedImage img;
    writeBytes(dir / "cut.png", Bytes(good.begin(), good.begin() + good.size() / 2));
    EXPECT_FALSE(LoadPng(img, dir / "cut.png"));
    Bytes crc = good;
    crc[40] ^= 0x55;  // inside IDAT: CRC mismatch
    writeBytes(dir / "crc.png", crc);
    EXPECT_FALSE(LoadPng(img, dir / "crc.png"));
    // IHDR declaring 60000 x 60000: over our pixel limit, refused before allocating.
    Bytes huge = good;
    huge[16] = 0; huge[17] = 0; huge[18] = 0xEA; huge[19] = 0x60;
    huge[20] = 0; huge[21] = 0; huge[22] = 0xEA; huge[23] = 0x60;
    writeBytes(dir / "huge.png", huge);
    EXPECT_FALSE(LoadPng(img, dir / "huge.png"));
    EXPECT_TRUE(img.empty());
}

// ---------------------------------------------------------------- GIF

const std::vector<Rgb> kMap = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

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
        ASSERT_TRUE(img.LoadImageFile(in, 0));
        expectDibShape(img, 7, 21);
        EXPECT_EQ(img.sourceBits, 5);
        int wrong = 0;
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 7; ++x) wrong += pixelAt(img, x, y) != map[(y + x) % 32];
        EXPECT_EQ(wrong, 0) << "interlace " << interlace;
    }
}

TEST(GifLoad, PartialFrameSitsOnBlackOrBackgroundCanvas) {
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
}

TEST(GifLoad, TransparentIndexKeepsCanvasAndOnlyFirstFrameShows) {
    TempDir dir;
    test::GifSpec spec{.width = 4, .height = 4, .globalMap = kMap, .background = 2};
    spec.frames.push_back({.width = 4, .height = 4, .transparent = 1,
                           .index = [](int x, int) { return std::uint8_t(x < 2 ? 1 : 3); }});
    spec.frames.push_back({.width = 4, .height = 4, .index = [](int, int) { return 0; }});
    LoadedImage img;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "t.gif", test::makeGif(spec))));
    EXPECT_EQ(pixelAt(img, 0, 1), (Rgb{0, 255, 0}));  // transparent: background shows
    EXPECT_EQ(pixelAt(img, 3, 1), (Rgb{0, 0, 255}));
}

TEST(GifLoad, LocalMapWinsAndReportsItsDepth) {
    TempDir dir;
    test::GifSpec spec{.width = 2, .height = 2, .globalMap = kMap};
    spec.frames.push_back({.width = 2, .height = 2, .localMap = {{1, 2, 3}, {4, 5, 6}},
                           .index = [](int, int) { return 1; }});
    LoadedImage img;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "l.gif", test::makeGif(spec))));
    EXPECT_EQ(pixelAt(img, 1, 1), (Rgb{4, 5, 6}));
    EXPECT_EQ(img.sourceBits, 1);
}

TEST(GifLoad, BadFilesFail) {
    TempDir dir;
    LoadedImage img;
    // Frame reaching past the screen (giflib will not write one: move it after).
    test::GifSpec outside{.width = 4, .height = 4, .globalMap = kMap};
    outside.frames.push_back({.width = 4, .height = 2, .index = [](int, int) { return 1; }});
    Bytes moved = test::makeGif(outside);
    ASSERT_EQ(moved[25], 0x2C);  // image descriptor behind header, screen and 4-entry map
    moved[26] = 2;               // left = 2, width 4, screen 4
    EXPECT_FALSE(LoadGif(img, writeBytes(dir / "o.gif", moved)));
    // No colour map at all.
    Bytes nomap = test::makeGif(outside);
    nomap[10] &= 0x7F;                                 // no global map flag
    nomap.erase(nomap.begin() + 13, nomap.begin() + 25);  // and no map bytes
    EXPECT_FALSE(LoadGif(img, writeBytes(dir / "n.gif", nomap)));
    // No image.
    EXPECT_FALSE(LoadGif(img, writeBytes(dir / "e.gif", test::makeGif({.globalMap = kMap}))));
    // Truncated raster.
    test::GifSpec big{.width = 64, .height = 64, .globalMap = kMap};
    big.frames.push_back({.width = 64, .height = 64, .index = [](int x, int y) { return std::uint8_t((x * y) % 4); }});
    const Bytes full = test::makeGif(big);
    EXPECT_TRUE(LoadGif(img, writeBytes(dir / "full.gif", full)));
    EXPECT_FALSE(LoadGif(img, writeBytes(dir / "cut.gif", Bytes(full.begin(), full.begin() + full.size() / 2))));
    // A screen of 65535 x 65535 is over the pixel limit: refused, not allocated.
    Bytes huge = full;
    huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;
    EXPECT_FALSE(LoadGif(img, writeBytes(dir / "huge.gif", huge)));
    EXPECT_TRUE(img.empty());
}

TEST(GifLoad, IndicesPastTheMapLeaveTheCanvas) {
    TempDir dir;
    test::GifSpec spec{.width = 4, .height = 1, .globalMap = {{9, 9, 9}, {200, 0, 0}}};
    // giflib writes 8-bit codes; indices 2..255 have no map entry.
    spec.frames.push_back({.width = 4, .height = 1, .index = [](int x, int) { return std::uint8_t(x == 0 ? 1 : 250); }});
    LoadedImage img;
    ASSERT_TRUE(LoadGif(img, writeBytes(dir / "x.gif", test::makeGif(spec))));
    EXPECT_EQ(pixelAt(img, 0, 0), (Rgb{200, 0, 0}));
    EXPECT_EQ(pixelAt(img, 2, 0), (Rgb{0, 0, 0}));
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
        LoadedImage img;
        ASSERT_TRUE(LoadBmp(img, writeBytes(dir / "a.bmp", test::makeBmp(spec)))) << c.bits;
        expectDibShape(img, 13, 5);
        EXPECT_EQ(img.sourceBits, c.bits);
        int wrong = 0;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) wrong += pixelAt(img, x, y) != c.expect(x, y);
        EXPECT_EQ(wrong, 0) << c.bits << " bits";
    }
}

TEST(BmpLoad, TwentyFourBitRowsAreCopiedVerbatim) {
    TempDir dir;
    test::BmpSpec spec{.width = 6, .height = 4, .value = [](int x, int y) { return std::uint32_t(x * 40 + y * 0x1100); }};
    const Bytes file = test::makeBmp(spec);
    LoadedImage img;
    ASSERT_TRUE(LoadBmp(img, writeBytes(dir / "a.bmp", file)));
    EXPECT_EQ(std::memcmp(img.pixels.get(), file.data() + 54, 20 * 4), 0);  // stride 20, padding included
}

TEST(BmpLoad, UnsupportedAndMalformedHeadersFail) {
    TempDir dir;
    auto value = [](int x, int y) { return std::uint32_t(x + y); };
    const std::vector<Rgb> pal(256, Rgb{1, 2, 3});
    struct Case {
        const char* name;
        test::BmpSpec spec;
        std::function<void(Bytes&)> damage;
    };
    const Case cases[] = {
        {"rle8", {.bitCount = 8, .palette = pal, .value = value, .compression = 1}, nullptr},
        {"bitfields", {.bitCount = 16, .value = value, .compression = 3}, nullptr},
        {"top-down", {.height = -6, .value = value}, nullptr},
        {"v5 header", {.value = value, .infoSize = 124}, nullptr},
        {"2-bit", {.bitCount = 2, .palette = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}}, .value = value}, nullptr},
        {"pixels cut short", {.value = value}, [](Bytes& b) { b.resize(b.size() - 10); }},
        {"offset past end", {.value = value}, [](Bytes& b) { b[10] = 0xFF; b[11] = 0xFF; b[12] = 0xFF; }},
        {"offset into header", {.value = value}, [](Bytes& b) { b[10] = 20; b[11] = b[12] = b[13] = 0; }},
        {"negative width", {.value = value}, [](Bytes& b) { b[21] = 0xFF; }},
        {"huge picture", {.value = value}, [](Bytes& b) { b[20] = 0x7F; b[24] = 0x7F; }},
        {"stride overflow", {.height = 1, .value = value}, [](Bytes& b) { b[18] = b[19] = b[20] = 0xFF; b[21] = 0x7F; }},
        {"headers only", {.value = value}, [](Bytes& b) { b.resize(30); }},
        // No pixel bytes at all, yet 2^31 - 1 rows to walk: refused up front.
        {"no columns, endless rows", {.value = value}, [](Bytes& b) {
             b[18] = b[19] = b[20] = b[21] = 0;
             b[22] = b[23] = b[24] = 0xFF; b[25] = 0x7F;
         }},
    };
    for (const Case& c : cases) {
        Bytes file = test::makeBmp(c.spec);
        if (c.damage) c.damage(file);
        LoadedImage img;
        EXPECT_FALSE(LoadBmp(img, writeBytes(dir / "bad.bmp", file))) << c.name;
        EXPECT_TRUE(img.empty()) << c.name;
    }
}

TEST(BmpLoad, IndicesPastTheColourTableReadAsBlack) {
    TempDir dir;
    // Two table entries only (biClrUsed 2); index 200 has none.
    test::BmpSpec spec{.width = 3, .height = 1, .bitCount = 8, .palette = {{10, 20, 30}, {40, 50, 60}},
                       .value = [](int x, int) { return std::uint32_t(x == 2 ? 200 : x); }, .colorsUsed = 2};
    LoadedImage img;
    ASSERT_TRUE(LoadBmp(img, writeBytes(dir / "a.bmp", test::makeBmp(spec))));
    EXPECT_EQ(pixelAt(img, 1, 0), (Rgb{40, 50, 60}));
    EXPECT_EQ(pixelAt(img, 2, 0), (Rgb{0, 0, 0}));
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
