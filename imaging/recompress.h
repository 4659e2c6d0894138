// The recompression / new-JPEG worker body: for each source, load the
// picture at full size, optionally resample it (Lanczos-3), encode it
// directly or search the quality from 100 down until the file fits the size
// limit, then give it the "_compress" name beside the source. Sources are
// never changed. No dialogs here: the caller drives progress and cancelling.
// Several sources may be encoded at once; names are given one file at a
// time in source order, so they are those of a single worker.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "base/file_result.h"
#include "base/staged_file.h"
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

// recompressFile in two halves: the encoding, which workers run side by
// side, and the placing, one file at a time in source order.
struct EncodedFile {
    RecompressFileResult result;         // LoadFailed or NotWritten, or the quality so far
    std::unique_ptr<StagedFile> staged;  // the encoded file, until it is placed
};
EncodedFile encodeToStaged(const CompressionSettings& settings, const std::filesystem::path& source,
                           bool keepTime = false);
RecompressFileResult placeEncoded(EncodedFile encoded, const std::filesystem::path& source, bool overwrite);

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

// Called as each source is done, in source order, with its 0-based index.
using RecompressDone = std::function<void(int index, const RecompressFileResult& result)>;

// Runs the sources on `workers` threads (1: in order on this one); checks
// `cancel` before each source is started. Outputs and names are the same
// for any number of workers.
RecompressResult runRecompression(const CompressionSettings& settings,
                                  const std::vector<std::filesystem::path>& sources,
                                  bool overwrite, const std::atomic<bool>* cancel = nullptr,
                                  const RecompressDone& done = {}, int workers = 1,
                                  bool keepTime = false);

}  // namespace quill
