// Conversion of one uncompressed DIB row of 1, 4, 8, 16 (5-5-5), 24 or 32
// bits to blue-green-red triples; shared by the BMP loader and ConvertDibTo24.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill::detail {

struct SourceRows {
    const std::uint8_t* bits;      // first row in memory
    std::size_t stride;            // bytes per source row
    int bitCount;
    const std::uint8_t* table;     // RGBQUAD entries (blue, green, red, reserved)
    std::size_t tableEntries;      // indices at or past this read as black
};

void convertRowTo24(const SourceRows& src, int y, int width, std::uint8_t* out);

}  // namespace quill::detail
