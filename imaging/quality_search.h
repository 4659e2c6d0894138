// The size-limit quality search: the highest quality from 100 down whose
// encoding fits a byte limit, and that encoding. Writes no file; naming and
// placing the output is the recompression worker's business.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/compression_settings.h"
#include "imaging/dib.h"

namespace quill {

// The quality found (1 to 100) with its encoding in `out`, byte for byte
// what encodeJpegToMemory gives at that quality; 0 when no quality fits or
// libjpeg fails. Quality 0 is never tried: libjpeg treats it as 1.
int searchQuality(const CompressionSettings& settings, const BitmapInfoHeader* info,
                  const std::uint8_t* pixels, std::uint64_t limit, std::vector<std::uint8_t>& out);

}  // namespace quill
