// Facts of a JPEG header as the file list needs them, and a reader of our
// own for frames the JPEG library refuses to parse only because of their
// sample precision (12-bit files). Internal to quill_inspection.
#pragma once

#include <cstdint>

#include "inspection/quant_table_db.h"

namespace quill::detail {

// Colour spaces as the list names them (the library's inferred space).
enum class HeaderColor { Unknown, Gray, RGB, YCbCr, CMYK, YCCK };

struct HeaderFacts {
    unsigned width = 0, height = 0;
    int components = 0;
    int precision = 0;
    HeaderColor color = HeaderColor::Unknown;
    int h0 = 0, v0 = 0;      // sampling of the first component in frame order
    int maxH = 0, maxV = 0;  // largest sampling factors of the frame
    bool progressive = false;
    unsigned xDensity = 1, yDensity = 1;
    // Tables 0 and 1 in natural order with their full values; chrominance
    // is table 0 again when the frame has several components but no table 1,
    // and zeros for one component.
    QuantValues luminance{};
    QuantValues chrominance{};
    bool ownChromaTable = false;  // chrominance is a table 1 of its own
    std::uint32_t markers = 0;  // bit n: APPn seen (n 0-15); bit 16: COM
};

inline constexpr std::uint32_t kComBit = 1u << 16;

// Parses the header of the open file descriptor (from offset 0) up to the
// first SOS with the rules the JPEG library applies, accepting any sample
// precision of 12. False for anything the list would leave out.
bool readHeaderFacts12(int fd, HeaderFacts& facts);

}  // namespace quill::detail
