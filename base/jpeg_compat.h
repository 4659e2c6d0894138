// Differences between libjpeg variants, kept in one place.
// We build on libjpeg-turbo's libjpeg 6.2 API: the DCT block is always 8x8,
// there are no big-gamut colour spaces and no jpeg_core_output_dimensions.
#pragma once

namespace quill {

inline constexpr int kDctSize = 8;

// Upper bound of libjpeg's working memory for one conversion (virtual block
// arrays included), so a hostile header cannot make us allocate without bound.
inline constexpr long kJpegMaxMemory = 1024L * 1024 * 1024;

// A progressive stream with more scans than this is treated as hostile.
inline constexpr int kMaxProgressiveScans = 1000;

}  // namespace quill
