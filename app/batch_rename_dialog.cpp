#include "app/batch_rename_dialog.h"

#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/dialog_placement.h"

namespace quill {

namespace {

QLineEdit* addField(QFormLayout* form, const char* objectName, const QString& label, const QString& pattern) {
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setAccessibleName(QString(label).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    form->addRow(label, edit);
    return edit;
}

}  // namespace

int runBatchRenameDialog(QWidget* owner, BatchRenameRecord& record) {
    QDialog dialog(owner);
    setUpDialog(dialog, "batchRenameDialog", QStringLiteral("名前の一括変更"));

    auto* sequence = new QRadioButton(QStringLiteral("連番モード [1, 2, 3, ..]"), &dialog);
    sequence->setObjectName("sequence");
    auto* fixed = new QRadioButton(QStringLiteral("定型連番モード [000, 003, ..]"), &dialog);
    fixed->setObjectName("fixed");
    auto* extension = new QRadioButton(QStringLiteral("拡張子修正モード [.jpg]"), &dialog);
    extension->setObjectName("extension");
    for (QRadioButton* r : {sequence, fixed, extension}) r->setAccessibleName(r->text());

    auto* group = new QGroupBox(&dialog);
    group->setObjectName("sequenceFields");
    group->setAccessibleName(sequence->text());
    auto* form = new QFormLayout(group);
    // A separator would move files out of their folder.
    QLineEdit* prefix = addField(form, "prefix", QStringLiteral("先頭文字(&P):"), QStringLiteral("[^/]*"));
    QLineEdit* digits = addField(form, "digits", QStringLiteral("番号桁数(&D):"), QStringLiteral("[0-9]*"));
    QLineEdit* suffix = addField(form, "suffix", QStringLiteral("後尾文字(&S):"), QStringLiteral("[^/]*"));
    prefix->setMinimumWidth(220);
    digits->setMaxLength(9);

    auto* button1 = dialogButton(&dialog, "button1", QStringLiteral("変更する"));
    button1->setDefault(true);
    auto* button2 = dialogButton(&dialog, "button2", QStringLiteral("キャンセル"));
    auto* buttons = buttonRow({button1, button2});

    auto* indented = new QHBoxLayout;
    indented->addSpacing(20);
    indented->addWidget(group);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(sequence);
    layout->addLayout(indented);
    layout->addWidget(fixed);
    layout->addWidget(extension);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    QWidget::setTabOrder(sequence, prefix);
    QWidget::setTabOrder(prefix, digits);
    QWidget::setTabOrder(digits, suffix);
    QWidget::setTabOrder(suffix, fixed);
    QWidget::setTabOrder(fixed, extension);
    QWidget::setTabOrder(extension, button1);
    QWidget::setTabOrder(button1, button2);

    sequence->setChecked(true);
    QObject::connect(sequence, &QRadioButton::toggled, group, &QWidget::setEnabled);
    QObject::connect(button1, &QPushButton::clicked, &dialog, [&] {
        if (sequence->isChecked()) {
            record = {prefix->text(), digits->text(), suffix->text()};
            dialog.done(kRenameSequence);
        } else {
            dialog.done(fixed->isChecked() ? kRenameFixed : kRenameExtension);
        }
    });
    QObject::connect(button2, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(2); });

    dialog.adjustSize();
    placeDialog(dialog, owner);
    prefix->setFocus();
    const int code = dialog.exec();
    return code == kRenameSequence || code == kRenameFixed || code == kRenameExtension ? code : 2;
}

}  // namespace quill
