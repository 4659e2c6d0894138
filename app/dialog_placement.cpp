#include "app/dialog_placement.h"

#include <QDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPushButton>
#include <QWidget>

namespace quill {

DialogUnits dialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {fm.horizontalAdvance(letters) / 52.0 / 4.0, fm.height() / 8.0};
}

int DialogUnits::width(int units) const { return qRound(units * x); }
int DialogUnits::height(int units) const { return qRound(units * y); }

void setUpDialog(QDialog& dialog, const char* objectName, const QString& title) {
    dialog.setObjectName(QString::fromLatin1(objectName));
    dialog.setWindowTitle(title);
    dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

QPushButton* dialogButton(QWidget* parent, const char* objectName, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* button : buttons) row->addWidget(button);
    return row;
}

QRect DialogUnits::rect(int left, int top, int w, int h) const {
    return QRect(width(left), height(top), width(w), height(h));
}

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
