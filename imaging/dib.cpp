#include "imaging/dib.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace quill {

std::int64_t dibStride(std::int64_t bitCount, std::int64_t width) {
    if (bitCount < 0 || width < 0 || width > INT32_MAX) return -1;
    return ((bitCount * width + 31) / 32) * 4;
}

bool dibSizeAllowed(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0) return false;
    // The stride formula is evaluated in int by Windows-era readers of this
    // shape; keep width * 24 + 31 and stride * height inside int32.
    if (width > (INT32_MAX - 31) / 24) return false;
    // A side of 0 counts as 1: a picture of no columns still has its rows
    // walked by every reader, and 2^31 of them is no picture either.
    if (std::max<std::int64_t>(width, 1) * std::max<std::int64_t>(height, 1) > kMaxDibPixels)
        return false;
    return dibStride(24, width) * height <= INT32_MAX - std::int64_t(kDibInfoBytes);
}

Dib allocateDib(int width, int height) {
    Dib dib;
    if (!dibSizeAllowed(width, height)) return dib;
    const std::size_t rows = std::size_t(dibStride(24, width)) * std::size_t(height);
    const std::size_t total = rows + kDibInfoBytes;
    // calloc: large blocks come as fresh zero pages, so black costs nothing.
    auto* block = static_cast<std::uint8_t*>(std::calloc(total, 1));
    if (!block) return dib;
    dib.pixels.reset(block);
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biSizeImage = std::uint32_t(rows);
    dib.info = new (block + rows) BitmapInfoHeader(header);
    return dib;
}

}  // namespace quill
