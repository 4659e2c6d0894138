// The work a lossless batch does for one file, without the thread, the
// progress dialog or the list: name the output, convert, and in overwrite
// mode put the result in the source's place.
#pragma once

#include <filesystem>

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

// hasApp0 and progressive describe the source as the file list shows it.
// confirm is asked only in overwrite mode and only for a read-only source.
LosslessFileResult convertBatchFile(const LosslessBatchSettings& settings,
                                    const std::filesystem::path& source, bool hasApp0,
                                    bool progressive, const ConfirmReadOnly& confirm);

}  // namespace quill
