#include "tests/lossless/lossless_test_util.h"

#include <cstdlib>

#include "base/jpeg_guard.h"

namespace quill::test {

Bytes transcode(const Bytes& input, TransformRequest req, TranscodeOptions opt) {
    JpegDecompressor src;
    JpegCompressor dst;
    dst.cinfo.err = &src.err.pub;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const bool ok = runJpegPhase(src.err, [&] {
        j_decompress_ptr s = &src.cinfo;
        j_compress_ptr d = &dst.cinfo;
        jpeg_mem_src(s, input.data(), static_cast<unsigned long>(input.size()));
        if (opt.copyMarkers) saveMarkersForCopy(s);
        jpeg_read_header(s, TRUE);
        prepareWorkspace(s, req);
        jpeg_copy_critical_parameters(s, d);
        CoefArrays srcArrays = jpeg_read_coefficients(s);
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
    });
    Bytes result;
    if (ok && out) result.assign(out, out + outSize);
    std::free(out);
    return result;
}

}  // namespace quill::test
