// ResampleDib scales a 24-bit bottom-up DIB to fit a target size (nearest,
// bilinear, bicubic or Lanczos-3, all in double precision, weights computed
// per sample); ConvertDibTo24 widens 1/4/8/16/32-bit DIBs to 24 bits.
#pragma once

#include <cstdint>

#include "imaging/dib.h"

namespace quill {

enum ResampleMethod : int {
    ResampleNearest = 0,
    ResampleBilinear = 1,
    ResampleBicubic = 2,
    ResampleLanczos3 = 3,
};

// Scales by min(W / w, H / h) on both axes. keepCanvas false: the result is
// the fitted size, trunc(w * s) x trunc(h * s). keepCanvas true: the result
// is exactly W x H with the picture centred between black bars (an odd
// spare column goes left, an odd spare row to the bottom). Near the border
// the kernel's samples beyond the edge are taken from the edge pixels, so
// the picture keeps its own colours there (no dark lines).
// False when the source is not a 24-bit DIB or the result cannot be allocated.
bool ResampleDib(ResampleMethod method, const BitmapInfoHeader* info, const std::uint8_t* pixels,
                 int width, int height, bool keepCanvas, Dib& result);

// A 24-bit copy of an uncompressed DIB of 1, 4, 8, 16 (5-5-5), 24 or 32 bits
// with the colour table behind its 40-byte header (as stored in memory).
// False for other bit counts, compressed DIBs, or on allocation failure.
bool ConvertDibTo24(const BitmapInfoHeader* info, const std::uint8_t* pixels, Dib& result);

}  // namespace quill
