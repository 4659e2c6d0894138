// The file list's rows and sorting: text order as the list compares texts,
// numbers for the numeric columns, rows and selections that stay whole
// through any number of sorts, the sort mark and cut-off texts.
#include "app/file_list_view.h"
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

TEST(FileListModel, TextOrderAgreesWithTheListComparisonOnMixedTexts) {
    // Pieces chosen to hit the shortcuts of the sort: shared prefixes,
    // letters of both cases, multi-byte characters on either side of the
    // surrogate range, and texts shorter than eight bytes.
    const std::vector<std::string> pieces = {"a", "A", "b", "_", "0", "photo_00", "\x7f", "\xC3\xA9", "\xC3\x89",
                                             "\xE6\x97\xA5", "\xEE\x80\x80", "\xF0\x9F\x98\x80", "~"};
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    std::vector<JpegInfo> rows;
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        const int parts = static_cast<int>(next() % 6);
        for (int k = 0; k < parts; ++k) text += pieces[next() % pieces.size()];
        rows.push_back(row(text));
    }
    FileListModel model;
    model.appendRows(rows);
    for (bool descending : {false, true}) {
        model.sortRows(0, true, descending);
        for (int r = 0; r + 1 < model.rowCount(); ++r) {
            const int c = compareListText(model.cell(r, 0), model.cell(r + 1, 0));
            ASSERT_TRUE(descending ? c >= 0 : c <= 0) << r << ": " << model.cell(r, 0) << " / " << model.cell(r + 1, 0);
        }
    }
}

TEST(FileListModel, NumericColumnsReadLeadingNumbersAndTreatOthersAsZero) {
    for (int c : {9, 31, 32}) {
        FileListModel model;
        model.appendRows({row("a", "", "100"), row("b", "", "9"), row("c", "", "-3.5"), row("d", "", "x"),
                          row("e", "", "24bits"), row("f", "", "nan")});
        model.sortRows(c, false, false);
        const Names names = column(model, 0);
        ASSERT_EQ(names.size(), 6u) << c;
        EXPECT_EQ(names[0], "c") << c;
        // "x" and "nan" both count as 0 and may come in either order.
        EXPECT_TRUE((names[1] == "d" && names[2] == "f") || (names[1] == "f" && names[2] == "d")) << c;
        EXPECT_EQ((Names{names[3], names[4], names[5]}), (Names{"b", "e", "a"})) << c;
    }
}

TEST(FileListModel, RowsStayWholeThroughRepeatedSorts) {
    FileListModel model;
    std::vector<JpegInfo> rows;
    for (int i = 0; i < 200; ++i)
        rows.push_back(row("f" + std::to_string((i * 37) % 200) + ".jpg", std::to_string((i * 53) % 97),
                           std::to_string(i % 7)));
    model.appendRows(rows);
    for (int c : {0, 1, 9, 2, 31, 0, 1}) {
        model.sortRows(c, c != 9 && c != 31, c % 2 == 1);
        for (int r = 0; r < model.rowCount(); ++r) {
            const std::string name(model.cell(r, 0));
            const JpegInfo& original = rows[static_cast<std::size_t>(model.itemParam(r))];
            ASSERT_EQ(name, original.fields[0]);
            for (int k = 1; k < kColumnCount; ++k) ASSERT_EQ(model.cell(r, k), original.fields[k]) << r << ' ' << k;
        }
    }
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
    parent.resize(700, 200);
    FileListView view(&parent);
    view.table()->resize(700, 200);
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
