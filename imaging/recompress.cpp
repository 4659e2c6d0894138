#include "imaging/recompress.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/file_util.h"
#include "imaging/encode_jpeg.h"
#include "imaging/loaded_image.h"
#include "imaging/quality_search.h"
#include "imaging/resample_dib.h"

namespace quill {
namespace {

// Far beyond any real folder; only keeps a pathological one from looping long.
constexpr int kMaxNameAttempts = 100000;

}  // namespace

std::filesystem::path compressOutputPath(const std::filesystem::path& source, bool overwrite) {
    // The base name is the file name up to its last dot; the source's
    // extension never takes part (a.bmp, a.png, a.jpg all give a_compress.jpg).
    const std::string name = source.filename().string();
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::filesystem::path dir = source.parent_path();
    std::filesystem::path first = dir / (base + "_compress.jpg");
    if (overwrite || !pathExists(first)) return first;
    for (int n = 1; n < kMaxNameAttempts; ++n) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "_compress(%02d).jpg", n);
        std::filesystem::path next = dir / (base + suffix);
        if (!pathExists(next)) return next;
    }
    return {};
}

RecompressFileResult recompressFile(const CompressionSettings& settings,
                                    const std::filesystem::path& source, bool overwrite) {
    RecompressFileResult result;
    result.output = compressOutputPath(source, overwrite);

    LoadedImage image;
    if (!image.LoadImageFile(source, 0)) {
        result.outcome = RecompressOutcome::LoadFailed;
        return result;
    }
    Dib picture = takeDib(image);
    if (result.output.empty()) return result;
    if (settings.lanczosEnabled) {
        Dib scaled;
        // On failure the picture is encoded at its loaded size.
        if (ResampleDib(ResampleLanczos3, picture.info, picture.pixels.get(), settings.lanczosWidth,
                        settings.lanczosHeight, settings.keepRatio != 0, scaled))
            picture = std::move(scaled);
    }

    // Overwriting never replaces a read-only output without the user's word.
    if (auto existing = statFile(result.output); existing && !existing->writable) return result;

    if (!settings.sizeLimitEnabled) {
        if (EncodeJpeg(settings, result.output, picture.info, picture.pixels.get(), false, 0,
                       overwrite)) {
            result.outcome = RecompressOutcome::Written;
            result.quality = settings.quality;
        }
        return result;
    }

    const std::uint64_t limit = sizeLimitBytes(settings.sizeLimit);
    std::vector<std::uint8_t> data;
    const int quality = searchQuality(settings, picture.info, picture.pixels.get(), limit, data);
    if (quality > 0 && writeFileInPlace(result.output, data.data(), data.size(), overwrite)) {
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
            result.failures.push_back(source);
            break;
        case RecompressOutcome::NotWritten:
            result.notWritten.push_back(source);
            break;
        }
    }
    return result;
}

}  // namespace quill
