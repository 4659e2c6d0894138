#include "imaging/recompress.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/file_util.h"
#include "base/ordered_batch.h"
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

EncodedFile encodeToStaged(const CompressionSettings& settings, const std::filesystem::path& source,
                           bool keepTime) {
    EncodedFile encoded;
    RecompressFileResult& result = encoded.result;
    result.output = plainOutputPath(source, "_compress", ".jpg");
    // Taken before loading, so it is the time of what was loaded.
    std::optional<std::timespec> modified;
    if (const std::optional<FileStatus> st = keepTime ? statFile(source) : std::nullopt)
        modified = st->modified;

    LoadedImage image;
    if (!image.LoadImageFile(source, 0, &result.why)) {
        result.outcome = RecompressOutcome::LoadFailed;
        return encoded;
    }
    Dib picture = takeDib(image);
    if (settings.lanczosEnabled) {
        Dib scaled;
        // On failure the picture is encoded at its loaded size.
        if (ResampleDib(ResampleLanczos3, picture.info, picture.pixels.get(), settings.lanczosWidth,
                        settings.lanczosHeight, settings.keepRatio != 0, scaled))
            picture = std::move(scaled);
    }

    auto staged = std::make_unique<StagedFile>(result.output);
    if (modified) staged->keepModifiedTime(*modified);
    result.quality = settings.quality;
    if (!settings.sizeLimitEnabled) {
        result.why = EncodeJpeg(settings, *staged, picture.info, picture.pixels.get());
    } else {
        const std::uint64_t limit = sizeLimitBytes(settings.sizeLimit);
        std::vector<std::uint8_t> data;
        const FoundQuality found = searchQuality(settings, picture.info, picture.pixels.get(), limit, data);
        result.quality = found.quality;
        if (found.status == EncodeStatus::Ok) {
            if (!staged->write(data)) result.why = staged->status();
        } else if (found.status == EncodeStatus::TooLarge) {
            result.why = FileResult::fail(FailReason::OverSizeLimit);
        } else {
            result.why = FileResult::fail(FailReason::Other, "encoding failed");
        }
    }
    if (result.why) encoded.staged = std::move(staged);
    return encoded;
}

RecompressFileResult placeEncoded(EncodedFile encoded, const std::filesystem::path& source, bool overwrite) {
    RecompressFileResult result = std::move(encoded.result);
    if (!encoded.staged) return result;
    if (overwrite) {
        // Overwriting never replaces a read-only output without the user's word.
        if (auto existing = statFile(result.output); existing && !existing->writable)
            result.why = FileResult::fail(FailReason::ReadOnly, result.output.string());
        else
            result.why = encoded.staged->commit(Placement::Replace);
    } else {
        result.why = placeUnderFreeName(*encoded.staged, source, "_compress", ".jpg", &result.output);
    }
    if (result.why) result.outcome = RecompressOutcome::Written;
    return result;
}

RecompressFileResult recompressFile(const CompressionSettings& settings,
                                    const std::filesystem::path& source, bool overwrite,
                                    bool keepTime) {
    return placeEncoded(encodeToStaged(settings, source, keepTime), source, overwrite);
}

RecompressResult runRecompression(const CompressionSettings& settings,
                                  const std::vector<std::filesystem::path>& sources,
                                  bool overwrite, const std::atomic<bool>* cancel,
                                  const RecompressDone& done, int workers, bool keepTime) {
    RecompressResult result;
    std::vector<EncodedFile> encoded(sources.size());
    OrderedBatch batch;
    batch.count = int(sources.size());
    batch.workers = workers;
    batch.cancelled = [cancel] { return cancel && cancel->load(); };
    batch.work = [&](int i) {
        encoded[std::size_t(i)] = encodeToStaged(settings, sources[std::size_t(i)], keepTime);
    };
    batch.finish = [&](int i) {
        const std::filesystem::path& source = sources[std::size_t(i)];
        RecompressFileResult one = placeEncoded(std::move(encoded[std::size_t(i)]), source, overwrite);
        if (done) done(i, one);
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
    };
    result.cancelled = runOrderedBatch(batch) < batch.count;
    return result;
}

}  // namespace quill
