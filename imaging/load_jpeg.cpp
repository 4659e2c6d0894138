// JPEG loader over libjpeg's scan-line decoder: full size with the library's
// accurate defaults, or a reduced preview decode (scaled IDCT, fast DCT, no
// fancy upsampling). Gray and colour files decode straight into the DIB
// rows as blue-green-red; Adobe-style CMYK is turned into RGB by K.
#include <algorithm>

#include "base/jpeg_compat.h"
#include "base/jpeg_guard.h"
#include "imaging/loader_common.h"

namespace quill {

FileResult LoadJpeg(LoadedImage& image, const std::filesystem::path& path, int previewWidth) {
    FilePtr file;
    if (FileResult opened = detail::openImageFile(image, path, file); !opened) return opened;
    unsigned char soi[2];
    if (!detail::readSignature(file.get(), soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8)
        return FileResult::fail(FailReason::NotJpeg);

    JpegDecompressor dec;
    if (!dec.created) return FileResult::fail(FailReason::Other, "out of memory");
    dec.err.subject = path.c_str();
    jpeg_decompress_struct* cinfo = &dec.cinfo;
    const std::uint64_t fileSize = image.fileSize;
    auto failure = [&dec, fileSize] {
        FileResult why = jpegFailure(dec.err);
        if (why.reason == FailReason::Truncated && why.detail.empty()) why = truncatedAt(fileSize);
        return why;
    };
    std::FILE* in = file.get();
    if (!runJpegPhase(dec.err, [cinfo, in] {
            jpeg_stdio_src(cinfo, in);
            jpeg_read_header(cinfo, TRUE);
        }))
        return failure();
    if (FileResult fault = frameFault(cinfo, dec.err, false); !fault) return fault;

    limitScansToFrame(&dec.cinfo, dec.err);

    const int components = cinfo->num_components;
    // comp_info lives in the image pool, which jpeg_finish_decompress frees.
    int maxH = 1, maxV = 1;
    for (int c = 0; c < components; ++c) {
        maxH = std::max(maxH, cinfo->comp_info[c].h_samp_factor);
        maxV = std::max(maxV, cinfo->comp_info[c].v_samp_factor);
    }
    const bool direct = components == 1 || components == 3;
    if (!runJpegPhase(dec.err, [cinfo, previewWidth, direct] {
            if (previewWidth > 0) {
                unsigned denom = cinfo->image_width / unsigned(previewWidth);
                cinfo->scale_num = 1;
                cinfo->scale_denom = denom < 1 ? 1 : denom > 16 ? 16 : denom;
                cinfo->dct_method = JDCT_IFAST;
                cinfo->do_fancy_upsampling = FALSE;
            }
            // Gray and colour files come out of the library already in the
            // DIB's byte order, so scan lines land in place.
            if (direct) cinfo->out_color_space = JCS_EXT_BGR;
            jpeg_calc_output_dimensions(cinfo);
        }))
        return failure();

    const int outWidth = int(cinfo->output_width);
    const int outHeight = int(cinfo->output_height);
    if (!dibSizeAllowed(outWidth, outHeight)) return detail::tooLarge(outWidth, outHeight);
    Dib dib = allocateDib(outWidth, outHeight);
    if (dib.empty()) return FileResult::fail(FailReason::TooLarge, "out of memory");

    // A file of several scans is read whole here; only then is it known
    // whether every component was in one.
    if (!runJpegPhase(dec.err, [cinfo] { jpeg_start_decompress(cinfo); })) return failure();
    if (FileResult fault = frameFault(cinfo, dec.err, true); !fault) {
        if (fault.reason == FailReason::Truncated) return truncatedAt(fileSize);
        return fault;
    }

    Dib* out = &dib;
    if (!runJpegPhase(dec.err, [cinfo, out, outWidth, outHeight, direct] {
            const int comps = cinfo->output_components;
            JSAMPARRAY buffer = nullptr;
            if (!direct)
                buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                     JDIMENSION(outWidth * comps), 1);
            for (int line = 0; line < outHeight; ++line) {
                std::uint8_t* row = out->row(outHeight - 1 - line);
                JSAMPROW target = direct ? row : buffer[0];
                if (jpeg_read_scanlines(cinfo, &target, 1) != 1) std::longjmp(
                        reinterpret_cast<JpegErrorMgr*>(cinfo->err)->jump, 1);
                if (direct) continue;
                const JSAMPLE* s = buffer[0];
                if (comps == 4) {
                    for (int x = 0; x < outWidth; ++x, s += 4, row += 3) {
                        const double k = s[3] / 255.0;
                        row[2] = std::uint8_t(int(s[0] * k));
                        row[1] = std::uint8_t(int(s[1] * k));
                        row[0] = std::uint8_t(int(s[2] * k));
                    }
                } else {
                    // Component counts other than 1, 3 and 4: show the first as gray.
                    for (int x = 0; x < outWidth; ++x, s += comps, row += 3)
                        row[0] = row[1] = row[2] = s[0];
                }
            }
            jpeg_finish_decompress(cinfo);
        }))
        return failure();

    detail::adoptDib(image, std::move(dib));
    image.width = int(cinfo->image_width);
    image.height = int(cinfo->image_height);
    image.sourceBits = std::uint16_t(components * cinfo->data_precision);
    if (previewWidth <= 0) {
        image.mcuWidth = maxH * kDctSize;
        image.mcuHeight = maxV * kDctSize;
    }
    return {};
}

}  // namespace quill
