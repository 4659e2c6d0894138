// Filling the list: choosing a folder, emptying the list, rescanning after
// a command changed files, and the scan itself. Everything runs on the
// user-interface thread under the wait cursor; the header reads themselves
// are spread over a few threads by the listing library.
#include "app/main_frame.h"

#include "app/command_ids.h"
#include "inspection/folder_listing.h"
#include "inspection/quant_table_db.h"
#include "preview/preview_pane.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

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
    if (auto rows = scanFolderRows(dir, db, options)) fileList_->model()->appendRows(*rows);
}

void CMainFrame::NewList() {
    clearPreview();
    listReady = 0;
    currentFile.clear();
    fileList_->model()->clear();
    setWindowTitle(QStringLiteral("Quillmark"));
    setStatusText(QStringLiteral("フォルダを選択して下さい。"));
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
            fileList_->direction[0] = 1;
            fileList_->columnClick(0);
            listReady = 1;
            setWindowTitle(QStringLiteral("Quillmark - %1").arg(folder));
            setStatusText(QStringLiteral("%1 ファイル見つかりました。").arg(n));
        } else {
            setStatusText(QStringLiteral("Jpegファイルが見つかりませんでした。"));
        }
        folderPath = folder;
    }
    fileList_->table()->setFocus();
}

void CMainFrame::RefreshList(int index) {
    {
        WaitCursor wait;
        listReady = 0;
        fileList_->model()->clear();
        ScanFolder(folderPath);
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
