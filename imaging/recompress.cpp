#include "imaging/recompress.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/file_util.h"
#include "base/output_naming.h"
#include "base/staged_file.h"
#include "imaging/encode_jpeg.h"
#include "imaging/loaded_image.h"
#include "imaging/quality_search.h"
#include "imaging/resample_dib.h"

namespace quill {

std::filesystem::path compressOutputPath(const std::filesystem::path& source, bool overwrite) {
    // The source's extension never takes part: a.bmp, a.png and a.jpg all
    // give a_compress.jpg.
    return overwrite ? plainOutputPath(source, "_compress", ".jpg")
                     : outputPathFor(source, "_compress", ".jpg");
}

RecompressFileResult recompressFile(const CompressionSettings& settings,
                                    const std::filesystem::path& source, bool overwrite,
                                    bool keepTime) {
    RecompressFileResult result;
    result.output = compressOutputPath(source, overwrite);
    // Taken before loading, so it is the time of what was loaded.
    std::optional<std::timespec> modified;
    if (const std::optional<FileStatus> st = keepTime ? statFile(source) : std::nullopt)
        modified = st->modified;

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
                                0, overwrite, modified);
    } else {
        const std::uint64_t limit = sizeLimitBytes(settings.sizeLimit);
        std::vector<std::uint8_t> data;
        const FoundQuality found = searchQuality(settings, picture.info, picture.pixels.get(), limit, data);
        quality = found.quality;
        if (found.status == EncodeStatus::Ok)
            result.why =
                writeStaged(result.output, data, overwrite ? Placement::Replace : Placement::New,
                            modified);
        else if (found.status == EncodeStatus::TooLarge)
            result.why = FileResult::fail(FailReason::OverSizeLimit);
        else
            result.why = FileResult::fail(FailReason::Other, "encoding failed");
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
                                  const RecompressProgress& progress, bool keepTime) {
    RecompressResult result;
    const int count = int(sources.size());
    for (int i = 0; i < count; ++i) {
        if (cancel && cancel->load()) {
            result.cancelled = true;
            break;
        }
        const std::filesystem::path& source = sources[std::size_t(i)];
        if (progress) progress(i + 1, count, source);
        RecompressFileResult one = recompressFile(settings, source, overwrite, keepTime);
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
