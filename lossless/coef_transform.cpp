// Coefficient movers for the lossless transforms. Every array is reached one
// iMCU row of the destination at a time through libjpeg's virtual array
// manager, and all arrays (source and workspace) belong to the source
// decompressor, so its memory limit covers the whole conversion.
#include "lossless/coef_transform.h"

#include <jerror.h>

#include <cstdlib>
#include <cstring>

#include "base/jpeg_compat.h"
#include "base/jpeg_guard.h"
#include "lossless/tiff_bytes.h"

namespace quill {
namespace {

constexpr int kBlockCoefs = kDctSize * kDctSize;

// How a block's coefficients are carried over: optionally transposed, and
// with odd rows (u) and/or odd columns (v) negated, which mirrors the block
// vertically and/or horizontally.
struct BlockRule {
    short perm[kBlockCoefs];
    short sign[kBlockCoefs];
};

constexpr BlockRule makeRule(bool transpose, bool negOddRows, bool negOddCols) {
    BlockRule r{};
    for (int u = 0; u < kDctSize; ++u) {
        for (int v = 0; v < kDctSize; ++v) {
            const int k = u * kDctSize + v;
            r.perm[k] = static_cast<short>(transpose ? v * kDctSize + u : k);
            int s = 1;
            if (negOddRows && (u & 1)) s = -s;
            if (negOddCols && (v & 1)) s = -s;
            r.sign[k] = static_cast<short>(s);
        }
    }
    return r;
}

constexpr BlockRule kMirrorRows = makeRule(false, true, false);
constexpr BlockRule kMirrorCols = makeRule(false, false, true);
constexpr BlockRule kMirrorBoth = makeRule(false, true, true);
constexpr BlockRule kTransposed = makeRule(true, false, false);
constexpr BlockRule kTransposedRows = makeRule(true, true, false);
constexpr BlockRule kTransposedCols = makeRule(true, false, true);
constexpr BlockRule kTransposedBoth = makeRule(true, true, true);

inline void applyRule(JCOEFPTR dst, const JCOEF* src, const BlockRule& rule) {
    for (int k = 0; k < kBlockCoefs; ++k)
        dst[k] = static_cast<JCOEF>(src[rule.perm[k]] * rule.sign[k]);
}

inline void copyBlocks(const JBLOCK* src, JBLOCK* dst, JDIMENSION count) {
    std::memcpy(dst, src, size_t(count) * sizeof(JBLOCK));
}

inline JBLOCKARRAY accessRows(j_decompress_ptr src, jvirt_barray_ptr array, JDIMENSION firstRow,
                              int rows, bool writable) {
    return (*src->mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(src), array, firstRow,
                                           JDIMENSION(rows), writable ? TRUE : FALSE);
}

[[noreturn]] void raise(j_common_ptr cinfo, int code) {
    cinfo->err->msg_code = code;
    (*cinfo->err->error_exit)(cinfo);
    std::abort();  // error_exit never returns
}
[[noreturn]] void raise(j_decompress_ptr cinfo, int code) {
    raise(reinterpret_cast<j_common_ptr>(cinfo), code);
}
[[noreturn]] void raise(j_compress_ptr cinfo, int code) {
    raise(reinterpret_cast<j_common_ptr>(cinfo), code);
}

bool swapsAxes(TransformKind k) {
    return k == TransformKind::Transpose || k == TransformKind::Transverse ||
           k == TransformKind::Rotate90 || k == TransformKind::Rotate270;
}

JDIMENSION divRoundUp(JDIMENSION a, JDIMENSION b) {
    return (a + b - 1) / b;
}

// Whole iMCUs of the source along the destination's axes; blocks past them
// lie in a partial iMCU and are moved without mirroring.
JDIMENSION wholeMcuCols(j_compress_ptr dst, JDIMENSION extent) {
    return extent / JDIMENSION(dst->max_h_samp_factor * kDctSize);
}
JDIMENSION wholeMcuRows(j_compress_ptr dst, JDIMENSION extent) {
    return extent / JDIMENSION(dst->max_v_samp_factor * kDctSize);
}

// Crop validation along one axis; `extent` is the output size before
// cropping.
void checkCropAxis(j_decompress_ptr src, std::uint32_t size, std::uint32_t pos,
                   std::uint32_t extent) {
    if (size == 0 || pos >= extent || size > extent - pos) raise(src, JERR_BAD_CROP_SPEC);
}

void trimRightEdge(TransformRequest& req, JDIMENSION fullWidth) {
    const JDIMENSION n = req.outputWidth / JDIMENSION(req.iMCUWidth);
    if (n > 0 && req.xOffsetIMCU + n == fullWidth / JDIMENSION(req.iMCUWidth))
        req.outputWidth = n * JDIMENSION(req.iMCUWidth);
}

void trimBottomEdge(TransformRequest& req, JDIMENSION fullHeight) {
    const JDIMENSION n = req.outputHeight / JDIMENSION(req.iMCUHeight);
    if (n > 0 && req.yOffsetIMCU + n == fullHeight / JDIMENSION(req.iMCUHeight))
        req.outputHeight = n * JDIMENSION(req.iMCUHeight);
}

// ---- movers ---------------------------------------------------------------

void moveCrop(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req, CoefArrays in,
              CoefArrays out) {
    for (int ci = 0; ci < dst->num_components; ++ci) {
        jpeg_component_info* comp = dst->comp_info + ci;
        const int h = comp->h_samp_factor, v = comp->v_samp_factor;
        const JDIMENSION xcb = req.xOffsetIMCU * h, ycb = req.yOffsetIMCU * v;
        for (JDIMENSION by = 0; by < comp->height_in_blocks; by += v) {
            JBLOCKARRAY d = accessRows(src, out[ci], by, v, true);
            JBLOCKARRAY s = accessRows(src, in[ci], by + ycb, v, false);
            for (int oy = 0; oy < v; ++oy) copyBlocks(s[oy] + xcb, d[oy], comp->width_in_blocks);
        }
    }
}

// In place: no workspace, one pass through the source arrays.
void moveFlipHInPlace(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req,
                      CoefArrays in) {
    const JDIMENSION mcuCols = wholeMcuCols(dst, src->output_width);
    for (int ci = 0; ci < dst->num_components; ++ci) {
        jpeg_component_info* comp = dst->comp_info + ci;
        const int h = comp->h_samp_factor, v = comp->v_samp_factor;
        const JDIMENSION compWidth = mcuCols * h;
        const JDIMENSION xcb = req.xOffsetIMCU * h;
        for (JDIMENSION by = 0; by < comp->height_in_blocks; by += v) {
            JBLOCKARRAY rows = accessRows(src, in[ci], by, v, true);
            for (int oy = 0; oy < v; ++oy) {
                JBLOCKROW row = rows[oy];
                for (JDIMENSION bx = 0; bx * 2 < compWidth; ++bx) {
                    JCOEFPTR a = row[bx];
                    JCOEFPTR b = row[compWidth - bx - 1];
                    for (int k = 0; k < kBlockCoefs; k += 2) {
                        JCOEF t1 = a[k], t2 = b[k];
                        a[k] = t2;
                        b[k] = t1;
                        t1 = a[k + 1];
                        t2 = b[k + 1];
                        a[k + 1] = static_cast<JCOEF>(-t2);
                        b[k + 1] = static_cast<JCOEF>(-t1);
                    }
                }
                // Source and target ranges overlap: shift one block at a time, left to right.
                if (xcb > 0) {
                    for (JDIMENSION bx = 0; bx < comp->width_in_blocks; ++bx)
                        std::memcpy(row[bx], row[bx + xcb], sizeof(JBLOCK));
                }
            }
        }
    }
}

void moveFlipH(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req, CoefArrays in,
               CoefArrays out) {
    const JDIMENSION mcuCols = wholeMcuCols(dst, src->output_width);
    for (int ci = 0; ci < dst->num_components; ++ci) {
        jpeg_component_info* comp = dst->comp_info + ci;
        const int h = comp->h_samp_factor, v = comp->v_samp_factor;
        const JDIMENSION compWidth = mcuCols * h;
        const JDIMENSION xcb = req.xOffsetIMCU * h, ycb = req.yOffsetIMCU * v;
        for (JDIMENSION by = 0; by < comp->height_in_blocks; by += v) {
            JBLOCKARRAY d = accessRows(src, out[ci], by, v, true);
            JBLOCKARRAY s = accessRows(src, in[ci], by + ycb, v, false);
            for (int oy = 0; oy < v; ++oy) {
                for (JDIMENSION bx = 0; bx < comp->width_in_blocks; ++bx) {
                    if (bx + xcb < compWidth)
                        applyRule(d[oy][bx], s[oy][compWidth - xcb - bx - 1], kMirrorCols);
                    else
                        std::memcpy(d[oy][bx], s[oy][bx + xcb], sizeof(JBLOCK));
                }
            }
        }
    }
}

void moveFlipV(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req, CoefArrays in,
               CoefArrays out) {
    const JDIMENSION mcuRows = wholeMcuRows(dst, src->output_height);
    for (int ci = 0; ci < dst->num_components; ++ci) {
        jpeg_component_info* comp = dst->comp_info + ci;
        const int h = comp->h_samp_factor, v = comp->v_samp_factor;
        const JDIMENSION compHeight = mcuRows * v;
        const JDIMENSION xcb = req.xOffsetIMCU * h, ycb = req.yOffsetIMCU * v;
        for (JDIMENSION by = 0; by < comp->height_in_blocks; by += v) {
            JBLOCKARRAY d = accessRows(src, out[ci], by, v, true);
            const bool mirrored = by + ycb < compHeight;
            JBLOCKARRAY s = mirrored ? accessRows(src, in[ci], compHeight - ycb - by - v, v, false)
                                     : accessRows(src, in[ci], by + ycb, v, false);
            for (int oy = 0; oy < v; ++oy) {
                if (mirrored) {
                    JBLOCKROW srow = s[v - oy - 1] + xcb;
                    for (JDIMENSION bx = 0; bx < comp->width_in_blocks; ++bx)
                        applyRule(d[oy][bx], srow[bx], kMirrorRows);
                } else {
                    copyBlocks(s[oy] + xcb, d[oy], comp->width_in_blocks);
                }
            }
        }
    }
}

// The four movers that swap the axes: destination block (row, col) comes from
// source block (col, row), with source columns and/or rows mirrored inside
// the whole iMCUs. Partial iMCUs at the mirrored edge are transposed only.
void moveTransposing(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req,
                     CoefArrays in, CoefArrays out, bool mirrorCols, bool mirrorRows) {
    const JDIMENSION mcuCols = mirrorCols ? wholeMcuCols(dst, src->output_height) : 0;
    const JDIMENSION mcuRows = mirrorRows ? wholeMcuRows(dst, src->output_width) : 0;
    for (int ci = 0; ci < dst->num_components; ++ci) {
        jpeg_component_info* comp = dst->comp_info + ci;
        const int h = comp->h_samp_factor, v = comp->v_samp_factor;
        const JDIMENSION compWidth = mcuCols * h, compHeight = mcuRows * v;
        const JDIMENSION xcb = req.xOffsetIMCU * h, ycb = req.yOffsetIMCU * v;
        for (JDIMENSION by = 0; by < comp->height_in_blocks; by += v) {
            JBLOCKARRAY d = accessRows(src, out[ci], by, v, true);
            const bool rowsMirrored = by + ycb < compHeight;
            for (int oy = 0; oy < v; ++oy) {
                const JDIMENSION row = by + oy + ycb;
                const JDIMENSION srcCol = rowsMirrored ? compHeight - row - 1 : row;
                for (JDIMENSION bx = 0; bx < comp->width_in_blocks; bx += h) {
                    const bool colsMirrored = bx + xcb < compWidth;
                    JBLOCKARRAY s =
                        colsMirrored ? accessRows(src, in[ci], compWidth - xcb - bx - h, h, false)
                                     : accessRows(src, in[ci], bx + xcb, h, false);
                    for (int ox = 0; ox < h; ++ox) {
                        JCOEFPTR out1 = d[oy][bx + ox];
                        if (colsMirrored) {
                            applyRule(out1, s[h - ox - 1][srcCol],
                                      rowsMirrored ? kTransposedBoth : kTransposedCols);
                        } else {
                            applyRule(out1, s[ox][srcCol],
                                      rowsMirrored ? kTransposedRows : kTransposed);
                        }
                    }
                }
            }
        }
    }
}

void moveTranspose(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req,
                   CoefArrays in, CoefArrays out) {
    moveTransposing(src, dst, req, in, out, false, false);
}

void moveRotate90(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req,
                  CoefArrays in, CoefArrays out) {
    moveTransposing(src, dst, req, in, out, true, false);
}

void moveRotate270(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req,
                   CoefArrays in, CoefArrays out) {
    moveTransposing(src, dst, req, in, out, false, true);
}

void moveTransverse(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req,
                    CoefArrays in, CoefArrays out) {
    moveTransposing(src, dst, req, in, out, true, true);
}

void moveRotate180(j_decompress_ptr src, j_compress_ptr dst, const TransformRequest& req,
                   CoefArrays in, CoefArrays out) {
    const JDIMENSION mcuCols = wholeMcuCols(dst, src->output_width);
    const JDIMENSION mcuRows = wholeMcuRows(dst, src->output_height);
    for (int ci = 0; ci < dst->num_components; ++ci) {
        jpeg_component_info* comp = dst->comp_info + ci;
        const int h = comp->h_samp_factor, v = comp->v_samp_factor;
        const JDIMENSION compWidth = mcuCols * h, compHeight = mcuRows * v;
        const JDIMENSION xcb = req.xOffsetIMCU * h, ycb = req.yOffsetIMCU * v;
        for (JDIMENSION by = 0; by < comp->height_in_blocks; by += v) {
            JBLOCKARRAY d = accessRows(src, out[ci], by, v, true);
            const bool rowsMirrored = by + ycb < compHeight;
            JBLOCKARRAY s = rowsMirrored
                                ? accessRows(src, in[ci], compHeight - ycb - by - v, v, false)
                                : accessRows(src, in[ci], by + ycb, v, false);
            for (int oy = 0; oy < v; ++oy) {
                JBLOCKROW srow = rowsMirrored ? s[v - oy - 1] : s[oy];
                for (JDIMENSION bx = 0; bx < comp->width_in_blocks; ++bx) {
                    if (bx + xcb < compWidth) {
                        applyRule(d[oy][bx], srow[compWidth - xcb - bx - 1],
                                  rowsMirrored ? kMirrorBoth : kMirrorCols);
                    } else if (rowsMirrored) {
                        applyRule(d[oy][bx], srow[bx + xcb], kMirrorRows);
                    } else {
                        std::memcpy(d[oy][bx], srow[bx + xcb], sizeof(JBLOCK));
                    }
                }
            }
        }
    }
}

// The upper half of a 32-bit offset must be zero; returns the lower half.
bool readSmallOffset(const std::uint8_t* p, bool bigEndian, std::uint32_t& out) {
    if (bigEndian ? (p[0] | p[1]) : (p[2] | p[3])) return false;
    out = bigEndian ? readU16(p + 2, true) : readU16(p, false);
    return true;
}

bool isIccProfile(const jpeg_saved_marker_ptr m) {
    static const char kIcc[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
    return m->marker == JPEG_APP0 + 2 && m->data_length >= 12 && std::memcmp(m->data, kIcc, 12) == 0;
}

}  // namespace

bool isExifMarker(const jpeg_marker_struct* m) {
    static const std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    return m && m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
           std::memcmp(m->data, kExif, 6) == 0;
}

namespace {

// Saved segments stay in memory until the output is written. Together, with
// their bookkeeping, they may not pass this: a file of endless APPn or COM
// segments must not take all memory (the library's own saving has no limit).
constexpr std::size_t kMaxSavedMarkerBytes = std::size_t(64) << 20;
constexpr std::size_t kMarkerOverhead = 64;  // record and allocation headers

// The running total of the conversion on this thread; a conversion starts
// with an empty marker list, which resets it.
struct SavedMarkerTally {
    const void* cinfo = nullptr;
    jpeg_saved_marker_ptr tail = nullptr;
    std::size_t bytes = 0;
};
thread_local SavedMarkerTally tTally;

int readByte(j_decompress_ptr cinfo) {
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer == 0 && !(*src->fill_input_buffer)(cinfo))
        raise(cinfo, JERR_CANT_SUSPEND);
    --src->bytes_in_buffer;
    return *src->next_input_byte++;
}

// As the library saves a segment (whole, up to its 65533 bytes), and reads
// JFIF APP0 and Adobe APP14 as the library does when it keeps them.
boolean saveMarker(j_decompress_ptr cinfo) {
    SavedMarkerTally& tally = tTally;
    if (!cinfo->marker_list || tally.cinfo != cinfo) {
        tally = {cinfo, nullptr, 0};
        for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
            tally.tail = m;
            tally.bytes += kMarkerOverhead + m->data_length;
        }
    }
    int length = readByte(cinfo) << 8;
    length += readByte(cinfo);
    length -= 2;
    if (length < 0) length = 0;
    tally.bytes += kMarkerOverhead + std::size_t(length);
    if (tally.bytes > kMaxSavedMarkerBytes) raise(cinfo, JERR_OUT_OF_MEMORY);

    auto* m = static_cast<jpeg_saved_marker_ptr>((*cinfo->mem->alloc_large)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
        sizeof(jpeg_marker_struct) + std::size_t(length)));
    m->next = nullptr;
    m->marker = static_cast<UINT8>(cinfo->unread_marker);
    m->original_length = unsigned(length);
    m->data_length = unsigned(length);
    m->data = reinterpret_cast<JOCTET*>(m + 1);
    for (int i = 0; i < length; ++i) m->data[i] = static_cast<JOCTET>(readByte(cinfo));
    if (tally.tail)
        tally.tail->next = m;
    else
        cinfo->marker_list = m;
    tally.tail = m;

    const JOCTET* d = m->data;
    if (m->marker == JPEG_APP0 && length >= 14 && !std::memcmp(d, "JFIF", 5)) {
        cinfo->saw_JFIF_marker = TRUE;
        cinfo->JFIF_major_version = d[5];
        cinfo->JFIF_minor_version = d[6];
        cinfo->density_unit = d[7];
        cinfo->X_density = static_cast<UINT16>((d[8] << 8) + d[9]);
        cinfo->Y_density = static_cast<UINT16>((d[10] << 8) + d[11]);
    } else if (m->marker == JPEG_APP0 + 14 && length >= 12 && !std::memcmp(d, "Adobe", 5)) {
        cinfo->saw_Adobe_marker = TRUE;
        cinfo->Adobe_transform = d[11];
    }
    return TRUE;
}

}  // namespace

void saveMarkersForCopy(jpeg_decompress_struct* src, CopiedMarkers which) {
    if (which == CopiedMarkers::IccProfiles) {
        jpeg_set_marker_processor(src, JPEG_APP0 + 2, saveMarker);
        return;
    }
    jpeg_set_marker_processor(src, JPEG_COM, saveMarker);
    for (int m = 0; m < 16; ++m) jpeg_set_marker_processor(src, JPEG_APP0 + m, saveMarker);
}

void prepareWorkspace(jpeg_decompress_struct* src, TransformRequest& req) {
    req.componentCount =
        (req.forceGrayscale && src->jpeg_color_space == JCS_YCbCr && src->num_components == 3)
            ? 1
            : src->num_components;
    const bool single = req.componentCount == 1;

    // libjpeg 6.2 has no jpeg_core_output_dimensions; at 1:1 the output is the image.
    src->output_width = src->image_width;
    src->output_height = src->image_height;

    const int mcuW = single ? kDctSize : src->max_h_samp_factor * kDctSize;
    const int mcuH = single ? kDctSize : src->max_v_samp_factor * kDctSize;

    const bool swapped = swapsAxes(req.transform);
    req.outputWidth = swapped ? src->output_height : src->output_width;
    req.outputHeight = swapped ? src->output_width : src->output_height;
    req.iMCUWidth = swapped ? mcuH : mcuW;
    req.iMCUHeight = swapped ? mcuW : mcuH;

    req.xOffsetIMCU = req.yOffsetIMCU = 0;
    if (req.crop) {
        checkCropAxis(src, req.cropWidth, req.cropX, req.outputWidth);
        checkCropAxis(src, req.cropHeight, req.cropY, req.outputHeight);
        // The left and top edges widen to the iMCU grid; right and bottom stay put.
        req.outputWidth = req.cropWidth + req.cropX % JDIMENSION(req.iMCUWidth);
        req.outputHeight = req.cropHeight + req.cropY % JDIMENSION(req.iMCUHeight);
        req.xOffsetIMCU = req.cropX / JDIMENSION(req.iMCUWidth);
        req.yOffsetIMCU = req.cropY / JDIMENSION(req.iMCUHeight);
    }

    // Trimming drops the partial iMCU that a mirroring would carry from the
    // far edge to the near edge, where it cannot stay partial.
    bool needWorkspace = true;
    switch (req.transform) {
        case TransformKind::None:
            needWorkspace = req.xOffsetIMCU != 0 || req.yOffsetIMCU != 0;
            break;
        case TransformKind::FlipH:
            if (req.trim) trimRightEdge(req, src->output_width);
            needWorkspace = req.yOffsetIMCU != 0;
            break;
        case TransformKind::FlipV:
            if (req.trim) trimBottomEdge(req, src->output_height);
            break;
        case TransformKind::Transpose:
            break;
        case TransformKind::Transverse:
            if (req.trim) {
                trimRightEdge(req, src->output_height);
                trimBottomEdge(req, src->output_width);
            }
            break;
        case TransformKind::Rotate90:
            if (req.trim) trimRightEdge(req, src->output_height);
            break;
        case TransformKind::Rotate180:
            if (req.trim) {
                trimRightEdge(req, src->output_width);
                trimBottomEdge(req, src->output_height);
            }
            break;
        case TransformKind::Rotate270:
            if (req.trim) trimBottomEdge(req, src->output_width);
            break;
    }

    req.workspace = nullptr;
    if (needWorkspace) {
        auto* arrays = static_cast<CoefArrays>(
            (*src->mem->alloc_small)(reinterpret_cast<j_common_ptr>(src), JPOOL_IMAGE,
                                     sizeof(jvirt_barray_ptr) * size_t(req.componentCount)));
        const JDIMENSION widthIMCU = divRoundUp(req.outputWidth, JDIMENSION(req.iMCUWidth));
        const JDIMENSION heightIMCU = divRoundUp(req.outputHeight, JDIMENSION(req.iMCUHeight));
        for (int ci = 0; ci < req.componentCount; ++ci) {
            const jpeg_component_info* comp = src->comp_info + ci;
            int hf = comp->h_samp_factor, vf = comp->v_samp_factor;
            if (single) {
                hf = vf = 1;
            } else if (swapped) {
                hf = comp->v_samp_factor;
                vf = comp->h_samp_factor;
            }
            arrays[ci] = (*src->mem->request_virt_barray)(
                reinterpret_cast<j_common_ptr>(src), JPOOL_IMAGE, FALSE, widthIMCU * JDIMENSION(hf),
                heightIMCU * JDIMENSION(vf), JDIMENSION(vf));
        }
        req.workspace = arrays;
    }
}

bool useLatchedQuantTables(jpeg_decompress_struct* src) {
    const JQUANT_TBL* held[NUM_QUANT_TBLS] = {};  // latched table each slot is to hold
    auto same = [](const JQUANT_TBL* a, const JQUANT_TBL* b) {
        return std::memcmp(a->quantval, b->quantval, sizeof a->quantval) == 0;
    };
    // First every component keeps its own slot where no other claims it
    // with different values, so ordinary files keep their layout; then the
    // rest move to a slot holding their table, or to a free one.
    const int n = src->num_components;
    bool moved[MAX_COMPONENTS] = {};
    for (int ci = 0; ci < n; ++ci) {
        const jpeg_component_info& c = src->comp_info[ci];
        const int slot = c.quant_tbl_no;
        if (!c.quant_table || slot < 0 || slot >= NUM_QUANT_TBLS) return false;
        if (!held[slot])
            held[slot] = c.quant_table;
        else
            moved[ci] = !same(held[slot], c.quant_table);
    }
    for (int ci = 0; ci < n; ++ci) {
        if (!moved[ci]) continue;
        jpeg_component_info& c = src->comp_info[ci];
        int slot = 0;
        while (slot < NUM_QUANT_TBLS && held[slot] && !same(held[slot], c.quant_table)) ++slot;
        if (slot == NUM_QUANT_TBLS) return false;
        if (!held[slot]) held[slot] = c.quant_table;
        c.quant_tbl_no = slot;
    }
    for (int slot = 0; slot < NUM_QUANT_TBLS; ++slot) {
        if (!held[slot]) continue;
        JQUANT_TBL*& table = src->quant_tbl_ptrs[slot];
        if (!table) table = jpeg_alloc_quant_table(reinterpret_cast<j_common_ptr>(src));
        std::memcpy(table->quantval, held[slot]->quantval, sizeof table->quantval);
    }
    return true;
}

CoefArrays adjustDestination(jpeg_decompress_struct* src, jpeg_compress_struct* dst,
                             CoefArrays srcArrays, TransformRequest& req) {
    if (req.forceGrayscale) {
        const bool colourOk = (dst->jpeg_color_space == JCS_YCbCr && dst->num_components == 3) ||
                              (dst->jpeg_color_space == JCS_GRAYSCALE && dst->num_components == 1);
        const bool lumaFull = src->comp_info[0].h_samp_factor == src->max_h_samp_factor &&
                              src->comp_info[0].v_samp_factor == src->max_v_samp_factor;
        if (!colourOk || !lumaFull) raise(dst, JERR_CONVERSION_NOTIMPL);
        // jpeg_set_colorspace resets the table number; keep the luminance's own.
        const int tableNo = dst->comp_info[0].quant_tbl_no;
        jpeg_set_colorspace(dst, JCS_GRAYSCALE);
        dst->comp_info[0].quant_tbl_no = tableNo;
    } else if (req.componentCount == 1) {
        dst->comp_info[0].h_samp_factor = 1;
        dst->comp_info[0].v_samp_factor = 1;
    }

    // libjpeg 6.2 sizes the destination from image_width/height directly.
    dst->image_width = req.outputWidth;
    dst->image_height = req.outputHeight;

    if (swapsAxes(req.transform)) {
        for (int ci = 0; ci < dst->num_components; ++ci) {
            jpeg_component_info* comp = dst->comp_info + ci;
            const int t = comp->h_samp_factor;
            comp->h_samp_factor = comp->v_samp_factor;
            comp->v_samp_factor = t;
        }
        for (JQUANT_TBL* table : dst->quant_tbl_ptrs) {
            if (!table) continue;
            for (int i = 0; i < kDctSize; ++i) {
                for (int j = 0; j < i; ++j) {
                    const UINT16 t = table->quantval[i * kDctSize + j];
                    table->quantval[i * kDctSize + j] = table->quantval[j * kDctSize + i];
                    table->quantval[j * kDctSize + i] = t;
                }
            }
        }
    }

    // Only a leading Exif segment counts: it rules out JFIF and carries the size.
    jpeg_saved_marker_ptr first = src->marker_list;
    if (isExifMarker(first)) {
        dst->write_JFIF_header = FALSE;
        if (dst->image_width != src->image_width || dst->image_height != src->image_height)
            fixExifDimensions(first->data + 6, first->data_length - 6, dst->image_width,
                              dst->image_height);
    }
    return req.workspace ? req.workspace : srcArrays;
}

void writeCopiedMarkers(jpeg_decompress_struct* src, jpeg_compress_struct* dst,
                        CopiedMarkers which) {
    for (jpeg_saved_marker_ptr m = src->marker_list; m; m = m->next) {
        if (which == CopiedMarkers::IccProfiles && !isIccProfile(m)) continue;
        if (dst->write_JFIF_header && m->marker == JPEG_APP0 && m->data_length >= 5 &&
            std::memcmp(m->data, "JFIF", 5) == 0)
            continue;
        if (dst->write_Adobe_marker && m->marker == JPEG_APP0 + 14 && m->data_length >= 5 &&
            std::memcmp(m->data, "Adobe", 5) == 0)
            continue;
        jpeg_write_marker(dst, m->marker, m->data, m->data_length);
    }
}

void executeTransform(jpeg_decompress_struct* src, jpeg_compress_struct* dst, CoefArrays srcArrays,
                      const TransformRequest& req) {
    CoefArrays ws = req.workspace;
    switch (req.transform) {
        case TransformKind::None:
            if (req.xOffsetIMCU != 0 || req.yOffsetIMCU != 0)
                moveCrop(src, dst, req, srcArrays, ws);
            break;
        case TransformKind::FlipH:
            if (req.yOffsetIMCU == 0)
                moveFlipHInPlace(src, dst, req, srcArrays);
            else
                moveFlipH(src, dst, req, srcArrays, ws);
            break;
        case TransformKind::FlipV:
            moveFlipV(src, dst, req, srcArrays, ws);
            break;
        case TransformKind::Transpose:
            moveTranspose(src, dst, req, srcArrays, ws);
            break;
        case TransformKind::Transverse:
            moveTransverse(src, dst, req, srcArrays, ws);
            break;
        case TransformKind::Rotate90:
            moveRotate90(src, dst, req, srcArrays, ws);
            break;
        case TransformKind::Rotate180:
            moveRotate180(src, dst, req, srcArrays, ws);
            break;
        case TransformKind::Rotate270:
            moveRotate270(src, dst, req, srcArrays, ws);
            break;
    }
}

void fixExifDimensions(std::uint8_t* data, std::uint32_t length, std::uint32_t width,
                       std::uint32_t height) {
    // Every read below is preceded by a check that it lies inside the data.
    if (!data || length < 12) return;
    const std::optional<bool> order = tiffByteOrder(data, length);
    if (!order) return;
    const bool big = *order;

    std::uint32_t ifd0;
    if (!readSmallOffset(data + 4, big, ifd0) || ifd0 > length - 2) return;
    std::uint32_t count = readU16(data + ifd0, big);
    if (count == 0) return;
    std::uint32_t pos = ifd0 + 2;
    for (;;) {
        if (pos > length - 12) return;
        if (readU16(data + pos, big) == 0x8769) break;
        if (--count == 0) return;
        pos += 12;
    }

    std::uint32_t sub;
    if (!readSmallOffset(data + pos + 8, big, sub) || sub > length - 2) return;
    count = readU16(data + sub, big);
    if (count < 2) return;
    pos = sub + 2;
    for (; count > 0; --count, pos += 12) {
        if (pos > length - 12) return;
        const std::uint32_t tag = readU16(data + pos, big);
        if (tag != 0xA002 && tag != 0xA003) continue;
        const std::uint32_t value = (tag == 0xA002 ? width : height) & 0xFFFF;
        std::uint8_t* e = data + pos;
        writeU16(e + 2, 4, big);  // type LONG
        if (big) {
            e[4] = e[5] = e[6] = 0;
            e[7] = 1;
            e[8] = e[9] = 0;
            writeU16(e + 10, value, true);
        } else {
            e[4] = 1;
            e[5] = e[6] = e[7] = 0;
            writeU16(e + 8, value, false);
            e[10] = e[11] = 0;
        }
    }
}

}  // namespace quill
