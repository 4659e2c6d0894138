// JPEG loader over libjpeg's scan-line decoder: full size with the library's
// accurate defaults, or a reduced preview decode (scaled IDCT, fast DCT, no
// fancy upsampling). Gray and colour files decode straight into the DIB
// rows as blue-green-red; Adobe-style CMYK is turned into RGB by K. The Exif
// orientation is noted, never applied: turning is the caller's choice.
#include <algorithm>
#include <cstring>

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
            jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
            jpeg_read_header(cinfo, TRUE);
        }))
        return failure();
    if (FileResult fault = frameFault(cinfo, dec.err, false); !fault) return fault;
    // Only the first Exif segment counts, as with cameras and viewers.
    int orientation = 1;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        static const std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 || std::memcmp(m->data, kExif, 6) != 0) continue;
        orientation = exifOrientation(m->data + 6, m->data_length - 6);
        break;
    }

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
    image.orientation = std::uint8_t(orientation);
    if (previewWidth <= 0) {
        image.mcuWidth = maxH * kDctSize;
        image.mcuHeight = maxV * kDctSize;
    }
    return {};
}

int exifOrientation(const std::uint8_t* tiff, std::size_t length) {
    // Every read is checked against length; offsets are 32-bit.
    if (!tiff || length < 8) return 1;
    bool big;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        big = false;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        big = true;
    else
        return 1;
    auto u16 = [&](std::size_t at) {
        return big ? unsigned(tiff[at]) << 8 | tiff[at + 1] : unsigned(tiff[at + 1]) << 8 | tiff[at];
    };
    auto u32 = [&](std::size_t at) { return big ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at); };
    if (u16(2) != 42) return 1;
    const std::size_t ifd = u32(4);
    if (ifd > length - 2) return 1;
    const std::size_t count = u16(ifd);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        if (length < 12 || entry > length - 12) return 1;
        if (u16(entry) != 0x0112) continue;
        // SHORT, one value, held in the first half of the value field.
        if (u16(entry + 2) != 3 || u32(entry + 4) != 1) return 1;
        const unsigned value = u16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

}  // namespace quill
