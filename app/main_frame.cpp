// The main window: children, settings, command dispatch and the list's
// selection, click and double-click handling.
#include "app/main_frame.h"

#include "app/about_dialog.h"
#include "app/command_ids.h"
#include "app/drag_drop.h"
#include "app/file_commands.h"
#include "app/options_dialog.h"
#include "app/pane_splitter.h"
#include "app/viewer.h"
#include "app/window_placement.h"
#include "imaging/loaded_image.h"
#include "imaging/ui/imaging_commands.h"
#include "lossless/ui/lossless_commands.h"
#include "preview/loaded_picture.h"
#include "preview/preview_pane.h"
#include "preview/trimming_commands.h"
#include "resources/icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <cstring>

namespace quill {

namespace {

QString text(int id) { return QString::fromUtf8(commandText(id)); }

// The transform button: its body does nothing, so from the keyboard the keys
// that press a button or open a list open its menu.
class MenuToolButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
        case Qt::Key_F4:
            showMenu();
            return;
        default:
            QToolButton::keyPressEvent(event);
        }
    }
};

// The preview picture, reduced while decoding, turned upright by its Exif
// orientation unless the user wants files shown as stored.
PreviewLoader::LoadFunction previewLoad(std::shared_ptr<std::atomic<bool>> upright) {
    return [upright](const std::string& path) -> QImage {
        LoadedImage loaded;
        if (!loaded.LoadImageFile(std::filesystem::path(path), 300)) return {};
        const QImage picture = pictureFrom(loaded);
        return upright->load() ? uprightPicture(picture, loaded.orientation) : picture;
    };
}

// Shortcuts of toolbar commands; each shows in its button's tip.
QKeySequence commandShortcut(int id) {
    switch (id) {
    case ID_FOLDER_SELECT:
        return QKeySequence(Qt::CTRL | Qt::Key_O);
    case ID_FILE_DELETE:
        return QKeySequence(Qt::Key_Delete);
    case ID_FILE_RENAME:
        return QKeySequence(Qt::Key_F2);
    case ID_SELECT_TOGGLE:
        return QKeySequence(Qt::CTRL | Qt::Key_A);
    default:
        return {};
    }
}

bool isLosslessCommand(int id) {
    return (id >= ID_OP_CLEAN && id <= ID_OP_GRAYSCALE) || (id >= ID_OP_ROTATE_R90 && id <= ID_OP_FLIP_V) ||
           (id >= ID_OP_TRANSPOSE && id <= ID_OP_NONE) || id == ID_OP_AUTO_ROTATE;
}

}  // namespace

CMainFrame::CMainFrame(std::filesystem::path settingsFile, QWidget* parent)
    : QMainWindow(parent),
      previewThread(nullptr),
      settingsFile_(settingsFile.empty() ? settingsFilePath() : std::move(settingsFile)),
      previewUpright_(std::make_shared<std::atomic<bool>>(true)) {
    setWindowTitle(QStringLiteral("Quillmark"));
    setWindowIcon(appIcon());
    resize(1024, 680);

    buildToolbar();
    buildStatusBar();

    splitter_ = new PaneSplitter(this);
    preview_ = new PreviewPane(splitter_);
    fileList_ = new FileListView(splitter_);
    splitter_->setPanes(preview_, fileList_->table());
    setCentralWidget(splitter_);

    loadSettings(settingsFile_, settings, placement_);
    commandAction(ID_TOGGLE_OVERWRITE)->setChecked(settings.overwrite != 0);
    commandAction(ID_TOGGLE_FORCE_PROGRESSIVE)->setChecked(settings.forceProgressive != 0);
    previewUpright_->store(settings.previewAsStored == 0);
    previewThread.setLoadFunction(previewLoad(previewUpright_));
    applySavedLayout();

    folderChooser = [](QWidget* owner, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, QStringLiteral("フォルダを選択して下さい。"), start,
                                                 QFileDialog::ShowDirsOnly);
    };
    viewerLauncher = [](QWidget* owner, const AppSettings& s, const std::filesystem::path& path) {
        openInViewer(owner, s, path);
    };

    connect(fileList_, &FileListView::rowFocused, this, &CMainFrame::onRowFocused);
    connect(fileList_, &FileListView::clicked, this, &CMainFrame::onListClicked);
    connect(fileList_, &FileListView::doubleClicked, this, &CMainFrame::onListDoubleClicked);
    connect(fileList_->table(), &FileTable::openRequested, this, &CMainFrame::onListDoubleClicked);
    connect(fileList_, &FileListView::selectionChanged, this, &CMainFrame::onSelectionChanged);

    // Refreshing has no toolbar button; the out-of-date note names its key.
    auto* refresh = new QAction(QStringLiteral("一覧の更新"), this);
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    addAction(refresh);
    connect(refresh, &QAction::triggered, this, &CMainFrame::refreshCommand);

    registerFileCommands(*this);
    registerLosslessCommands(*this);
    registerImagingCommands(*this);
    registerTrimmingCommands(*this);
    new DragAndDrop(*this);
}

CMainFrame::~CMainFrame() {
    previewThread.cancel();
    saveOnce();
}

void CMainFrame::buildToolbar() {
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("commands"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(16, 16));
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar_->toggleViewAction()->setVisible(false);
    toolbar_->setAccessibleName(QStringLiteral("コマンド"));
    // The overflow button appears in a narrow window; screen readers list it
    // even while hidden.
    for (QToolButton* more : toolbar_->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (more->inherits("QToolBarExtension")) more->setAccessibleName(QStringLiteral("その他のコマンド"));
    addToolBar(Qt::TopToolBarArea, toolbar_);
    setContextMenuPolicy(Qt::NoContextMenu);

    transformMenu_ = new QMenu(text(ID_OP_TRANSFORM), this);
    for (int id : transformMenuItems()) {
        if (id == 0) {
            transformMenu_->addSeparator();
            continue;
        }
        QAction* item = transformMenu_->addAction(text(id));
        item->setData(id);
        connect(item, &QAction::triggered, this, [this, id] { onCommand(id); });
    }

    for (int id : toolbarLayout()) {
        if (id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        auto* action = new QAction(commandIcon(id), text(id), this);
        action->setData(id);
        action->setObjectName(QString::number(id));
        if (id == ID_TOGGLE_OVERWRITE || id == ID_TOGGLE_FORCE_PROGRESSIVE) action->setCheckable(true);
        if (const QKeySequence keys = commandShortcut(id); !keys.isEmpty()) {
            action->setShortcut(keys);
            QString tip = text(id) + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) + QLatin1Char(')');
            if (id == ID_FOLDER_SELECT) tip += QStringLiteral("\n一覧の更新 (F5)");
            action->setToolTip(tip);
        }
        if (id == ID_OP_TRANSFORM) {
            // The body runs the command, which has no handler; only the
            // arrow (or a key) opens the menu.
            transformButton_ = new MenuToolButton(toolbar_);
            transformButton_->setDefaultAction(action);
            transformButton_->setMenu(transformMenu_);
            transformButton_->setPopupMode(QToolButton::MenuButtonPopup);
            transformButton_->setIconSize(QSize(16, 16));
            toolbar_->addWidget(transformButton_);
        } else {
            toolbar_->addAction(action);
        }
        // Tab reaches every button; screen readers read the command's text.
        QWidget* button = id == ID_OP_TRANSFORM ? transformButton_ : toolbar_->widgetForAction(action);
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(text(id));
        connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
    }
    transformMenu_->setAccessibleName(text(ID_OP_TRANSFORM));
}

void CMainFrame::buildStatusBar() {
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusText"));
    status_->setContentsMargins(4, 0, 4, 0);
    // A label's name is its text, which screen readers read and follow; a
    // fixed name would hide the text.
    status_->setAccessibleDescription(QStringLiteral("状態"));
    statusBar()->addWidget(status_, 1);
    unreadable_ = new QLabel(this);
    unreadable_->setObjectName(QStringLiteral("unreadable"));
    unreadable_->setAccessibleDescription(QStringLiteral("読み込めないファイル"));
    unreadable_->hide();
    statusBar()->addPermanentWidget(unreadable_);
    outOfDate_ = new QLabel(QStringLiteral("F5で更新"), this);
    outOfDate_->setObjectName(QStringLiteral("outOfDate"));
    outOfDate_->setAccessibleDescription(QStringLiteral("一覧の状態"));
    outOfDate_->setToolTip(QStringLiteral("フォルダの中身が一覧の作成後に変わりました。"));
    outOfDate_->hide();
    statusBar()->addPermanentWidget(outOfDate_);
}

QAction* CMainFrame::commandAction(int id) const {
    for (QAction* action : findChildren<QAction*>())
        if (action->data().toInt() == id && action->parent() == this) return action;
    return nullptr;
}

int CMainFrame::splitterPos() const { return splitter_->position(); }

void CMainFrame::setCommandHandler(int id, CommandHandler handler) { handlers_[id] = std::move(handler); }

int CMainFrame::onCommand(int id) {
    if (id < kFirstCommandId || id > kLastCommandId) return 0;
    const bool needsRows = isLosslessCommand(id) || id == ID_OP_TRIM || id == ID_RECOMPRESS;
    if (needsRows && fileList_->rowCount() == 0) return 0;
    switch (id) {
    case ID_LIST_NEW:
        NewList();
        return 0;
    case ID_FOLDER_SELECT:
        ChooseFolder();
        return 0;
    case ID_OP_TRANSFORM:
        return 0;  // only the button's arrow does something: it opens the menu
    case ID_SELECT_TOGGLE:
        selectToggleCommand();
        return 0;
    case ID_TOGGLE_OVERWRITE:
        toggleSetting(id, settings.overwrite);
        return 0;
    case ID_TOGGLE_FORCE_PROGRESSIVE:
        toggleSetting(id, settings.forceProgressive);
        return 0;
    case ID_OPTIONS:
        runOptions();
        return 0;
    case ID_ABOUT:
        showAboutBox(this);
        return 0;
    default:
        break;
    }
    if (auto it = handlers_.find(id); it != handlers_.end() && it->second) it->second(*this, id);
    return 0;
}

void CMainFrame::toggleSetting(int id, std::int32_t& flag) {
    flag = flag == 0 ? 1 : 0;
    if (QAction* action = commandAction(id)) action->setChecked(flag != 0);
}

QString CMainFrame::statusText() const { return status_->text(); }

void CMainFrame::setStatusText(const QString& text) {
    status_->setText(text);
    status_->repaint();
}

std::filesystem::path CMainFrame::rowPath(int row) const {
    return std::filesystem::path(folderPath.toStdString()) / fileList_->nameBytes(row);
}

void CMainFrame::clearPreview() {
    previewThread.cancel();
    preview_->clearImage();
}

void CMainFrame::runOptions() {
    const std::int32_t asStored = settings.previewAsStored;
    runOptionsDialog(this, settings);
    previewUpright_->store(settings.previewAsStored == 0);
    // Show the change on the picture in view at once.
    if (settings.previewAsStored != asStored && preview_->hasImage() && !currentFile.empty())
        previewThread.start(currentFile.native(), preview_);
}

void CMainFrame::onRowFocused(int row) {
    if (listReady == 0) return;
    selectToggle = 0;
    if (fileList_->nameBytes(row).empty()) return;
    std::filesystem::path path = rowPath(row);
    if (path == currentFile) return;
    currentFile = std::move(path);
    dragReady = 1;
    previewThread.start(currentFile.native(), preview_);
}

void CMainFrame::onListClicked() {
    const int rows = fileList_->rowCount();
    if (rows == 0) return;
    setStatusText(QStringLiteral("全て %1, 選択数 %2").arg(rows).arg(fileList_->selectedCount()));
}

void CMainFrame::onSelectionChanged() {
    if (listReady == 1) onListClicked();
}

// A preview still loading does not stop the viewer: the two share nothing,
// and waiting would swallow the double click on a large file.
void CMainFrame::onListDoubleClicked(int row) {
    if (fileList_->rowCount() == 0 || fileList_->selectedCount() != 1 || listReady != 1) return;
    if (row < 0 || fileList_->nameBytes(row).empty()) return;
    if (viewerLauncher) viewerLauncher(this, settings, rowPath(row));
}

void CMainFrame::selectToggleCommand() {
    if (fileList_->rowCount() == 0) {
        setStatusText(QStringLiteral("ファイルリストが空です。"));
        return;
    }
    listReady = 0;
    fileList_->setAllSelected(selectToggle == 0);
    fileList_->table()->setFocus();
    listReady = 1;
    selectToggle = selectToggle == 0 ? 1 : 0;
    clearPreview();
    setStatusText(selectToggle == 1 ? QStringLiteral("全て選択しました。") : QStringLiteral("選択解除しました。"));
}

void CMainFrame::showAtStart() {
    if (placement_.valid() && applyPlacement(*this, placement_)) return;
    // The first start takes most of the screen: 33 columns want the room.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) resize(screen->availableGeometry().size() * 9 / 10);
    showCentred(*this);
}

void CMainFrame::applySavedLayout() {
    if (settings.splitterPos > 0) splitter_->setPosition(settings.splitterPos);
    std::array<int, kListColumns> widths{};
    static_assert(kListColumns == kSavedColumns);
    for (int c = 0; c < kListColumns; ++c) widths[c] = settings.columnWidths[c];
    fileList_->setUserWidths(widths);
    savedSortPending_ = settings.sortColumn >= 0 && settings.sortColumn < kListColumns;
}

void CMainFrame::keepLayout() {
    settings.splitterPos = splitter_->position();
    const std::array<int, kListColumns> widths = fileList_->userWidths();
    for (int c = 0; c < kListColumns; ++c) settings.columnWidths[c] = widths[c];
    // A run that never sorted keeps the sort of the run before.
    if (fileList_->sorted()) {
        settings.sortColumn = fileList_->sortColumn;
        settings.sortDescending = fileList_->direction[fileList_->sortColumn] == 1 ? 1 : 0;
    }
}

void CMainFrame::saveOnce() {
    if (saved_) return;
    saved_ = true;
    keepLayout();
    saveSettings(settingsFile_, settings, placementOf(*this));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    previewThread.cancel();
    saveOnce();
    event->accept();
}

}  // namespace quill
