// The rows of the file list: 33 texts per file, stored once as UTF-8 in one
// buffer per row, and the reordering by one column. Knows nothing of files:
// the folder scan appends rows, the view shows them.
#pragma once

#include "inspection/folder_listing.h"
#include "inspection/jpeg_info.h"

#include <QAbstractTableModel>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

constexpr int kListColumns = kColumnCount;

// Alignment of a column's cells and header.
Qt::Alignment columnAlignment(int column);

// A file name as the list shows it. Rows keep the name's bytes exactly as
// the folder gave them, so the file commands and the preview reach the file
// whatever its encoding. The text is the UTF-8 reading, else the Shift_JIS
// one, else UTF-8 with replacement characters.
QString displayName(std::string_view nameBytes);
// A path for messages: each part read as displayName reads a name.
QString displayPath(const std::filesystem::path& path);

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows can be dragged: the window offers the current file.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void clear();
    // Appends one row; its item parameter is the row count before the call.
    void appendRow(const JpegInfo& info);
    // Appends many rows with one notification.
    void appendRows(const std::vector<JpegInfo>& rows);

    // The stored text; column 0 holds the file name's exact bytes.
    std::string_view cell(int row, int column) const;
    // The text shown (column 0 through displayName).
    QString cellText(int row, int column) const;
    int itemParam(int row) const;

    // Reorders the rows by one column in the list's order (listSortOrder).
    // Persistent indexes follow their rows. Returns the new row of each old
    // row (empty when nothing moved).
    std::vector<int> sortRows(int column, SortKind kind, bool descending);

private:
    struct Row {
        int param = 0;
        std::string text;  // the 33 cells back to back
        std::array<std::uint32_t, kListColumns + 1> offsets{};
        std::string_view cell(int c) const {
            return std::string_view(text).substr(offsets[c], offsets[c + 1] - offsets[c]);
        }
    };
    static Row makeRow(int param, const JpegInfo& info);

    std::vector<Row> rows_;
};

}  // namespace quill
