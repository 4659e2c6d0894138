// CompressionSettings: the lossy encoding choices, and their persisted form,
// a 79-byte little-endian block with the fields back to back. Reading and
// writing the settings file itself is the application's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace quill {

struct CompressionSettings {
    std::uint32_t jfifMarker = 0;          // keep a JFIF APP0 marker
    std::uint32_t jfifVersionEnabled = 0;  // write jfifMajor.jfifMinor
    std::uint8_t jfifMajor = 1;
    std::uint8_t jfifMinor = 10;
    std::uint32_t densityEnabled = 0;      // write the density below
    std::uint8_t densityUnit = 0;          // 0 none, 1 dots/inch, 2 dots/cm
    std::uint16_t xDensity = 1;
    std::uint16_t yDensity = 1;
    std::int32_t quality = 85;             // IJG quality 0..100
    std::uint32_t progressive = 0;         // 0 baseline, 1 progressive
    std::uint32_t optimizeHuffman = 0;     // baseline only
    std::uint8_t scaleIndex = 3;           // "8.0", "4.0", "2.0", "1.0", "1/2"
    std::uint8_t colorSpace = 2;           // 0 Gray, 1 RGB, 2 YCbCr, 3 CMYK, 4 YCCK
    std::uint8_t sampling = 0;             // 0 4:4:4, 1 4:2:2, 2 4:2:0, 3 4:1:1
    std::uint8_t restartMode = 0;          // 0 none, 1 rows, 2 rows and interval
    std::int32_t restartRows = 0;          // MCU rows per restart interval
    std::uint32_t restartInterval = 0;     // MCUs per restart interval
    std::uint32_t smoothingEnabled = 0;
    std::int32_t smoothing = 0;            // percent
    std::uint32_t dctMethod = 0;           // 0 fast integer, 1 integer, 2 float
    std::uint32_t memoryLimitMb = 0;       // units of 1,000,000 bytes; 0 no limit
    std::uint32_t lanczosEnabled = 0;      // resample before encoding
    std::uint16_t lanczosWidth = 200;
    std::uint16_t lanczosHeight = 200;
    std::uint32_t keepRatio = 0;           // keep the full target canvas, bars in black
    std::uint32_t sizeLimitEnabled = 0;    // search the quality to meet sizeLimit
    std::uint32_t sizeLimit = 500000;      // bytes as entered

    bool operator==(const CompressionSettings&) const = default;
};

inline constexpr std::size_t kCompressionBlockSize = 79;
using CompressionBlock = std::array<std::uint8_t, kCompressionBlockSize>;

CompressionBlock packCompressionSettings(const CompressionSettings& settings);
CompressionSettings unpackCompressionSettings(std::span<const std::uint8_t, kCompressionBlockSize> block);

}  // namespace quill
