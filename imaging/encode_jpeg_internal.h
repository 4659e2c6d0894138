// Internal to quill_imaging (includes jpeglib.h): the encoder's libjpeg
// parameters, and an encode whose caller may take over libjpeg's modules
// right after jpeg_start_compress and encode a band of the picture, as the
// quality search does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "imaging/encode_jpeg.h"

namespace quill {

// Every libjpeg parameter the settings decide, in the encoder's order
// (later calls override what earlier ones set); the input rows are
// blue-green-red, or CMYK for the four-component colour spaces.
void configureCompressor(j_compress_ptr cinfo, const CompressionSettings& settings, int quality,
                         int width, int height);

// What the quality search asks of an encode: `started(cinfo, context)` run
// right after jpeg_start_compress, within the encoder's libjpeg error guard,
// and only the band of rowCount output rows from firstRow encoded, as a
// picture of its own (0: every row).
struct CompressHook {
    void (*started)(j_compress_ptr cinfo, void* context) = nullptr;
    void* context = nullptr;
    int firstRow = 0;
    int rowCount = 0;
};

EncodeStatus encodeJpegToMemory(const CompressionSettings& settings, const BitmapInfoHeader* info,
                                const std::uint8_t* pixels, int quality, std::uint64_t maxBytes,
                                std::vector<std::uint8_t>& out, const CompressHook& hook) noexcept;

}  // namespace quill
