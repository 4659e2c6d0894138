#include "preview/loaded_picture.h"

#include "imaging/loaded_image.h"

#include <QTransform>

namespace quill {

namespace {

QImage pictureOf(const BitmapInfoHeader* info, const std::uint8_t* pixels) {
    if (!info || !pixels) return {};
    // The header holds the decoded size; a reduced decode's record keeps
    // the file's size.
    const int w = info->biWidth;
    const int h = info->biHeight;
    if (w <= 0 || h <= 0) return {};
    // Straight into the format painting blits from: a hostile header can
    // make a decode hundreds of megabytes, so no third copy.
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* bgr = pixels + std::size_t(h - 1 - y) * std::size_t(dibStride(24, w));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, bgr += 3) out[x] = qRgb(bgr[2], bgr[1], bgr[0]);
    }
    return image;
}

}  // namespace

QImage pictureFrom(const LoadedImage& loaded) { return pictureOf(loaded.info, loaded.pixels.get()); }
QImage pictureFrom(const Dib& dib) { return pictureOf(dib.info, dib.pixels.get()); }

QImage uprightPicture(const QImage& picture, int orientation) {
    // 2, 4, 5 and 7 are the mirror images of 1, 3, 8 and 6: mirror, then turn.
    const bool mirror = orientation == 2 || orientation == 4 || orientation == 5 || orientation == 7;
    int degrees = 0;
    switch (orientation) {
    case 3:
    case 4:
        degrees = 180;
        break;
    case 6:
    case 7:
        degrees = 90;
        break;
    case 5:
    case 8:
        degrees = 270;
        break;
    default:
        break;
    }
    QImage out = mirror ? picture.mirrored(true, false) : picture;
    if (degrees != 0) out = out.transformed(QTransform().rotate(degrees));
    return out;
}

}  // namespace quill
