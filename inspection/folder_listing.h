// Which files of a folder the list shows, and how its rows are ordered.
// A folder is never entered recursively; files that are not readable JPEG
// headers are left out without a word. No user interface here.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

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

// Columns 9, 31 and 32 sort as numbers, every other column as text.
bool columnSortsAsNumber(int column);

// The list's one sort: the old index of the row at each new place, given
// one column's cells, compared as text (compareListText) or as numbers
// (listNumber). Texts equal under the list's order go by their bytes, then
// like cells by index, so every caller (the window, the CLI) gets the same
// order for the same rows.
std::vector<int> listSortOrder(std::span<const std::string_view> cells, bool asText,
                               bool descending);

struct FolderScanOptions {
    // When set, every candidate gets this time as access and modification
    // time before it is read, and the folder too after the scan. Failures
    // are ignored.
    std::optional<std::timespec> timestamp;
    // Worker threads for the header reads; 0 picks one per core (at most 4).
    int threads = 0;
};

// Rows of every listed file of dir in file-system order, using db.
// nullopt when the folder cannot be searched.
std::optional<std::vector<JpegInfo>> scanFolderRows(const fs::path& dir,
                                                    const QuantTableDb& db,
                                                    const FolderScanOptions& options = {});

// A whole folder scan as the list shows it after choosing a folder: one
// database for the scan, rows sorted ascending by file name.
std::optional<std::vector<JpegInfo>> listFolderByName(const fs::path& dir,
                                                      const FolderScanOptions& options = {});

}  // namespace quill
