// The file list: a table of 33 columns over FileListModel with grid lines,
// full-row selection, tips for cut-off texts, sorting by a header click with
// one remembered direction per column, columns wide enough for the font in
// use, and keys for the first and last row and for type-ahead on names.
// Row access for the commands.
#pragma once

#include "app/file_list_model.h"

#include <QHeaderView>
#include <QObject>
#include <QElapsedTimer>
#include <QTableView>

#include <array>
#include <string>
#include <vector>

namespace quill {

// The header draws its own sort marks, so that up always means ascending
// whatever the widget style would draw.
class SortHeader : public QHeaderView {
    Q_OBJECT
public:
    enum class Mark { None, Up, Down };
    explicit SortHeader(QWidget* parent = nullptr);
    void setMark(int column, Mark mark);
    Mark mark(int column) const { return column == markColumn_ ? mark_ : Mark::None; }
    // Width the header needs to show a column's label whole.
    int labelWidth(int column) const { return sectionSizeFromContents(column).width(); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    int markColumn_ = -1;
    Mark mark_ = Mark::None;
};

class FileTable : public QTableView {
    Q_OBJECT
public:
    explicit FileTable(QWidget* parent = nullptr);

signals:
    // A mouse click anywhere in the list, after the selection has changed.
    void listClicked();
    // A double click; row is -1 when it hit no row.
    void listDoubleClicked(int row);
    // A press on a row went on as a drag beyond the drag distance.
    void dragRequested();
    // Enter on the current row.
    void openRequested(int row);
    void fontChanged();

protected:
    // Home and End go to the first and last row (not column), keeping the
    // column; type-ahead searches the file names whatever column is current.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyboardSearch(const QString& search) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Taking the focus does not make the first row current: a freshly
    // listed folder shows no row as chosen and no preview.
    void focusInEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // What is dragged is the window's choice, not the selected cells.
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QString typed_;
    QElapsedTimer typing_;
};

class FileListView : public QObject {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parentWidget);

    FileTable* table() const { return table_; }
    FileListModel* model() const { return model_; }
    SortHeader* header() const { return header_; }

    int rowCount() const { return model_->rowCount(); }
    int selectedCount() const;
    // Selected rows in row order.
    std::vector<int> selectedRows() const;
    // The file name as shown, and its exact bytes (for paths).
    QString name(int row) const { return model_->cellText(row, kColName); }
    std::string nameBytes(int row) const { return std::string(model_->cell(row, kColName)); }
    QString cellText(int row, int column) const { return model_->cellText(row, column); }

    // A click on a column header: inverts that column's direction and sorts.
    void columnClick(int column);
    // Selects every row, or none; the current row stays.
    void setAllSelected(bool selected);
    // Scrolls until the row is at least partly visible.
    void scrollToRow(int row);
    void clearSelection();

    // The initial widths, widened where the list's font needs more room for
    // a column's label or its usual texts (a date with its time, sizes up
    // to 9,999,999,999, 65535 x 65535, every sampling label). Columns the
    // user sized keep their widths.
    void fitColumns();
    // Widths the user set by dragging or double-clicking a header edge; 0
    // for a column left as fitted.
    std::array<int, kListColumns> userWidths() const { return userWidths_; }
    void setUserWidths(const std::array<int, kListColumns>& widths);
    // The list has been sorted at least once.
    bool sorted() const { return sorted_; }

    int sortColumn = 0;
    SortKind sortKind = SortKind::Text;
    std::array<int, kListColumns> direction{};  // 0 ascending, 1 descending

signals:
    // The current (focused) row changed, or became selected.
    void rowFocused(int row);
    void clicked();
    void doubleClicked(int row);
    // The set of selected rows changed, by mouse, keyboard or command; not
    // sent while a sort carries the selection over.
    void selectionChanged();

private:
    // One flag per row: selected or not.
    std::vector<char> selectionMarks() const;

    FileTable* table_;
    FileListModel* model_;
    SortHeader* header_;
    bool restoring_ = false;
    bool sizing_ = false;
    bool sorted_ = false;
    std::array<int, kListColumns> userWidths_{};
};

}  // namespace quill
