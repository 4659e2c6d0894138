// A decoded picture as the windows paint it: the loader's bottom-up 24-bit
// rows copied once into a top-down QImage. Used by the preview and the crop
// view, so both show the same pixels.
#pragma once

#include <QImage>

namespace quill {

struct Dib;
struct LoadedImage;

// Null when the record holds no picture or the copy cannot be allocated.
QImage pictureFrom(const LoadedImage& loaded);
QImage pictureFrom(const Dib& dib);

}  // namespace quill
