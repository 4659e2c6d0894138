// The preview pane left of the file list: shows one picture scaled to fit
// the pane with its aspect ratio kept, or only its background. The picture
// is handed over by the preview loader; the pane never loads files. Used on
// the interface thread only.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QTimer>
#include <QWidget>


namespace quill {

// Where an iw x ih picture goes in a cw x ch pane: full width or full
// height, centred, in single precision as the pane always computed it.
// Empty when either size is not positive.
QRect fitPreviewRect(int iw, int ih, int cw, int ch);

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(QWidget* parent = nullptr);

    // Replaces the picture and schedules a repaint.
    void setImage(QImage image);
    // Releases the picture; the pane shows its background.
    void clearImage();
    // The picture shown is of a file no longer chosen: unless a new one
    // comes soon, the pane empties, so a slow or failed load never leaves
    // another file's picture beside the chosen name.
    void expectPicture();
    bool hasImage() const { return !image_.isNull(); }
    QSize imageSize() const { return image_.size(); }
    // The rectangle the picture is drawn into at the current size.
    QRect pictureRect() const;

    static QColor backgroundColor();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QPixmap scaled_;  // cache of the last painted size
    qint64 scaledKey_ = 0;
    QTimer* stale_;
};

}  // namespace quill
