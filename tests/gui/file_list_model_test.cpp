// The file list's rows and selections, which stay whole through any number
// of sorts, the sort mark and cut-off texts (the order itself is the core's
// listSortOrder, tested with it; header clicks through the window).
#include "app/file_list_view.h"
#include "app/message_dialog.h"
#include "base/file_result.h"
#include "inspection/folder_listing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QToolTip>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace quill {
namespace {

JpegInfo row(const std::string& name, const std::string& size = "", const std::string& depth = "") {
    JpegInfo info;
    info.fields[0] = name;
    info.fields[1] = size;
    info.fields[9] = depth;
    info.fields[31] = depth;
    info.fields[32] = depth;
    for (int c = 2; c < kColumnCount; ++c)
        if (c != 9 && c != 31 && c != 32) info.fields[c] = name + "#" + std::to_string(c);
    return info;
}

std::vector<std::string> column(const FileListModel& model, int c) {
    std::vector<std::string> out;
    for (int r = 0; r < model.rowCount(); ++r) out.emplace_back(model.cell(r, c));
    return out;
}

using Names = std::vector<std::string>;

TEST(FileListModel, RowsStayWholeThroughRepeatedSorts) {
    FileListModel model;
    std::vector<JpegInfo> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back(row("f" + std::to_string((i * 37) % 200) + ".jpg", std::to_string((i * 53) % 97),
                           std::to_string(i % 7)));
    model.appendRows(rows);
    for (int c : {0, 1, 9, 2, 31, 0, 1}) {
        model.sortRows(c, columnSortKind(c), c % 2 == 1);
        for (int r = 0; r < model.rowCount(); ++r) {
            const JpegInfo& original = rows[static_cast<std::size_t>(model.itemParam(r))];
            for (int k = 0; k < kColumnCount; ++k)
                ASSERT_EQ(model.cell(r, k), original.fields[k]) << r << ' ' << k;
        }
    }
}

// Names are UTF-8, else Shift_JIS (Japanese archives), else UTF-8 with
// replacement characters; a path is read part by part, and so is the path
// in a failure's detail.
TEST(FileListModel, NamesReadAsUtf8ThenShiftJis) {
    const std::pair<std::string, QString> cases[] = {
        {"photo.jpg", "photo.jpg"},
        {"\xe5\x86\x99\xe7\x9c\x9f.jpg", "写真.jpg"},
        {"\x8e\xca\x90\x5e.jpg", "写真.jpg"},                // Shift_JIS
        {"\x95\x5c.jpg", "表.jpg"},                          // 0x5C as a trail byte
        {"\x87\x40\xb1.jpg", "①ｱ.jpg"},                      // vendor row and half-width kana
        {"caf\xe9.jpg", QStringLiteral("caf\uFFFD.jpg")},      // neither
        {"\x8e\xca.jpg\x8e", QStringLiteral("\uFFFD\uFFFD.jpg\uFFFD")},  // cut off: neither
    };
    for (const auto& [bytes, shown] : cases) EXPECT_EQ(displayName(bytes), shown) << bytes;
    EXPECT_EQ(displayPath("/\xe5\x86\x99/\x8e\xca\x90\x5e/a.jpg"), "/写/写真/a.jpg");
    EXPECT_EQ(failureMessage(FileResult::fail(FailReason::NotFound, "/x/\x8e\xca\x90\x5e.jpg")),
              "ファイルが見つかりません。（/x/写真.jpg）");
}

// Dark pixels in the top strip of a header section, where the mark goes.
int markPixels(SortHeader* header, int column) {
    const QImage image = header->grab().toImage();
    const int x0 = header->sectionViewportPosition(column);
    const int w = header->sectionSize(column);
    int dark = 0;
    for (int y = 0; y < 7; ++y)
        for (int x = x0 + w / 2 - 6; x <= x0 + w / 2 + 6; ++x) dark += qGray(image.pixel(x, y)) < 110;
    return dark;
}

// The mark shows on the sort column only, above the header text, never on
// it: in a narrow column the centred mark lies over the label, so it needs a
// strip of its own. The clicks and the orders they give are driven through
// the window in main_frame_test.
TEST(FileListView, SortMarkOnTheSortColumnOnlyAndClearOfTheText) {
    QWidget parent;
    parent.resize(1000, 200);
    FileListView view(&parent);
    view.table()->resize(1000, 200);
    view.model()->appendRows({row("b", "2"), row("a", "1")});
    parent.show();
    SortHeader* header = view.header();
    EXPECT_EQ(markPixels(header, 0), 0);
    for (int column : {1, 3, 5}) {
        const int other = column == 1 ? 0 : 1;
        view.columnClick(other);
        const QImage plain = header->grab().toImage();
        view.columnClick(column);
        EXPECT_EQ(markPixels(header, other), 0) << column;
        EXPECT_GT(markPixels(header, column), 2) << column;
        const QImage marked = header->grab().toImage();
        const int x0 = header->sectionViewportPosition(column);
        const int x1 = x0 + header->sectionSize(column) - 2;
        int textTop = plain.height(), markBottom = -1;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = x0 + 2; x < x1; ++x) {
                if (qGray(plain.pixel(x, y)) < 128) textTop = std::min(textTop, y);
                if (plain.pixel(x, y) != marked.pixel(x, y)) markBottom = std::max(markBottom, y);
            }
        }
        ASSERT_LT(textTop, plain.height()) << column;
        ASSERT_GE(markBottom, 0) << column;
        EXPECT_LT(markBottom, textTop) << "column " << column;
    }
}

TEST(FileListView, TipsShowTextsThatTheCellCutsOff) {
    QWidget parent;
    parent.resize(700, 200);
    FileListView view(&parent);
    view.table()->resize(700, 200);
    const std::string longName = "a-very-long-file-name-that-does-not-fit-the-column.jpg";
    view.model()->appendRows({row(longName), row("s.jpg")});
    parent.show();
    QApplication::setActiveWindow(&parent);  // tips are for the active window
    QWidget* viewport = view.table()->viewport();
    auto tipAt = [&](int r) {
        const QPoint p = view.table()->visualRect(view.model()->index(r, 0)).center();
        QHelpEvent event(QEvent::ToolTip, p, viewport->mapToGlobal(p));
        QApplication::sendEvent(viewport, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(1), QString());
    EXPECT_EQ(tipAt(0), QString::fromStdString(longName));
    QToolTip::hideText();
}

TEST(FileListView, SelectionAndCurrentRowFollowTheirRowsWhenSorting) {
    QWidget parent;
    FileListView view(&parent);
    view.model()->appendRows({row("d"), row("b"), row("a"), row("c")});
    QItemSelectionModel* selection = view.table()->selectionModel();
    selection->setCurrentIndex(view.model()->index(0, 0), QItemSelectionModel::NoUpdate);  // "d"
    selection->select(view.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);  // "b"
    selection->select(view.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);  // "a"

    view.columnClick(0);
    EXPECT_EQ(column(*view.model(), 0), (Names{"a", "b", "c", "d"}));
    EXPECT_EQ(view.selectedRows(), (std::vector<int>{0, 1}));
    EXPECT_EQ(selection->currentIndex().row(), 3);

    // Many separate runs of selected rows survive a sort.
    FileListView big(&parent);
    std::vector<JpegInfo> rows;
    for (int i = 0; i < 300; ++i) rows.push_back(row("n" + std::to_string((i * 7919) % 300), std::to_string(i)));
    big.model()->appendRows(rows);
    std::set<std::string> chosen;
    for (int r = 0; r < 300; r += 3) {
        big.table()->selectionModel()->select(big.model()->index(r, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        chosen.insert(std::string(big.model()->cell(r, 0)));
    }
    big.columnClick(0);
    big.columnClick(1);
    std::set<std::string> after;
    for (int r : big.selectedRows()) after.insert(std::string(big.model()->cell(r, 0)));
    EXPECT_EQ(after, chosen);
    EXPECT_EQ(big.selectedCount(), 100);

    view.setAllSelected(true);
    EXPECT_EQ(view.selectedCount(), 4);
    view.setAllSelected(false);
    EXPECT_EQ(view.selectedCount(), 0);
    EXPECT_EQ(selection->currentIndex().row(), 3);
}

}  // namespace
}  // namespace quill
