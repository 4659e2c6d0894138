// The conversion pipeline around CoefTransform: read the source's
// coefficients, rearrange them, write them with new entropy coding. The
// output is written under a fresh hidden name beside its destination and
// renamed into place only when complete, so a failure leaves nothing behind.
// An Exif thumbnail is turned by the same pipeline, in memory.
#include "lossless/convert_lossless.h"

#include <jerror.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <span>
#include <vector>

#include "base/file_util.h"
#include "base/jpeg_compat.h"
#include "base/jpeg_guard.h"
#include "base/staged_file.h"
#include "lossless/coef_transform.h"
#include "lossless/exif_orientation.h"

namespace quill {
namespace {

JDIMENSION roundUpTo(JDIMENSION value, JDIMENSION unit) {
    return (value + unit - 1) / unit * unit;
}

// An APP1 segment holds 65533 bytes, "Exif\0\0" and the TIFF body.
constexpr std::size_t kExifHeader = 6;
constexpr std::size_t kMaxExifBody = 65533 - kExifHeader;
// Exif thumbnails are small by nature; a larger declared frame is refused
// before libjpeg allocates for it.
constexpr JDIMENSION kMaxThumbnailSide = 2048;

// A fixed buffer as libjpeg's destination; an output that would not fit
// fails the conversion. libjpeg asks for room as soon as the buffer is
// full, so it holds one byte more than the largest output it accepts.
struct FixedDest {
    jpeg_destination_mgr pub{};
    std::uint8_t* data = nullptr;
    std::size_t capacity = 0;
    std::size_t size = 0;

    FixedDest(std::uint8_t* buffer, std::size_t maxBytes) : data(buffer), capacity(maxBytes + 1) {
        pub.init_destination = [](j_compress_ptr cinfo) {
            FixedDest* d = reinterpret_cast<FixedDest*>(cinfo->dest);
            d->pub.next_output_byte = d->data;
            d->pub.free_in_buffer = d->capacity;
        };
        pub.empty_output_buffer = [](j_compress_ptr cinfo) -> boolean {
            ERREXIT(cinfo, JERR_BUFFER_SIZE);
            return FALSE;
        };
        pub.term_destination = [](j_compress_ptr cinfo) {
            FixedDest* d = reinterpret_cast<FixedDest*>(cinfo->dest);
            d->size = d->capacity - d->pub.free_in_buffer;
        };
    }
};

// Where a conversion reads and writes: files, or memory for a thumbnail.
struct Endpoints {
    std::FILE* inFile = nullptr;
    std::span<const std::uint8_t> inBytes;
    std::FILE* outFile = nullptr;
    FixedDest* outBytes = nullptr;
    JDIMENSION maxSide = 0;           // 0: any frame
    const char* subject = nullptr;    // names the source in library messages
};

FileResult transcode(const LosslessOptions& o, const Endpoints& io, LosslessReport& report);

std::optional<std::vector<std::uint8_t>> turnThumbnail(std::span<const std::uint8_t> jpeg,
                                                       TransformKind kind) {
    LosslessOptions t;
    t.stripMarkers = true;
    t.transform = kind;
    std::vector<std::uint8_t> out(kMaxExifBody + 1);
    FixedDest dest(out.data(), kMaxExifBody);
    LosslessReport report;
    if (!transcode(t, {.inBytes = jpeg, .outBytes = &dest, .maxSide = kMaxThumbnailSide, .subject = "Exif thumbnail"},
                   report))
        return std::nullopt;
    out.resize(dest.size);
    return out;
}

jpeg_saved_marker_ptr firstExif(jpeg_saved_marker_ptr m) {
    while (m && !isExifMarker(m)) m = m->next;
    return m;
}

FileResult transcode(const LosslessOptions& o, const Endpoints& io, LosslessReport& report) {
    JpegDecompressor src(kMaxProgressiveScans);
    JpegCompressor dst;
    if (!src.created || !dst.created) return FileResult::fail(FailReason::Other, "out of memory");
    // One error manager for both objects: transcoding interleaves calls on
    // them, and every guarded phase must cover both.
    dst.cinfo.err = &src.err.pub;
    src.err.subject = io.subject;
    j_decompress_ptr s = &src.cinfo;
    j_compress_ptr d = &dst.cinfo;
    const bool copyMarkers = !o.stripMarkers || o.keepIcc;
    const CopiedMarkers copied = o.stripMarkers ? CopiedMarkers::IccProfiles : CopiedMarkers::All;

    if (!runJpegPhase(src.err, [&] {
            if (io.inFile)
                jpeg_stdio_src(s, io.inFile);
            else
                jpeg_mem_src(s, io.inBytes.data(), static_cast<unsigned long>(io.inBytes.size()));
            if (copyMarkers) saveMarkersForCopy(s, copied);
            jpeg_read_header(s, TRUE);
            if (io.maxSide && (s->image_width > io.maxSide || s->image_height > io.maxSide))
                ERREXIT1(s, JERR_IMAGE_TOO_BIG, io.maxSide);
            limitScansToFrame(s, src.err);
        }))
        return jpegFailure(src.err);
    if (FileResult fault = frameFault(s, src.err, false); !fault) return fault;

    // The Exif segment is rewritten outside the guarded phases: turning its
    // thumbnail runs a conversion of its own. The saved segment then points
    // into exifData, which outlives the conversion.
    TransformKind transform = o.transform;
    jpeg_saved_marker_ptr exif = firstExif(s->marker_list);
    std::span<const std::uint8_t> exifBody;
    if (exif) exifBody = {exif->data + kExifHeader, exif->data_length - kExifHeader};
    if (o.autoOrient) {
        transform = transformForOrientation(exif ? exifOrientation(exifBody) : 0);
        if (transform == TransformKind::None) return {};
    }
    std::vector<std::uint8_t> exifData;
    if (exif && (o.resetOrientation || o.autoOrient) && transform != TransformKind::None) {
        const auto turn = [transform](std::span<const std::uint8_t> jpeg) {
            return turnThumbnail(jpeg, transform);
        };
        if (auto upright = uprightExif(exifBody, turn, kMaxExifBody)) {
            exifData.assign(exif->data, exif->data + kExifHeader);
            exifData.insert(exifData.end(), upright->begin(), upright->end());
            exif->data = exifData.data();
            exif->data_length = static_cast<unsigned>(exifData.size());
        }
    }

    TransformRequest req{};
    CoefArrays srcArrays = nullptr;
    if (!runJpegPhase(src.err, [&] {
            req.forceGrayscale = o.grayscale;
            req.transform = transform;
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
        return jpegFailure(src.err);

    // The critical parameters are copied only now, after the last scan:
    // the tables each component was quantized with are known only then.
    if (FileResult fault = frameFault(s, src.err, true); !fault) return fault;
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
            if (io.outFile)
                jpeg_stdio_dest(d, io.outFile);
            else
                d->dest = &io.outBytes->pub;
            jpeg_write_coefficients(d, dstArrays);
            if (copyMarkers) writeCopiedMarkers(s, d, copied);
            executeTransform(s, d, srcArrays, req);
            jpeg_finish_compress(d);
            jpeg_finish_decompress(s);
        }))
        return jpegFailure(src.err);
    report.written = true;
    return {};
}

}  // namespace

FileResult convertLossless(const LosslessOptions& o, LosslessReport* report) {
    LosslessReport local;
    LosslessReport& r = report ? *report : local;
    StagedFile out(o.outputPath);
    FileResult why = convertLossless(o, out, &r);
    if (!why || !r.written) return why;
    why = out.commit(o.replaceExisting ? Placement::Replace : Placement::New);
    r.written = why.ok();
    return why;
}

FileResult convertLossless(const LosslessOptions& o, StagedFile& out, LosslessReport* report) {
    LosslessReport local;
    LosslessReport& r = report ? *report : local;
    r = {};
    FilePtr in = openFile(o.sourcePath, "rb");
    if (!in) return failureFromErrno(errno, o.sourcePath.string());
    unsigned char soi[2] = {0, 0};
    if (std::fread(soi, 1, 2, in.get()) != 2 || soi[0] != 0xFF || soi[1] != 0xD8)
        return FileResult::fail(FailReason::NotJpeg);
    struct stat source {};
    if (std::fseek(in.get(), 0, SEEK_SET) != 0 || ::fstat(::fileno(in.get()), &source) != 0)
        return failureFromErrno(errno, o.sourcePath.string());
    if (!out.status()) return out.status();

    if (o.keepTime) out.keepModifiedTime(source.st_mtim);
    FileResult why =
        transcode(o, {.inFile = in.get(), .outFile = out.stream(), .subject = o.sourcePath.c_str()}, r);
    if (why.reason == FailReason::Truncated && why.detail.empty()) {
        if (const std::optional<FileStatus> st = statFile(o.sourcePath)) why = truncatedAt(st->size);
    }
    return why;
}

}  // namespace quill
