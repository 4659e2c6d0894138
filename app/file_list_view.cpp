// File list widget, header sort marks and row access.
#include "app/file_list_view.h"

#include "inspection/folder_listing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
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

QModelIndex FileTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int rows = model() ? model()->rowCount() : 0;
    if ((action == MoveHome || action == MoveEnd) && rows > 0) {
        const int column = std::max(currentIndex().column(), 0);
        return model()->index(action == MoveHome ? 0 : rows - 1, column);
    }
    return QTableView::moveCursor(action, modifiers);
}

void FileTable::keyboardSearch(const QString& search) {
    const int rows = model() ? model()->rowCount() : 0;
    if (search.isEmpty() || rows == 0) return;
    if (!typing_.isValid() || typing_.elapsed() > QApplication::keyboardInputInterval()) typed_.clear();
    typing_.start();
    typed_ += search;
    // One letter pressed again steps to the next name starting with it.
    const bool repeated = typed_.count(typed_.front()) == typed_.size();
    const QString prefix = repeated ? typed_.left(1) : typed_;
    const QModelIndex current = currentIndex();
    const int from = current.isValid() ? current.row() + (repeated ? 1 : 0) : 0;
    for (int i = 0; i < rows; ++i) {
        const int row = (from + i) % rows;
        if (!model()->index(row, 0).data().toString().startsWith(prefix, Qt::CaseInsensitive)) continue;
        const QModelIndex target = model()->index(row, std::max(current.column(), 0));
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(target);
        return;
    }
}

void FileTable::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (currentIndex().isValid()) emit openRequested(currentIndex().row());
        return;
    }
    QTableView::keyPressEvent(event);
}

void FileTable::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) emit fontChanged();
}

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

    table_->setAccessibleName(QStringLiteral("ファイル一覧"));
    const QString keys = QStringLiteral("Enter: ビューワーで開く\nHome / End: 先頭 / 末尾の行\n文字キー: ファイル名で検索");
    table_->setAccessibleDescription(keys);
    table_->viewport()->setToolTip(keys);  // over the empty part; cells show their own tips

    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    // Hidden with the row header, but listed by accessibility tools.
    for (QAbstractButton* corner : table_->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        if (corner->inherits("QTableCornerButton")) corner->setAccessibleName(QStringLiteral("全て選択"));
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(8);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setMinimumSectionSize(8);
    header_->setStretchLastSection(false);
    fitColumns();

    connect(table_, &FileTable::fontChanged, this, &FileListView::fitColumns);
    connect(header_, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!sizing_ && column >= 0 && column < kListColumns) userWidths_[static_cast<std::size_t>(column)] = width;
    });
    connect(header_, &QHeaderView::sectionClicked, this, &FileListView::columnClick);
    QItemSelectionModel* selection = table_->selectionModel();
    connect(selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (current.isValid() && !restoring_) emit rowFocused(current.row());
    });
    connect(selection, &QItemSelectionModel::selectionChanged, this, [this](const QItemSelection& selected) {
        if (restoring_) return;
        const QModelIndex current = table_->selectionModel()->currentIndex();
        if (current.isValid() && selected.contains(current)) emit rowFocused(current.row());
        emit selectionChanged();
    });
    connect(table_, &FileTable::listClicked, this, &FileListView::clicked);
    connect(table_, &FileTable::listDoubleClicked, this, &FileListView::doubleClicked);
}

namespace {

// Texts a column usually holds, beyond its label: the widest of them sets
// the column's width. '8' stands for the font's widest digit.
std::vector<QString> usualTexts(int column) {
    switch (column) {
    case kColSize:
        return {QStringLiteral("8,888,888,888")};
    case kColModified:
        return {QStringLiteral("8888/88/88 88:88:88")};
    case kColImageSize:
    case kColRegularSize:
        return {QStringLiteral("88888 x 88888")};
    case kColBlockUnit:
        return {QStringLiteral("88 x 88")};
    case kColLumaQuality:
    case kColChromaQuality:
        return {QStringLiteral("Photoshop 88s"), QStringLiteral("ACDSee 88-88"), QStringLiteral("Canon 888")};
    case kColColorSpace:
        return {QStringLiteral("YCbCr"), QStringLiteral("CMYK"), QStringLiteral("YCCK"), QStringLiteral("Unknown")};
    case kColSampling:
        return {QStringLiteral("4：4：4"), QStringLiteral("4：2：2"), QStringLiteral("4：2：0"), QStringLiteral("4：1：1"),
                QStringLiteral("Unknown")};
    case kColCoding:
        return {QStringLiteral("Progressive"), QStringLiteral("Baseline")};
    case kColDepth:
        return {QStringLiteral("88")};
    case kColXDensity:
    case kColYDensity:
        return {QStringLiteral("88888")};
    case kColOther:
        return {QStringLiteral("888")};
    default:
        return {};
    }
}

}  // namespace

void FileListView::fitColumns() {
    const QFontMetrics metrics = table_->fontMetrics();
    QChar widest = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d)
        if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widest)) widest = QLatin1Char(d);
    // The delegate's text margins on both sides and the grid line.
    const int padding = 2 * (table_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table_) + 1) + 3;

    table_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    // Room above the centred label for the sort mark, which would otherwise
    // sit on the text of a narrow column.
    header_->setMinimumHeight(header_->fontMetrics().height() + 12);
    sizing_ = true;
    for (int c = 0; c < kListColumns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        if (userWidths_[i] > 0) continue;
        int width = std::max(kColumnWidths[i], header_->labelWidth(c));
        for (QString text : usualTexts(c))
            width = std::max(width, metrics.horizontalAdvance(text.replace(QLatin1Char('8'), widest)) + padding);
        table_->setColumnWidth(c, width);
    }
    sizing_ = false;
}

void FileListView::setUserWidths(const std::array<int, kListColumns>& widths) {
    sizing_ = true;
    for (int c = 0; c < kListColumns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        // A width too small to grab again counts as not set.
        userWidths_[i] = widths[i] >= header_->minimumSectionSize() ? widths[i] : 0;
        if (userWidths_[i] > 0) table_->setColumnWidth(c, userWidths_[i]);
    }
    sizing_ = false;
    fitColumns();
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
    sortKind = columnSortKind(column);
    direction[column] = direction[column] == 1 ? 0 : 1;

    // The selection is carried over by hand as runs of rows: the selection
    // model's own bookkeeping across a reorder costs far more on big lists.
    QItemSelectionModel* selection = table_->selectionModel();
    std::vector<char> marks = selectionMarks();
    const bool anySelected = std::find(marks.begin(), marks.end(), 1) != marks.end();
    restoring_ = true;
    if (anySelected) selection->clearSelection();
    const std::vector<int> newRowOf = model_->sortRows(column, sortKind, direction[column] == 1);
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
    sorted_ = true;
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
