// Drag and drop of the main window, in both directions, files only and
// copy only. Files dropped anywhere on the window make the first of them the
// current file; nothing else changes (no rows, no scan, no preview). The
// current file can be dragged out of the list or the preview pane as a file
// (text/uri-list), so a file manager or another program receives a copy.
#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QDrag;
class QMimeData;
class QWidget;

namespace quill {

class CMainFrame;

class DragAndDrop : public QObject {
    Q_OBJECT
public:
    // Makes the window a drop target and the list and preview drag sources.
    explicit DragAndDrop(CMainFrame& frame);

    // What a drag-out offers now: the current file alone, never the whole
    // selection. Null unless the list has rows, a row is selected, a file has
    // been previewed and the current file is set.
    QMimeData* dragOutData() const;
    // Starts the drag-out from source when dragOutData has something.
    void dragOut(QWidget* source);

    // Runs the drag allowing only the given actions; replaceable so tests
    // need no drag loop.
    std::function<void(QDrag& drag, Qt::DropActions actions)> runDrag;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool previewEvent(QEvent* event);
    bool frameEvent(QEvent* event);

    CMainFrame& frame_;
    // Compared, never used, while events arrive: the window sends some
    // while it is being destroyed.
    const QObject* preview_;
    QPoint previewPress_;
    bool previewPressed_ = false;
};

}  // namespace quill
