// The Exif Orientation tag, and what turning a picture upright does to its
// Exif data: Orientation 1, and the JPEG thumbnail of IFD1 turned the same
// way. Works on the TIFF body of an Exif segment (after "Exif\0\0") and
// moves none of its other data, so every offset in it stays valid. Turning
// the thumbnail itself is the caller's (no libjpeg here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "lossless/transform_kind.h"

namespace quill {

// 1 to 8; 0 when the tag is missing, out of range or the structure unreadable.
int exifOrientation(std::span<const std::uint8_t> tiff);

// The transform that shows a picture stored with this orientation upright;
// None for 1 and for unknown values.
TransformKind transformForOrientation(int orientation);

// A JPEG thumbnail turned, or nullopt when it cannot be.
using ThumbnailTurn =
    std::function<std::optional<std::vector<std::uint8_t>>(std::span<const std::uint8_t> jpeg)>;

// The TIFF body with Orientation 1 (in IFD0 and IFD1) and the thumbnail
// replaced by turn(thumbnail): in its old place when it fits there, else at
// the end, where the old one also was. A thumbnail that cannot be turned, or
// whose turned copy would take the body past maxLength, is dropped with its
// IFD1 (its bytes cut or zeroed): a thumbnail that no longer matches the
// picture would be worse than none. nullopt when the structure is unreadable.
std::optional<std::vector<std::uint8_t>> uprightExif(std::span<const std::uint8_t> tiff,
                                                     const ThumbnailTurn& turn,
                                                     std::size_t maxLength);

}  // namespace quill
