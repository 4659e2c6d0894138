// The client area under the toolbar: the preview pane left, the file list
// right, and a 4-pixel strip between them that the user drags. The strip
// stays between 100 pixels and 102 pixels before the right edge. Only a
// press on the strip starts a drag; presses the panes pass on do not.
#pragma once

#include <QWidget>

namespace quill {

class PaneSplitter : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStart = 250;
    static constexpr int kMin = 100;
    static constexpr int kRightMargin = 102;

    explicit PaneSplitter(QWidget* parent = nullptr);
    void setPanes(QWidget* left, QWidget* right);

    int position() const { return pos_; }
    // A position kept from an earlier start; at least the left limit.
    void setPosition(int pos);
    bool dragging() const { return dragging_; }
    // The splitter position for a pointer at x in a client of this width.
    static int clampedPosition(int x, int clientWidth);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void layoutPanes();

    QWidget* left_ = nullptr;
    QWidget* right_ = nullptr;
    int pos_ = kStart;
    bool dragging_ = false;
};

}  // namespace quill
