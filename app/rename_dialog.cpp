#include "app/rename_dialog.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <cerrno>
#include <string>

#include "app/dialog_placement.h"
#include "app/file_list_model.h"
#include "app/message_dialog.h"
#include "base/file_result.h"
#include "base/file_util.h"

namespace quill {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

int runRenameDialog(QWidget* owner, const std::filesystem::path& file) {
    // Bytes throughout: a name that is not UTF-8 keeps its exact base name
    // unless the user types a new one.
    const std::string name = file.filename().native();
    const std::size_t dot = name.rfind('.');
    const std::string baseBytes = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    const QString shownBase = displayName(baseBytes);

    QDialog dialog(owner);
    setUpDialog(dialog, "renameDialog", QStringLiteral("名前の変更"));

    auto* currentLabel = new QLabel(QStringLiteral("現在の名前:"), &dialog);
    auto* current = new QLineEdit(displayName(name), &dialog);
    current->setObjectName("currentName");
    current->setReadOnly(true);
    current->setAccessibleName(QStringLiteral("現在の名前"));
    currentLabel->setBuddy(current);

    auto* newLabel = new QLabel(QStringLiteral("新しい名前(&N):"), &dialog);
    auto* newName = new QLineEdit(shownBase, &dialog);
    newName->setObjectName("newName");
    newName->setMinimumWidth(300);
    newName->setAccessibleName(QStringLiteral("新しい名前"));
    // A separator would move the file out of its folder.
    newName->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^/]*")), newName));
    newLabel->setBuddy(newName);
    // The file keeps its own extension, so that is what the label shows.
    auto* extensionLabel = new QLabel(text(extension), &dialog);
    extensionLabel->setObjectName("extension");
    extensionLabel->setAccessibleName(QStringLiteral("拡張子"));

    auto* button1 = dialogButton(&dialog, "button1", QStringLiteral("変更する"));
    button1->setDefault(true);
    auto* button2 = dialogButton(&dialog, "button2", QStringLiteral("キャンセル"));
    auto* cancelAll = dialogButton(&dialog, "cancelAll", QStringLiteral("全てキャンセル"));

    auto* fields = new QGridLayout;
    fields->addWidget(currentLabel, 0, 0);
    fields->addWidget(current, 0, 1, 1, 2);
    fields->addWidget(newLabel, 1, 0);
    fields->addWidget(newName, 1, 1);
    fields->addWidget(extensionLabel, 1, 2);
    auto* buttons = buttonRow({button1, button2, cancelAll});
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    QWidget::setTabOrder(newName, button1);
    QWidget::setTabOrder(button1, button2);
    QWidget::setTabOrder(button2, cancelAll);
    QWidget::setTabOrder(cancelAll, current);

    // An empty base name would leave a hidden file named by its extension.
    button1->setEnabled(!shownBase.isEmpty());
    QObject::connect(newName, &QLineEdit::textChanged, button1,
                     [button1](const QString& typed) { button1->setEnabled(!typed.isEmpty()); });

    auto refuse = [&](const QString& why) {
        showMessage(&dialog, kMessageInfo, QStringLiteral("リネームエラー"), why);
        newName->setFocus();
        newName->selectAll();
    };
    const QString taken = QStringLiteral("既に同じ名前のファイルが存在します。");
    QObject::connect(button1, &QPushButton::clicked, &dialog, [&] {
        const QString typed = newName->text();
        if (typed.isEmpty()) return;
        const std::string base = typed == shownBase ? baseBytes : typed.toStdString();
        const std::filesystem::path target = file.parent_path() / (base + extension);
        // Refused up front, as the unchanged name is; the no-replace rename
        // below still catches a file that appears in between.
        if (pathExists(target)) return refuse(taken);
        if (!renameNoReplace(file, target)) {
            const int error = errno;
            if (error == EEXIST) return refuse(taken);
            return refuse(failureMessage(failureFromErrno(error)));
        }
        dialog.done(1);
    });
    QObject::connect(button2, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(2); });
    QObject::connect(cancelAll, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kRenameCancelAll); });

    dialog.adjustSize();
    placeDialog(dialog, owner);
    newName->setFocus();
    newName->selectAll();
    // Esc and the close box reject (0): both mean "キャンセル".
    const int code = dialog.exec();
    return code == 1 || code == kRenameCancelAll ? code : 2;
}

}  // namespace quill
