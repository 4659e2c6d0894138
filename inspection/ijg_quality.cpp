// The IJG quality rule and the nearest IJG quality of a file's tables.
//
// Nearest means the least sum of squared differences over the 64 values of
// each table (both tables when the file has two) against the IJG tables of
// each quality, limited as the file's values are limited: to 255 when they
// all fit in 8 bits, as a baseline encoder limits them, else to the file's
// largest value. Before that the luminance table is turned upright: taken
// transposed when its transpose correlates better with the IJG base table,
// a choice that scaling the table does not change. So the estimate never
// rises as a table is scaled up, and an IJG table lies at distance 0 from its
// own quality only. Ties go to the higher quality.
#include "inspection/ijg_quality.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace quill {
namespace {

// The example tables of the JPEG standard (Annex K), natural order.
constexpr int kBase[2][64] = {
    {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
     14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
     18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
     49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99},
    {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
     24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
     99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
     99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99}};

constexpr int transposedIndex(int i) { return 8 * (i % 8) + i / 8; }

// The luminance base as stored and transposed, in the type of the file's
// values so that their products vectorize.
constexpr auto kBaseLuma = [] {
    std::array<QuantValues, 2> t{};
    for (int i = 0; i < 64; ++i) {
        t[0][i] = static_cast<std::uint16_t>(kBase[0][i]);
        t[1][i] = static_cast<std::uint16_t>(kBase[0][transposedIndex(i)]);
    }
    return t;
}();

constexpr int kBaselineLimit = 255, kWideLimit = 32767;

// The tables of every quality (quality q at index q - 1) and their sums.
struct Tables {
    std::array<std::array<QuantValues, 2>, 100> values;
    std::array<std::array<std::int32_t, 100>, 2> sums;
};

constexpr Tables tablesLimitedTo(int limit) {
    Tables t{};
    for (int q = 1; q <= 100; ++q)
        for (int list = 0; list < 2; ++list)
            for (int i = 0; i < 64; ++i) {
                const int v = ijgScaled(kBase[list][i], q, limit);
                t.values[q - 1][list][i] = static_cast<std::uint16_t>(v);
                t.sums[list][q - 1] += v;
            }
    return t;
}
constexpr Tables kBaseline = tablesLimitedTo(kBaselineLimit);
constexpr Tables kWide = tablesLimitedTo(kWideLimit);

// 8-bit tables differ by at most 254 per value: 16-bit differences and
// 32-bit sums suffice (and vectorize).
std::int64_t baselineDistance(const QuantValues& file, const QuantValues& ijg) {
    std::int32_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        const auto d = static_cast<std::int16_t>(file[i] - ijg[i]);
        sum += d * d;
    }
    return sum;
}

std::int64_t wideDistance(const QuantValues& file, const QuantValues& ijg, std::int32_t limit) {
    std::int64_t sum = 0;
    for (int i = 0; i < 64; ++i) {
        const std::int64_t d = file[i] - std::min<std::int32_t>(ijg[i], limit);
        sum += d * d;
    }
    return sum;
}

// The highest quality whose baseline table of the list sums to at least sum
// (0 when none does): the sums fall as the quality rises.
int crossing(int list, std::int32_t sum) {
    const auto& sums = kBaseline.sums[list];
    return static_cast<int>(std::partition_point(sums.begin(), sums.end(),
                                                 [&](std::int32_t s) { return s >= sum; }) -
                            sums.begin());
}

}  // namespace

QuantValues ijgTable(int list, int quality, int limit) {
    QuantValues t{};
    for (int i = 0; i < 64; ++i)
        t[i] = static_cast<std::uint16_t>(ijgScaled(kBase[list & 1][i], quality, limit));
    return t;
}

int ijgQuality(const QuantValues& luminance, const QuantValues* chrominance) {
    const int lists = chrominance ? 2 : 1;
    std::array<QuantValues, 2> file = {luminance, chrominance ? *chrominance : QuantValues{}};
    std::array<std::int32_t, 2> sums{};
    std::uint32_t upright = 0, transposed = 0;
    unsigned bits = 0;  // every value ORed: above 255 when one needs 16 bits
    for (int l = 0; l < lists; ++l)
        for (int i = 0; i < 64; ++i) {
            sums[l] += file[l][i];
            bits |= file[l][i];
        }
    for (int i = 0; i < 64; ++i) {
        upright += std::uint32_t{luminance[i]} * kBaseLuma[0][i];
        transposed += std::uint32_t{luminance[i]} * kBaseLuma[1][i];
    }
    if (transposed > upright)
        for (int i = 0; i < 64; ++i) file[0][i] = luminance[transposedIndex(i)];

    int best = 0;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    auto consider = [&](int q, std::int64_t d) {
        if (d < bestDistance || (d == bestDistance && q > best)) {
            bestDistance = d;
            best = q;
        }
    };

    if (bits > kBaselineLimit) {
        // 16-bit tables are rare: every quality is measured.
        std::int32_t limit = 0;
        for (int l = 0; l < lists; ++l)
            for (std::uint16_t v : file[l]) limit = std::max<std::int32_t>(limit, v);
        for (int q = 100; q >= 1; --q) {
            std::int64_t d = 0;
            for (int l = 0; l < lists; ++l) d += wideDistance(file[l], kWide.values[q - 1][l], limit);
            consider(q, d);
        }
        return best;
    }

    // By Cauchy-Schwarz, 64 times the distance is at least the sum over the
    // tables of their squared sum differences. Each term falls up to the
    // quality where the IJG sums cross the file's and rises after it, so the
    // bound rises away from the span between the crossings: the search
    // measures that span, from its least bound, and walks outwards until the
    // bound exceeds the best distance found.
    auto bound = [&](int q) {
        std::int64_t b = 0;
        for (int l = 0; l < lists; ++l) {
            const std::int64_t d = sums[l] - kBaseline.sums[l][q - 1];
            b += d * d;
        }
        return b;
    };
    auto measure = [&](int q) {
        if (best && bound(q) > 64 * bestDistance) return false;
        std::int64_t d = 0;
        for (int l = 0; l < lists; ++l) d += baselineDistance(file[l], kBaseline.values[q - 1][l]);
        consider(q, d);
        return true;
    };
    int lo = crossing(0, sums[0]), hi = lo;
    if (chrominance) {
        const int c = crossing(1, sums[1]);
        lo = std::min(lo, c);
        hi = std::max(hi, c);
    }
    lo = std::max(lo, 1);
    hi = std::min(hi + 1, 100);
    int start = hi;
    for (int q = hi - 1; q >= lo; --q)
        if (bound(q) < bound(start)) start = q;
    measure(start);
    for (int q = hi; q >= lo; --q)
        if (q != start) measure(q);
    for (int q = hi + 1; q <= 100 && measure(q); ++q) {
    }
    for (int q = lo - 1; q >= 1 && measure(q); --q) {
    }
    return best;
}

}  // namespace quill
