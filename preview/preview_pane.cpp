// Painting of the preview pane.
#include "preview/preview_pane.h"

#include <QPainter>
#include <QPaintEvent>

namespace quill {

QRect fitPreviewRect(int iw, int ih, int cw, int ch) {
    if (iw <= 0 || ih <= 0 || cw <= 0 || ch <= 0) return {};
    // Each quotient is rounded to float; the 1000 x 500 in 250 x 400 case
    // lands on y 137 only with this arithmetic.
    const float rx = static_cast<float>(iw) / static_cast<float>(cw);
    const float ry = static_cast<float>(ih) / static_cast<float>(ch);
    int x = 0, y = 0, w = cw, h = ch;
    if (rx > ry) {
        const float fh = static_cast<float>(ih) / rx;
        h = static_cast<int>(fh);
        y = (ch - h) / 2;
    } else {
        const float fw = static_cast<float>(iw) / ry;
        w = static_cast<int>(fw);
        x = (cw - w) / 2;
    }
    return QRect(x, y, w, h);
}

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

QColor PreviewPane::backgroundColor() { return QColor(171, 171, 171); }

void PreviewPane::setImage(QImage image) {
    {
        std::lock_guard lock(mutex_);
        image_ = std::move(image);
    }
    QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}

void PreviewPane::clearImage() {
    {
        std::lock_guard lock(mutex_);
        image_ = QImage();
    }
    scaled_ = QPixmap();
    scaledKey_ = 0;
    update();
}

bool PreviewPane::hasImage() const {
    std::lock_guard lock(mutex_);
    return !image_.isNull();
}

QSize PreviewPane::imageSize() const {
    std::lock_guard lock(mutex_);
    return image_.size();
}

QRect PreviewPane::pictureRect() const {
    const QSize s = imageSize();
    return fitPreviewRect(s.width(), s.height(), width(), height());
}

void PreviewPane::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), backgroundColor());
    QImage image;
    {
        std::lock_guard lock(mutex_);
        image = image_;  // shared copy, no pixels copied
    }
    const QRect target = fitPreviewRect(image.width(), image.height(), width(), height());
    if (target.isEmpty()) return;
    // Scale once per picture and pane size; area averaging on the way down
    // keeps fine detail from aliasing.
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(target.size()) * dpr).toSize();
    if (image.cacheKey() != scaledKey_ || scaled_.size() != pixels) {
        scaled_ = QPixmap::fromImage(image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        scaled_.setDevicePixelRatio(dpr);
        scaledKey_ = image.cacheKey();
    }
    painter.drawPixmap(target.topLeft(), scaled_);
}

}  // namespace quill
