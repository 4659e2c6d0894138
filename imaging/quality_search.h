// The size-limit quality search: the highest quality from 100 down whose
// encoding fits a byte limit, and that encoding. Writes no file; naming and
// placing the output is the recompression worker's business.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/compression_settings.h"
#include "imaging/dib.h"
#include "imaging/encode_jpeg.h"

namespace quill {

struct FoundQuality {
    int quality = 0;  // 1 to 100; 0 when none
    // Ok; TooLarge when no quality fits; Failed when libjpeg failed (as it
    // then does at every quality).
    EncodeStatus status = EncodeStatus::TooLarge;
};

// The highest quality whose encoding fits `limit`, with that encoding in
// `out`, byte for byte what encodeJpegToMemory gives at that quality.
// Quality 0 is never tried: libjpeg treats it as 1.
FoundQuality searchQuality(const CompressionSettings& settings, const BitmapInfoHeader* info,
                           const std::uint8_t* pixels, std::uint64_t limit, std::vector<std::uint8_t>& out);

// Lower bounds of the encoded size that the search relies on: `atQuality`
// bounds the size at that quality, `fromQuality` (0 when there is none)
// every size from that quality up to 100. Indexed by quality - 1; empty
// when the search has no bounds for these settings (progressive coding).
// The search prepares them with libjpeg's pass over the picture split in
// two bands run at once; `inBands` false keeps it whole (the two agree).
struct SizeBounds {
    std::uint64_t atQuality = 0;
    std::uint64_t fromQuality = 0;
    bool operator==(const SizeBounds&) const = default;
};
std::vector<SizeBounds> sizeLowerBounds(const CompressionSettings& settings, const BitmapInfoHeader* info,
                                        const std::uint8_t* pixels, bool inBands = true);

}  // namespace quill
