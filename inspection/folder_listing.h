// Which files of a folder the list shows, and how its rows are ordered.
// A folder is never entered recursively; files that are not readable JPEG
// headers are left out of the rows, and reported with their reason to the
// caller that asks. No user interface here.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/file_result.h"
#include "inspection/jpeg_info.h"

namespace quill {

namespace fs = std::filesystem;
class QuantTableDb;

// True for a name whose extension (from its last dot) is ".jpg" or ".jpeg",
// letters A to Z in any case.
bool hasJpegExtension(std::string_view name);

// Candidate files of dir in the order the file system returns them: regular,
// non-empty files with a JPEG extension; subfolders are skipped. nullopt when
// the folder cannot be searched.
std::optional<std::vector<fs::path>> listCandidates(const fs::path& dir);

// The list's text order: bytes compared by character value with only A-Z
// folded to lower case; UTF-8 is compared in UTF-16 code-unit order, as the
// list control does. Negative, zero or positive.
int compareListText(std::string_view a, std::string_view b);

// The number a cell reads as: a leading decimal number, 0 when there is none.
double listNumber(std::string_view text);

// How a column's cells compare.
enum class SortKind {
    Text,    // compareListText
    Number,  // listNumber
    Value,   // listValue: byte sizes, pixel sizes, densities
};

// "深度", "COM" and "その他" sort as numbers; the size, pixel-size, block
// and density columns by value; every other column as text.
SortKind columnSortKind(int column);

// The value of a size-like cell: its first two numbers, digit-group commas
// skipped, so "12,000" is (12000, 0) and "6000 x 4000" is (6000, 4000).
// Missing numbers are 0.
struct ListValue {
    std::uint64_t first = 0, second = 0;
    bool operator==(const ListValue&) const = default;
    bool operator<(const ListValue& o) const { return first != o.first ? first < o.first : second < o.second; }
};
ListValue listValue(std::string_view text);

// The list's one sort: the old index of the row at each new place, given
// one column's cells compared as kind says. Texts and values equal under
// that order go by their bytes, numbers by index, then rows by index, so
// every caller (the window, the CLI) gets the same order for the same rows.
std::vector<int> listSortOrder(std::span<const std::string_view> cells, SortKind kind,
                               bool descending);

struct FolderScanOptions {
    // When set, every candidate gets this time as access and modification
    // time before it is read, and the folder too after the scan. Failures
    // are ignored.
    std::optional<std::timespec> timestamp;
    // Worker threads for the header reads; 0 picks one per core (at most 4).
    int threads = 0;
};

// A file with a JPEG name that the scan could not list, and why (as
// ScanJpeg says).
struct UnreadableFile {
    fs::path path;
    FileResult why;
};

// Rows of every listed file of dir in file-system order, using db; the
// files left out go to unreadable when given. nullopt when the folder
// cannot be searched.
std::optional<std::vector<JpegInfo>> scanFolderRows(const fs::path& dir,
                                                    const QuantTableDb& db,
                                                    const FolderScanOptions& options = {},
                                                    std::vector<UnreadableFile>* unreadable = nullptr);

// A whole folder scan as the list shows it after choosing a folder: one
// database for the scan, rows sorted ascending by file name.
std::optional<std::vector<JpegInfo>> listFolderByName(const fs::path& dir,
                                                      const FolderScanOptions& options = {});

}  // namespace quill
