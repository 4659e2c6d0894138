// CoefTransform: lossless rearrangement of a JPEG's quantized DCT coefficients
// (rotations, mirrorings, crop, trim, reduction to luminance), with the
// destination's geometry, tables and Exif pixel size kept in step. It never
// decodes pixels. Wipe, Drop and crop extensions are rejected with a library
// error rather than carried out: no caller asks for them.
// Internal to quill_lossless: it works on libjpeg objects, declared here only
// by name so that jpeglib.h stays out of this header.
#pragma once

#include <cstdint>

#include "lossless/transform_kind.h"

struct jpeg_decompress_struct;
struct jpeg_compress_struct;
struct jvirt_barray_control;

namespace quill {

using CoefArrays = jvirt_barray_control**;

enum class CropMode : std::int32_t {
    Unset = 0,
    Positive = 1,
    Negative = 2,
    Force = 3,
    Reflect = 4
};

struct TransformRequest {
    // Set by the caller (zero-filled first).
    TransformKind transform = TransformKind::None;
    bool perfect = false;
    bool trim = false;
    bool forceGrayscale = false;
    bool crop = false;
    std::uint32_t cropWidth = 0;
    CropMode cropWidthMode = CropMode::Unset;
    std::uint32_t cropHeight = 0;
    CropMode cropHeightMode = CropMode::Unset;
    std::uint32_t cropX = 0;
    CropMode cropXMode = CropMode::Unset;
    std::uint32_t cropY = 0;
    CropMode cropYMode = CropMode::Unset;
    jpeg_decompress_struct* dropSource = nullptr;
    CoefArrays dropCoefficients = nullptr;

    // Filled by prepareWorkspace.
    std::int32_t componentCount = 0;
    CoefArrays workspace = nullptr;
    std::uint32_t outputWidth = 0;
    std::uint32_t outputHeight = 0;
    std::uint32_t xOffsetIMCU = 0;
    std::uint32_t yOffsetIMCU = 0;
    std::uint32_t dropWidthIMCU = 0;
    std::uint32_t dropHeightIMCU = 0;
    std::int32_t iMCUWidth = 0;
    std::int32_t iMCUHeight = 0;
};

// Call order within one conversion (each may raise a libjpeg error, so all
// run inside a guarded phase):
//   saveMarkersForCopy(src)             before jpeg_read_header
//   prepareWorkspace(src, req)          after jpeg_read_header, before jpeg_read_coefficients
//   adjustDestination(src, dst, ...)    after jpeg_copy_critical_parameters
//   writeCopiedMarkers(src, dst)        after jpeg_write_coefficients
//   executeTransform(src, dst, ...)     before jpeg_finish_compress

void saveMarkersForCopy(jpeg_decompress_struct* src);

// False only when req.perfect is set and the transform would lose edge iMCUs.
bool prepareWorkspace(jpeg_decompress_struct* src, TransformRequest& req);

// Returns the arrays to hand to jpeg_write_coefficients.
CoefArrays adjustDestination(jpeg_decompress_struct* src, jpeg_compress_struct* dst,
                             CoefArrays srcArrays, TransformRequest& req);

void writeCopiedMarkers(jpeg_decompress_struct* src, jpeg_compress_struct* dst);

void executeTransform(jpeg_decompress_struct* src, jpeg_compress_struct* dst, CoefArrays srcArrays,
                      const TransformRequest& req);

bool isPerfectTransform(std::uint32_t width, std::uint32_t height, int iMCUWidth, int iMCUHeight,
                        TransformKind kind);

// Rewrites the Exif pixel X/Y dimensions inside a TIFF structure (the data of
// an Exif APP1 after its 6-byte "Exif\0\0" header). Leaves anything malformed
// untouched and never reads or writes outside [data, data + length).
void fixExifDimensions(std::uint8_t* data, std::uint32_t length, std::uint32_t width,
                       std::uint32_t height);

}  // namespace quill
