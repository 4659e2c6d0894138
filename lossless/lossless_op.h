// LosslessOp: the lossless operations the commands offer, with their command
// identifiers, user-visible texts, output suffixes and the conversion
// options each one passes to convertLossless.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
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
};

inline constexpr std::uint16_t ID_OP_CLEAN = 57648;
inline constexpr std::uint16_t ID_OP_BASELINE = 57649;
inline constexpr std::uint16_t ID_OP_PROGRESSIVE = 57650;
inline constexpr std::uint16_t ID_OP_GRAYSCALE = 57651;
inline constexpr std::uint16_t ID_OP_ROTATE_R90 = 57653;
inline constexpr std::uint16_t ID_OP_ROTATE_L90 = 57654;
inline constexpr std::uint16_t ID_OP_ROTATE_180 = 57655;
inline constexpr std::uint16_t ID_OP_FLIP_H = 57656;
inline constexpr std::uint16_t ID_OP_FLIP_V = 57657;
inline constexpr std::uint16_t ID_OP_TRANSPOSE = 57664;
inline constexpr std::uint16_t ID_OP_TRANSVERSE = 57665;
inline constexpr std::uint16_t ID_OP_NONE = 57666;
inline constexpr std::uint16_t ID_OP_TRIM = 57667;

struct LosslessOpInfo {
    LosslessOp op;
    std::uint16_t command;
    std::string_view commandText;      // toolbar tooltip and menu entry
    std::string_view suffix;           // empty for OpCrop (named by the trimming save)
    std::string_view progressCaption;  // empty for OpCrop (not run as a batch)
};

// All thirteen, in LosslessOp order.
std::span<const LosslessOpInfo> losslessOps();
const LosslessOpInfo& losslessOpInfo(LosslessOp op);
std::optional<LosslessOp> losslessOpForCommand(std::uint16_t command);

// What the file list shows about a source: its APP0 column ("O" or empty) and
// its coding column ("Progressive" or "Baseline").
bool sourceHasApp0(std::string_view app0Text);
bool sourceIsProgressive(std::string_view codingText);

// The options of one batch operation (not OpCrop: the trimming save sets its
// own). forceProgressive matters only to OpClean.
LosslessOptions losslessOptionsFor(LosslessOp op, const std::filesystem::path& sourcePath,
                                   const std::filesystem::path& outputPath, bool hasApp0,
                                   bool progressive, bool forceProgressive);

}  // namespace quill
