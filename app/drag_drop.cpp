#include "app/drag_drop.h"

#include "app/main_frame.h"
#include "app/viewer.h"
#include "preview/preview_pane.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace quill {

namespace {

// The first local file of a drop; empty when it offers no file.
std::filesystem::path firstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (std::filesystem::path p = localFilePath(url); !p.empty()) return p;
    return {};
}

}  // namespace

DragAndDrop::DragAndDrop(CMainFrame& frame) : QObject(&frame), frame_(frame), preview_(frame.previewPane()) {
    setObjectName(QStringLiteral("dragAndDrop"));
    runDrag = [](QDrag& drag, Qt::DropActions actions) { drag.exec(actions, Qt::CopyAction); };

    // The list and the preview take no drops: theirs reach the window.
    frame.setAcceptDrops(true);
    frame.installEventFilter(this);

    FileTable* table = frame.fileList().table();
    table->setDragDropMode(QAbstractItemView::DragOnly);
    table->setDefaultDropAction(Qt::CopyAction);
    connect(table, &FileTable::dragRequested, this, [this, table] { dragOut(table); });

    frame.previewPane()->installEventFilter(this);
}

QMimeData* DragAndDrop::dragOutData() const {
    FileListView& list = frame_.fileList();
    if (frame_.dragReady != 1 || list.rowCount() == 0 || list.selectedCount() == 0 || frame_.currentFile.empty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls({fileUrl(frame_.currentFile)});
    return data;
}

void DragAndDrop::dragOut(QWidget* source) {
    QMimeData* data = dragOutData();
    if (!data) return;
    // Not deleted here: a target may read the data after the drag loop has
    // returned, so the platform frees the drag when it is done with it.
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    // Copy only: the file stays where it is whatever the target does.
    runDrag(*drag, Qt::CopyAction);
}

bool DragAndDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &frame_) return frameEvent(event);
    if (watched == preview_) return previewEvent(event);
    return false;
}

bool DragAndDrop::previewEvent(QEvent* event) {
    // A press that moves beyond the drag distance drags the file out. The
    // pane keeps its left presses: passed on, they would reach the splitter
    // behind it, which would take the mouse for a splitter drag.
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        previewPressed_ = mouse->button() == Qt::LeftButton;
        previewPress_ = mouse->position().toPoint();
        return previewPressed_;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!previewPressed_ || !(mouse->buttons() & Qt::LeftButton)) return false;
        if ((mouse->position().toPoint() - previewPress_).manhattanLength() < QApplication::startDragDistance())
            return false;
        previewPressed_ = false;
        dragOut(frame_.previewPane());
        return true;
    }
    case QEvent::MouseButtonRelease:
        previewPressed_ = false;
        return false;
    default:
        return false;
    }
}

bool DragAndDrop::frameEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (firstDroppedFile(drag->mimeData()).empty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        std::filesystem::path file = firstDroppedFile(drop->mimeData());
        if (file.empty()) {
            drop->ignore();
            return true;
        }
        frame_.currentFile = std::move(file);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    default:
        return false;
    }
}

}  // namespace quill
