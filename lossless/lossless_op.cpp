#include "lossless/lossless_op.h"

#include <array>

namespace quill {
namespace {

// In LosslessOp order.
constexpr std::array<std::string_view, 14> kSuffixes{
    "_cleaned",    "_baseline", "_progressive", "_grayscale",  "_rotationR90",
    "_rotationL90", "_rotationR180", "_h_flip", "_v_flip", "_transpose",
    "_transverse", "_none", "", "_rotationAuto",
};

TransformKind transformOf(LosslessOp op) {
    switch (op) {
        case LosslessOp::OpRotateRight90:
            return TransformKind::Rotate90;
        case LosslessOp::OpRotateLeft90:
            return TransformKind::Rotate270;
        case LosslessOp::OpRotate180:
            return TransformKind::Rotate180;
        case LosslessOp::OpFlipHorizontal:
            return TransformKind::FlipH;
        case LosslessOp::OpFlipVertical:
            return TransformKind::FlipV;
        case LosslessOp::OpTranspose:
            return TransformKind::Transpose;
        case LosslessOp::OpTransverse:
            return TransformKind::Transverse;
        default:
            return TransformKind::None;
    }
}

}  // namespace

std::string_view losslessSuffix(LosslessOp op) {
    return kSuffixes[static_cast<std::size_t>(op)];
}

bool sourceHasApp0(std::string_view app0Text) {
    return !app0Text.empty();
}

bool sourceIsProgressive(std::string_view codingText) {
    return codingText == "Progressive";
}

LosslessOptions losslessOptionsFor(LosslessOp op, const std::filesystem::path& sourcePath,
                                   const std::filesystem::path& outputPath, bool hasApp0,
                                   bool progressive, bool forceProgressive) {
    LosslessOptions o;
    o.sourcePath = sourcePath;
    o.outputPath = outputPath;
    o.keepJfif = hasApp0;
    o.progressive = progressive;
    o.transform = transformOf(op);
    switch (op) {
        case LosslessOp::OpClean:
            o.stripMarkers = true;
            o.keepJfif = false;
            o.progressive = forceProgressive;
            break;
        case LosslessOp::OpBaseline:
            o.progressive = false;
            break;
        case LosslessOp::OpProgressive:
            o.progressive = true;
            break;
        case LosslessOp::OpGrayscale:
            o.grayscale = true;
            break;
        case LosslessOp::OpAutoRotate:
            o.autoOrient = true;
            break;
        default:
            break;
    }
    return o;
}

}  // namespace quill
