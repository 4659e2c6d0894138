#include "app/dialog_placement.h"

#include <QWidget>

namespace quill {

void placeDialog(QWidget& dialog, const QWidget* owner) {
    if (!owner) return;
    const QWidget* top = owner->window();
    QRect o = top->frameGeometry();
    QSize d = dialog.frameGeometry().size();
    // An unshown dialog has no frame yet; it will get one like its owner's.
    if (!dialog.isVisible()) d += o.size() - top->geometry().size();
    if (o.width() > d.width() && o.height() > d.height()) {
        dialog.move(o.left() + (o.width() - d.width()) / 2, o.top() + (o.height() - d.height()) / 2);
    } else {
        dialog.move(top->geometry().topLeft());
    }
}

}  // namespace quill
