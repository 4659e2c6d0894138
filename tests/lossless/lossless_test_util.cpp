#include "tests/lossless/lossless_test_util.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "base/jpeg_guard.h"

namespace quill::test {

Bytes transcode(const Bytes& input, TransformRequest req, TranscodeOptions opt) {
    JpegDecompressor src;
    JpegCompressor dst;
    dst.cinfo.err = &src.err.pub;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    bool done = false;
    const bool ok = runJpegPhase(src.err, [&] {
        j_decompress_ptr s = &src.cinfo;
        j_compress_ptr d = &dst.cinfo;
        jpeg_mem_src(s, input.data(), static_cast<unsigned long>(input.size()));
        if (opt.copyMarkers) saveMarkersForCopy(s);
        jpeg_read_header(s, TRUE);
        prepareWorkspace(s, req);
        CoefArrays srcArrays = jpeg_read_coefficients(s);
        if (!useLatchedQuantTables(s)) return;
        jpeg_copy_critical_parameters(s, d);
        CoefArrays arrays = adjustDestination(s, d, srcArrays, req);
        if (opt.progressive)
            jpeg_simple_progression(d);
        else
            d->optimize_coding = TRUE;
        jpeg_mem_dest(d, &out, &outSize);
        jpeg_write_coefficients(d, arrays);
        if (opt.copyMarkers) writeCopiedMarkers(s, d);
        executeTransform(s, d, srcArrays, req);
        jpeg_finish_compress(d);
        jpeg_finish_decompress(s);
        done = true;
    });
    Bytes result;
    if (ok && done && out) result.assign(out, out + outSize);
    std::free(out);
    return result;
}

int transformDifference(const Decoded& in, const Decoded& out, TransformKind kind) {
    const bool swaps = kind == TransformKind::Transpose || kind == TransformKind::Transverse ||
                       kind == TransformKind::Rotate90 || kind == TransformKind::Rotate270;
    if (out.width != (swaps ? in.height : in.width) || out.height != (swaps ? in.width : in.height) ||
        out.components != in.components)
        return INT_MAX;
    const int w = in.width - 1, h = in.height - 1;
    int worst = 0;
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int sx = x, sy = y;
            switch (kind) {
                case TransformKind::FlipH: sx = w - x; break;
                case TransformKind::FlipV: sy = h - y; break;
                case TransformKind::Transpose: sx = y, sy = x; break;
                case TransformKind::Transverse: sx = w - y, sy = h - x; break;
                case TransformKind::Rotate90: sx = y, sy = h - x; break;
                case TransformKind::Rotate180: sx = w - x, sy = h - y; break;
                case TransformKind::Rotate270: sx = w - y, sy = x; break;
                default: break;
            }
            for (int c = 0; c < in.components; ++c) {
                const int a = out.pixels[(size_t(y) * out.width + x) * out.components + c];
                const int b = in.pixels[(size_t(sy) * in.width + sx) * in.components + c];
                worst = std::max(worst, std::abs(a - b));
            }
        }
    }
    return worst;
}

}  // namespace quill::test
