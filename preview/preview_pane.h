// The preview pane left of the file list: shows one picture scaled to fit
// the pane with its aspect ratio kept, or only its background. The picture
// is handed over by the preview loader thread; the pane never loads files.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <mutex>

namespace quill {

// Where an iw x ih picture goes in a cw x ch pane: full width or full
// height, centred, in single precision as the pane always computed it.
// Empty when either size is not positive.
QRect fitPreviewRect(int iw, int ih, int cw, int ch);

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(QWidget* parent = nullptr);

    // Replaces the picture and schedules a repaint; callable from any thread.
    void setImage(QImage image);
    // Releases the picture; the pane shows its background.
    void clearImage();
    bool hasImage() const;
    QSize imageSize() const;
    // The rectangle the picture is drawn into at the current size.
    QRect pictureRect() const;

    static QColor backgroundColor();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mutable std::mutex mutex_;
    QImage image_;
    QPixmap scaled_;  // cache of the last painted size, UI thread only
    qint64 scaledKey_ = 0;
};

}  // namespace quill
