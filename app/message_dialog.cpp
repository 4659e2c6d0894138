#include "app/message_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>

#include "app/dialog_placement.h"
#include "app/file_list_model.h"
#include "base/file_result.h"

namespace quill {

namespace {

int showMessageHere(QWidget* owner, int kind, const QString& title, const QString& text) {
    QDialog dialog(owner);
    setUpDialog(dialog, "messageDialog", title);

    auto* icon = new QLabel(&dialog);
    icon->setObjectName("icon");
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* message = new QLabel(text, &dialog);
    message->setObjectName("text");
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message->setMinimumWidth(300);
    message->setMaximumWidth(560);
    message->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* button1 = dialogButton(&dialog, "button1", QStringLiteral("閉じる"));
    button1->setDefault(true);
    auto* button2 = dialogButton(&dialog, "button2", QStringLiteral("キャンセル"));
    QObject::connect(button1, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(1); });
    QObject::connect(button2, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(2); });

    int iconSize = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
    if (kind == kMessageInfo) {
        icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(iconSize));
        button2->hide();
    } else if (kind == kMessageQuestion) {
        icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(iconSize));
        button1->setText(QStringLiteral("実行"));
    } else {
        icon->hide();
        button2->hide();
    }

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon);
    body->addWidget(message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(button1);
    buttons->addWidget(button2);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(18, 18, 18, 12);
    layout->setSpacing(16);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    dialog.adjustSize();
    placeDialog(dialog, owner);
    // Esc and the close box reject, which ends with 0; both mean "キャンセル".
    return dialog.exec() == 1 ? 1 : 2;
}

}  // namespace

int showMessage(QWidget* owner, int kind, const QString& title, const QString& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return showMessageHere(owner, kind, title, text);
    // Widgets live on the interface thread only: a worker waits there for the answer.
    QPointer<QWidget> guardedOwner(owner);
    int result = 2;
    QMetaObject::invokeMethod(
        app, [&] { result = showMessageHere(guardedOwner.data(), kind, title, text); },
        Qt::BlockingQueuedConnection);
    return result;
}

QString failureMessage(const FileResult& why) {
    QString text = QString::fromStdString(failureText(FileResult::fail(why.reason), TextLanguage::Japanese));
    if (!why.detail.empty()) text += QStringLiteral("（") + displayPath(why.detail) + QStringLiteral("）");
    return text;
}

}  // namespace quill
