#include "preview/trimming_window.h"

#include "app/dialog_placement.h"
#include "app/file_list_model.h"
#include "app/message_dialog.h"
#include "lossless/convert_lossless.h"
#include "preview/crop_view.h"
#include "resources/icons.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace quill {

namespace {

struct ToolButton {
    int id;
    const char* text;
    ToolIcon icon;
};

// In toolbar order; 0 stands for a separator.
constexpr ToolButton kButtons[] = {
    {ID_SAVE_AS, "名前を付けて保存...", ToolIcon::SaveAs},
    {0, nullptr, ToolIcon::SaveAs},
    {ID_SELECT_ALL, "全て選択", ToolIcon::SelectAll},
    {ID_DESELECT, "選択解除", ToolIcon::Deselect},
    {0, nullptr, ToolIcon::SaveAs},
    {ID_TOGGLE_FORCE_REGULAR_SIZE, "正規サイズを強制", ToolIcon::RegularSize},
};

QString chooseSavePath(QWidget* owner, const QString& proposedPath) {
    const QFileInfo proposed(proposedPath);
    QFileDialog dialog(owner, QStringLiteral("名前を付けて保存"), proposed.path(),
                       QStringLiteral("Joint Photographic Experts Group (*.jpg *.jpeg)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.selectFile(proposed.fileName());
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace

TrimmingWindow::TrimmingWindow(TrimContext context, QImage image, int blockWidth, int blockHeight,
                               QWidget* parent)
    : QDialog(parent), saveChooser(chooseSavePath), context_(std::move(context)) {
    setObjectName(QStringLiteral("trimmingWindow"));
    setWindowTitle(QStringLiteral("無劣化で切り取り - %1").arg(displayPath(context_.sourcePath)));
    setSizeGripEnabled(false);

    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("trimmingTools"));
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setAccessibleName(QStringLiteral("コマンド"));
    // The overflow button appears in a narrow window; screen readers list it
    // even while hidden.
    for (QToolButton* more : toolbar->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (more->inherits("QToolBarExtension")) more->setAccessibleName(QStringLiteral("その他のコマンド"));
    for (const ToolButton& b : kButtons) {
        if (b.id == 0) {
            toolbar->addSeparator();
            continue;
        }
        auto* action = new QAction(toolIcon(b.icon), QString::fromUtf8(b.text), this);
        action->setData(b.id);
        action->setObjectName(QString::number(b.id));
        if (b.id == ID_TOGGLE_FORCE_REGULAR_SIZE) {
            action->setCheckable(true);
            action->setChecked(context_.forceRegularSizeSetting && *context_.forceRegularSizeSetting != 0);
        }
        toolbar->addAction(action);
        const int id = b.id;
        connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
    }
    commandAction(ID_SAVE_AS)->setShortcut(QKeySequence::Save);
    commandAction(ID_SELECT_ALL)->setShortcut(QKeySequence::SelectAll);

    view_ = new CropView(std::move(image), blockWidth, blockHeight, this);
    connect(view_, &CropView::statusText, this, &TrimmingWindow::setStatus);

    // Parts 1 to 3 keep their widths; part 0 takes what the window gains.
    auto* bar = new QStatusBar(this);
    bar->setSizeGripEnabled(true);
    const int widths[4] = {0, 170, 170, 110};
    for (int part = 0; part < 4; ++part) {
        status_[part] = new QLabel(bar);
        status_[part]->setObjectName(QStringLiteral("part%1").arg(part));
        if (part > 0) status_[part]->setFixedWidth(widths[part]);
        // A long message is cut off rather than widening the window.
        else status_[part]->setMinimumWidth(1);
        bar->addWidget(status_[part], part == 0 ? 1 : 0);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(view_, 1);
    layout->addWidget(bar);

    const QImage& picture = view_->image();
    setStatus(0, QStringLiteral("切り取り範囲を指定して下さい。"));
    setStatus(1, QStringLiteral("範囲 : %1[%2] x %3[%4]")
                     .arg(picture.width())
                     .arg(view_->blockWidth())
                     .arg(picture.height())
                     .arg(view_->blockHeight()));

    // 450 x 360 dialog units of the window's font.
    const QFontMetrics fm(font());
    resize(450 * fm.averageCharWidth() / 4, 360 * fm.height() / 8);
    placeDialog(*this, parent);
    view_->setFocus();
}

QAction* TrimmingWindow::commandAction(int id) const {
    for (QAction* action : findChildren<QAction*>())
        if (action->data().toInt() == id) return action;
    return nullptr;
}

QString TrimmingWindow::statusPart(int part) const { return status_.at(part)->text(); }

void TrimmingWindow::setStatus(int part, const QString& text) { status_.at(part)->setText(text); }

void TrimmingWindow::onCommand(int id) {
    const QImage& picture = view_->image();
    switch (id) {
    case ID_SAVE_AS:
        save();
        break;
    case ID_SELECT_ALL:
        view_->setCropRect(CropRect{0, 0, picture.width(), picture.height()});
        setStatus(0, QStringLiteral("全画面を切り取り範囲に指定しました。"));
        setStatus(2, view_->rectText(view_->cropRect()));
        break;
    case ID_DESELECT:
        view_->setCropRect(CropRect{});
        setStatus(0, QStringLiteral("切り取り範囲を解除しました。"));
        setStatus(2, QString());
        break;
    case ID_TOGGLE_FORCE_REGULAR_SIZE:
        if (std::int32_t* setting = context_.forceRegularSizeSetting) {
            *setting = *setting == 0 ? 1 : 0;
            commandAction(id)->setChecked(*setting != 0);
        }
        break;
    default:
        break;
    }
}

void TrimmingWindow::wheelEvent(QWheelEvent* event) {
    // The wheel scrolls the picture wherever the pointer is in the window.
    if (event->angleDelta().y() == 0) return QDialog::wheelEvent(event);
    view_->wheelStep(event->angleDelta().y());
    event->accept();
}

void TrimmingWindow::save() {
    const CropRect r = view_->cropRect();
    if (r.right < 1 || r.bottom < 1) {
        showMessage(this, kMessageInfo, QStringLiteral("切り取りエラー"),
                    QStringLiteral("切り取り範囲が指定されていません。"));
        return;
    }
    // The folder as it is; the name readable, as the list shows it.
    const QString proposed = QFile::decodeName(context_.sourcePath.parent_path().c_str()) + QLatin1Char('/') +
                             displayName(context_.sourcePath.stem().native()) + QStringLiteral("_trimming");
    const QString chosen = saveChooser ? saveChooser(this, proposed) : QString();
    if (chosen.isEmpty()) return;

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    setStatus(0, QStringLiteral("切り取り範囲を保存中..."));
    status_[0]->repaint();
    LosslessOptions options;
    options.sourcePath = context_.sourcePath;
    options.outputPath = std::filesystem::path(chosen.toStdString());
    options.keepJfif = context_.keepJfif;
    options.progressive = context_.progressive;
    options.keepTime = context_.keepTime;
    options.forceRegularSize = context_.forceRegularSizeSetting && *context_.forceRegularSizeSetting != 0;
    options.crop = true;
    options.cropLeft = static_cast<std::uint32_t>(r.left);
    options.cropTop = static_cast<std::uint32_t>(r.top);
    options.cropRight = static_cast<std::uint32_t>(r.right);
    options.cropBottom = static_cast<std::uint32_t>(r.bottom);
    // The save dialog has asked before an existing file is replaced.
    options.replaceExisting = true;
    const FileResult result = convertLossless(options);
    // The reason follows the failure; its detail (a path, the library's
    // words) would not fit the part, so it goes to the part's tip.
    setStatus(0, result ? QStringLiteral("切り取り範囲を保存しました。")
                        : QStringLiteral("切り取り範囲を保存出来ませんでした。") +
                              QString::fromUtf8(reasonText(result.reason, TextLanguage::Japanese)));
    status_[0]->setToolTip(failureMessage(result));
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace quill
