// The crop view of the trimming window: the decoded picture at 1:1 behind
// scroll bars, and the rectangle the user draws, resizes and moves on it.
// Only the visible part is copied per paint; the picture is never scaled.
// Where a lossless crop can start, the press point and the moved top and
// left edges snap down to the file's block (MCU) grid; the right and bottom
// edges keep pixel precision. The view keeps the rectangle and reports
// status texts; saving is the window's.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QString>

namespace quill {

// Image pixels; right and bottom exclusive; all 0 means no rectangle.
struct CropRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool isEmpty() const { return left == right || top == bottom; }
    friend bool operator==(const CropRect&, const CropRect&) = default;
};

// What the pointer is over; a left press acts by it.
enum class CropZone { Outside, TopEdge, BottomEdge, LeftEdge, RightEdge, Inside };

class CropView : public QAbstractScrollArea {
    Q_OBJECT
public:
    CropView(QImage image, int blockWidth, int blockHeight, QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    int blockWidth() const { return blockWidth_; }
    int blockHeight() const { return blockHeight_; }
    CropRect cropRect() const { return crop_; }
    bool dragging() const { return dragging_; }

    // Sets the rectangle as a completed one (select all, deselect).
    void setCropRect(const CropRect& rect);
    // "範囲 : w[rounded w] x h[rounded h]" of a rectangle.
    QString rectText(const CropRect& rect) const;
    // One wheel notch: 100 pixels up (delta > 0) or down, whatever the delta.
    void wheelStep(int delta);

signals:
    // A status bar part of the window changes: 0 messages, 2 the
    // rectangle, 3 the pointer.
    void statusText(int part, const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Pointer {
        int ix = 0, iy = 0;             // image position; negative left of or above the view
        bool leftOfView = false, aboveView = false;
    };
    Pointer pointerAt(QPoint client) const;
    CropZone zoneAt(const Pointer& p) const;
    void dragTo(const Pointer& p, QPoint client);
    void showZone();
    void updateScrollBars();

    QImage image_;
    int blockWidth_;
    int blockHeight_;
    CropRect crop_;
    CropRect anchor_;  // the rectangle when last completed; edge and move drags start from it
    bool dragging_ = false;
    bool pressed_ = false;
    bool hadRectAtPress_ = false;
    QPoint press_;  // client position where a move began
    CropZone zone_ = CropZone::Outside;
};

}  // namespace quill
