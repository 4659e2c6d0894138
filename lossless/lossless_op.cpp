#include "lossless/lossless_op.h"

#include <array>

namespace quill {
namespace {

constexpr std::array<LosslessOpInfo, 13> kOps{{
    {LosslessOp::OpClean, ID_OP_CLEAN, "クリーン化", "_cleaned", "クリーン変換中..."},
    {LosslessOp::OpBaseline, ID_OP_BASELINE, "ベースライン化", "_baseline",
     "ベースライン変換中..."},
    {LosslessOp::OpProgressive, ID_OP_PROGRESSIVE, "プログレッシブ化", "_progressive",
     "プログレッシブ変換中..."},
    {LosslessOp::OpGrayscale, ID_OP_GRAYSCALE, "グレースケール化", "_grayscale",
     "グレースケール変換中..."},
    {LosslessOp::OpRotateRight90, ID_OP_ROTATE_R90, "回転(時計回り)90度", "_rotationR90",
     "90度(時計回り)回転中..."},
    {LosslessOp::OpRotateLeft90, ID_OP_ROTATE_L90, "回転(反時計回り)90度", "_rotationL90",
     "90度(反時計回り)回転中..."},
    {LosslessOp::OpRotate180, ID_OP_ROTATE_180, "回転(時計回り)180度", "_rotationR180",
     "180度(時計回り)回転中..."},
    {LosslessOp::OpFlipHorizontal, ID_OP_FLIP_H, "水平反転", "_h_flip", "水平反転中..."},
    {LosslessOp::OpFlipVertical, ID_OP_FLIP_V, "垂直反転", "_v_flip", "垂直反転中..."},
    {LosslessOp::OpTranspose, ID_OP_TRANSPOSE, "縦横の入れ替え[正]", "_transpose",
     "縦横の入れ替え[正]中..."},
    {LosslessOp::OpTransverse, ID_OP_TRANSVERSE, "縦横の入れ替え[負]", "_transverse",
     "縦横の入れ替え[負]中..."},
    {LosslessOp::OpNoTransform, ID_OP_NONE, "何もしない", "_none", "標準(無回転)変換中..."},
    {LosslessOp::OpCrop, ID_OP_TRIM, "切り取り", "", ""},
}};

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

std::span<const LosslessOpInfo> losslessOps() {
    return kOps;
}

const LosslessOpInfo& losslessOpInfo(LosslessOp op) {
    return kOps[static_cast<size_t>(op)];
}

std::optional<LosslessOp> losslessOpForCommand(std::uint16_t command) {
    for (const LosslessOpInfo& info : kOps)
        if (info.command == command) return info.op;
    return std::nullopt;
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
        default:
            break;
    }
    return o;
}

}  // namespace quill
