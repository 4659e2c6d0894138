#include "imaging/recompress.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>

#include "base/file_util.h"
#include "base/output_naming.h"
#include "base/staged_file.h"
#include "imaging/encode_jpeg.h"
#include "imaging/loaded_image.h"
#include "imaging/resample_dib.h"

namespace quill {
namespace {

// The quality search: from 100 down, the first quality whose file fits the
// limit. Quality 0 is never tried: libjpeg treats it as 1, tried already.
// Qualities go in pairs on two threads (each encode owns its libjpeg
// object), and the higher fitting one of a pair wins, so the answer is
// exactly the one-by-one search's. Misses stop as soon as they outgrow the
// limit. Returns 0 when nothing fits or libjpeg fails (it would fail at
// every quality alike).
int searchQuality(const CompressionSettings& settings, const Dib& picture, std::uint64_t limit,
                  std::vector<std::uint8_t>& out, FileResult& why) {
    why = FileResult::fail(FailReason::OverSizeLimit);
    const int lanes = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    std::vector<std::uint8_t> buffers[2];
    EncodeStatus status[2] = {EncodeStatus::Failed, EncodeStatus::Failed};
    for (int top = 100; top >= 1; top -= lanes) {
        const int count = std::min(lanes, top);
        auto encodeAt = [&](int k) {
            status[k] = encodeJpegToMemory(settings, picture.info, picture.pixels.get(), top - k, limit,
                                           buffers[k]);
        };
        std::thread second;
        if (count > 1) {
            try {
                second = std::thread(encodeAt, 1);
            } catch (const std::system_error&) {
                encodeAt(1);
            }
        }
        encodeAt(0);
        if (second.joinable()) second.join();
        for (int k = 0; k < count; ++k) {
            if (status[k] == EncodeStatus::TooLarge) continue;
            if (status[k] == EncodeStatus::Failed) {
                why = FileResult::fail(FailReason::Other, "encoding failed");
                return 0;
            }
            out.swap(buffers[k]);
            why = {};
            return top - k;
        }
    }
    return 0;
}

}  // namespace

std::filesystem::path compressOutputPath(const std::filesystem::path& source, bool overwrite) {
    // The source's extension never takes part: a.bmp, a.png and a.jpg all
    // give a_compress.jpg.
    return overwrite ? plainOutputPath(source, "_compress", ".jpg")
                     : outputPathFor(source, "_compress", ".jpg");
}

RecompressFileResult recompressFile(const CompressionSettings& settings,
                                    const std::filesystem::path& source, bool overwrite) {
    RecompressFileResult result;
    result.output = compressOutputPath(source, overwrite);

    LoadedImage image;
    if (!image.LoadImageFile(source, 0, &result.why)) {
        result.outcome = RecompressOutcome::LoadFailed;
        return result;
    }
    Dib picture = takeDib(image);
    if (settings.lanczosEnabled) {
        Dib scaled;
        // On failure the picture is encoded at its loaded size.
        if (ResampleDib(ResampleLanczos3, picture.info, picture.pixels.get(), settings.lanczosWidth,
                        settings.lanczosHeight, settings.keepRatio != 0, scaled))
            picture = std::move(scaled);
    }

    // Overwriting never replaces a read-only output without the user's word.
    if (auto existing = statFile(result.output); existing && !existing->writable) {
        result.why = FileResult::fail(FailReason::ReadOnly, result.output.string());
        return result;
    }

    int quality = settings.quality;
    if (!settings.sizeLimitEnabled) {
        result.why = EncodeJpeg(settings, result.output, picture.info, picture.pixels.get(), false,
                                0, overwrite);
    } else {
        const std::uint64_t limit = sizeLimitBytes(settings.sizeLimit);
        std::vector<std::uint8_t> data;
        quality = searchQuality(settings, picture, limit, data, result.why);
        if (quality > 0)
            result.why =
                writeStaged(result.output, data, overwrite ? Placement::Replace : Placement::New);
    }
    if (result.why) {
        result.outcome = RecompressOutcome::Written;
        result.quality = quality;
    }
    return result;
}

RecompressResult runRecompression(const CompressionSettings& settings,
                                  const std::vector<std::filesystem::path>& sources,
                                  bool overwrite, const std::atomic<bool>* cancel,
                                  const RecompressProgress& progress) {
    RecompressResult result;
    const int count = int(sources.size());
    for (int i = 0; i < count; ++i) {
        if (cancel && cancel->load()) {
            result.cancelled = true;
            break;
        }
        const std::filesystem::path& source = sources[std::size_t(i)];
        if (progress) progress(i + 1, count, source);
        RecompressFileResult one = recompressFile(settings, source, overwrite);
        switch (one.outcome) {
        case RecompressOutcome::Written:
            ++result.successCount;
            result.written.push_back(one.output);
            break;
        case RecompressOutcome::LoadFailed:
            result.failures.push_back({source, std::move(one.why)});
            break;
        case RecompressOutcome::NotWritten:
            result.notWritten.push_back({source, std::move(one.why)});
            break;
        }
    }
    return result;
}

}  // namespace quill
