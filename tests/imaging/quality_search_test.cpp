#include "imaging/quality_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "imaging/encode_jpeg.h"

namespace quill {
namespace {

// A photograph in miniature: gradients, a wavy texture, hard-edged patches
// and grain.
Dib photo(int w, int h, std::uint32_t seed) {
    Dib dib = allocateDib(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;
            int texture = int(30 * std::sin(x * 0.4 + y * 0.15));
            if ((x / 7 + y / 5) % 3 == 0) texture += 70;
            std::uint8_t* p = dib.row(h - 1 - y) + 3 * x;
            p[0] = std::uint8_t(std::clamp(60 + x * 90 / w + texture + grain, 0, 255));
            p[1] = std::uint8_t(std::clamp(90 + y * 80 / h - texture / 2 + grain, 0, 255));
            p[2] = std::uint8_t(std::clamp(170 - texture / 3 + grain, 0, 255));
        }
    return dib;
}

struct Case {
    const char* name;
    CompressionSettings settings;
};

std::vector<Case> cases() {
    return {
        {"defaults", {}},
        {"islow 4:2:0, restart every MCU row",
         {.sampling = 2, .restartMode = 1, .restartRows = 1, .dctMethod = 1}},
        {"float 4:2:2, smoothing",
         {.sampling = 1, .smoothingEnabled = 1, .smoothing = 40, .dctMethod = 2}},
        {"4:1:1, restart every 3 MCUs", {.sampling = 3, .restartMode = 2, .restartInterval = 3}},
        {"gray 4:2:0, float", {.colorSpace = 0, .sampling = 2, .dctMethod = 2}},
        {"RGB 4:2:0, JFIF", {.jfifMarker = 1, .colorSpace = 1, .sampling = 2}},
        {"CMYK 4:2:2, islow", {.colorSpace = 3, .sampling = 1, .dctMethod = 1}},
        {"YCCK 4:2:0, smoothing",
         {.colorSpace = 4, .sampling = 2, .smoothingEnabled = 1, .smoothing = 100}},
        {"scale 1/2", {.scaleIndex = 4, .sampling = 2}},
        {"scale 2.0, islow", {.scaleIndex = 2, .dctMethod = 1}},
        {"optimized 4:2:0", {.optimizeHuffman = 1, .sampling = 2}},
        {"optimized, float, restart",
         {.optimizeHuffman = 1, .restartMode = 1, .restartRows = 2, .dctMethod = 2}},
        {"progressive", {.progressive = 1, .sampling = 2}},
    };
}

// Whatever the sizes do as the quality rises, the search finds what
// encoding every quality from 100 down finds, with the same bytes, and its
// bounds never exceed a size they stand for.
TEST(QualitySearch, FindsWhatEncodingEveryQualityFinds) {
    int dips = 0;
    std::uint32_t seed = 1;
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const CompressionSettings& s = c.settings;
        // Partial MCUs on both edges, and padding blocks where a component has
        // fewer blocks than its MCUs hold.
        const Dib picture = photo(37, 35, seed++);
        std::vector<std::uint64_t> size(101);
        std::vector<std::uint8_t> data;
        for (int q = 1; q <= 100; ++q) {
            ASSERT_EQ(encodeJpegToMemory(s, picture.info, picture.pixels.get(), q, UINT64_MAX, data), EncodeStatus::Ok);
            size[q] = data.size();
        }

        const std::vector<SizeBounds> bounds = sizeLowerBounds(s, picture.info, picture.pixels.get());
        ASSERT_EQ(bounds.size(), s.progressive ? 0u : 100u);
        for (int q = 1; q <= int(bounds.size()); ++q) {
            const SizeBounds& b = bounds[std::size_t(q - 1)];
            EXPECT_LE(b.atQuality, size[q]) << "quality " << q;
            EXPECT_LE(b.fromQuality, *std::min_element(size.begin() + q, size.end())) << "quality " << q;
            if (!s.optimizeHuffman) {  // close enough to rule out qualities just above a limit
                EXPECT_GE(b.atQuality, size[q] * 97 / 100) << "quality " << q;
            }
        }

        std::vector<std::uint64_t> limits = {0, size[1] - 1, size[5], size[40], size[71] - 1, size[96], size[100]};
        for (int q = 1; q < 100; ++q)
            if (size[q] > size[q + 1]) {  // a larger quality makes a smaller file
                ++dips;
                limits.insert(limits.end(), {size[q + 1], size[q] - 1});
            }
        for (std::uint64_t limit : limits) {
            int expected = 100;
            while (expected >= 1 && size[std::size_t(expected)] > limit) --expected;
            std::vector<std::uint8_t> found;
            const FoundQuality result = searchQuality(s, picture.info, picture.pixels.get(), limit, found);
            ASSERT_EQ(result.quality, std::max(expected, 0)) << "limit " << limit;
            ASSERT_EQ(result.status, expected > 0 ? EncodeStatus::Ok : EncodeStatus::TooLarge);
            if (result.quality) {
                ASSERT_EQ(encodeJpegToMemory(s, picture.info, picture.pixels.get(), result.quality, UINT64_MAX,
                                             data),
                          EncodeStatus::Ok);
                EXPECT_EQ(found, data) << "limit " << limit;
            }
        }
    }
    EXPECT_GT(dips, 0) << "no picture whose size falls as the quality rises";
}

// With standard codes and a restart at every MCU row the count is the
// entropy-coded data itself: the file holds it plus a zero byte after each
// 0xFF and less than a byte of padding per restart interval. Anything the
// count models wrongly (samples, DCT, MCU layout, padding blocks, restarts,
// codes) shows here.
TEST(QualitySearch, CountsStandardCodesExactly) {
    for (const Case& c : cases()) {
        if (c.settings.optimizeHuffman || c.settings.progressive) continue;
        SCOPED_TRACE(c.name);
        CompressionSettings s = c.settings;
        s.restartMode = 1;
        s.restartRows = 1;
        const Dib picture = photo(45, 70, 7);  // five iMCU rows or more
        const std::vector<SizeBounds> bounds = sizeLowerBounds(s, picture.info, picture.pixels.get());
        ASSERT_EQ(bounds.size(), 100u);
        // Smoothing reaches across the line where the picture was split.
        EXPECT_EQ(bounds, sizeLowerBounds(s, picture.info, picture.pixels.get(), false));
        for (int q : {10, 50, 75, 90, 100}) {
            std::vector<std::uint8_t> data;
            ASSERT_EQ(encodeJpegToMemory(s, picture.info, picture.pixels.get(), q, UINT64_MAX, data), EncodeStatus::Ok);
            std::size_t stuffed = 0, intervals = 1;
            for (std::size_t i = 0; i + 1 < data.size(); ++i)
                if (data[i] == 0xFF) {
                    stuffed += data[i + 1] == 0x00;
                    intervals += data[i + 1] >= 0xD0 && data[i + 1] <= 0xD7;
                }
            const std::uint64_t coded = data.size() - stuffed;
            EXPECT_LE(bounds[std::size_t(q - 1)].atQuality, coded) << "quality " << q;
            EXPECT_GT(bounds[std::size_t(q - 1)].atQuality + intervals, coded) << "quality " << q;
        }
    }
}

}  // namespace
}  // namespace quill
