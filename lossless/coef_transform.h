// CoefTransform: lossless rearrangement of a JPEG's quantized DCT coefficients
// (rotations, mirrorings, crop, trim, reduction to luminance), with the
// destination's geometry, tables and Exif pixel size kept in step. It never
// decodes pixels. A crop must lie inside the image: nothing here extends one.
// Internal to quill_lossless: it works on libjpeg objects, declared here only
// by name so that jpeglib.h stays out of this header.
#pragma once

#include <cstdint>

#include "lossless/transform_kind.h"

struct jpeg_decompress_struct;
struct jpeg_compress_struct;
struct jvirt_barray_control;
struct jpeg_marker_struct;

namespace quill {

using CoefArrays = jvirt_barray_control**;

struct TransformRequest {
    // Set by the caller (zero-filled first).
    TransformKind transform = TransformKind::None;
    bool trim = false;
    bool forceGrayscale = false;
    bool crop = false;  // the rectangle below, in output pixels, inside the image
    std::uint32_t cropWidth = 0;
    std::uint32_t cropHeight = 0;
    std::uint32_t cropX = 0;
    std::uint32_t cropY = 0;

    // Filled by prepareWorkspace.
    std::int32_t componentCount = 0;
    CoefArrays workspace = nullptr;
    std::uint32_t outputWidth = 0;
    std::uint32_t outputHeight = 0;
    std::uint32_t xOffsetIMCU = 0;
    std::uint32_t yOffsetIMCU = 0;
    std::int32_t iMCUWidth = 0;
    std::int32_t iMCUHeight = 0;
};

// Call order within one conversion (each may raise a libjpeg error, so all
// run inside a guarded phase):
//   saveMarkersForCopy(src)             before jpeg_read_header
//   prepareWorkspace(src, req)          after jpeg_read_header, before jpeg_read_coefficients
//   useLatchedQuantTables(src)          after jpeg_read_coefficients, before
//                                       jpeg_copy_critical_parameters
//   adjustDestination(src, dst, ...)    after jpeg_copy_critical_parameters
//   writeCopiedMarkers(src, dst)        after jpeg_write_coefficients
//   executeTransform(src, dst, ...)     before jpeg_finish_compress

// Which of the source's APPn and COM segments a conversion carries over:
// all of them, or only the ICC_PROFILE APP2 segments (in their order).
enum class CopiedMarkers { All, IccProfiles };

void saveMarkersForCopy(jpeg_decompress_struct* src, CopiedMarkers which = CopiedMarkers::All);

void prepareWorkspace(jpeg_decompress_struct* src, TransformRequest& req);

// Puts into each component's table slot the table its coefficients are
// dequantized with. libjpeg latches a component's table at the first scan
// that carries it, and a progressive stream may define or redefine a slot
// between scans, so the slots as the last scan left them (what
// jpeg_copy_critical_parameters copies) can be wrong for some component.
// Components sharing a slot with different latched tables get slots of
// their own. Every component must have been in a scan. False when four
// slots cannot hold the tables in use.
bool useLatchedQuantTables(jpeg_decompress_struct* src);

// Returns the arrays to hand to jpeg_write_coefficients.
CoefArrays adjustDestination(jpeg_decompress_struct* src, jpeg_compress_struct* dst,
                             CoefArrays srcArrays, TransformRequest& req);

void writeCopiedMarkers(jpeg_decompress_struct* src, jpeg_compress_struct* dst,
                        CopiedMarkers which = CopiedMarkers::All);

void executeTransform(jpeg_decompress_struct* src, jpeg_compress_struct* dst, CoefArrays srcArrays,
                      const TransformRequest& req);

// A saved APP1 segment that starts "Exif\0\0".
bool isExifMarker(const jpeg_marker_struct* marker);

// Rewrites the Exif pixel X/Y dimensions inside a TIFF structure (the data of
// an Exif APP1 after its 6-byte "Exif\0\0" header). Leaves anything malformed
// untouched and never reads or writes outside [data, data + length).
void fixExifDimensions(std::uint8_t* data, std::uint32_t length, std::uint32_t width,
                       std::uint32_t height);

}  // namespace quill
