// The conversion pipeline around CoefTransform: read the source's
// coefficients, rearrange them, write them with new entropy coding. The
// output is written under a fresh hidden name beside its destination and
// renamed into place only when complete, so a failure leaves nothing behind.
#include "lossless/convert_lossless.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "base/file_util.h"
#include "base/jpeg_compat.h"
#include "base/jpeg_guard.h"
#include "base/staged_file.h"
#include "lossless/coef_transform.h"

namespace quill {
namespace {

JDIMENSION roundUpTo(JDIMENSION value, JDIMENSION unit) {
    return (value + unit - 1) / unit * unit;
}

}  // namespace

FileResult convertLossless(const LosslessOptions& o) {
    StagedFile out(o.outputPath);
    if (!out.status()) return out.status();
    if (FileResult r = convertLossless(o, out); !r) return r;
    return out.commit(o.replaceExisting ? Placement::Replace : Placement::New);
}

FileResult convertLossless(const LosslessOptions& o, StagedFile& out) {
    if (!out.status()) return out.status();
    FilePtr in = openFile(o.sourcePath, "rb");
    if (!in) return failureFromErrno(errno, o.sourcePath.string());
    unsigned char soi[2] = {0, 0};
    if (std::fread(soi, 1, 2, in.get()) != 2 || soi[0] != 0xFF || soi[1] != 0xD8)
        return FileResult::fail(FailReason::NotJpeg);
    if (std::fseek(in.get(), 0, SEEK_SET) != 0)
        return failureFromErrno(errno, o.sourcePath.string());

    JpegDecompressor src(kMaxProgressiveScans);
    JpegCompressor dst;
    if (!src.created || !dst.created) return FileResult::fail(FailReason::Other, "out of memory");
    // One error manager for both objects: transcoding interleaves calls on
    // them, and every guarded phase must cover both.
    dst.cinfo.err = &src.err.pub;
    src.err.subject = o.sourcePath.c_str();

    TransformRequest req{};
    std::FILE* inFile = in.get();
    std::FILE* outFile = out.stream();
    j_decompress_ptr s = &src.cinfo;
    j_compress_ptr d = &dst.cinfo;
    auto failure = [&](FileResult why) {
        if (why.reason == FailReason::Truncated && why.detail.empty()) {
            const std::optional<FileStatus> st = statFile(o.sourcePath);
            if (st) why = truncatedAt(st->size);
        }
        return why;
    };

    if (!runJpegPhase(src.err, [&] {
            jpeg_stdio_src(s, inFile);
            if (!o.stripMarkers) saveMarkersForCopy(s);
            jpeg_read_header(s, TRUE);
            limitScansToFrame(s, src.err);
        }))
        return failure(jpegFailure(src.err));
    if (FileResult fault = frameFault(s, src.err, false); !fault) return failure(fault);

    CoefArrays srcArrays = nullptr;
    if (!runJpegPhase(src.err, [&] {
            req.forceGrayscale = o.grayscale;
            req.transform = o.transform;
            req.crop = o.crop;
            std::uint32_t right = o.cropRight, bottom = o.cropBottom;
            if (o.forceRegularSize) {
                // Take in the padding blocks every file stores past its nominal
                // edge: the image becomes whole MCUs, the crop follows.
                const JDIMENSION mcuW = JDIMENSION(s->max_h_samp_factor * kDctSize);
                const JDIMENSION mcuH = JDIMENSION(s->max_v_samp_factor * kDctSize);
                s->image_width = roundUpTo(s->image_width, mcuW);
                s->image_height = roundUpTo(s->image_height, mcuH);
                right = roundUpTo(right, mcuW);
                bottom = roundUpTo(bottom, mcuH);
            } else {
                req.trim = true;
            }
            if (o.crop) {
                // Unsigned wrap on reversed edges makes an oversize width, which
                // the crop checks reject.
                req.cropWidth = right - o.cropLeft;
                req.cropHeight = bottom - o.cropTop;
                req.cropX = o.cropLeft;
                req.cropY = o.cropTop;
            }
            prepareWorkspace(s, req);
            srcArrays = jpeg_read_coefficients(s);
        }))
        return failure(jpegFailure(src.err));

    // The critical parameters are copied only now, after the last scan:
    // the tables each component was quantized with are known only then.
    if (FileResult fault = frameFault(s, src.err, true); !fault) return failure(fault);
    if (!useLatchedQuantTables(s))
        return FileResult::fail(FailReason::Unsupported, "more than four quantization tables in use");

    if (!runJpegPhase(src.err, [&] {
            jpeg_copy_critical_parameters(s, d);
            // The library copies a JFIF version of major 1 only; 2.x is valid too.
            if (s->saw_JFIF_marker && s->JFIF_major_version == 2) {
                d->JFIF_major_version = s->JFIF_major_version;
                d->JFIF_minor_version = s->JFIF_minor_version;
            }
            CoefArrays dstArrays = adjustDestination(s, d, srcArrays, req);
            if (!o.keepJfif) d->write_JFIF_header = FALSE;
            if (o.progressive)
                jpeg_simple_progression(d);
            else
                d->optimize_coding = TRUE;
            jpeg_stdio_dest(d, outFile);
            jpeg_write_coefficients(d, dstArrays);
            if (!o.stripMarkers) writeCopiedMarkers(s, d);
            executeTransform(s, d, srcArrays, req);
            jpeg_finish_compress(d);
            jpeg_finish_decompress(s);
        }))
        return failure(jpegFailure(src.err));
    return {};
}

}  // namespace quill
