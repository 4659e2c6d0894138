// Conversion of one uncompressed DIB row of 1, 2, 4, 8, 16, 24 or 32 bits to
// blue-green-red triples; shared by the BMP loader and ConvertDibTo24.
// 16- and 32-bit pixels are read through bit fields (5-5-5 and 8-8-8 unless
// the file gives its own masks).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill::detail {

// One channel of a 16- or 32-bit pixel: (pixel & mask) >> shift, scaled to
// 0-255 as trunc(v * 255 / max). For five bits that is the 255/31 factor.
struct BitField {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;
};
BitField bitField(std::uint32_t mask);

struct SourceRows {
    const std::uint8_t* bits;      // first row in memory
    std::size_t stride;            // bytes per source row
    int bitCount;
    const std::uint8_t* table;     // RGBQUAD entries (blue, green, red, reserved)
    std::size_t tableEntries;      // indices at or past this read as black
    // Red, green, blue of 16- and 32-bit pixels; all-zero masks: 5-5-5 or 8-8-8.
    BitField fields[3] = {};
};

void convertRowTo24(const SourceRows& src, int y, int width, std::uint8_t* out);

// Writes palette entry `index` as blue, green, red; black when the table has
// no such entry.
inline void putIndexed(const std::uint8_t* table, std::size_t entries, unsigned index,
                       std::uint8_t* out) {
    if (index < entries) {
        const std::uint8_t* q = table + 4 * std::size_t(index);
        out[0] = q[0];
        out[1] = q[1];
        out[2] = q[2];
    } else {
        out[0] = out[1] = out[2] = 0;
    }
}

}  // namespace quill::detail
