// The encoder: libjpeg parameters in a fixed order (later calls override
// what earlier ones set), one scan line at a time from the bottom-up DIB.
// The 8x, 4x, 2x and 1/2 scale choices are applied while feeding rows
// (bilinear up, 2x2 box down), since the 6.2 API has no scaled forward DCT.
#include "imaging/encode_jpeg.h"
#include "imaging/encode_jpeg_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/file_util.h"
#include "base/jpeg_guard.h"
#include "base/staged_file.h"

#include <jerror.h>

namespace quill {
namespace {

// Produces the output picture's rows top-down in blue-green-red order.
class RowFeeder {
public:
    // factor 1, 2, 4 or 8 enlarges; half shrinks to (w + 1) / 2 x (h + 1) / 2.
    RowFeeder(const BitmapInfoHeader* info, const std::uint8_t* pixels, int outW, int outH,
              int factor, bool half)
        : pixels_(pixels), stride_(std::size_t(dibStride(24, info->biWidth))), w_(info->biWidth),
          h_(info->biHeight), outW_(outW), outH_(outH), half_(half), factor_(factor) {
        if (factor == 1 && !half) return;
        scratch_.resize(std::size_t(outW) * 3);
        if (!half_) {
            // Sample centres line up: output x maps to (x + 0.5) / k - 0.5.
            xs_.resize(std::size_t(outW));
            for (int x = 0; x < outW; ++x) xs_[std::size_t(x)] = tap(x, w_);
        }
    }

    // Output row y, 0 at the top.
    const std::uint8_t* row(int y) {
        if (scratch_.empty()) return sourceRow(y);
        std::uint8_t* out = scratch_.data();
        if (half_) {
            const std::uint8_t* r0 = sourceRow(std::min(2 * y, h_ - 1));
            const std::uint8_t* r1 = sourceRow(std::min(2 * y + 1, h_ - 1));
            for (int x = 0; x < outW_; ++x) {
                const std::size_t a = 3 * std::size_t(std::min(2 * x, w_ - 1));
                const std::size_t b = 3 * std::size_t(std::min(2 * x + 1, w_ - 1));
                for (int c = 0; c < 3; ++c)
                    out[3 * x + c] = std::uint8_t((r0[a + c] + r0[b + c] + r1[a + c] + r1[b + c] + 2) / 4);
            }
            return out;
        }
        const Tap ty = tap(y, h_);
        const std::uint8_t* r0 = sourceRow(ty.i0);
        const std::uint8_t* r1 = sourceRow(ty.i1);
        for (int x = 0; x < outW_; ++x) {
            const Tap& tx = xs_[std::size_t(x)];
            const std::size_t a = 3 * std::size_t(tx.i0), b = 3 * std::size_t(tx.i1);
            for (int c = 0; c < 3; ++c) {
                const int top = r0[a + c] * (256 - tx.w) + r0[b + c] * tx.w;
                const int bottom = r1[a + c] * (256 - tx.w) + r1[b + c] * tx.w;
                out[3 * x + c] = std::uint8_t((top * (256 - ty.w) + bottom * ty.w + 32768) >> 16);
            }
        }
        return out;
    }

private:
    struct Tap {
        int i0 = 0, i1 = 0, w = 0;  // weight of i1 in 1/256
    };
    Tap tap(int out, int size) const {
        const int num = 2 * out + 1 - factor_;  // position * 2k, centre-aligned
        Tap t;
        if (num <= 0) return t;
        const int den = 2 * factor_;
        t.i0 = std::min(num / den, size - 1);
        t.i1 = std::min(t.i0 + 1, size - 1);
        t.w = (num % den) * 256 / den;
        return t;
    }
    const std::uint8_t* sourceRow(int topDownY) const {
        return pixels_ + std::size_t(h_ - 1 - topDownY) * stride_;
    }

    const std::uint8_t* pixels_;
    std::size_t stride_;
    int w_, h_, outW_, outH_;
    bool half_;
    int factor_;
    std::vector<Tap> xs_;
    std::vector<std::uint8_t> scratch_;
};

// A memory destination that refuses to grow past maxBytes: the encode is
// abandoned (longjmp through the error manager, no message) as soon as the
// result can no longer fit.
struct MemoryDest {
    jpeg_destination_mgr pub{};
    JpegErrorMgr* err = nullptr;
    std::uint8_t* data = nullptr;
    std::size_t capacity = 0;
    std::size_t maxBytes = 0;
    std::size_t size = 0;
    bool overflow = false;
    ~MemoryDest() { std::free(data); }

    static MemoryDest* self(j_compress_ptr cinfo) { return reinterpret_cast<MemoryDest*>(cinfo->dest); }
    static void init(j_compress_ptr cinfo) {
        MemoryDest* d = self(cinfo);
        d->capacity = std::min<std::size_t>(d->maxBytes + 1, 1 << 16);
        d->data = static_cast<std::uint8_t*>(std::malloc(d->capacity));
        if (!d->data) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
        d->pub.next_output_byte = d->data;
        d->pub.free_in_buffer = d->capacity;
    }
    static boolean grow(j_compress_ptr cinfo) {
        MemoryDest* d = self(cinfo);
        // libjpeg asks for room as soon as the buffer is full, even when no
        // byte follows; only holding more than maxBytes proves a miss.
        if (d->capacity > d->maxBytes) {
            d->overflow = true;
            std::longjmp(d->err->jump, 1);
        }
        const std::size_t next = std::min(d->capacity * 2, d->maxBytes + 1);
        auto* bigger = static_cast<std::uint8_t*>(std::realloc(d->data, next));
        if (!bigger) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
        d->data = bigger;
        d->pub.next_output_byte = d->data + d->capacity;
        d->pub.free_in_buffer = next - d->capacity;
        d->capacity = next;
        return TRUE;
    }
    static void term(j_compress_ptr cinfo) {
        MemoryDest* d = self(cinfo);
        d->size = d->capacity - d->pub.free_in_buffer;
    }
};

bool settingsValid(const CompressionSettings& s) {
    return s.colorSpace <= 4 && s.sampling <= 3 && s.scaleIndex <= 4 && s.dctMethod <= 2 &&
           s.restartMode <= 2;
}

bool pictureValid(const BitmapInfoHeader* info, const std::uint8_t* pixels) {
    return info && pixels && info->biBitCount == 24 && info->biCompression == 0 &&
           info->biWidth > 0 && info->biHeight > 0 && dibSizeAllowed(info->biWidth, info->biHeight);
}

// One encode into either a stdio file or a MemoryDest, of the whole picture
// or of the band a hook asks for. Fails on a library error (or an
// overflowing MemoryDest).
FileResult encode(const CompressionSettings& s, const BitmapInfoHeader* info,
                  const std::uint8_t* pixels, int quality, std::FILE* file, MemoryDest* memory,
                  const CompressHook* hook = nullptr) {
    int outW = 0, outH = 0;
    encodedSize(s, info->biWidth, info->biHeight, outW, outH);
    if (outW <= 0 || outH <= 0 || outW > int(JPEG_MAX_DIMENSION) || outH > int(JPEG_MAX_DIMENSION))
        return FileResult::fail(FailReason::TooLarge);
    const int firstRow = hook ? hook->firstRow : 0;
    const int rowCount = hook && hook->rowCount ? hook->rowCount : outH - firstRow;
    if (firstRow < 0 || rowCount <= 0 || rowCount > outH - firstRow)
        return FileResult::fail(FailReason::Other, "no such band");
    const bool lib = !s.lanczosEnabled;
    RowFeeder feeder(info, pixels, outW, outH, lib && s.scaleIndex < 3 ? 8 >> s.scaleIndex : 1,
                     lib && s.scaleIndex == 4);
    const bool fourComponents = s.colorSpace >= 3;
    std::vector<std::uint8_t> cmykRow(fourComponents ? std::size_t(outW) * 4 : 0);

    JpegCompressor comp;
    if (!comp.created) return FileResult::fail(FailReason::Other, "out of memory");
    j_compress_ptr cinfo = &comp.cinfo;
    if (memory) {
        memory->err = &comp.err;
        memory->pub.init_destination = MemoryDest::init;
        memory->pub.empty_output_buffer = MemoryDest::grow;
        memory->pub.term_destination = MemoryDest::term;
    }
    RowFeeder* rows = &feeder;
    std::uint8_t* cmyk = cmykRow.data();
    auto phase = [&s, cinfo, file, memory, quality, outW, fourComponents, rows, cmyk, hook, firstRow,
                  rowCount] {
        if (memory)
            cinfo->dest = &memory->pub;
        else
            jpeg_stdio_dest(cinfo, file);
        configureCompressor(cinfo, s, quality, outW, rowCount);

        jpeg_start_compress(cinfo, TRUE);
        if (hook && hook->started) hook->started(cinfo, hook->context);
        for (int y = firstRow; y < firstRow + rowCount; ++y) {
            const std::uint8_t* bgr = rows->row(y);
            JSAMPROW line = const_cast<JSAMPROW>(bgr);
            if (fourComponents) {
                // The picture's red, green, blue stand as C, M, Y with K = 255,
                // which an Adobe-style CMYK reader turns back into the same colours.
                for (int x = 0; x < outW; ++x) {
                    cmyk[4 * x] = bgr[3 * x + 2];
                    cmyk[4 * x + 1] = bgr[3 * x + 1];
                    cmyk[4 * x + 2] = bgr[3 * x];
                    cmyk[4 * x + 3] = 255;
                }
                line = cmyk;
            }
            jpeg_write_scanlines(cinfo, &line, 1);
        }
        jpeg_finish_compress(cinfo);
    };
    return runJpegPhase(comp.err, phase) ? FileResult{} : jpegFailure(comp.err);
}

}  // namespace

std::uint64_t sizeLimitBytes(std::uint32_t sizeLimit) {
    const std::uint64_t l = sizeLimit;
    if (l <= 1000) return l;
    if (l <= 1000000) return l * 1024 / 1000;
    return l * 1024 / 1000 * 1024 / 1000;
}

void configureCompressor(j_compress_ptr cinfo, const CompressionSettings& s, int quality, int width,
                         int height) {
    const bool fourComponents = s.colorSpace >= 3;
    cinfo->image_width = JDIMENSION(width);
    cinfo->image_height = JDIMENSION(height);
    cinfo->input_components = fourComponents ? 4 : 3;
    cinfo->in_color_space = fourComponents ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_colorspace(cinfo, J_COLOR_SPACE(s.colorSpace + 1));

    // jpeg_set_colorspace chose the JFIF/Adobe markers; only the JFIF
    // fields are ours to change, and only when a JFIF marker is kept.
    if (!s.jfifMarker) {
        cinfo->write_JFIF_header = FALSE;
    } else {
        if (s.jfifVersionEnabled) {
            cinfo->JFIF_major_version = s.jfifMajor;
            cinfo->JFIF_minor_version = s.jfifMinor;
        }
        if (s.densityEnabled) {
            cinfo->density_unit = s.densityUnit;
            cinfo->X_density = s.xDensity;
            cinfo->Y_density = s.yDensity;
        }
    }
    // Baseline files must keep quantisation values within 8 bits.
    jpeg_set_quality(cinfo, quality, s.progressive ? FALSE : TRUE);
    if (s.progressive)
        jpeg_simple_progression(cinfo);
    else if (s.optimizeHuffman)
        cinfo->optimize_coding = TRUE;

    static constexpr int kSampling[4][2] = {{1, 1}, {2, 1}, {2, 2}, {4, 1}};
    cinfo->comp_info[0].h_samp_factor = kSampling[s.sampling][0];
    cinfo->comp_info[0].v_samp_factor = kSampling[s.sampling][1];
    for (int c = 1; c < cinfo->num_components; ++c) {
        cinfo->comp_info[c].h_samp_factor = 1;
        cinfo->comp_info[c].v_samp_factor = 1;
    }

    if (s.restartMode >= 1) cinfo->restart_in_rows = s.restartRows;
    // DRI holds 16 bits; a larger stored interval would be written truncated.
    if (s.restartMode == 2) cinfo->restart_interval = std::min<std::uint32_t>(s.restartInterval, 65535);
    if (s.smoothingEnabled) cinfo->smoothing_factor = std::clamp(s.smoothing, 0, 100);
    static constexpr J_DCT_METHOD kDct[3] = {JDCT_IFAST, JDCT_ISLOW, JDCT_FLOAT};
    cinfo->dct_method = kDct[s.dctMethod];
    // 0 means no user limit; our own bound against runaway buffers stays.
    if (s.memoryLimitMb) cinfo->mem->max_memory_to_use = long(s.memoryLimitMb) * 1000000L;
}

void encodedSize(const CompressionSettings& s, int width, int height, int& outWidth, int& outHeight) {
    outWidth = width;
    outHeight = height;
    if (s.lanczosEnabled || s.scaleIndex == 3 || s.scaleIndex > 4) return;
    if (s.scaleIndex == 4) {
        outWidth = (width + 1) / 2;
        outHeight = (height + 1) / 2;
        return;
    }
    const long long factor = 8 >> s.scaleIndex;  // 8, 4, 2
    outWidth = int(std::min<long long>(width * factor, INT_MAX));
    outHeight = int(std::min<long long>(height * factor, INT_MAX));
}

EncodeStatus encodeJpegToMemory(const CompressionSettings& settings, const BitmapInfoHeader* info,
                                const std::uint8_t* pixels, int quality, std::uint64_t maxBytes,
                                std::vector<std::uint8_t>& out) noexcept {
    return encodeJpegToMemory(settings, info, pixels, quality, maxBytes, out, CompressHook{});
}

EncodeStatus encodeJpegToMemory(const CompressionSettings& settings, const BitmapInfoHeader* info,
                                const std::uint8_t* pixels, int quality, std::uint64_t maxBytes,
                                std::vector<std::uint8_t>& out, const CompressHook& hook) noexcept try {
    out.clear();
    if (!settingsValid(settings) || !pictureValid(info, pixels)) return EncodeStatus::Failed;
    MemoryDest dest;
    dest.maxBytes = std::size_t(std::min<std::uint64_t>(maxBytes, SIZE_MAX / 4));
    if (!encode(settings, info, pixels, quality, nullptr, &dest, &hook).ok())
        return dest.overflow ? EncodeStatus::TooLarge : EncodeStatus::Failed;
    if (dest.size > dest.maxBytes) return EncodeStatus::TooLarge;
    out.assign(dest.data, dest.data + dest.size);
    return EncodeStatus::Ok;
} catch (const std::bad_alloc&) {
    out.clear();
    return EncodeStatus::Failed;
}

FileResult EncodeJpeg(const CompressionSettings& settings, const std::filesystem::path& outPath,
                      const BitmapInfoHeader* info, const std::uint8_t* pixels, bool toMemory,
                      int qualityOverride, bool replaceExisting,
                      const std::optional<std::timespec>& modified) noexcept try {
    if (!settingsValid(settings)) return FileResult::fail(FailReason::Other, "invalid settings");
    if (!pictureValid(info, pixels)) return FileResult::fail(FailReason::NotImage);
    // A read-only file is only ever replaced after the user agreed, which is
    // not the encoder's call: it stays, as it would against a plain "wb" open.
    if (auto existing = statFile(outPath); existing && !existing->writable)
        return FileResult::fail(FailReason::ReadOnly, outPath.string());
    if (!replaceExisting && pathExists(outPath))
        return FileResult::fail(FailReason::Exists, outPath.string());
    const Placement placement = replaceExisting ? Placement::Replace : Placement::New;
    if (toMemory) {
        std::vector<std::uint8_t> data;
        switch (encodeJpegToMemory(settings, info, pixels, qualityOverride,
                                   sizeLimitBytes(settings.sizeLimit), data)) {
            case EncodeStatus::Ok:
                return writeStaged(outPath, data, placement, modified);
            case EncodeStatus::TooLarge:
                return FileResult::fail(FailReason::OverSizeLimit);
            case EncodeStatus::Failed:
                break;
        }
        return FileResult::fail(FailReason::Other, "encoding failed");
    }
    StagedFile file(outPath);
    if (modified) file.keepModifiedTime(*modified);
    if (FileResult r = EncodeJpeg(settings, file, info, pixels); !r) return r;
    return file.commit(placement);
} catch (const std::exception&) {
    // Out of memory for row buffers, or a path that cannot be formed.
    return FileResult::fail(FailReason::Other, "out of memory");
}

FileResult EncodeJpeg(const CompressionSettings& settings, StagedFile& out, const BitmapInfoHeader* info,
                      const std::uint8_t* pixels) noexcept try {
    if (!settingsValid(settings)) return FileResult::fail(FailReason::Other, "invalid settings");
    if (!pictureValid(info, pixels)) return FileResult::fail(FailReason::NotImage);
    if (!out.status()) return out.status();
    return encode(settings, info, pixels, settings.quality, out.stream(), nullptr);
} catch (const std::exception&) {
    return FileResult::fail(FailReason::Other, "out of memory");
}

}  // namespace quill
