#include "imaging/encode_jpeg.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cmath>

#include "base/jpeg_guard.h"
#include "tests/imaging/image_test_util.h"
#include "tests/support/jpeg_probe.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::JpegProbe;
using test::probeJpeg;
using test::pixelAt;
using test::Rgb;
using test::TempDir;

// A smooth colour picture (so lossy round trips stay close).
Dib picture(int w, int h) {
    return test::makeDib(w, h, [w, h](int x, int y) {
        return Rgb{std::uint8_t(200 - x * 100 / w), std::uint8_t(60 + y * 120 / h), std::uint8_t(40 + x * 150 / w)};
    });
}

class Encode : public ::testing::Test {
protected:
    Bytes encode(const CompressionSettings& s, const Dib& d) {
        const fs::path out = dir / "out.jpg";
        fs::remove(out);
        EXPECT_TRUE(EncodeJpeg(s, out, d.info, d.pixels.get(), false, 0));
        return test::readBytes(out);
    }
    TempDir dir;
};

TEST_F(Encode, DefaultsRoundTripCloseToThePicture) {
    const Dib src = picture(64, 48);
    const Bytes jpeg = encode(CompressionSettings{}, src);
    const JpegProbe hd = probeJpeg(jpeg);
    EXPECT_EQ(hd.width, 64);
    EXPECT_EQ(hd.height, 48);
    EXPECT_EQ(hd.colorSpace, JCS_YCbCr);
    EXPECT_EQ(hd.sampling[0].first, 1);  // sampling 0 is 4:4:4
    EXPECT_FALSE(hd.progressive);
    EXPECT_FALSE(hd.jfif);  // jfifMarker defaults to 0
    EXPECT_EQ(hd.restartMarkers, 0);
    LoadedImage back;
    ASSERT_TRUE(LoadJpeg(back, dir / "out.jpg", 0));
    int worst = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(pixelAt(back, x, y)[c] - pixelAt(src, x, y)[c]));
    EXPECT_LE(worst, 8);
    // Top-down order is kept: the top-left corner is the reddest pixel.
    EXPECT_GT(pixelAt(back, 0, 0)[0], pixelAt(back, 63, 0)[0]);
    EXPECT_LT(pixelAt(back, 0, 0)[1], pixelAt(back, 0, 47)[1]);
}

TEST_F(Encode, ColourSpacesAndTheirComponents) {
    const Dib src = picture(32, 32);
    struct Case {
        int colorSpace;
        J_COLOR_SPACE space;
        int components;
    };
    for (const Case& c : {Case{0, JCS_GRAYSCALE, 1}, Case{1, JCS_RGB, 3}, Case{2, JCS_YCbCr, 3},
                          Case{3, JCS_CMYK, 4}, Case{4, JCS_YCCK, 4}}) {
        const JpegProbe hd =
            probeJpeg(encode({.quality = 95, .colorSpace = std::uint8_t(c.colorSpace)}, src));
        EXPECT_EQ(hd.colorSpace, c.space) << c.colorSpace;
        EXPECT_EQ(hd.components, c.components) << c.colorSpace;
        if (c.colorSpace == 0) continue;
        // Four-component files decode (Adobe-inverted, K = 255) back to the colours.
        LoadedImage back;
        ASSERT_TRUE(LoadJpeg(back, dir / "out.jpg", 0));
        for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(pixelAt(back, 16, 16)[ch], pixelAt(src, 16, 16)[ch], 4) << c.colorSpace;
    }
}

TEST_F(Encode, SamplingOfFirstComponentOthersOneByOne) {
    const Dib src = picture(40, 40);
    const int expect[4][2] = {{1, 1}, {2, 1}, {2, 2}, {4, 1}};
    for (int sampling = 0; sampling < 4; ++sampling)
        for (int space : {2, 4}) {
            const JpegProbe hd = probeJpeg(encode(
                {.colorSpace = std::uint8_t(space), .sampling = std::uint8_t(sampling)}, src));
            EXPECT_EQ(hd.sampling[0].first, expect[sampling][0]);
            EXPECT_EQ(hd.sampling[0].second, expect[sampling][1]);
            for (int c = 1; c < hd.components; ++c) EXPECT_EQ(hd.sampling[c], std::make_pair(1, 1)) << c;
        }
}

TEST_F(Encode, RestartMarkersByRowsOrInterval) {
    const Dib src = picture(64, 64);  // 4:4:4: 8 MCUs per row, 8 rows
    CompressionSettings s;
    s.restartMode = 1;
    s.restartRows = 2;
    s.restartInterval = 5;  // ignored in mode 1
    JpegProbe hd = probeJpeg(encode(s, src));
    EXPECT_EQ(hd.restartInterval, 16u);
    EXPECT_EQ(hd.restartMarkers, 3);
    s.restartMode = 2;
    s.restartRows = 0;
    hd = probeJpeg(encode(s, src));
    EXPECT_EQ(hd.restartInterval, 5u);
    EXPECT_EQ(hd.restartMarkers, 12);  // 64 MCUs / 5
    s.restartMode = 0;
    s.restartRows = 3;
    EXPECT_EQ(probeJpeg(encode(s, src)).restartMarkers, 0);
}

TEST_F(Encode, ProgressiveIgnoresHuffmanOptimisation) {
    const Dib src = picture(48, 48);
    CompressionSettings s;
    s.progressive = 1;
    const Bytes plain = encode(s, src);
    EXPECT_TRUE(probeJpeg(plain).progressive);
    s.optimizeHuffman = 1;
    EXPECT_EQ(encode(s, src), plain);
    s.progressive = 0;
    const Bytes optimized = encode(s, src);
    EXPECT_FALSE(probeJpeg(optimized).progressive);
    s.optimizeHuffman = 0;
    EXPECT_LT(optimized.size(), encode(s, src).size());
}

TEST_F(Encode, ScaleListAndLanczosOverride) {
    const Dib src = picture(21, 13);
    const int expectW[5] = {168, 84, 42, 21, 11}, expectH[5] = {104, 52, 26, 13, 7};
    for (int i = 0; i < 5; ++i) {
        const JpegProbe hd = probeJpeg(encode({.scaleIndex = std::uint8_t(i)}, src));
        EXPECT_EQ(hd.width, expectW[i]) << i;
        EXPECT_EQ(hd.height, expectH[i]) << i;
    }
    EXPECT_EQ(probeJpeg(encode({.scaleIndex = 0, .lanczosEnabled = 1}, src)).width, 21);

    // Enlarged and halved pictures keep their colours where the picture is flat.
    const Dib flat = test::makeDib(10, 10, [](int, int) { return Rgb{220, 140, 30}; });
    for (int i : {0, 2, 4}) {
        encode({.quality = 100, .scaleIndex = std::uint8_t(i)}, flat);
        LoadedImage back;
        ASSERT_TRUE(LoadJpeg(back, dir / "out.jpg", 0));
        const Rgb p = pixelAt(back, back.info->biWidth - 1, 0);
        EXPECT_NEAR(p[0], 220, 3);
        EXPECT_NEAR(p[1], 140, 3);
        EXPECT_NEAR(p[2], 30, 3);
    }
}

TEST_F(Encode, JfifMarkerFields) {
    const Dib src = picture(16, 16);
    CompressionSettings s;
    s.jfifMarker = 1;
    JpegProbe hd = probeJpeg(encode(s, src));
    EXPECT_TRUE(hd.jfif);
    EXPECT_EQ(hd.jfifMajor, 1);
    EXPECT_EQ(hd.jfifMinor, 1);  // the library's own version unless asked
    s.jfifVersionEnabled = 1;
    s.jfifMinor = 2;
    s.densityEnabled = 1;
    s.densityUnit = 1;
    s.xDensity = 300;
    s.yDensity = 72;
    hd = probeJpeg(encode(s, src));
    EXPECT_EQ(hd.jfifMinor, 2);
    EXPECT_EQ(hd.densityUnit, 1);
    EXPECT_EQ(hd.xDensity, 300);
    EXPECT_EQ(hd.yDensity, 72);
    s.colorSpace = 0;
    EXPECT_TRUE(probeJpeg(encode(s, src)).jfif);
    s.colorSpace = 1;  // the library writes no JFIF marker for RGB
    hd = probeJpeg(encode(s, src));
    EXPECT_FALSE(hd.jfif);
    EXPECT_TRUE(hd.adobe);
}

// Quality 0 is taken as 1.
TEST_F(Encode, DctMethodSmoothingAndQualityReachLibjpeg) {
    Dib src = picture(64, 64);
    for (int y = 0; y < 64; ++y)  // some texture, so the DCTs round differently
        for (int x = 0; x < 64; ++x) src.row(y)[3 * x + 1] = std::uint8_t((x * 37 + y * 91) % 256);
    CompressionSettings s;
    s.quality = 95;
    const Bytes fast = encode(s, src);
    s.dctMethod = 1;
    const Bytes islow = encode(s, src);
    s.dctMethod = 2;
    const Bytes flt = encode(s, src);
    EXPECT_NE(fast, islow);
    EXPECT_NE(islow, flt);
    s.dctMethod = 0;
    s.smoothing = 50;
    EXPECT_EQ(encode(s, src), fast);  // the factor alone does nothing
    s.smoothingEnabled = 1;
    EXPECT_NE(encode(s, src), fast);
    const Bytes zero = encode({.quality = 0}, src);
    EXPECT_EQ(zero, encode({.quality = 1}, src));
}

TEST(SizeLimit, DecimalUnitsBecomeBinary) {
    EXPECT_EQ(sizeLimitBytes(999), 999u);
    EXPECT_EQ(sizeLimitBytes(1000), 1000u);
    EXPECT_EQ(sizeLimitBytes(1001), 1025u);
    EXPECT_EQ(sizeLimitBytes(1500000), 1572864u);
    // No overflow at the top of the range.
    EXPECT_EQ(sizeLimitBytes(4294967295u), 4294967295ull * 1024 / 1000 * 1024 / 1000);
}

TEST_F(Encode, MemoryModeWritesOnlyWhatFits) {
    const Dib src = picture(24, 24);
    CompressionSettings s;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(encodeJpegToMemory(s, src.info, src.pixels.get(), 50, UINT64_MAX, data), EncodeStatus::Ok);
    const std::size_t size = data.size();
    ASSERT_LT(size, 1000u);
    const fs::path out = dir / "m.jpg";
    s.sizeLimit = std::uint32_t(size - 1);  // one byte short
    EXPECT_FALSE(EncodeJpeg(s, out, src.info, src.pixels.get(), true, 50));
    EXPECT_FALSE(fs::exists(out));
    s.sizeLimit = std::uint32_t(size);  // exactly the limit
    ASSERT_TRUE(EncodeJpeg(s, out, src.info, src.pixels.get(), true, 50));
    EXPECT_EQ(test::readBytes(out), data);
    // The early stop reports TooLarge, never a partial buffer.
    EXPECT_EQ(encodeJpegToMemory(s, src.info, src.pixels.get(), 50, size - 1, data), EncodeStatus::TooLarge);
    EXPECT_TRUE(data.empty());
}

TEST_F(Encode, LimitOf1000IsBytesButOf1001IsKilobytes) {
    // Find an encoding of 1001..1025 bytes: refused under L = 1000, allowed
    // under L = 1001 (1025 bytes).
    CompressionSettings s;
    std::vector<std::uint8_t> data;
    for (int side = 24; side <= 64; side += 4) {
        const Dib src = picture(side, side);
        for (int q = 1; q <= 100; ++q) {
            ASSERT_EQ(encodeJpegToMemory(s, src.info, src.pixels.get(), q, UINT64_MAX, data), EncodeStatus::Ok);
            if (data.size() <= 1000 || data.size() > 1025) continue;
            const fs::path out = dir / "k.jpg";
            s.sizeLimit = 1000;
            EXPECT_FALSE(EncodeJpeg(s, out, src.info, src.pixels.get(), true, q));
            EXPECT_FALSE(fs::exists(out));
            s.sizeLimit = 1001;
            EXPECT_TRUE(EncodeJpeg(s, out, src.info, src.pixels.get(), true, q));
            EXPECT_EQ(fs::file_size(out), data.size());
            return;
        }
    }
    GTEST_SKIP() << "no encoding between 1001 and 1025 bytes";
}

TEST_F(Encode, FailuresLeaveNothingAtTheOutputName) {
    setMessageSink([](const char*) {});
    const Dib src = picture(1200, 1200);
    const fs::path out = dir / "keep.jpg";
    test::writeBytes(out, {'o', 'l', 'd'});
    // A progressive encode needs the whole picture's coefficients, far more
    // than a 1 MB memory limit: libjpeg fails part-way through.
    CompressionSettings s;
    s.progressive = 1;
    s.memoryLimitMb = 1;
    EXPECT_EQ(EncodeJpeg(s, out, src.info, src.pixels.get(), false, 0).reason, FailReason::TooLarge);
    EXPECT_EQ(test::readBytes(out), (Bytes{'o', 'l', 'd'}));
    // Settings outside their ranges are refused, not passed to libjpeg.
    for (const CompressionSettings& bad :
         {CompressionSettings{.colorSpace = 7}, CompressionSettings{.sampling = 9}})
        EXPECT_FALSE(EncodeJpeg(bad, out, src.info, src.pixels.get(), false, 0));
    const CompressionSettings plain;
    EXPECT_EQ(EncodeJpeg(plain, dir / "nope" / "a.jpg", src.info, src.pixels.get(), false, 0).reason,
              FailReason::NotFound);
    // Without replacing, an existing file stays.
    EXPECT_EQ(EncodeJpeg(plain, out, src.info, src.pixels.get(), false, 0, false).reason,
              FailReason::Exists);
    EXPECT_EQ(test::readBytes(out), (Bytes{'o', 'l', 'd'}));
    // No temporary files are left behind.
    EXPECT_EQ(test::namesIn(dir.path()), std::vector<std::string>{"keep.jpg"});
    setMessageSink(nullptr);
}

}  // namespace
}  // namespace quill
