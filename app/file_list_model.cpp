// Row storage and sorting of the file list.
#include "app/file_list_model.h"

#include <QStringDecoder>

namespace quill {

Qt::Alignment columnAlignment(int column) {
    switch (kColumnAligns[static_cast<std::size_t>(column)]) {
    case ColumnAlign::Right:
        return Qt::AlignRight;
    case ColumnAlign::Center:
        return Qt::AlignHCenter;
    case ColumnAlign::Left:
        break;
    }
    return Qt::AlignLeft;
}

QString displayName(std::string_view nameBytes) {
    const QByteArrayView bytes(nameBytes.data(), static_cast<qsizetype>(nameBytes.size()));
    // Stateless: a sequence cut off at the end is an error, not kept for more.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    // Names from Japanese archives often come in Shift_JIS; ASCII names
    // never get here, as they are UTF-8 already.
    QStringDecoder shiftJis("Shift_JIS", QStringDecoder::Flag::Stateless);
    if (shiftJis.isValid()) {
        QString japanese = shiftJis.decode(bytes);
        if (!shiftJis.hasError()) return japanese;
    }
    return text;
}

QString displayPath(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    QString text;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = bytes.find('/', from);
        text += displayName(std::string_view(bytes).substr(from, slash - from));
        if (slash == std::string::npos) return text;
        text += QLatin1Char('/');
        from = slash + 1;
    }
}

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kListColumns; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kListColumns) return {};
    if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(columnAlignment(index.column()) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return index.isValid() ? base | Qt::ItemIsDragEnabled : base;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kListColumns) return {};
    if (role == Qt::DisplayRole) {
        const std::string_view h = kColumnHeaders[static_cast<std::size_t>(section)];
        return QString::fromUtf8(h.data(), static_cast<qsizetype>(h.size()));
    }
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(columnAlignment(section) | Qt::AlignVCenter);
    return {};
}

FileListModel::Row FileListModel::makeRow(int param, const JpegInfo& info) {
    const auto& fields = info.fields;
    Row row;
    row.param = param;
    std::size_t total = 0;
    for (const auto& f : fields) total += f.size();
    row.text.reserve(total);
    for (int c = 0; c < kListColumns; ++c) {
        row.offsets[c] = static_cast<std::uint32_t>(row.text.size());
        row.text += fields[c];
    }
    row.offsets[kListColumns] = static_cast<std::uint32_t>(row.text.size());
    return row;
}

void FileListModel::clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

void FileListModel::appendRow(const JpegInfo& fields) {
    const int n = rowCount();
    beginInsertRows({}, n, n);
    rows_.push_back(makeRow(n, fields));
    endInsertRows();
}

void FileListModel::appendRows(const std::vector<JpegInfo>& rows) {
    if (rows.empty()) return;
    const int n = rowCount();
    beginInsertRows({}, n, n + static_cast<int>(rows.size()) - 1);
    rows_.reserve(rows_.size() + rows.size());
    for (const auto& fields : rows) rows_.push_back(makeRow(static_cast<int>(rows_.size()), fields));
    endInsertRows();
}

std::string_view FileListModel::cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= kListColumns) return {};
    return rows_[static_cast<std::size_t>(row)].cell(column);
}

QString FileListModel::cellText(int row, int column) const {
    const std::string_view text = cell(row, column);
    if (column == kColName) return displayName(text);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int FileListModel::itemParam(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<std::size_t>(row)].param : -1;
}

std::vector<int> FileListModel::sortRows(int column, SortKind kind, bool descending) {
    if (column < 0 || column >= kListColumns || rows_.size() < 2) return {};
    const std::size_t n = rows_.size();
    std::vector<std::string_view> cells(n);
    for (std::size_t i = 0; i < n; ++i) cells[i] = rows_[i].cell(column);
    const std::vector<int> order = listSortOrder(cells, kind, descending);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(n);
    std::vector<int> newRowOf(n);
    for (std::size_t i = 0; i < n; ++i) {
        newRowOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[static_cast<std::size_t>(order[i])]));
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before)
        after.append(index(newRowOf[static_cast<std::size_t>(idx.row())], idx.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return newRowOf;
}

}  // namespace quill
