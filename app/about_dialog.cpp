#include "app/about_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/dialog_placement.h"

namespace quill {

void showAboutBox(QWidget* owner) {
    QDialog dialog(owner);
    setUpDialog(dialog, "aboutDialog", QStringLiteral("Quillmarkのバージョン情報"));

    auto* group = new QGroupBox(&dialog);
    auto* icon = new QLabel(group);
    icon->setObjectName("icon");
    QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull()) appIcon = dialog.style()->standardIcon(QStyle::SP_DesktopIcon);
    icon->setPixmap(appIcon.pixmap(32));
    icon->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("Quillmark Version 0.38"), group);
    name->setObjectName("version");
    name->setAlignment(Qt::AlignCenter);
    auto* line2 = new QLabel(QStringLiteral("JPEG ファイルの一覧表示と劣化のない変換"), group);
    line2->setAlignment(Qt::AlignCenter);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setSpacing(10);
    groupLayout->setContentsMargins(24, 18, 24, 18);
    groupLayout->addWidget(icon);
    groupLayout->addWidget(name);
    groupLayout->addWidget(line2);
    group->setMinimumWidth(340);

    auto* ok = dialogButton(&dialog, "button1", QStringLiteral("OK"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(1); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    dialog.adjustSize();
    placeDialog(dialog, owner);
    dialog.exec();
}

}  // namespace quill
