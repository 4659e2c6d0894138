// File list widget, header sort marks and row access.
#include "app/file_list_view.h"

#include "inspection/folder_listing.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

namespace quill {

namespace {

// Shows a cell's whole text as a tip, only when the cell cuts it off.
class LabelTipDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || !index.isValid()) return false;
        const QString text = index.data(Qt::DisplayRole).toString();
        const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, view) + 1;
        if (!text.isEmpty() && option.fontMetrics.horizontalAdvance(text) > option.rect.width() - 2 * margin) {
            QToolTip::showText(event->globalPos(), text, view, option.rect);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
};

}  // namespace

SortHeader::SortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    setHighlightSections(false);
}

void SortHeader::setMark(int column, Mark mark) {
    markColumn_ = mark == Mark::None ? -1 : column;
    mark_ = mark;
    viewport()->update();
}

void SortHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    if (logicalIndex != markColumn_ || mark_ == Mark::None) return;
    // A small chevron centred on the top edge, above the header text.
    painter->save();
    // The style may leave an empty clip behind after drawing the label.
    painter->setClipRect(rect);
    painter->setRenderHint(QPainter::Antialiasing, true);
    const qreal cx = rect.center().x() + 0.5;
    const qreal top = rect.top() + 1.5;
    QPainterPath path;
    if (mark_ == Mark::Up) {
        path.moveTo(cx - 4, top + 4);
        path.lineTo(cx, top);
        path.lineTo(cx + 4, top + 4);
    } else {
        path.moveTo(cx - 4, top);
        path.lineTo(cx, top + 4);
        path.lineTo(cx + 4, top);
    }
    painter->setPen(QPen(palette().color(QPalette::WindowText), 1.2));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path);
    painter->restore();
}

FileTable::FileTable(QWidget* parent) : QTableView(parent) {}

void FileTable::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void FileTable::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit listClicked();
}

void FileTable::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    emit listDoubleClicked(index.isValid() ? index.row() : -1);
}

void FileTable::startDrag(Qt::DropActions) { emit dragRequested(); }

FileListView::FileListView(QWidget* parentWidget)
    : QObject(parentWidget),
      table_(new FileTable(parentWidget)),
      model_(new FileListModel(this)),
      header_(new SortHeader(table_)) {
    direction.fill(1);
    table_->setHorizontalHeader(header_);
    table_->setModel(model_);
    table_->setItemDelegate(new LabelTipDelegate(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setShowGrid(true);
    table_->setWordWrap(false);
    table_->setSortingEnabled(false);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTabKeyNavigation(false);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->setFrameShape(QFrame::StyledPanel);
    table_->setFrameShadow(QFrame::Sunken);

    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(8);
    rows->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setMinimumSectionSize(8);
    header_->setStretchLastSection(false);
    // Room above the centred label for the sort mark, which would otherwise
    // sit on the text of a narrow column.
    header_->setMinimumHeight(header_->fontMetrics().height() + 12);
    for (int c = 0; c < kListColumns; ++c) table_->setColumnWidth(c, kColumnWidths[static_cast<std::size_t>(c)]);

    connect(header_, &QHeaderView::sectionClicked, this, &FileListView::columnClick);
    QItemSelectionModel* selection = table_->selectionModel();
    connect(selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (current.isValid() && !restoring_) emit rowFocused(current.row());
    });
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this](const QItemSelection& selected) {
        const QModelIndex current = table_->selectionModel()->currentIndex();
        if (current.isValid() && !restoring_ && selected.contains(current)) emit rowFocused(current.row());
    });
    connect(table_, &FileTable::listClicked, this, &FileListView::clicked);
    connect(table_, &FileTable::listDoubleClicked, this, &FileListView::doubleClicked);
}

std::vector<char> FileListView::selectionMarks() const {
    std::vector<char> marks(static_cast<std::size_t>(rowCount()), 0);
    for (const QItemSelectionRange& range : table_->selectionModel()->selection())
        for (int row = std::max(range.top(), 0); row <= range.bottom() && row < rowCount(); ++row)
            marks[static_cast<std::size_t>(row)] = 1;
    return marks;
}

int FileListView::selectedCount() const {
    const std::vector<char> marks = selectionMarks();
    return static_cast<int>(std::count(marks.begin(), marks.end(), 1));
}

std::vector<int> FileListView::selectedRows() const {
    const std::vector<char> marks = selectionMarks();
    std::vector<int> rows;
    for (std::size_t i = 0; i < marks.size(); ++i)
        if (marks[i]) rows.push_back(static_cast<int>(i));
    return rows;
}

void FileListView::columnClick(int column) {
    if (column < 0 || column >= kListColumns) return;
    sortColumn = column;
    sortAsText = columnSortsAsNumber(column) ? 0 : 1;
    direction[column] = direction[column] == 1 ? 0 : 1;

    // The selection is carried over by hand as runs of rows: the selection
    // model's own bookkeeping across a reorder costs far more on big lists.
    QItemSelectionModel* selection = table_->selectionModel();
    std::vector<char> marks = selectionMarks();
    const bool anySelected = std::find(marks.begin(), marks.end(), 1) != marks.end();
    restoring_ = true;
    if (anySelected) selection->clearSelection();
    const std::vector<int> newRowOf = model_->sortRows(column, sortAsText != 0, direction[column] == 1);
    if (anySelected) {
        if (!newRowOf.empty()) {
            std::vector<char> moved(marks.size(), 0);
            for (std::size_t i = 0; i < marks.size(); ++i)
                if (marks[i]) moved[static_cast<std::size_t>(newRowOf[i])] = 1;
            marks.swap(moved);
        }
        QItemSelection runs;
        for (int row = 0; row < static_cast<int>(marks.size());) {
            if (!marks[static_cast<std::size_t>(row)]) {
                ++row;
                continue;
            }
            int end = row;
            while (end + 1 < static_cast<int>(marks.size()) && marks[static_cast<std::size_t>(end + 1)]) ++end;
            runs.append(QItemSelectionRange(model_->index(row, 0), model_->index(end, kListColumns - 1)));
            row = end + 1;
        }
        selection->select(runs, QItemSelectionModel::Select);
    }
    restoring_ = false;
    header_->setMark(column, direction[column] == 1 ? SortHeader::Mark::Down : SortHeader::Mark::Up);
}

void FileListView::setAllSelected(bool selected) {
    QItemSelectionModel* selection = table_->selectionModel();
    if (!selected) {
        selection->clearSelection();
        return;
    }
    if (rowCount() == 0) return;
    const QItemSelection all(model_->index(0, 0), model_->index(rowCount() - 1, kListColumns - 1));
    selection->select(all, QItemSelectionModel::ClearAndSelect);
}

void FileListView::clearSelection() { table_->selectionModel()->clearSelection(); }

void FileListView::scrollToRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    table_->scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

}  // namespace quill
