// The trimming window "無劣化で切り取り": a toolbar (save, select all,
// deselect, force regular size), the crop view and a four-part status bar.
// Saving cuts the rectangle out of the source file without loss through
// convertLossless and keeps the window open; closing it is the only way out.
// It never touches the file list; the command that opens it rescans.
#pragma once

#include <QDialog>
#include <QImage>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>

class QAction;
class QLabel;

namespace quill {

class CropView;

// The trimming window's own commands.
enum TrimCommandId : int {
    ID_SAVE_AS = 57728,
    ID_SELECT_ALL = 57729,
    ID_DESELECT = 57730,
    ID_TOGGLE_FORCE_REGULAR_SIZE = 57731,
};

// What the window needs of the file and the settings.
struct TrimContext {
    // The setting itself, so the toggle outlives the window.
    std::int32_t* forceRegularSizeSetting = nullptr;
    std::filesystem::path sourcePath;  // exact bytes, as the list row keeps them
    bool keepJfif = false;
    bool progressive = false;
    bool keepTime = false;  // the crop takes the source's modification time
};

class TrimmingWindow : public QDialog {
    Q_OBJECT
public:
    // image: the whole file decoded once; the block size is its MCU's.
    TrimmingWindow(TrimContext context, QImage image, int blockWidth, int blockHeight,
                   QWidget* parent = nullptr);

    CropView* view() const { return view_; }
    QAction* commandAction(int id) const;
    QString statusPart(int part) const;
    void onCommand(int id);

    // Asks where to save, proposing the folder and name of proposedPath
    // (without extension); empty when cancelled. Replaceable so tests need
    // no modal file dialog.
    std::function<QString(QWidget* owner, const QString& proposedPath)> saveChooser;

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void setStatus(int part, const QString& text);
    void save();

    TrimContext context_;
    CropView* view_ = nullptr;
    std::array<QLabel*, 4> status_{};
};

}  // namespace quill
