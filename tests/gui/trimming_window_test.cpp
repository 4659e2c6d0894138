// The trimming window driven by the mouse and its toolbar on a 1000 x 750
// 4:2:0 picture (16 x 16 blocks), and the trimming command from the list.
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "imaging/loaded_image.h"
#include "lossless/convert_lossless.h"
#include "preview/crop_view.h"
#include "preview/loaded_picture.h"
#include "preview/trimming_window.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QToolBar>

namespace quill {

void PrintTo(const CropRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

using test::processEvents;

class Trimming : public ::testing::Test {
protected:
    void SetUp() override {
        source = test::writeBytes(dir / "photo.jpg", test::makeJpeg({.width = 1000, .height = 750}));
        LoadedImage loaded;
        ASSERT_TRUE(loaded.LoadImageFile(source, 0));
        TrimContext context{&forceRegular, source, false, false};
        window = std::make_unique<TrimmingWindow>(context, pictureFrom(loaded), loaded.mcuWidth, loaded.mcuHeight);
        window->resize(600, 450);
        window->show();
        processEvents();
        view = window->view();
    }

    QWidget* viewport() { return view->viewport(); }
    // Mouse input through the window, as the platform delivers it; points
    // are in viewport coordinates and may lie outside it.
    QPoint at(QPoint p) { return viewport()->mapTo(window.get(), p); }
    void hover(QPoint p) { QTest::mouseMove(window->windowHandle(), at(p)); }
    // Press, two moves (the rectangle follows the pointer) and release.
    void drag(QPoint from, QPoint to) {
        hover(from);
        QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, at(from));
        QTest::mouseMove(window->windowHandle(), at((from + to) / 2));
        QTest::mouseMove(window->windowHandle(), at(to));
        EXPECT_TRUE(view->dragging());
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {}, at(to));
        processEvents();
    }
    void click(QPoint p, Qt::MouseButton button) { QTest::mouseClick(window->windowHandle(), button, {}, at(p)); }
    void press(int id) {
        QAction* action = window->commandAction(id);
        QTest::mouseClick(window->findChild<QToolBar*>()->widgetForAction(action), Qt::LeftButton);
        processEvents();
    }
    std::string part(int n) { return window->statusPart(n).toStdString(); }

    test::TempDir dir;
    fs::path source;
    std::int32_t forceRegular = 0;
    std::unique_ptr<TrimmingWindow> window;
    CropView* view = nullptr;
};

TEST_F(Trimming, DragsSnapTheStartingCornerToTheBlockGrid) {
    EXPECT_EQ(window->windowTitle().toStdString(), "無劣化で切り取り - " + source.string());
    EXPECT_EQ(part(0), "切り取り範囲を指定して下さい。");
    EXPECT_EQ(part(1), "範囲 : 1000[16] x 750[16]");

    const QSize page = viewport()->size();
    const QPoint corner(page.width(), page.height());
    struct Case {
        const char* what;
        bool scrolledToEnd;
        QPoint from, to;
        CropRect rect;
        const char* size;
    } cases[] = {
        {"down right", false, {37, 21}, {140, 90}, {32, 16, 140, 90}, "範囲 : 108[112] x 74[80]"},
        // The snapped corner ends at the lower right.
        {"up left", false, {140, 90}, {37, 21}, {37, 21, 128, 80}, "範囲 : 91[96] x 59[64]"},
        {"out above and left", false, {37, 21}, {-20, -30}, {0, 0, 32, 16}, "範囲 : 32[32] x 16[16]"},
        {"out below and right", true, corner - QPoint(100, 100), corner + QPoint(50, 50),
         {896, 640, 1000, 750}, "範囲 : 104[112] x 110[112]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view->horizontalScrollBar()->setValue(c.scrolledToEnd ? view->horizontalScrollBar()->maximum() : 0);
        view->verticalScrollBar()->setValue(c.scrolledToEnd ? view->verticalScrollBar()->maximum() : 0);
        window->onCommand(ID_DESELECT);
        drag(c.from, c.to);
        EXPECT_EQ(view->cropRect(), c.rect);
        EXPECT_EQ(part(0), "切り取り範囲を指定しました。");
        EXPECT_EQ(part(2), c.size);
    }
    // The pointer in image coordinates, scrolled.
    EXPECT_EQ(part(3), "位置 : 1050 x 800");
}

TEST_F(Trimming, EdgesAndTheInsideMoveByTheirZones) {
    drag({37, 21}, {140, 90});
    struct Step {
        const char* what;
        QPoint from, to;
        Qt::CursorShape cursor;
        CropRect rect;
    } steps[] = {
        // The left edge moves in whole blocks.
        {"left edge", {33, 50}, {70, 50}, Qt::SizeHorCursor, {64, 16, 140, 90}},
        // Pushed past the left border, the rectangle gets narrower.
        {"inside", {100, 60}, {10, 65}, Qt::SizeAllCursor, {0, 16, 60, 90}},
        {"top edge", {30, 17}, {30, 40}, Qt::SizeVerCursor, {0, 32, 60, 90}},
        // The right edge keeps pixel precision.
        {"right edge", {59, 50}, {65, 50}, Qt::SizeHorCursor, {0, 32, 65, 90}},
        {"bottom edge", {30, 89}, {30, 300}, Qt::SizeVerCursor, {0, 32, 65, 300}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        hover(s.from);
        EXPECT_EQ(viewport()->cursor().shape(), s.cursor);
        drag(s.from, s.to);
        EXPECT_EQ(view->cropRect(), s.rect);
    }
    hover({400, 200});
    EXPECT_EQ(viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Trimming, ClearingSelectingAllTheToggleAndTheWheel) {
    // A right click, or a left one without movement, removes the rectangle.
    for (auto [at, button] :
         {std::pair{QPoint(50, 50), Qt::RightButton}, {{300, 300}, Qt::LeftButton}}) {
        drag({37, 21}, {140, 90});
        click(at, button);
        EXPECT_EQ(view->cropRect(), CropRect{});
        EXPECT_EQ(part(0), "切り取り範囲を解除しました。");
        EXPECT_EQ(part(2), "");
    }

    press(ID_SELECT_ALL);
    EXPECT_EQ(view->cropRect(), (CropRect{0, 0, 1000, 750}));
    EXPECT_EQ(part(0), "全画面を切り取り範囲に指定しました。");
    EXPECT_EQ(part(2), "範囲 : 1000[1008] x 750[752]");
    press(ID_DESELECT);
    EXPECT_EQ(view->cropRect(), CropRect{});
    EXPECT_EQ(part(0), "切り取り範囲を解除しました。");

    QAction* toggle = window->commandAction(ID_TOGGLE_FORCE_REGULAR_SIZE);
    EXPECT_FALSE(toggle->isChecked());
    press(ID_TOGGLE_FORCE_REGULAR_SIZE);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(forceRegular, 1);

    // One notch is 100 pixels whatever its size; the view stops at the ends.
    QScrollBar* v = view->verticalScrollBar();
    auto wheel = [&](int delta) {
        QWheelEvent e(QPointF(50, 50), viewport()->mapToGlobal(QPointF(50, 50)), {}, {0, delta}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport(), &e);
    };
    wheel(-1);
    EXPECT_EQ(v->value(), 100);
    wheel(-120);
    wheel(-120);
    EXPECT_EQ(v->value(), 300);
    for (int i = 0; i < 10; ++i) wheel(-120);
    EXPECT_EQ(v->value(), 750 - viewport()->height());
    wheel(480);
    EXPECT_EQ(v->value(), 750 - viewport()->height() - 100);
}

TEST_F(Trimming, SavesTheLosslessCropOfTheRectangle) {
    drag({37, 21}, {140, 90});
    QString proposed;
    for (bool regular : {false, true}) {
        SCOPED_TRACE(regular);
        if ((forceRegular != 0) != regular) press(ID_TOGGLE_FORCE_REGULAR_SIZE);
        const fs::path out = dir / (regular ? "regular.jpg" : "plain.jpg");
        window->saveChooser = [&](QWidget*, const QString& p) {
            proposed = p;
            return QString::fromStdString(out.string());
        };
        press(ID_SAVE_AS);
        EXPECT_EQ(part(0), "切り取り範囲を保存しました。");
        EXPECT_EQ(proposed.toStdString(), (dir / "photo_trimming").string());

        LosslessOptions o;
        o.sourcePath = source;
        o.outputPath = dir / "reference.jpg";
        o.forceRegularSize = regular;
        o.crop = true;
        o.cropLeft = 32, o.cropTop = 16, o.cropRight = 140, o.cropBottom = 90;
        ASSERT_TRUE(convertLossless(o));
        EXPECT_EQ(test::readBytes(out), test::readBytes(o.outputPath));
        const test::Decoded d = test::decodeJpeg(test::readBytes(out));
        EXPECT_EQ(d.width, regular ? 112 : 108);
        EXPECT_EQ(d.height, regular ? 80 : 74);
    }

    // Cancelled: nothing is written and the status stays.
    window->saveChooser = [](QWidget*, const QString&) { return QString(); };
    press(ID_SAVE_AS);
    EXPECT_EQ(part(0), "切り取り範囲を保存しました。");
    window->saveChooser = [&](QWidget*, const QString&) {
        return QString::fromStdString((dir / "missing" / "x.jpg").string());
    };
    press(ID_SAVE_AS);
    EXPECT_EQ(part(0), "切り取り範囲を保存出来ませんでした。ファイルが見つかりません。");
    EXPECT_EQ(window->width(), 600);
    EXPECT_EQ(view->cropRect(), (CropRect{32, 16, 140, 90}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);

    click({50, 50}, Qt::RightButton);
    test::MessageAnswers answers({1});
    press(ID_SAVE_AS);
    EXPECT_EQ(
        answers.seen,
        (std::vector<test::SeenMessage>{{"切り取りエラー", "切り取り範囲が指定されていません。"}}));
}

using TrimCommand = test::FrameTest;

TEST_F(TrimCommand, CropsTheSelectedRowAndListsTheResult) {
    test::writeBytes(folder / "photo.jpg",
                     test::makeJpeg({.width = 200, .height = 120, .progressive = true}));
    listAndSelect({"photo.jpg"});

    auto watch = test::whenShown<TrimmingWindow>("trimmingWindow", [&](TrimmingWindow* w) {
        EXPECT_EQ(w->statusPart(1), "範囲 : 200[16] x 120[16]");
        test::expectNamedControls(w);
        w->onCommand(ID_TOGGLE_FORCE_REGULAR_SIZE);
        w->onCommand(ID_SELECT_ALL);
        w->saveChooser = [](QWidget*, const QString& p) { return p + ".jpg"; };
        w->onCommand(ID_SAVE_AS);
        test::escape(w);
    });
    frame->onCommand(ID_OP_TRIM);
    frame->previewThread.wait();
    ASSERT_EQ(frame->fileList().rowCount(), 2);
    EXPECT_EQ(frame->fileList().name(1), "photo_trimming.jpg");
    EXPECT_EQ(frame->fileList().cellText(1, kColImageSize), "208 x 128");
    EXPECT_EQ(frame->fileList().cellText(1, kColCoding), "Progressive");
    EXPECT_EQ(frame->settings.forceRegularSize, 1);
    EXPECT_EQ(frame->listReady, 1);
}

}  // namespace
}  // namespace quill
