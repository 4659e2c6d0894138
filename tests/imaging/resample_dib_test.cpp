#include "imaging/resample_dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tests/imaging/image_test_util.h"

namespace quill {
namespace {

using test::makeDib;
using test::pixelAt;
using test::Rgb;

bool isBlack(const Dib& d, int x, int y) { return pixelAt(d, x, y) == Rgb{0, 0, 0}; }

// Every method fits the picture without bars, and at its own size gives
// the source back within one.
TEST(ResampleDib, FittedSizeWithoutCanvasAndIdentityScale) {
    const Dib src = makeDib(400, 300, [](int, int) { return Rgb{90, 90, 90}; });
    const Dib same = makeDib(21, 17, [](int x, int y) {
        return Rgb{std::uint8_t(x * 12), std::uint8_t(y * 15), std::uint8_t((x * y) % 256)};
    });
    for (ResampleMethod m : {ResampleNearest, ResampleBilinear, ResampleBicubic, ResampleLanczos3}) {
        Dib out;
        ASSERT_TRUE(ResampleDib(m, src.info, src.pixels.get(), 200, 200, false, out));
        EXPECT_EQ(out.width(), 200);
        EXPECT_EQ(out.height(), 150);
        EXPECT_EQ(out.info->biSizeImage, 600u * 150);
        int black = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x) black += isBlack(out, x, y);
        EXPECT_EQ(black, 0) << m;

        ASSERT_TRUE(ResampleDib(m, same.info, same.pixels.get(), 21, 17, false, out));
        ASSERT_EQ(out.width(), 21);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 21; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(pixelAt(out, x, y)[c], pixelAt(same, x, y)[c], 1) << m << " " << x << "," << y;
    }
}

TEST(ResampleDib, KeepCanvasCentresWithBars) {
    const Dib src = makeDib(400, 300, [](int, int) { return Rgb{200, 100, 50}; });
    Dib out;
    ASSERT_TRUE(ResampleDib(ResampleLanczos3, src.info, src.pixels.get(), 200, 200, true, out));
    ASSERT_EQ(out.width(), 200);
    ASSERT_EQ(out.height(), 200);
    // offY = ceil((200 - 150) * 0.5) = 25: memory rows 0..24 and 175..199 black.
    auto expectBarRows = [&](int column, int firstPicture, int lastPicture) {
        for (int row = 0; row < out.height(); ++row) {
            const std::uint8_t* p = out.row(row) + 3 * column;
            const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
            EXPECT_EQ(black, row < firstPicture || row > lastPicture) << "memory row " << row;
        }
    };
    expectBarRows(100, 25, 174);

    // 301 x 100 into 100 x 100: scale 100/301, picture 33 rows, offY 34.
    const Dib wide = makeDib(301, 100, [](int, int) { return Rgb{10, 200, 30}; });
    ASSERT_TRUE(ResampleDib(ResampleLanczos3, wide.info, wide.pixels.get(), 100, 100, true, out));
    expectBarRows(50, 34, 66);

    // Odd spare columns: the extra one goes to the left.
    const Dib tall = makeDib(10, 20, [](int, int) { return Rgb{50, 50, 50}; });
    ASSERT_TRUE(ResampleDib(ResampleBicubic, tall.info, tall.pixels.get(), 15, 20, true, out));
    // picture 10 wide, spare 5: offX = ceil(2.5) = 3 columns left, 2 right.
    for (int x = 0; x < 15; ++x) EXPECT_EQ(isBlack(out, x, 10), x < 3 || x >= 13) << "column " << x;
}

TEST(ResampleDib, UniformPictureStaysUniformIncludingEdges) {
    // Weighted sums of a constant are the constant within rounding; truncation
    // may give one less. Border pixels keep the colour too (no dark edge).
    const Dib src = makeDib(37, 23, [](int, int) { return Rgb{201, 77, 3}; });
    for (ResampleMethod m : {ResampleBicubic, ResampleLanczos3})
        for (auto [w, h] : {std::pair{100, 100}, {12, 12}, {37, 23}, {200, 60}}) {
            Dib out;
            ASSERT_TRUE(ResampleDib(m, src.info, src.pixels.get(), w, h, false, out));
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x) {
                    const Rgb p = pixelAt(out, x, y);
                    ASSERT_TRUE(p[0] >= 200 && p[0] <= 201 && p[1] >= 76 && p[1] <= 77 && p[2] >= 2 && p[2] <= 3)
                        << "method " << m << " target " << w << "x" << h << " at " << x << "," << y;
                }
        }
}

TEST(ResampleDib, NearestEnlargesByRepetitionWithoutHalfPixelShift) {
    const Dib src = makeDib(2, 2, [](int x, int y) { return Rgb{std::uint8_t(x * 100), std::uint8_t(y * 100), 7}; });
    Dib out;
    ASSERT_TRUE(ResampleDib(ResampleNearest, src.info, src.pixels.get(), 4, 4, false, out));
    // Result column i samples source x = trunc(i / 2 + 0.5): 0, 1, 1, 1.
    EXPECT_EQ(pixelAt(out, 0, 3)[0], 0);
    EXPECT_EQ(pixelAt(out, 1, 3)[0], 100);
    EXPECT_EQ(pixelAt(out, 3, 3)[0], 100);
}

// Where the whole kernel window lies inside the source, each result pixel is
// the plain double-precision sum of the defining formulas: no half-pixel
// shift, bicubic (a = -1) not normalised, Lanczos-3 normalised, pi as
// 6 * asin(0.5). Evaluated here sample by sample, as written.
TEST(ResampleDib, InteriorPixelsAreTheKernelSumsExactly) {
    std::uint32_t seed = 7;
    const Dib src = makeDib(31, 23, [&](int, int) {
        auto next = [&] { return std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24); };
        return Rgb{next(), next(), next()};
    });
    const double pi = 6 * std::asin(0.5);
    auto lanczos = [pi](double t) {
        if (t == 0) return 1.0;
        const double a = pi * t;
        return std::sin(a) * std::sin(a / 3) / (a * a / 3);
    };
    auto cubic = [](double t) { return t <= 1 ? 1 - 2 * t * t + t * t * t : 4 - 8 * t + 5 * t * t - t * t * t; };
    auto sample = [&](int x, int y, int c) { return double(src.row(y)[3 * x + c]); };
    int compared = 0;
    for (auto [W, H] : {std::pair{13, 10}, {50, 40}, {31, 23}})
        for (ResampleMethod m : {ResampleBicubic, ResampleLanczos3}) {
            Dib out;
            ASSERT_TRUE(ResampleDib(m, src.info, src.pixels.get(), W, H, false, out));
            const double s = std::min(double(W) / 31, double(H) / 23);
            const int reach = m == ResampleLanczos3 ? 2 : 1;
            for (int j = 0; j < out.height(); ++j)
                for (int i = 0; i < out.width(); ++i) {
                    const double fx = i / s, fy = j / s;
                    const int ix = int(fx), iy = int(fy);
                    if (ix < reach || iy < reach || ix >= 31 - reach - 1 || iy >= 23 - reach - 1) continue;
                    for (int c = 0; c < 3; ++c) {
                        double sum = 0, weights = 0;
                        for (int y = iy - reach; y <= iy + reach + 1; ++y)
                            for (int x = ix - reach; x <= ix + reach + 1; ++x) {
                                const double tx = std::fabs(x - fx), ty = std::fabs(y - fy);
                                if (m == ResampleLanczos3 ? (tx >= 3 || ty >= 3) : (tx > 2 || ty > 2)) continue;
                                const double w = m == ResampleLanczos3 ? lanczos(tx) * lanczos(ty) : cubic(tx) * cubic(ty);
                                sum += w * sample(x, y, c);
                                weights += w;
                            }
                        if (m == ResampleLanczos3 && weights != 0) sum /= weights;
                        const int expect = int(std::clamp(sum, 0.0, 255.0));
                        ASSERT_EQ(out.row(j)[3 * i + c], expect) << m << " " << W << "x" << H << " at " << i << "," << j;
                        ++compared;
                    }
                }
        }
    EXPECT_GT(compared, 3000);
}

TEST(ResampleDib, DegenerateInputsDoNotCrash) {
    const Dib src = makeDib(5, 5, [](int, int) { return Rgb{1, 2, 3}; });
    Dib out;
    // A target that fits nothing gives an empty result.
    ASSERT_TRUE(ResampleDib(ResampleLanczos3, src.info, src.pixels.get(), 0, 10, false, out));
    EXPECT_EQ(out.height(), 0);
    // A result over the pixel limit is refused.
    EXPECT_FALSE(ResampleDib(ResampleLanczos3, src.info, src.pixels.get(), 65535, 65535, true, out));
    EXPECT_TRUE(out.empty());
    // Only 24-bit sources are resampled.
    BitmapInfoHeader eight = *src.info;
    eight.biBitCount = 8;
    EXPECT_FALSE(ResampleDib(ResampleBicubic, &eight, src.pixels.get(), 3, 3, false, out));
}

TEST(ConvertDibTo24, ConvertsThroughTheColourTable) {
    // An 8-bit DIB as it lies in memory: header, two-entry table, rows.
    struct {
        BitmapInfoHeader h;
        std::uint8_t table[8];
        std::uint8_t rows[8];
    } mem{.h = {.biWidth = 3, .biHeight = 2, .biBitCount = 8, .biClrUsed = 2},
          .table = {10, 20, 30, 0, 40, 50, 60, 0},
          .rows = {0, 1, 1, 0, 1, 0, 9, 0}};  // stride 4; index 9 is past the table
    Dib out;
    ASSERT_TRUE(ConvertDibTo24(&mem.h, mem.rows, out));
    ASSERT_EQ(out.width(), 3);
    ASSERT_EQ(out.height(), 2);
    EXPECT_EQ(pixelAt(out, 1, 1), (Rgb{60, 50, 40}));  // bottom row (memory row 0), index 1
    EXPECT_EQ(pixelAt(out, 0, 0), (Rgb{60, 50, 40}));
    EXPECT_EQ(pixelAt(out, 1, 0), (Rgb{30, 20, 10}));
    EXPECT_EQ(pixelAt(out, 2, 0), (Rgb{0, 0, 0}));

    BitmapInfoHeader h16{.biWidth = 2, .biHeight = 1, .biBitCount = 16};
    const std::uint8_t px16[4] = {0xFF, 0x7F, 0x21, 0x04};  // 0x7FFF, then r=1 g=1 b=1
    ASSERT_TRUE(ConvertDibTo24(&h16, px16, out));
    EXPECT_EQ(pixelAt(out, 0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(pixelAt(out, 1, 0), (Rgb{8, 8, 8}));

    h16.biBitCount = 2;
    EXPECT_FALSE(ConvertDibTo24(&h16, px16, out));
}

}  // namespace
}  // namespace quill
