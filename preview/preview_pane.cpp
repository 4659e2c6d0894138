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

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent), stale_(new QTimer(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setAccessibleName(QStringLiteral("プレビュー"));
    // Long enough for a small file's picture to replace the old one without
    // a blank flash in between, short against a large file's decode.
    stale_->setSingleShot(true);
    stale_->setInterval(150);
    connect(stale_, &QTimer::timeout, this, &PreviewPane::clearImage);
}

QColor PreviewPane::backgroundColor() { return QColor(171, 171, 171); }

void PreviewPane::setImage(QImage image) {
    stale_->stop();
    image_ = std::move(image);
    update();
}

void PreviewPane::clearImage() {
    stale_->stop();
    image_ = QImage();
    scaled_ = QPixmap();
    scaledKey_ = 0;
    update();
}

void PreviewPane::expectPicture() {
    if (!image_.isNull()) stale_->start();
}

QRect PreviewPane::pictureRect() const {
    return fitPreviewRect(image_.width(), image_.height(), width(), height());
}

void PreviewPane::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), backgroundColor());
    const QImage& image = image_;
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
