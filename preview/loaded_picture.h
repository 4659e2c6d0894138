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

// The picture turned and mirrored so that it stands as an Exif Orientation
// value (1 to 8) says it was taken; other values leave it as it is.
QImage uprightPicture(const QImage& picture, int orientation);

}  // namespace quill
