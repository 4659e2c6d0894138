#include "preview/loaded_picture.h"

#include "imaging/loaded_image.h"

namespace quill {

QImage pictureFrom(const LoadedImage& loaded) {
    if (loaded.empty()) return {};
    // The header holds the decoded size; a reduced decode's record keeps
    // the file's size.
    const int w = loaded.info->biWidth;
    const int h = loaded.info->biHeight;
    if (w <= 0 || h <= 0) return {};
    // Straight into the format painting blits from: a hostile header can
    // make a decode hundreds of megabytes, so no third copy.
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* bgr = loaded.row(h - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, bgr += 3) out[x] = qRgb(bgr[2], bgr[1], bgr[0]);
    }
    return image;
}

}  // namespace quill
