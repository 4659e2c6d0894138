// The open-file dialog of the new-JPEG command: Qt's own (not the desktop's)
// file dialog with the image panel on its right. The panel follows the file
// under selection: the picture scaled into its box and four facts about the
// file. Loading happens on the panel's own thread, so walking a folder of
// large files never blocks the dialog; the panel never reports a failure.
#pragma once

#include <QFileDialog>
#include <QImage>
#include <QWidget>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

class QLabel;

namespace quill {

// What the panel shows for one file; `ok` false leaves it empty.
struct PanelPicture {
    bool ok = false;
    QImage box;  // exactly the box's size, the picture centred between black bars
    QString pixelSize, bits, bytes, modified;
};

// Loads path and scales it (bicubic) into a box of that size.
PanelPicture loadPanelPicture(const QString& path, QSize box);

class ImagePanel : public QWidget {
    Q_OBJECT
public:
    explicit ImagePanel(QWidget* parent = nullptr);
    ~ImagePanel() override;

    // Empties the panel and loads path in the background; a later call
    // supersedes a load that has not been shown yet.
    void showFile(const QString& path);
    void clear();
    QString shownPath() const { return shownPath_; }
    QLabel* picture() const { return picture_; }

signals:
    // A load of path has ended (ok false: the panel stays empty).
    void loadEnded(const QString& path, bool ok);

private:
    struct Request {
        std::uint64_t generation;
        QString path;
        QSize box;
    };
    void run();
    void present(std::uint64_t generation, const QString& path, const PanelPicture& picture);

    QLabel* picture_;
    QLabel* texts_[4];
    QString shownPath_;
    QSize box_;
    std::uint64_t generation_ = 0;  // interface thread only
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Request> pending_;
    bool stopping_ = false;
    std::thread thread_;
};

class ImageFileDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit ImageFileDialog(QWidget* owner = nullptr);
    ImagePanel* panel() const { return panel_; }

private:
    ImagePanel* panel_;
};

// Modal, opening in the folder of the last choice, else in start; the
// chosen files, empty when cancelled.
QStringList chooseImageFiles(QWidget* owner, const QString& start);

}  // namespace quill
