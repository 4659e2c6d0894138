// Layout of the two panes and the splitter drag.
#include "app/pane_splitter.h"

#include <QMouseEvent>

#include <algorithm>
#include <cstdlib>

namespace quill {

PaneSplitter::PaneSplitter(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("プレビューと一覧の区切り"));
}

void PaneSplitter::setPanes(QWidget* left, QWidget* right) {
    left_ = left;
    right_ = right;
    layoutPanes();
}

int PaneSplitter::clampedPosition(int x, int clientWidth) {
    if (x < kMin) return kMin;
    return std::min(x, clientWidth - kRightMargin);
}

void PaneSplitter::layoutPanes() {
    const int h = height();
    const int w = width();
    if (left_ && left_->isVisibleTo(this)) {
        left_->setGeometry(0, 0, std::max(0, pos_ - 2), h);
        if (right_) right_->setGeometry(pos_ + 2, 0, std::max(0, w - pos_ - 2), h);
    } else if (right_) {
        right_->setGeometry(0, 0, w, h);
    }
}

void PaneSplitter::resizeEvent(QResizeEvent*) { layoutPanes(); }

void PaneSplitter::setPosition(int pos) {
    pos_ = std::max(pos, int(kMin));
    layoutPanes();
}

void PaneSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (std::abs(static_cast<int>(event->position().x()) - pos_) > 2) return;
    dragging_ = true;
    grabMouse(Qt::SplitHCursor);
}

void PaneSplitter::mouseMoveEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (!dragging_) {
        setCursor(x - 2 <= pos_ && pos_ <= x + 2 ? Qt::SplitHCursor : Qt::ArrowCursor);
        return;
    }
    pos_ = clampedPosition(x, width());
    layoutPanes();
}

void PaneSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    pos_ = clampedPosition(static_cast<int>(event->position().x()), width());
    releaseMouse();
    dragging_ = false;
    layoutPanes();
    if (left_) left_->repaint();
}

}  // namespace quill
