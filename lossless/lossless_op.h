// LosslessOp: the lossless operations, with the output suffix and the
// conversion options each one passes to convertLossless. Which command runs
// which operation, and what the user reads about it, is the window's business.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "lossless/convert_lossless.h"

namespace quill {

enum class LosslessOp : std::int32_t {
    OpClean,
    OpBaseline,
    OpProgressive,
    OpGrayscale,
    OpRotateRight90,
    OpRotateLeft90,
    OpRotate180,
    OpFlipHorizontal,
    OpFlipVertical,
    OpTranspose,
    OpTransverse,
    OpNoTransform,
    OpCrop,
    OpAutoRotate,  // the turn the Exif Orientation asks for
};

// The text between base name and extension of an output; empty for OpCrop,
// whose output the trimming save names.
std::string_view losslessSuffix(LosslessOp op);

// What the file list shows about a source: its APP0 column ("O" or empty) and
// its coding column ("Progressive" or "Baseline").
bool sourceHasApp0(std::string_view app0Text);
bool sourceIsProgressive(std::string_view codingText);

// The options of one batch operation (not OpCrop: the trimming save sets its
// own). forceProgressive matters only to OpClean. Our own options
// (LosslessBatchSettings) are the caller's to add.
LosslessOptions losslessOptionsFor(LosslessOp op, const std::filesystem::path& sourcePath,
                                   const std::filesystem::path& outputPath, bool hasApp0,
                                   bool progressive, bool forceProgressive);

}  // namespace quill
