// Filling the list: choosing a folder, emptying the list, rescanning after
// a command changed files, and the scan itself, with the status parts for
// unreadable files and a folder changed since it was listed. Everything runs on the
// user-interface thread under the wait cursor; the header reads themselves
// are spread over a few threads by the listing library.
#include "app/main_frame.h"

#include "app/command_ids.h"
#include "app/message_dialog.h"
#include "base/file_result.h"
#include "inspection/folder_listing.h"
#include "inspection/quant_table_db.h"
#include "preview/preview_pane.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QLabel>

#include <algorithm>
#include <ctime>

namespace quill {

namespace {

// The configured local time as a point in time; nullopt when it names no
// valid local time.
std::optional<std::timespec> localTimestamp(const SystemTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&tm);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    std::timespec ts{};
    ts.tv_sec = seconds;
    ts.tv_nsec = static_cast<long>(std::min<int>(t.milliseconds, 999)) * 1000000L;
    return ts;
}

QString normalizedFolder(const QString& folder) {
    QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path;
}

// Files named in a tip before the rest is only counted.
constexpr int kTipNames = 30;

struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace

void CMainFrame::ScanFolder(const QString& folder) {
    const std::filesystem::path dir(folder.toStdString());
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return;
    FolderScanOptions options;
    if (settings.applyTimestamp == 1) options.timestamp = localTimestamp(settings.timestamp);
    const QuantTableDb db;
    if (auto rows = scanFolderRows(dir, db, options, &unreadableFiles_)) fileList_->model()->appendRows(*rows);
}

void CMainFrame::NewList() {
    clearPreview();
    listReady = 0;
    currentFile.clear();
    fileList_->model()->clear();
    unreadableFiles_.clear();
    showUnreadable();
    delete watcher_;
    watcher_ = nullptr;
    setOutOfDate(false);
    setWindowTitle(QStringLiteral("Quillmark"));
    setStatusText(QStringLiteral("フォルダを選択して下さい。"));
}

void CMainFrame::showUnreadable() {
    const int n = static_cast<int>(unreadableFiles_.size());
    unreadable_->setVisible(n > 0);
    if (n == 0) return;
    unreadable_->setText(QStringLiteral("読み込めないファイル: %1").arg(n));
    std::vector<const UnreadableFile*> byName;
    for (const UnreadableFile& file : unreadableFiles_) byName.push_back(&file);
    std::sort(byName.begin(), byName.end(), [](const UnreadableFile* a, const UnreadableFile* b) {
        return compareListText(a->path.filename().native(), b->path.filename().native()) < 0;
    });
    QStringList lines;
    for (int i = 0; i < n && i < kTipNames; ++i) {
        const UnreadableFile& file = *byName[static_cast<std::size_t>(i)];
        lines << displayName(file.path.filename().native()) + QStringLiteral(": ") + failureMessage(file.why);
    }
    if (n > kTipNames) lines << QStringLiteral("ほか %1 ファイル").arg(n - kTipNames);
    unreadable_->setToolTip(lines.join(QLatin1Char('\n')));
}

// Watches the folder (files added, removed, renamed, touched) and each
// listed file (written in place). Made anew for every listing, so what the
// program itself changed before it rescanned is never reported.
void CMainFrame::watchFolder() {
    delete watcher_;
    watcher_ = nullptr;
    setOutOfDate(false);
    if (folderPath.isEmpty() || !QFileInfo(folderPath).isDir()) return;
    watcher_ = new QFileSystemWatcher(this);
    watcher_->addPath(folderPath);
    QStringList files;
    files.reserve(fileList_->rowCount());
    for (int row = 0; row < fileList_->rowCount(); ++row) files << QFile::decodeName(rowPath(row).c_str());
    if (!files.isEmpty()) watcher_->addPaths(files);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { setOutOfDate(true); });
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { setOutOfDate(true); });
}

void CMainFrame::setOutOfDate(bool outOfDate) {
    const bool was = !outOfDate_->isHidden();
    outOfDate_->setVisible(outOfDate);
    if (outOfDate && !was) emit listOutOfDate();
}

void CMainFrame::refreshCommand() {
    if (!folderPath.isEmpty()) RefreshList(0);
}

void CMainFrame::ChooseFolder() {
    const QString chosen = folderChooser ? folderChooser(this, folderPath) : QString();
    if (chosen.isEmpty()) {
        fileList_->table()->setFocus();
        return;
    }
    listChosenFolder(chosen);
}

void CMainFrame::listChosenFolder(const QString& chosen) {
    const QString folder = normalizedFolder(chosen);
    {
        WaitCursor wait;
        onCommand(ID_LIST_NEW);
        setStatusText(QStringLiteral("Jpegファイルを探索中..."));
        ScanFolder(folder);
        const int n = fileList_->rowCount();
        if (n > 0) {
            // By name, except at the first listing after a start, which
            // takes up the sort the user left.
            const int column = savedSortPending_ ? settings.sortColumn : 0;
            fileList_->direction[column] = savedSortPending_ && settings.sortDescending != 0 ? 0 : 1;
            savedSortPending_ = false;
            fileList_->columnClick(column);
            listReady = 1;
            setWindowTitle(QStringLiteral("Quillmark - %1").arg(folder));
            setStatusText(QStringLiteral("%1 ファイル見つかりました。").arg(n));
        } else {
            setStatusText(QStringLiteral("Jpegファイルが見つかりませんでした。"));
        }
        folderPath = folder;
        showUnreadable();
        watchFolder();
    }
    fileList_->table()->setFocus();
}

void CMainFrame::RefreshList(int index) {
    {
        WaitCursor wait;
        listReady = 0;
        fileList_->model()->clear();
        unreadableFiles_.clear();
        ScanFolder(folderPath);
        showUnreadable();
        watchFolder();
        selectToggle = 0;
        const int column = fileList_->sortColumn;
        fileList_->direction[column] = fileList_->direction[column] == 1 ? 0 : 1;
        fileList_->columnClick(column);
        setStatusText(QString());
        const int n = fileList_->rowCount();
        if (n == 0) {
            setWindowTitle(QStringLiteral("Quillmark"));
            setStatusText(QStringLiteral("フォルダを選択して下さい。"));
        } else if (index != 0) {
            fileList_->scrollToRow(std::min(n - 1, index));
        }
        listReady = 1;
    }
    currentFile.clear();
    clearPreview();
    fileList_->table()->setFocus();
}

}  // namespace quill
