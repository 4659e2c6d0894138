// The main window driven as a user drives it: commands by identifier,
// clicks on the toolbar, the list, its header and the splitter, with the
// folders made here and the settings file in a temporary folder.
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/pane_splitter.h"
#include "preview/preview_pane.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <latch>
#include <limits>
#include <map>
#include <mutex>

namespace quill {
namespace {

using test::Bytes;
using test::JpegSpec;
using test::processEvents;
using test::TempDir;

// A JPEG of exactly `bytes` bytes: APP5 segments take up the difference.
Bytes jpegOfSize(std::size_t bytes, JpegSpec spec = {.width = 8, .height = 8}) {
    const std::size_t base = test::makeJpeg(spec).size();
    EXPECT_GE(bytes, base + 4);
    std::size_t rest = bytes - base;
    while (rest >= 4) {
        std::size_t take = std::min<std::size_t>(rest, 60004);
        if (rest - take > 0 && rest - take < 4) take -= 4;
        spec.segments.push_back({0xE5, Bytes(take - 4, 0x20)});
        rest -= take;
    }
    Bytes out = test::makeJpeg(spec);
    EXPECT_EQ(out.size(), bytes);
    return out;
}

class Frame : public test::FrameTest {
protected:
    void choose(const fs::path& chosen) {
        folder = chosen;
        frame->onCommand(ID_FOLDER_SELECT);
        processEvents();
    }

    std::vector<std::string> names() { return cells(kColName); }
    std::vector<std::string> cells(int column) {
        std::vector<std::string> out;
        for (int r = 0; r < frame->fileList().rowCount(); ++r)
            out.push_back(frame->fileList().cellText(r, column).toStdString());
        return out;
    }

    QPoint rowPoint(int row) {
        QTableView* table = frame->fileList().table();
        return table->visualRect(table->model()->index(row, 0)).center();
    }
    void clickRow(int row, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(frame->fileList().table()->viewport(), Qt::LeftButton, mods, rowPoint(row));
        processEvents();
    }
    void clickHeader(int column) {
        QHeaderView* header = frame->fileList().table()->horizontalHeader();
        frame->fileList().table()->scrollTo(frame->fileList().model()->index(0, column));
        processEvents();
        const QPoint p(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                       header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, p);
        processEvents();
    }
    void waitForPreview() {
        frame->previewThread.wait();
        processEvents();
    }
    void preview(int row) {
        clickRow(row);
        waitForPreview();
    }
    // A mouse event on the splitter at x, halfway down.
    void splitterMouse(QEvent::Type type, int x, Qt::MouseButtons buttons) {
        PaneSplitter* splitter = frame->splitter();
        const QPointF p(x, splitter->height() / 2);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, p, splitter->mapToGlobal(p), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(splitter, &event);
    }
};

// a.jpg, b.JPEG, c.jpe, d.png, an empty e.jpg, a PNG named x.jpg and a
// subfolder f.jpg that holds a JPEG of its own.
fs::path exampleFolder(const TempDir& root) {
    const fs::path folder = root / "example";
    const Bytes jpeg = test::makeJpeg({});
    test::writeBytes(folder / "a.jpg", jpeg);
    test::writeBytes(folder / "b.JPEG", jpeg);
    test::writeBytes(folder / "c.jpe", jpeg);
    test::writeBytes(folder / "d.png", jpeg);
    test::writeBytes(folder / "e.jpg", {});
    test::writeBytes(folder / "f.jpg" / "g.jpg", jpeg);
    test::writeBytes(folder / "x.jpg", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    return folder;
}

fs::path numberedFolder(const TempDir& root, int count) {
    const fs::path folder = root / "numbered";
    for (int i = 0; i < count; ++i)
        test::writeBytes(folder / ("p" + std::to_string(i) + ".jpg"), test::makeJpeg({.width = 40 + 8 * i}));
    return folder;
}

TEST_F(Frame, StartsEmptyWithTheToolbarInOrder) {
    EXPECT_EQ(frame->windowTitle(), "Quillmark");
    EXPECT_EQ(frame->fileList().rowCount(), 0);
    EXPECT_EQ(frame->listReady, 0);
    EXPECT_EQ(frame->splitterPos(), 250);
    EXPECT_FALSE(frame->windowIcon().isNull());

    // The toolbar as the user meets it: tips in order, "|" for separators,
    // and an icon on every button that draws something at 16 pixels.
    QStringList tips;
    for (QAction* action : frame->commandBar()->actions()) {
        if (frame->commandBar()->widgetForAction(action) == frame->transformButton())
            action = frame->transformButton()->defaultAction();
        tips << (action->isSeparator() ? "|" : action->toolTip());
        if (action->isSeparator()) continue;
        ASSERT_EQ(frame->commandAction(action->data().toInt()), action) << tips.back().toStdString();
        const QImage icon = action->icon().pixmap(16, 16).toImage();
        int opaque = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) opaque += qAlpha(icon.pixel(x, y)) > 128;
        EXPECT_GT(opaque, 20) << tips.back().toStdString();
    }
    EXPECT_EQ(tips.join(' '),
              "新規リスト フォルダ選択 (Ctrl+O)\n一覧の更新 (F5) | ファイル削除 (Del) 同一画像を削除 名前の変更 (F2) "
              "名前の一括変更 | 全て選択/選択解除 (Ctrl+A) | クリーン化 ベースライン化 プログレッシブ化 グレースケール化 "
              "変形 切り取り | 再圧縮JPEG作成 新規JPEG作成 | 上書き保存 プログレッシブを強制 オプション設定 | バージョン情報");
    EXPECT_FALSE(frame->commandAction(ID_TOGGLE_OVERWRITE)->isChecked());
    EXPECT_FALSE(frame->commandAction(ID_TOGGLE_FORCE_PROGRESSIVE)->isChecked());

    EXPECT_EQ(frame->fileList().header()->sectionSize(0), 200);
    EXPECT_TRUE(frame->fileList().table()->showGrid());
}

TEST_F(Frame, ListsOnlyTheJpegFilesOfTheChosenFolder) {
    const fs::path folder = exampleFolder(data);
    choose(folder);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.jpg", "b.JPEG"}));
    EXPECT_EQ(frame->windowTitle(), "Quillmark - " + QString::fromStdString(folder.string()));
    EXPECT_EQ(frame->statusText(), "2 ファイル見つかりました。");
    EXPECT_EQ(frame->listReady, 1);
    EXPECT_EQ(frame->folderPath.toStdString(), folder.string());
    EXPECT_EQ(frame->fileList().header()->mark(0), SortHeader::Mark::Up);
    EXPECT_EQ(frame->rowPath(1), folder / "b.JPEG");
    EXPECT_EQ(cells(3), (std::vector<std::string>{"64 x 48", "64 x 48"}));
    // The files with a JPEG name that could not be read are counted apart.
    QLabel* unreadable = frame->unreadablePart();
    EXPECT_TRUE(unreadable->isVisibleTo(frame.get()));
    EXPECT_EQ(unreadable->text(), "読み込めないファイル: 2");
    EXPECT_EQ(unreadable->toolTip(), "e.jpg: JPEGファイルではありません。\nx.jpg: JPEGファイルではありません。");

    // The new-list button empties the list but keeps the folder.
    clickTool(ID_LIST_NEW);
    processEvents();
    EXPECT_EQ(frame->fileList().rowCount(), 0);
    EXPECT_EQ(frame->windowTitle(), "Quillmark");
    EXPECT_EQ(frame->statusText(), "フォルダを選択して下さい。");
    EXPECT_EQ(frame->listReady, 0);
    EXPECT_EQ(frame->folderPath.toStdString(), folder.string());
    EXPECT_FALSE(unreadable->isVisibleTo(frame.get()));

    // The next folder dialog starts at the folder listed last.
    this->folder.clear();
    frame->onCommand(ID_FOLDER_SELECT);
    EXPECT_EQ(chooserStart.toStdString(), folder.string());

    // Shift_JIS names read as Japanese in the list and the tip; the preview
    // reaches the file by its exact bytes.
    const fs::path japanese = data / "sjis";
    test::writeBytes(japanese / "\x8e\xca\x90\x5e.jpg", test::makeJpeg({}));
    test::writeBytes(japanese / "\x89\xf3\x82\xea.jpg", {});
    choose(japanese);
    EXPECT_EQ(names(), std::vector<std::string>{"写真.jpg"});
    EXPECT_EQ(unreadable->toolTip(), "壊れ.jpg: JPEGファイルではありません。");
    preview(0);
    EXPECT_TRUE(frame->previewPane()->hasImage());
}

TEST_F(Frame, FolderWithoutJpegFilesAndCancelledChoice) {
    const fs::path listed = exampleFolder(data);
    choose(listed);
    ASSERT_EQ(frame->fileList().rowCount(), 2);

    // Cancelling changes nothing.
    folder.clear();
    frame->onCommand(ID_FOLDER_SELECT);
    EXPECT_EQ(frame->fileList().rowCount(), 2);
    EXPECT_EQ(frame->windowTitle(), "Quillmark - " + QString::fromStdString(listed.string()));
    EXPECT_EQ(frame->folderPath.toStdString(), listed.string());

    const fs::path empty = data / "nothing";
    test::writeBytes(empty / "readme.txt", {'x'});
    choose(empty);
    EXPECT_EQ(frame->fileList().rowCount(), 0);
    EXPECT_EQ(frame->statusText(), "Jpegファイルが見つかりませんでした。");
    EXPECT_EQ(frame->windowTitle(), "Quillmark");
    EXPECT_EQ(frame->listReady, 0);
    EXPECT_EQ(frame->folderPath.toStdString(), empty.string());

    // A later refresh rescans that folder and finds what appeared meanwhile.
    test::writeBytes(empty / "new.jpg", test::makeJpeg({}));
    frame->RefreshList(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"new.jpg"}));
    EXPECT_EQ(frame->listReady, 1);

    // A folder that does not exist lists nothing.
    choose(data / "missing");
    EXPECT_EQ(frame->fileList().rowCount(), 0);
    EXPECT_EQ(frame->statusText(), "Jpegファイルが見つかりませんでした。");
}

TEST_F(Frame, SortsByHeaderClicksAndKeepsTheOrderOnRefresh) {
    const fs::path folder = data / "sizes";
    test::writeBytes(folder / "small.jpg", jpegOfSize(950));
    test::writeBytes(folder / "Middle.jpg", jpegOfSize(2000));
    test::writeBytes(folder / "large.jpg", jpegOfSize(12000));
    JpegSpec gray{.width = 8, .height = 8, .input = test::Space::Gray, .stored = test::Space::Gray};
    gray.h0 = gray.v0 = 1;
    test::writeBytes(folder / "gray.jpg", jpegOfSize(3000, gray));
    choose(folder);
    EXPECT_EQ(names(), (std::vector<std::string>{"gray.jpg", "large.jpg", "Middle.jpg", "small.jpg"}));

    // Size compares by value, not as text.
    clickHeader(1);
    EXPECT_EQ(cells(1), (std::vector<std::string>{"950", "2,000", "3,000", "12,000"}));
    EXPECT_EQ(frame->fileList().header()->mark(1), SortHeader::Mark::Up);
    EXPECT_EQ(frame->fileList().header()->mark(0), SortHeader::Mark::None);
    EXPECT_EQ(frame->fileList().selectedCount(), 0);  // a header click selects nothing
    clickHeader(1);
    EXPECT_EQ(cells(1), (std::vector<std::string>{"12,000", "3,000", "2,000", "950"}));
    EXPECT_EQ(frame->fileList().header()->mark(1), SortHeader::Mark::Down);

    // Depth compares as a number: 8 before 24 (as text "24" would lead).
    clickHeader(9);
    EXPECT_EQ(cells(9).front(), "8");
    EXPECT_EQ(names().front(), "gray.jpg");
    EXPECT_EQ(cells(9).back(), "24");

    // Back to size: it was descending, so the click ascends again... and a
    // refresh keeps whatever the last click gave.
    clickHeader(1);
    EXPECT_EQ(cells(1), (std::vector<std::string>{"950", "2,000", "3,000", "12,000"}));
    test::writeBytes(folder / "huge.jpg", jpegOfSize(100000));
    frame->fileList().table()->selectRow(0);
    frame->RefreshList(4);
    EXPECT_EQ(cells(1), (std::vector<std::string>{"950", "2,000", "3,000", "12,000", "100,000"}));
    EXPECT_EQ(frame->fileList().header()->mark(1), SortHeader::Mark::Up);
    EXPECT_EQ(frame->fileList().selectedCount(), 0);
    EXPECT_EQ(frame->listReady, 1);
    EXPECT_TRUE(frame->currentFile.empty());
    EXPECT_EQ(frame->statusText(), "");
}

TEST_F(Frame, RefreshScrollsTheGivenRowIntoView) {
    const fs::path folder = numberedFolder(data, 60);
    choose(folder);
    QTableView* table = frame->fileList().table();
    auto visible = [&](int row) {
        return table->viewport()->rect().intersects(table->visualRect(table->model()->index(row, 0)));
    };
    frame->RefreshList(0);
    EXPECT_TRUE(visible(0));
    EXPECT_FALSE(visible(59));
    frame->RefreshList(1000);
    processEvents();
    EXPECT_TRUE(visible(59));
    EXPECT_EQ(frame->fileList().selectedCount(), 0);
}

TEST_F(Frame, SelectCommandAndClickStatus) {
    auto toggle = [&](int selected, const char* status) {
        frame->onCommand(ID_SELECT_TOGGLE);
        EXPECT_EQ(frame->fileList().selectedCount(), selected);
        EXPECT_EQ(frame->statusText(), status);
    };
    toggle(0, "ファイルリストが空です。");
    choose(numberedFolder(data, 5));
    toggle(5, "全て選択しました。");
    toggle(0, "選択解除しました。");

    clickRow(1);
    EXPECT_EQ(frame->statusText(), "全て 5, 選択数 1");
    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(frame->statusText(), "全て 5, 選択数 2");
    // A click on a row makes the next press select all again.
    toggle(5, "全て選択しました。");
}

TEST_F(Frame, PreviewFollowsTheSelectionAndIsClearedByListCommands) {
    choose(numberedFolder(data, 3));
    EXPECT_FALSE(frame->previewPane()->hasImage());
    preview(0);
    EXPECT_TRUE(frame->previewPane()->hasImage());
    EXPECT_EQ(frame->currentFile, frame->rowPath(0));
    // The reduced decode keeps the aspect ratio of the 40 x 48 picture.
    const QSize shown = frame->previewPane()->imageSize();
    EXPECT_NEAR(double(shown.width()) / shown.height(), 40.0 / 48.0, 0.05);

    // A big picture is decoded reduced, to about 300 pixels wide.
    test::writeBytes(frame->folderPath.toStdString() + "/zz_big.jpg", test::makeJpeg({.width = 1600, .height = 800}));
    frame->RefreshList(0);
    preview(3);
    ASSERT_TRUE(frame->previewPane()->hasImage());
    EXPECT_LE(frame->previewPane()->imageSize().width(), 400);
    EXPECT_EQ(frame->previewPane()->imageSize().width(), 2 * frame->previewPane()->imageSize().height());
    const QRect drawn = frame->previewPane()->pictureRect();
    EXPECT_EQ(drawn.width(), frame->previewPane()->width());
    EXPECT_NEAR(drawn.height(), drawn.width() / 2, 1);

    preview(0);
    ASSERT_TRUE(frame->previewPane()->hasImage());
    frame->onCommand(ID_SELECT_TOGGLE);
    EXPECT_FALSE(frame->previewPane()->hasImage());
    frame->onCommand(ID_SELECT_TOGGLE);
    // The row previewed last is still the current file: not loaded again.
    preview(0);
    EXPECT_FALSE(frame->previewPane()->hasImage());
    preview(2);
    EXPECT_TRUE(frame->previewPane()->hasImage());
    EXPECT_EQ(frame->currentFile, frame->rowPath(2));

    frame->RefreshList(0);
    EXPECT_FALSE(frame->previewPane()->hasImage());
    EXPECT_TRUE(frame->currentFile.empty());
    preview(1);
    EXPECT_TRUE(frame->previewPane()->hasImage());
    // A file gone since the listing leaves the pane empty, never showing the
    // picture of the row chosen before.
    fs::remove(frame->rowPath(0));
    preview(0);
    EXPECT_FALSE(frame->previewPane()->hasImage());
    preview(1);
    frame->onCommand(ID_LIST_NEW);
    EXPECT_FALSE(frame->previewPane()->hasImage());
    const QImage pane = frame->previewPane()->grab().toImage();
    EXPECT_EQ(QColor(pane.pixel(pane.width() / 2, pane.height() / 2)), PreviewPane::backgroundColor());
}

// The preview shows the picture with its own colours, upright by its Exif
// orientation, or as stored when the options say so.
TEST_F(Frame, PreviewStandsUprightByExifUnlessShownAsStored) {
    const fs::path folder = data / "quadrants";
    // Red, green / blue, white quadrants; b.jpg says "turn me 90 degrees clockwise".
    JpegSpec spec{.width = 320, .height = 240, .quality = 95, .pixel = [](int x, int y, int c) {
                      const bool right = x >= 160, bottom = y >= 120;
                      const int rgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
                      return std::uint8_t(rgb[(bottom ? 2 : 0) + (right ? 1 : 0)][c]);
                  }};
    test::writeBytes(folder / "a.jpg", test::makeJpeg(spec));
    spec.segments.push_back(test::exifOrientationSegment(6));
    test::writeBytes(folder / "b.jpg", test::makeJpeg(spec));
    choose(folder);

    using Quadrants = std::array<QColor, 4>;  // top left, top right, bottom left, bottom right
    const Quadrants stored = {Qt::red, Qt::green, Qt::blue, Qt::white};
    auto shown = [&](int row) {
        preview(row);
        const QImage pane = frame->previewPane()->grab().toImage();
        const QRect r = frame->previewPane()->pictureRect();
        Quadrants q;
        for (int i = 0; i < 4; ++i)
            q[i] = pane.pixel(r.left() + int((i % 2 ? 0.75 : 0.25) * r.width()),
                              r.top() + int((i / 2 ? 0.75 : 0.25) * r.height()));
        for (QColor& c : q)  // the nearest of the four, as JPEG only comes close
            for (QColor pure : stored)
                if (std::abs(c.red() - pure.red()) + std::abs(c.green() - pure.green()) + std::abs(c.blue() - pure.blue()) < 120)
                    c = pure;
        return std::make_pair(q, frame->previewPane()->imageSize());
    };
    EXPECT_EQ(shown(0), std::make_pair(stored, QSize(320, 240)));
    EXPECT_EQ(shown(1), std::make_pair(Quadrants{Qt::blue, Qt::red, Qt::white, Qt::green}, QSize(240, 320)));

    // The option shows the picture in view as stored at once, and is kept.
    auto watch = test::whenShown<QDialog>("optionsDialog", [](QDialog* d) {
        test::child<QCheckBox>(d, "previewAsStored")->click();
        test::click(d, "button1");
    });
    frame->onCommand(ID_OPTIONS);
    waitForPreview();
    EXPECT_EQ(frame->settings.previewAsStored, 1);
    EXPECT_EQ(frame->previewPane()->imageSize(), QSize(320, 240));
    EXPECT_EQ(shown(0), std::make_pair(stored, QSize(320, 240)));
    EXPECT_EQ(shown(1), std::make_pair(stored, QSize(320, 240)));
}

TEST_F(Frame, DoubleClickOpensTheViewerForOneSelectedRowOnly) {
    choose(numberedFolder(data, 3));
    preview(1);
    QTest::mouseDClick(frame->fileList().table()->viewport(), Qt::LeftButton, {}, rowPoint(1));
    processEvents();
    ASSERT_EQ(viewed.size(), 1u);
    EXPECT_EQ(viewed[0], frame->rowPath(1));

    frame->onCommand(ID_SELECT_TOGGLE);  // all three selected
    waitForPreview();
    QTest::mouseDClick(frame->fileList().table()->viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(2));
    processEvents();
    EXPECT_EQ(viewed.size(), 1u);
}

TEST_F(Frame, SplitterStaysWithinItsLimits) {
    PaneSplitter* splitter = frame->splitter();
    const int w = splitter->width();
    const int h = splitter->height();
    EXPECT_EQ(frame->previewPane()->geometry(), QRect(0, 0, 248, h));
    EXPECT_EQ(frame->fileList().table()->geometry(), QRect(252, 0, w - 252, h));

    splitterMouse(QEvent::MouseButtonPress, 250, Qt::LeftButton);
    EXPECT_TRUE(splitter->dragging());
    for (auto [x, pos] : {std::pair{30, 100}, {-5, 100}, {w - 10, w - 102}}) {
        splitterMouse(QEvent::MouseMove, x, Qt::LeftButton);
        EXPECT_EQ(frame->splitterPos(), pos) << x;
    }
    splitterMouse(QEvent::MouseButtonRelease, 400, Qt::NoButton);
    EXPECT_FALSE(splitter->dragging());
    EXPECT_EQ(frame->splitterPos(), 400);
    EXPECT_EQ(frame->previewPane()->geometry(), QRect(0, 0, 398, h));
    EXPECT_EQ(frame->fileList().table()->geometry(), QRect(402, 0, w - 402, h));

    // Moves without the button only change the cursor near the strip.
    splitterMouse(QEvent::MouseMove, 30, Qt::NoButton);
    EXPECT_EQ(frame->splitterPos(), 400);
    EXPECT_EQ(splitter->cursor().shape(), Qt::ArrowCursor);
    splitterMouse(QEvent::MouseMove, 402, Qt::NoButton);
    EXPECT_EQ(splitter->cursor().shape(), Qt::SplitHCursor);

    // Only the strip moves it: not a press beside it, nor a click or a drag
    // on the preview.
    splitterMouse(QEvent::MouseButtonPress, 30, Qt::LeftButton);
    EXPECT_FALSE(splitter->dragging());
    splitterMouse(QEvent::MouseButtonRelease, 30, Qt::NoButton);
    QWidget* preview = frame->previewPane();
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        QTest::mousePress(preview, button, {}, QPoint(30, 40));
        QTest::mouseMove(preview, QPoint(33, 41));
        QTest::mouseRelease(preview, button, {}, QPoint(33, 41));
    }
    processEvents();
    EXPECT_EQ(frame->splitterPos(), 400);
}

TEST_F(Frame, PlacementComesBackAtTheNextStart) {
    // The first start takes most of the screen.
    CMainFrame first(dir / "first" / "status.ini");
    first.showAtStart();
    const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_GE(first.width(), room.width() * 8 / 10);
    EXPECT_GE(first.height(), room.height() * 8 / 10);

    auto restart = [&] {
        processEvents();
        frame->close();
        frame = std::make_unique<CMainFrame>(dir / "status.ini");
        frame->showAtStart();
        processEvents();
    };
    frame->setGeometry(40, 50, 700, 500);
    const QRect normal = frame->geometry();
    restart();
    EXPECT_EQ(frame->geometry(), normal);
    EXPECT_FALSE(frame->isMaximized());
    frame->showMaximized();
    restart();
    EXPECT_TRUE(frame->isMaximized());
}

TEST_F(Frame, TransformButtonBodyDoesNothingItsArrowOrSpaceOpensTheMenu) {
    std::map<int, int> calls;
    for (int id : transformMenuItems()) frame->setCommandHandler(id, [&](CMainFrame&, int i) { ++calls[i]; });
    frame->setCommandHandler(ID_OP_TRANSFORM, [&](CMainFrame&, int i) { ++calls[i]; });
    QToolButton* button = frame->transformButton();
    ASSERT_NE(button, nullptr);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
    processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(calls.empty());

    choose(numberedFolder(data, 2));
    auto watch = test::wheneverShown<QMenu>({}, [&](QMenu* menu) {
        EXPECT_EQ(menu, frame->transformMenu());
        EXPECT_EQ(menu->geometry().topLeft(), button->mapToGlobal(QPoint(0, button->height())));
        QStringList items;
        for (QAction* a : menu->actions()) items << a->text();
        EXPECT_EQ(items,
                  (QStringList{"回転(時計回り)90度", "回転(反時計回り)90度", "回転(時計回り)180度",
                               "水平反転", "垂直反転", "縦横の入れ替え[正]", "縦横の入れ替え[負]",
                               "何もしない", "", "Exifの向きに従って回転"}));
        menu->actions().at(3)->trigger();
        menu->close();
    });
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(button->width() - 4, button->height() / 2));
    processEvents();
    EXPECT_EQ(calls, (std::map<int, int>{{ID_OP_FLIP_H, 1}}));

    // From the keyboard, Space opens the menu as well.
    QTest::keyClick(button, Qt::Key_Space);
    processEvents();
    EXPECT_EQ(watch.shown(), 2);
    EXPECT_EQ(calls, (std::map<int, int>{{ID_OP_FLIP_H, 2}}));
}

TEST_F(Frame, FileCommandsRunOnlyWhenTheListHasRows) {
    std::map<int, int> calls;
    const int ids[] = {ID_OP_CLEAN,   ID_OP_GRAYSCALE, ID_OP_ROTATE_R90, ID_OP_NONE,   ID_OP_TRIM,
                       ID_RECOMPRESS, ID_FILE_DELETE,  ID_NEW_JPEG,      ID_FILE_RENAME};
    for (int id : ids) frame->setCommandHandler(id, [&](CMainFrame&, int i) { ++calls[i]; });
    for (int id : ids) frame->onCommand(id);
    EXPECT_EQ(calls, (std::map<int, int>{{ID_FILE_DELETE, 1}, {ID_NEW_JPEG, 1}, {ID_FILE_RENAME, 1}}));

    frame->setCommandHandler(57599, [&](CMainFrame&, int i) { ++calls[i]; });
    frame->setCommandHandler(57713, [&](CMainFrame&, int i) { ++calls[i]; });
    frame->onCommand(57599);
    frame->onCommand(57713);
    EXPECT_EQ(calls.size(), 3u);

    choose(numberedFolder(data, 1));
    calls.clear();
    for (int id : ids) frame->onCommand(id);
    EXPECT_EQ(calls.size(), std::size(ids));
}

// The option reaches the scan while on; which files it dates is the scan's
// own rule (folder_listing_test).
TEST_F(Frame, TimestampOptionDatesTheFilesWhileOn) {
    const fs::path folder = data / "stamped";
    test::writeBytes(folder / "a.jpg", test::makeJpeg({}));
    frame->settings.applyTimestamp = 1;
    frame->settings.timestamp = SystemTime{};  // 2000-01-01 00:00:00
    choose(folder);
    EXPECT_EQ(cells(2), (std::vector<std::string>{"2000/01/01 00:00:00"}));

    frame->settings.applyTimestamp = 0;
    test::writeBytes(folder / "b.jpg", test::makeJpeg({}));
    frame->RefreshList(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(cells(2).front(), "2000/01/01 00:00:00");
    EXPECT_NE(cells(2).back(), "2000/01/01 00:00:00");
}

// The keys named in the tips, from the list: commands by their ids, the
// viewer, Home and End, type-ahead on names from any column, Tab into the
// toolbar, and the selection count after keyboard selection.
TEST_F(Frame, KeysReachTheCommandsAndMoveThroughTheList) {
    std::map<int, int> calls;
    for (int id : {ID_FILE_DELETE, ID_FILE_RENAME}) frame->setCommandHandler(id, [&](CMainFrame&, int i) { ++calls[i]; });
    const fs::path folder = data / "keys";
    const std::vector<std::string> files = {"apple.jpg", "Banana.jpg", "cherry.jpg", "cocoa.jpg", "date.jpg"};
    for (std::size_t i = 0; i < files.size(); ++i)
        test::writeBytes(folder / files[i], test::makeJpeg({.width = 16 + 8 * int(i), .height = 8}));
    QApplication::setActiveWindow(frame.get());
    QTableView* table = frame->fileList().table();
    auto key = [&](Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
        processEvents();
    };
    auto current = [&] { return frame->fileList().name(table->currentIndex().row()).toStdString(); };

    this->folder = folder;
    key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(names(), files);
    ASSERT_EQ(QApplication::focusWidget(), table);

    const std::pair<Qt::Key, std::string> ends[] = {{Qt::Key_End, "date.jpg"}, {Qt::Key_Home, "apple.jpg"}};
    for (const auto& [k, name] : ends) {
        key(k);
        waitForPreview();
        EXPECT_EQ(current(), name);
        EXPECT_EQ(frame->fileList().selectedRows(), std::vector<int>{table->currentIndex().row()});
        EXPECT_EQ(frame->currentFile, frame->rowPath(table->currentIndex().row()));
        EXPECT_TRUE(frame->previewPane()->hasImage());
    }
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(frame->statusText(), "全て 5, 選択数 2");

    // Type-ahead looks at the names even with the pixel-size column current.
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(std::numeric_limits<int>::max());
    table->selectionModel()->setCurrentIndex(table->model()->index(0, kColImageSize), QItemSelectionModel::NoUpdate);
    QTest::keyClicks(table, "co");
    QApplication::setKeyboardInputInterval(interval);
    EXPECT_EQ(current(), "cocoa.jpg");
    EXPECT_EQ(table->currentIndex().column(), kColImageSize);
    EXPECT_EQ(frame->statusText(), "全て 5, 選択数 1");

    key(Qt::Key_Return);
    ASSERT_EQ(viewed.size(), 1u);
    EXPECT_EQ(viewed.back(), frame->rowPath(3));
    key(Qt::Key_Delete);
    key(Qt::Key_F2);
    EXPECT_EQ(calls, (std::map<int, int>{{ID_FILE_DELETE, 1}, {ID_FILE_RENAME, 1}}));
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(frame->fileList().selectedCount(), 5);
    EXPECT_EQ(frame->statusText(), "全て選択しました。");

    key(Qt::Key_Tab);
    EXPECT_TRUE(frame->commandBar()->isAncestorOf(QApplication::focusWidget()));
}

// Stepping through the list never waits for a decode: while one is held,
// every step is taken at once and supersedes the last, only the newest
// picture shows, and a picture asked for before the list was cleared never
// does. (A step that waited would hang here.)
TEST_F(Frame, ArrowKeysNeverWaitForAPreview) {
    choose(numberedFolder(data, 6));
    std::latch started(1), held(1);
    std::mutex mutex;
    std::vector<std::string> loads;
    frame->previewThread.setLoadFunction([&](const std::string& path) {
        const std::string name = fs::path(path).filename().string();
        bool first;
        {
            std::lock_guard lock(mutex);
            first = loads.empty();
            loads.push_back(name);
        }
        if (first) started.count_down();
        held.wait();
        return QImage(8 + name[1] - '0', 8, QImage::Format_RGB32);
    });
    clickRow(0);
    started.wait();
    QTableView* table = frame->fileList().table();
    for (int i = 0; i < 5; ++i) QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(frame->currentFile, frame->rowPath(5));
    EXPECT_EQ(frame->statusText(), "全て 6, 選択数 1");
    // Enter does not wait for the preview either.
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(viewed.size(), 1u);
    held.count_down();
    waitForPreview();
    EXPECT_EQ(loads, (std::vector<std::string>{"p0.jpg", "p5.jpg"}));
    EXPECT_EQ(frame->previewPane()->imageSize(), QSize(13, 8));

    clickRow(2);
    frame->onCommand(ID_LIST_NEW);
    waitForPreview();
    EXPECT_FALSE(frame->previewPane()->hasImage());
}

// Every label and every text of a listed row shows whole, at the default
// font and at an 11-point Japanese desktop font (twice the scale: ctest's
// Frame.ColumnsFitAtTwiceTheScale).
TEST_F(Frame, ColumnsFitTheirLabelsAndTextsAtEachFontSize) {
    choose(exampleFolder(data));
    QTableView* table = frame->fileList().table();
    SortHeader* header = frame->fileList().header();
    const int margin = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    // 22 pt: the 11-pt font on a desktop that doubles its font resolution.
    for (const QFont& font :
         {QApplication::font(), QFont(QStringLiteral("IPAGothic"), 11), QFont(QStringLiteral("IPAGothic"), 22)}) {
        table->setFont(font);
        processEvents();
        for (int c = 0; c < kListColumns; ++c) {
            const int width = header->sectionSize(c);
            EXPECT_GE(width, kColumnWidths[std::size_t(c)]) << c;
            EXPECT_LE(header->labelWidth(c), width) << c;
            EXPECT_LE(table->fontMetrics().horizontalAdvance(frame->fileList().cellText(0, c)) + margin, width)
                << c << " at " << font.pointSize() << " pt";
        }
    }
    EXPECT_GT(header->sectionSize(kColModified), kColumnWidths[kColModified]);
}

TEST_F(Frame, WidthsSplitterAndSortComeBackAtTheNextStart) {
    const fs::path folder = numberedFolder(data, 3);
    choose(folder);
    frame->fileList().header()->resizeSection(kColModified, 333);
    splitterMouse(QEvent::MouseButtonPress, 250, Qt::LeftButton);
    splitterMouse(QEvent::MouseButtonRelease, 300, Qt::NoButton);
    clickHeader(kColSize);
    clickHeader(kColSize);
    frame->close();
    frame = makeFrame();
    EXPECT_EQ(frame->fileList().header()->sectionSize(kColModified), 333);
    EXPECT_EQ(frame->splitterPos(), 300);
    // The first listing takes up the sort left; later ones sort by name.
    choose(folder);
    EXPECT_EQ(frame->fileList().header()->mark(kColSize), SortHeader::Mark::Down);
    choose(folder);
    EXPECT_EQ(frame->fileList().header()->mark(0), SortHeader::Mark::Up);
}

// Another program's change marks the list out of date; it never re-lists
// by itself (the selection would go), and F5 refreshes keeping the sort.
TEST_F(Frame, FolderChangesMarkTheListOutOfDateUntilF5) {
    const fs::path folder = numberedFolder(data, 3);
    choose(folder);
    clickHeader(0);  // by name, descending
    QLabel* outOfDate = frame->outOfDatePart();
    EXPECT_FALSE(outOfDate->isVisibleTo(frame.get()));
    test::Latch changed;
    QObject::connect(frame.get(), &CMainFrame::listOutOfDate, [&] { changed.open(); });
    test::writeBytes(folder / "p9.jpg", test::makeJpeg({}));
    changed.wait();
    EXPECT_TRUE(outOfDate->isVisibleTo(frame.get()));
    EXPECT_EQ(outOfDate->text(), "F5で更新");
    EXPECT_EQ(frame->fileList().rowCount(), 3);

    QApplication::setActiveWindow(frame.get());
    QTest::keyClick(frame->fileList().table(), Qt::Key_F5);
    EXPECT_EQ(names(), (std::vector<std::string>{"p9.jpg", "p2.jpg", "p1.jpg", "p0.jpg"}));
    EXPECT_FALSE(outOfDate->isVisibleTo(frame.get()));
}

// Screen readers find a name on every control and the cells of the list.
TEST_F(Frame, EveryControlIsNamedAndTheListExposesItsCells) {
    choose(exampleFolder(data));
    test::expectNamedControls(frame.get());
    // The status text itself is what is read, not a fixed label.
    auto* status = frame->findChild<QLabel*>(QStringLiteral("statusText"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
    EXPECT_FALSE(status->text().isEmpty());
    QAccessibleTableInterface* list =
        QAccessible::queryAccessibleInterface(frame->fileList().table())->tableInterface();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->columnCount(), kListColumns);
    EXPECT_EQ(list->cellAt(1, 0)->text(QAccessible::Name), "b.JPEG");
    EXPECT_EQ(list->cellAt(0, kColImageSize)->text(QAccessible::Name), "64 x 48");
}

}  // namespace
}  // namespace quill
