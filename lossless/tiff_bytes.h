// Reading and writing the 16- and 32-bit fields of a TIFF structure (the
// body of an Exif segment) in either byte order. Callers check bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quill {

inline std::uint32_t readU16(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? (std::uint32_t(p[0]) << 8) | p[1] : (std::uint32_t(p[1]) << 8) | p[0];
}

inline std::uint32_t readU32(const std::uint8_t* p, bool bigEndian) {
    return bigEndian ? (readU16(p, true) << 16) | readU16(p + 2, true)
                     : (readU16(p + 2, false) << 16) | readU16(p, false);
}

// The byte order a TIFF header declares ("II" or "MM", then 42): true for
// big-endian; nothing when the first `size` bytes are no TIFF header.
inline std::optional<bool> tiffByteOrder(const std::uint8_t* p, std::size_t size) {
    if (size < 4 || p[0] != p[1] || (p[0] != 'I' && p[0] != 'M')) return std::nullopt;
    const bool big = p[0] == 'M';
    if (readU16(p + 2, big) != 0x2A) return std::nullopt;
    return big;
}

inline void writeU16(std::uint8_t* p, std::uint32_t value, bool bigEndian) {
    const std::uint8_t hi = std::uint8_t(value >> 8), lo = std::uint8_t(value);
    p[0] = bigEndian ? hi : lo;
    p[1] = bigEndian ? lo : hi;
}

inline void writeU32(std::uint8_t* p, std::uint32_t value, bool bigEndian) {
    writeU16(p + (bigEndian ? 0 : 2), value >> 16, bigEndian);
    writeU16(p + (bigEndian ? 2 : 0), value, bigEndian);
}

}  // namespace quill
