// Painting, scrolling and the mouse rules of the crop view.
#include "preview/crop_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdlib>

namespace quill {

namespace {

int snapDown(int p, int block) { return p - p % block; }
int roundUp(int size, int block) { return (size + block - 1) / block * block; }

}  // namespace

CropView::CropView(QImage image, int blockWidth, int blockHeight, QWidget* parent)
    : QAbstractScrollArea(parent),
      image_(std::move(image)),
      blockWidth_(std::max(1, blockWidth)),
      blockHeight_(std::max(1, blockHeight)) {
    setObjectName(QStringLiteral("cropView"));
    setAccessibleName(QStringLiteral("切り取り範囲"));
    setFrameShape(QFrame::StyledPanel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    updateScrollBars();
}

QString CropView::rectText(const CropRect& r) const {
    // Sizes of the ordered rectangle, so a drag towards the upper left shows
    // what it will select rather than negative numbers.
    const int w = std::abs(r.right - r.left);
    const int h = std::abs(r.bottom - r.top);
    return QStringLiteral("範囲 : %1[%2] x %3[%4]")
        .arg(w)
        .arg(roundUp(w, blockWidth_))
        .arg(h)
        .arg(roundUp(h, blockHeight_));
}

void CropView::setCropRect(const CropRect& rect) {
    crop_ = anchor_ = rect;
    viewport()->update();
}

void CropView::updateScrollBars() {
    const QSize page = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setPageStep(page.width());
    v->setPageStep(page.height());
    h->setRange(0, std::max(0, image_.width() - page.width()));
    v->setRange(0, std::max(0, image_.height() - page.height()));
}

void CropView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CropView::wheelStep(int delta) {
    QScrollBar* v = verticalScrollBar();
    const int step = delta > 0 ? -50 : 50;
    const int maximum = image_.height() - viewport()->height();
    const int p1 = std::min(v->value() + step, maximum);
    v->setValue(std::max(std::min(p1 + step, maximum), 0));
}

void CropView::wheelEvent(QWheelEvent* event) {
    // A sideways wheel or a pixel-only touchpad event has no vertical notch.
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    wheelStep(delta);
    event->accept();
}

void CropView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QPoint origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const QRect picture = QRect(origin, image_.size()) & event->rect();
    if (!picture.isEmpty()) painter.drawImage(picture.topLeft(), image_, picture.translated(-origin));
    const QRegion rest = QRegion(event->rect()) - picture;
    for (const QRect& r : rest) painter.fillRect(r, QColor(171, 171, 171));

    if (crop_.isEmpty()) return;
    const int left = std::min(crop_.left, crop_.right);
    const int top = std::min(crop_.top, crop_.bottom);
    const QRect outline = QRect(left, top, std::abs(crop_.right - crop_.left), std::abs(crop_.bottom - crop_.top))
                              .translated(origin);
    // While dragging the outline inverts what it covers; a set rectangle is
    // black dots on white, seen on dark and light pictures alike.
    QPen pen(Qt::black, 0, Qt::DotLine);
    if (dragging_) {
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    } else {
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(Qt::white);
    }
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outline.adjusted(0, 0, -1, -1));
}

CropView::Pointer CropView::pointerAt(QPoint client) const {
    // Captured outside on the left or above, the pointer counts as left of
    // or above the picture whatever the scroll position.
    Pointer p;
    p.leftOfView = client.x() < 0;
    p.aboveView = client.y() < 0;
    p.ix = p.leftOfView ? client.x() : horizontalScrollBar()->value() + client.x();
    p.iy = p.aboveView ? client.y() : verticalScrollBar()->value() + client.y();
    return p;
}

CropZone CropView::zoneAt(const Pointer& p) const {
    const auto [l, t, r, b] = crop_;
    const int bw = blockWidth_, bh = blockHeight_;
    const int ix = p.ix, iy = p.iy;
    // In this order; an edge's zone reaches one block either side of it, and
    // an empty rectangle has none, so every press on it starts a new one.
    if (l < ix && ix < r && ((t - bh < iy && iy < t + bh) || p.aboveView)) return CropZone::TopEdge;
    if (l < ix && ix < r && ((b - bh < iy && iy < b + bh) || iy > image_.height())) return CropZone::BottomEdge;
    if (((l - bw < ix && ix < l + bw) || p.leftOfView) && t < iy && iy < b) return CropZone::LeftEdge;
    if (((r - bw < ix && ix < r + bw) || ix > image_.width()) && t < iy && iy < b) return CropZone::RightEdge;
    if (l + bw < ix && ix < r - bw && t + bh < iy && iy < b - bh) return CropZone::Inside;
    return CropZone::Outside;
}

void CropView::showZone() {
    switch (zone_) {
    case CropZone::TopEdge:
    case CropZone::BottomEdge:
        viewport()->setCursor(Qt::SizeVerCursor);
        break;
    case CropZone::LeftEdge:
    case CropZone::RightEdge:
        viewport()->setCursor(Qt::SizeHorCursor);
        break;
    case CropZone::Inside:
        viewport()->setCursor(Qt::SizeAllCursor);
        break;
    case CropZone::Outside:
        viewport()->setCursor(Qt::ArrowCursor);
        break;
    }
}

void CropView::mousePressEvent(QMouseEvent* event) {
    const Pointer p = pointerAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        crop_ = CropRect{};
        viewport()->update();
        emit statusText(0, QStringLiteral("切り取り範囲を解除しました。"));
        emit statusText(2, QString());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    pressed_ = true;
    hadRectAtPress_ = !crop_.isEmpty();
    // The zone of the press point itself: the view may have scrolled since
    // the pointer last moved.
    zone_ = zoneAt(p);
    showZone();
    if (zone_ == CropZone::Outside) {
        // A new rectangle starts at the snapped press point. It starts
        // empty, so a click without movement leaves no rectangle.
        const int x = snapDown(std::clamp(p.ix, 0, image_.width()), blockWidth_);
        const int y = snapDown(std::clamp(p.iy, 0, image_.height()), blockHeight_);
        crop_ = CropRect{x, y, x, y};
    } else if (zone_ == CropZone::Inside) {
        press_ = event->position().toPoint();
    }
}

void CropView::dragTo(const Pointer& p, QPoint client) {
    const int w = image_.width(), h = image_.height();
    // Left of or above the picture a position counts as 0; beyond the
    // picture, as its edge.
    const int x = std::clamp(p.ix, 0, w);
    const int y = std::clamp(p.iy, 0, h);
    switch (zone_) {
    case CropZone::Outside:
        crop_.right = x;
        crop_.bottom = y;
        break;
    case CropZone::TopEdge:
        crop_ = anchor_;
        crop_.top = snapDown(y, blockHeight_);
        break;
    case CropZone::BottomEdge:
        crop_ = anchor_;
        crop_.bottom = y;
        break;
    case CropZone::LeftEdge:
        crop_ = anchor_;
        crop_.left = snapDown(x, blockWidth_);
        break;
    case CropZone::RightEdge:
        crop_ = anchor_;
        crop_.right = x;
        break;
    case CropZone::Inside: {
        // Whole blocks only. C++'s remainder keeps the dividend's sign, so a
        // position past the left or top border snaps towards zero; the
        // rectangle then shrinks against the border instead of leaving it.
        const int cl = anchor_.left + client.x() - press_.x();
        const int ct = anchor_.top + client.y() - press_.y();
        const int nl = cl - cl % blockWidth_;
        const int nt = ct - ct % blockHeight_;
        crop_.left = std::clamp(nl, 0, w);
        crop_.top = std::clamp(nt, 0, h);
        crop_.right = std::clamp(nl + (anchor_.right - anchor_.left), 0, w);
        crop_.bottom = std::clamp(nt + (anchor_.bottom - anchor_.top), 0, h);
        break;
    }
    }
}

void CropView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint client = event->position().toPoint();
    const Pointer p = pointerAt(client);
    emit statusText(3, QStringLiteral("位置 : %1 x %2").arg(p.ix).arg(p.iy));
    if (pressed_ && (event->buttons() & Qt::LeftButton)) {
        dragging_ = true;
        dragTo(p, client);
        viewport()->update();
        emit statusText(2, rectText(crop_));
    }
    // Also while dragging: leaving an edge's zone makes the next move act by
    // the zone the pointer is in then.
    zone_ = zoneAt(p);
    showZone();
}

void CropView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    dragging_ = false;
    viewport()->update();
    if (crop_.isEmpty()) {
        crop_ = CropRect{};
        if (hadRectAtPress_) {
            emit statusText(0, QStringLiteral("切り取り範囲を解除しました。"));
            emit statusText(2, QString());
        }
        return;
    }
    if (crop_.left > crop_.right) std::swap(crop_.left, crop_.right);
    if (crop_.top > crop_.bottom) std::swap(crop_.top, crop_.bottom);
    anchor_ = crop_;
    emit statusText(0, QStringLiteral("切り取り範囲を指定しました。"));
    emit statusText(2, rectText(crop_));
}

}  // namespace quill
