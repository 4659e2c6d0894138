// The work a lossless batch does for one file, without the thread, the
// progress dialog or the list: convert, name the output, and in overwrite
// mode put the result in the source's place. The conversion may run beside
// other files' on other workers; the naming and placing take the files one
// at a time, in order, so the names are those of a single worker.
#pragma once

#include <filesystem>
#include <memory>

#include "base/staged_file.h"

#include "lossless/lossless_op.h"
#include "lossless/replace_source.h"

namespace quill {

struct LosslessBatchSettings {
    LosslessOp op = LosslessOp::OpNoTransform;
    bool overwrite = false;
    bool forceProgressive = false;
    bool forceRegularSize = false;
    bool keepIcc = false;           // clean keeps the ICC_PROFILE segments
    bool keepTime = false;          // outputs keep the source's modification time
    bool resetOrientation = false;  // transforms set Orientation 1 and turn the thumbnail
};

struct LosslessFileResult {
    bool converted = false;                           // counts as a completed file
    bool unchanged = false;  // auto-rotate of an upright source: no output, no failure
    std::filesystem::path outputPath;                 // where the new content is now
    ReplaceOutcome replace = ReplaceOutcome::Failed;  // only with overwrite
    FileResult why;  // why the conversion or the replacement failed
};

// A converted file that has no name yet.
struct ConvertedFile {
    std::unique_ptr<StagedFile> staged;  // the new content, beside the source
    FileResult why;                      // why the conversion failed
    bool unchanged = false;              // nothing to write (an upright source)
};

// hasApp0 and progressive describe the source as the file list shows it.
ConvertedFile convertToStaged(const LosslessBatchSettings& settings, const std::filesystem::path& source,
                              bool hasApp0, bool progressive);

// Gives the converted file the first free suffixed name and, in overwrite
// mode, the source's place. confirm is asked only in overwrite mode and only
// for a read-only source.
LosslessFileResult placeConverted(const LosslessBatchSettings& settings, const std::filesystem::path& source,
                                  ConvertedFile converted, const ConfirmReadOnly& confirm);

// Both steps at once.
LosslessFileResult convertBatchFile(const LosslessBatchSettings& settings,
                                    const std::filesystem::path& source, bool hasApp0,
                                    bool progressive, const ConfirmReadOnly& confirm);

}  // namespace quill
