// The one picture shape of the imaging code: a 24-bit bottom-up DIB whose
// pixel rows and 44-byte BITMAPINFO (header plus one unused colour entry)
// share a single malloc'd block, rows first. Helpers here size and allocate
// that block and refuse sizes that would overflow or exhaust memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace quill {

struct BitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 24;
    std::uint32_t biCompression = 0;  // BI_RGB
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Header plus the one colour entry that follows it and is never used.
inline constexpr std::size_t kDibInfoBytes = 44;

// Largest picture we decode or produce: 2^27 pixels (a 384 MiB block),
// a side of 0 counting as 1. Larger declared sizes are refused before
// anything is allocated.
inline constexpr std::int64_t kMaxDibPixels = std::int64_t(1) << 27;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using PixelBlock = std::unique_ptr<std::uint8_t[], FreeDeleter>;

// Row size of a DIB with this bit count and width: ((bits * width + 31) / 32) * 4.
// Computed in 64 bits; -1 for a negative width or bit count.
std::int64_t dibStride(std::int64_t bitCount, std::int64_t width);

// True when a 24-bit DIB of width x height fits our limits, including the
// int32 arithmetic of the stride formula and biSizeImage.
bool dibSizeAllowed(std::int64_t width, std::int64_t height);

struct Dib {
    BitmapInfoHeader* info = nullptr;
    PixelBlock pixels;
    bool empty() const { return !info || !pixels; }
    int width() const { return info ? info->biWidth : 0; }
    int height() const { return info ? info->biHeight : 0; }
    std::size_t stride() const { return info ? std::size_t(dibStride(24, info->biWidth)) : 0; }
    // Row y in memory order (0 = bottom row of the picture).
    std::uint8_t* row(int y) const { return pixels.get() + std::size_t(y) * stride(); }
};

// Allocates a zero-filled 24-bit DIB block (black, padding included) and
// fills its header. Fails (empty Dib) when the size is not allowed or memory
// runs out.
Dib allocateDib(int width, int height);

}  // namespace quill
