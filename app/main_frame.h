// CMainFrame: the one main window and the state of the user interface. It
// builds the toolbar, status bar, preview pane and file list, routes every
// command identifier through onCommand, moves the splitter, and loads the
// settings at creation and writes them when the window goes away.
//
// Command handlers live with their subsystem, not here:
//   app/file_commands.h             registerFileCommands      delete, rename
//   lossless/ui/lossless_commands.h registerLosslessCommands  the twelve batch operations
//   imaging/ui/imaging_commands.h   registerImagingCommands   recompression, new JPEG
//   preview/trimming_commands.h     registerTrimmingCommands  trimming
// The constructor calls each register function once; it calls
// setCommandHandler(id, handler) for the ids it serves, and a handler is
// called as handler(frame, id). The guards (id range, commands that need rows)
// stay in onCommand. Ids, texts and toolbar order are app/command_ids.h's.
#pragma once

#include "app/file_list_view.h"
#include "inspection/folder_listing.h"
#include "preview/preview_loader.h"
#include "settings/app_settings.h"

#include <QMainWindow>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class QFileSystemWatcher;
class QLabel;
class QToolButton;
class QMenu;

namespace quill {

class PreviewPane;
class PaneSplitter;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // settingsFile empty: the usual status.ini location.
    explicit CMainFrame(std::filesystem::path settingsFile = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Places and shows the window: the saved placement, else centred.
    void showAtStart();

    // Runs one command; identifiers outside the command range, or without a
    // command, do nothing. The commands that work on files run only when the
    // list has rows. Always 0.
    int onCommand(int id);

    // Commands carried out elsewhere (file management, batches, trimming)
    // register here; the dispatch applies the guards before calling them.
    using CommandHandler = std::function<void(CMainFrame& frame, int id)>;
    void setCommandHandler(int id, CommandHandler handler);

    // Folder listing.
    void ChooseFolder();
    void NewList();
    void RefreshList(int index);
    void ScanFolder(const QString& folder);
    // What ChooseFolder does once a folder is chosen; also used at start.
    void listChosenFolder(const QString& folder);

    // Status bar part 0.
    QString statusText() const;
    void setStatusText(const QString& text);
    // The other parts: the files with a JPEG name the last scan could not
    // read ("読み込めないファイル: N", a tip names them and why), and the note
    // that the folder changed since it was listed ("F5で更新"). Hidden when
    // there is nothing to say.
    QLabel* unreadablePart() const { return unreadable_; }
    QLabel* outOfDatePart() const { return outOfDate_; }
    const std::vector<UnreadableFile>& unreadableFiles() const { return unreadableFiles_; }

    FileListView& fileList() { return *fileList_; }
    PreviewPane* previewPane() const { return preview_; }
    PaneSplitter* splitter() const { return splitter_; }
    QToolBar* commandBar() const { return toolbar_; }
    QToolButton* transformButton() const { return transformButton_; }
    QMenu* transformMenu() const { return transformMenu_; }
    QAction* commandAction(int id) const;
    int splitterPos() const;

    // Full path of a listed row: the folder and the row's exact name bytes.
    std::filesystem::path rowPath(int row) const;

    // Asks for a folder starting at the given one; empty when cancelled.
    // Replaceable so tests need no modal dialog.
    std::function<QString(QWidget* owner, const QString& start)> folderChooser;
    // Asks for the pictures of a new-JPEG batch; empty when cancelled.
    // Replaceable for tests; the imaging commands set the program's own.
    std::function<QStringList(QWidget* owner)> imageFileChooser;
    // Opens a listed file in the viewer; replaceable for tests.
    std::function<void(QWidget* owner, const AppSettings& settings, const std::filesystem::path& path)>
        viewerLauncher;

    AppSettings settings;
    int selectToggle = 0;
    int listReady = 0;
    int dragReady = 0;  // 1 once a file was previewed; a drag-out needs it
    std::filesystem::path currentFile;
    QString folderPath;
    PreviewLoader previewThread;

signals:
    // A file of the listed folder was added, removed or changed by someone
    // else; the list stays as it is until the user refreshes it.
    void listOutOfDate();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildToolbar();
    void buildStatusBar();
    void applySavedLayout();
    void keepLayout();
    void refreshCommand();
    void showUnreadable();
    void watchFolder();
    void setOutOfDate(bool outOfDate);
    void onSelectionChanged();
    void runOptions();
    void toggleSetting(int id, std::int32_t& flag);
    void clearPreview();
    void onRowFocused(int row);
    void onListClicked();
    void onListDoubleClicked(int row);
    void selectToggleCommand();
    void saveOnce();

    std::filesystem::path settingsFile_;
    WindowPlacement placement_;
    bool saved_ = false;
    std::unordered_map<int, CommandHandler> handlers_;
    QToolBar* toolbar_ = nullptr;
    QToolButton* transformButton_ = nullptr;
    QMenu* transformMenu_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* unreadable_ = nullptr;
    QLabel* outOfDate_ = nullptr;
    std::vector<UnreadableFile> unreadableFiles_;
    QFileSystemWatcher* watcher_ = nullptr;
    // Read by the preview worker; set from the settings on this thread.
    std::shared_ptr<std::atomic<bool>> previewUpright_;
    // The sort kept from the last run waits for the first listing.
    bool savedSortPending_ = false;
    PaneSplitter* splitter_ = nullptr;
    PreviewPane* preview_ = nullptr;
    FileListView* fileList_ = nullptr;
};

}  // namespace quill
