// The recompression / new-JPEG worker body: for each source, pick the
// "_compress" output name beside it, load the picture at full size,
// optionally resample it (Lanczos-3), then encode it directly or search the
// quality from 100 down until the file fits the size limit. Sources are
// never changed. No threads or dialogs here: the caller drives progress
// and cancelling.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <vector>

#include "base/file_result.h"
#include "imaging/compression_settings.h"

namespace quill {

// Beside the source, its base name + "_compress.jpg"; without overwrite,
// when that exists, the first free "_compress(01).jpg", "(02)", …
std::filesystem::path compressOutputPath(const std::filesystem::path& source, bool overwrite);

enum class RecompressOutcome {
    Written,     // output written
    LoadFailed,  // the source could not be decoded (a failure the user hears of)
    NotWritten,  // encoding failed or no quality met the size limit
};

struct RecompressFileResult {
    RecompressOutcome outcome = RecompressOutcome::NotWritten;
    std::filesystem::path output;  // the name chosen (written only when Written)
    int quality = 0;               // quality used for the written file
    FileResult why;                // why it was not written
};

// keepTime: the output takes the source's modification time.
RecompressFileResult recompressFile(const CompressionSettings& settings,
                                    const std::filesystem::path& source, bool overwrite,
                                    bool keepTime = false);

struct SourceFailure {
    std::filesystem::path source;
    FileResult why;
};

struct RecompressResult {
    std::vector<std::filesystem::path> written;  // outputs, in source order
    std::vector<SourceFailure> failures;         // sources that could not be loaded
    std::vector<SourceFailure> notWritten;       // loaded, but no output
    int successCount = 0;
    bool cancelled = false;
};

// Called before each source with its 1-based index.
using RecompressProgress =
    std::function<void(int index, int count, const std::filesystem::path& source)>;

// Runs the sources in order; checks `cancel` before each one.
RecompressResult runRecompression(const CompressionSettings& settings,
                                  const std::vector<std::filesystem::path>& sources,
                                  bool overwrite, const std::atomic<bool>* cancel = nullptr,
                                  const RecompressProgress& progress = {}, bool keepTime = false);

}  // namespace quill
