// The IJG quality rule (the example tables of the JPEG standard scaled for a
// quality 1 to 100), and its inverse: the quality whose tables come nearest
// to a file's tables, exact for tables the IJG library wrote (8-bit or
// 16-bit, as stored or transposed), a nearest guess for other encoders'.
// It looks at the tables alone, never at the image.
#pragma once

#include <algorithm>

#include "inspection/quant_table_db.h"

namespace quill {

// A base value scaled for a quality (taken into 1 to 100) and limited to 1
// to limit: 255 where a baseline encoder limits it, 32767 otherwise.
constexpr int ijgScaled(int base, int quality, int limit) {
    quality = std::clamp(quality, 1, 100);
    const long scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    return static_cast<int>(std::clamp((base * scale + 50) / 100, 1L, long(limit)));
}

// The IJG library's luminance or chrominance table at a quality, natural order.
QuantValues ijgTable(int list, int quality, int limit);

// luminance and chrominance are the file's tables 0 and 1 in natural order
// with their full values (up to 16 bits, not the low 8 bits the database
// compares); chrominance is null when the file has no second table to use
// (one component, or one table for all).
int ijgQuality(const QuantValues& luminance, const QuantValues* chrominance);

}  // namespace quill
