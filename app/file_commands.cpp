// Delete, delete identical images, rename one by one and in batches. Only
// deleting runs on the batch runner; the others work here, on the interface
// thread. Every rename goes through the no-replace rename, and every command
// ends with a rescan of the folder.
#include "app/file_commands.h"

#include "app/batch_rename_dialog.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/message_dialog.h"
#include "app/rename_dialog.h"
#include "base/file_util.h"
#include "base/output_naming.h"
#include "inspection/jpeg_info.h"
#include "lossless/ui/batch_runner.h"
#include "lossless/ui/batch_workers.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace quill {

namespace fs = std::filesystem;

namespace {

// The selected rows in row order; empty, with the reason in the status bar,
// when the list or the selection is empty.
std::vector<int> selectedRowsOrSay(CMainFrame& frame) {
    if (frame.fileList().rowCount() == 0) {
        frame.setStatusText(QStringLiteral("ファイルリストが空です。"));
        return {};
    }
    std::vector<int> rows = frame.fileList().selectedRows();
    if (rows.empty()) frame.setStatusText(QStringLiteral("選択されたファイルがありません。"));
    return rows;
}

void deleteFiles(CMainFrame& frame, int) {
    const std::vector<int> rows = selectedRowsOrSay(frame);
    if (rows.empty()) return;
    frame.previewThread.cancel();
    if (showMessage(&frame, kMessageQuestion, QStringLiteral("ファイル削除"), QStringLiteral("本当によろしいですか？")) != 1)
        return;
    frame.listReady = 0;
    BatchJob job;
    job.command = ID_FILE_DELETE;
    job.useTrash = frame.settings.useTrash != 0;
    for (int row : rows) job.sourcePaths.push_back(frame.rowPath(row));
    runBatch(&frame, job);
    frame.RefreshList(rows.back());
}

// Rows whose size and pixel-size texts match are identical only when their
// files hold the same bytes too: one camera often makes different photos of
// one byte size. In each group the highest row stays. Read-only files stay
// as well, since nobody was asked about them.
void deleteIdenticalFiles(CMainFrame& frame, int) {
    FileListView& list = frame.fileList();
    if (list.rowCount() == 0) {
        frame.setStatusText(QStringLiteral("ファイルリストが空です。"));
        return;
    }
    if (showMessage(&frame, kMessageQuestion, QStringLiteral("同一ファイルの削除"),
                    QStringLiteral("同一ファイルを削除してもよろしいですか？")) != 1)
        return;
    struct Row {
        fs::path path;
        std::string size, pixels;
    };
    std::vector<Row> rows;
    for (int r = 0; r < list.rowCount(); ++r)
        rows.push_back({frame.rowPath(r), std::string(list.model()->cell(r, kColSize)),
                        std::string(list.model()->cell(r, kColImageSize))});
    int lastDeleted = 0;
    // Reading large files can take a while; there is no progress dialog here.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = i + 1; j < rows.size();) {
            const Row& a = rows[i];
            const Row& b = rows[j];
            const std::optional<FileStatus> status = a.size == b.size && a.pixels == b.pixels ? statFile(b.path)
                                                                                               : std::nullopt;
            if (status && status->writable && duplicateFiles(a.path, b.path) &&
                deleteFile(b.path, frame.settings.useTrash != 0)) {
                rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(j));
                lastDeleted = static_cast<int>(j);
            } else {
                ++j;
            }
        }
    }
    QGuiApplication::restoreOverrideCursor();
    frame.RefreshList(lastDeleted);
}

void renameFiles(CMainFrame& frame, int) {
    const std::vector<int> rows = selectedRowsOrSay(frame);
    if (rows.empty()) return;
    int lastShown = 0;
    for (int row : rows) {
        lastShown = row;
        if (runRenameDialog(&frame, frame.rowPath(row)) == kRenameCancelAll) break;
    }
    frame.RefreshList(lastShown);
}

// The number of a sequence name: a digit count of 1 gives the plain number,
// 2 to 9 that many digits, anything else three.
std::string sequenceNumber(int number, const QString& digitText) {
    int digits = 0;
    for (QChar c : digitText) {
        if (!c.isDigit() || digits > 99) break;
        digits = digits * 10 + c.digitValue();
    }
    if (digits < 1 || digits > 9) digits = 3;
    char text[32];
    std::snprintf(text, sizeof text, "%0*d", digits, number);
    return text;
}

bool isDotJpg(const std::string& extension) {
    return extension.size() == 4 && extension[0] == '.' &&
           std::equal(extension.begin() + 1, extension.end(), "jpg",
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b; });
}

void renameInBatch(CMainFrame& frame, int) {
    const std::vector<int> rows = selectedRowsOrSay(frame);
    if (rows.empty()) return;
    BatchRenameRecord record;
    const int scheme = runBatchRenameDialog(&frame, record);
    if (scheme != kRenameSequence && scheme != kRenameFixed && scheme != kRenameExtension) return;

    const fs::path folder(frame.folderPath.toStdString());
    const std::string prefix = record.prefix.toStdString(), suffix = record.suffix.toStdString();
    std::vector<fs::path> underscored;  // scheme 4: where the first pass put each file
    int lastRenamed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const fs::path source = frame.rowPath(rows[i]);
        const std::string name = source.filename().native();
        const std::size_t dot = name.rfind('.');
        const std::string base = name.substr(0, dot);
        const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
        fs::path target;
        if (scheme == kRenameSequence) {
            target = folder / (prefix + sequenceNumber(static_cast<int>(i) + 1, record.digits) + suffix + ".jpg");
        } else if (scheme == kRenameFixed) {
            target = folder / (base + "_" + extension);
        } else {
            if (isDotJpg(extension)) continue;
            target = folder / (base + ".jpg");
        }
        if (std::optional<fs::path> renamed = renameToFreeName(source, target)) {
            lastRenamed = rows[i];
            if (scheme == kRenameFixed) underscored.push_back(std::move(*renamed));
        }
    }
    // Numbers 1, k + 1 ..., and k + 2 for the last of several. No counter
    // here: a name in use leaves that file with its underscored name.
    const std::size_t n = underscored.size();
    for (std::size_t k = 1; k <= n; ++k) {
        const std::size_t number = k == 1 ? 1 : k == n ? k + 2 : k + 1;
        char name[32];
        std::snprintf(name, sizeof name, "%03zu.jpg", number);
        renameNoReplace(underscored[k - 1], folder / name);
    }
    frame.RefreshList(lastRenamed);
}

}  // namespace

void registerFileCommands(CMainFrame& frame) {
    frame.setCommandHandler(ID_FILE_DELETE, deleteFiles);
    frame.setCommandHandler(ID_FILE_DELETE_IDENTICAL, deleteIdenticalFiles);
    frame.setCommandHandler(ID_FILE_RENAME, renameFiles);
    frame.setCommandHandler(ID_FILE_RENAME_BATCH, renameInBatch);
}

}  // namespace quill
