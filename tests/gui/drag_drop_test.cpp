// Drops on the main window and the drag-out of the current file from the
// list and the preview pane, with mouse events as a user makes them.
#include "app/drag_drop.h"
#include "app/main_frame.h"
#include "app/viewer.h"
#include "preview/preview_pane.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::processEvents;

class DragDrop : public test::FrameTest {
protected:
    void SetUp() override {
        for (const char* name : {"a.jpg", "b.jpg"})
            test::writeBytes(folder / name, test::makeJpeg({}));
        FrameTest::SetUp();
        listAndSelect({});
        dnd = frame->findChild<DragAndDrop*>();
        dnd->runDrag = [this](QDrag& drag, Qt::DropActions actions) {
            offered.push_back(drag.mimeData()->urls());
            allowed = actions;
        };
    }
    void TearDown() override { frame->previewThread.wait(); }

    // Drag enter, then drop; whether each was accepted.
    std::pair<bool, bool> drop(QMimeData& data) {
        const QPoint at = frame->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &enter);
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &dropped);
        EXPECT_TRUE(!enter.isAccepted() || enter.dropAction() == Qt::CopyAction);
        return {enter.isAccepted(), dropped.isAccepted()};
    }
    // Press, then moves of 2 and 30 pixels: the first stays within the drag
    // distance. Through the window, as the platform delivers them.
    void pressAndDrag(QWidget* w, QPoint at) {
        QWindow* window = frame->windowHandle();
        const QPoint p = w->mapTo(frame.get(), at);
        QTest::mousePress(window, Qt::LeftButton, {}, p);
        QTest::mouseMove(window, p + QPoint(0, 2));
        QTest::mouseMove(window, p + QPoint(30, 2));
        QTest::mouseRelease(window, Qt::LeftButton, {}, p + QPoint(30, 2));
        processEvents();
    }
    QUrl url(const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString((folder / name).string()));
    }

    DragAndDrop* dnd = nullptr;
    std::vector<QList<QUrl>> offered;
    Qt::DropActions allowed;
};

TEST_F(DragDrop, DroppedFilesMakeTheFirstCurrentAndOtherDataIsRefused) {
    QMimeData files;
    files.setUrls({url("b.jpg"), url("a.jpg")});
    EXPECT_EQ(drop(files), std::make_pair(true, true));
    EXPECT_EQ(frame->currentFile, folder / "b.jpg");
    EXPECT_EQ(frame->fileList().rowCount(), 2);
    EXPECT_FALSE(frame->previewPane()->hasImage());

    QMimeData text;
    text.setText(QStringLiteral("/etc/passwd"));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/c.jpg"))});
    for (QMimeData* refused : {&text, &web}) {
        EXPECT_EQ(drop(*refused), std::make_pair(false, false));
        EXPECT_EQ(frame->currentFile, folder / "b.jpg");
    }
}

TEST_F(DragDrop, TheCurrentFileIsDraggedOutOfTheListAndThePreview) {
    // Nothing is offered before a file was chosen.
    QWidget* preview = frame->previewPane();
    pressAndDrag(preview, preview->rect().center());
    EXPECT_TRUE(offered.empty());

    QTableView* table = frame->fileList().table();
    const QPoint row1 = table->visualRect(table->model()->index(1, 0)).center();
    pressAndDrag(table->viewport(), row1);
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0], QList<QUrl>{url("b.jpg")});
    EXPECT_EQ(allowed, Qt::CopyAction);
    EXPECT_EQ(frame->fileList().selectedRows(), std::vector<int>{1});

    // A plain click on the preview drags nothing; a drag offers the file
    // dropped last.
    QTest::mouseClick(preview, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(offered.size(), 1u);
    QMimeData files;
    files.setUrls({url("a.jpg")});
    drop(files);
    pressAndDrag(preview, {20, 20});
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[1], QList<QUrl>{url("a.jpg")});

    // A name that is not UTF-8 (Shift_JIS) goes in and out byte for byte.
    const fs::path sjis = folder / "c\x82\xa0.jpg";
    files.setUrls({fileUrl(sjis)});
    drop(files);
    EXPECT_EQ(frame->currentFile, sjis);
    pressAndDrag(preview, {20, 20});
    ASSERT_EQ(offered.size(), 3u);
    ASSERT_EQ(offered[2].size(), 1);
    EXPECT_TRUE(offered[2][0].toEncoded().endsWith("/c%82%A0.jpg"));
    EXPECT_EQ(localFilePath(offered[2][0]), sjis);
}

}  // namespace
}  // namespace quill
