// Window placement records to and from Qt top-level widgets.
#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quill {

namespace {

// Beyond any real desktop; a record claiming more was not written by us.
constexpr std::int64_t kMaxExtent = 1 << 16;

}  // namespace

WindowPlacement placementOf(const QWidget& window) {
    WindowPlacement p;
    p.length = kPlacementLength;
    QRect r = window.normalGeometry();
    if (!r.isValid()) r = window.geometry();
    p.normalLeft = r.left();
    p.normalTop = r.top();
    p.normalRight = r.left() + r.width();
    p.normalBottom = r.top() + r.height();
    Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized) {
        p.showCmd = kShowMinimized;
        if (state & Qt::WindowMaximized) p.flags |= kRestoreToMaximized;
    } else if (state & Qt::WindowMaximized) {
        p.showCmd = kShowMaximized;
    } else {
        p.showCmd = kShowNormal;
    }
    return p;
}

bool applyPlacement(QWidget& window, const WindowPlacement& p) {
    if (!p.valid()) return false;
    std::int64_t width = std::int64_t(p.normalRight) - p.normalLeft;
    std::int64_t height = std::int64_t(p.normalBottom) - p.normalTop;
    if (width <= 0 || height <= 0 || width > kMaxExtent || height > kMaxExtent) return false;
    if (std::abs(std::int64_t(p.normalLeft)) > kMaxExtent || std::abs(std::int64_t(p.normalTop)) > kMaxExtent)
        return false;
    QRect r(p.normalLeft, p.normalTop, int(width), int(height));
    // A window saved on a screen that is gone would open out of reach.
    bool onScreen = false;
    for (const QScreen* s : QGuiApplication::screens()) onScreen = onScreen || s->availableGeometry().intersects(r);
    if (!onScreen) return false;

    window.setGeometry(r);
    switch (p.showCmd) {
    case kShowMaximized:
        window.showMaximized();
        break;
    case kShowMinimized:
    case 6:   // minimise
    case 7:   // minimised, not active
    case 11:  // force minimise
        if (p.flags & kRestoreToMaximized) window.setWindowState(Qt::WindowMaximized);
        window.showMinimized();
        break;
    default:  // hidden or any other command: a hidden main window could never be reached
        window.showNormal();
        break;
    }
    return true;
}

void showCentred(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    auto centre = [&] {
        QRect s = screen->geometry();
        QSize frame = window.frameGeometry().size();
        window.move(s.left() + (s.width() - frame.width()) / 2, s.top() + (s.height() - frame.height()) / 2);
        return frame;
    };
    QSize before = screen ? centre() : QSize();
    window.show();
    // The frame is known only once the window is shown.
    if (screen && window.frameGeometry().size() != before) centre();
}

}  // namespace quill
