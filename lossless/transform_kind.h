// The lossless transforms, shared by the public conversion options and the
// coefficient engine.
#pragma once

#include <cstdint>

namespace quill {

enum class TransformKind : std::int32_t {
    None = 0,
    FlipH = 1,       // mirror left to right
    FlipV = 2,       // mirror top to bottom
    Transpose = 3,   // across the top-left to bottom-right diagonal
    Transverse = 4,  // across the top-right to bottom-left diagonal
    Rotate90 = 5,    // clockwise
    Rotate180 = 6,
    Rotate270 = 7,   // clockwise, i.e. 90 counter-clockwise
};

}  // namespace quill
