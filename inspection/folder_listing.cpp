// The candidate rules of a folder scan, the list's comparisons, and a whole
// scan of one folder. Header reads run on a few threads: the database is
// only read, and each ScanJpeg owns its own library objects.
#include "inspection/folder_listing.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <system_error>
#include <thread>

#include "base/file_util.h"
#include "inspection/quant_table_db.h"

namespace quill {
namespace {

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Next character of UTF-8 text as a key ordered like UTF-16 code units:
// characters above the surrogate range sort after supplementary ones.
// Malformed bytes read as U+FFFD, one byte at a time.
std::uint32_t nextKey(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
        cp = static_cast<unsigned char>(foldAscii(char(b)));
    } else {
        const int extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
        if (extra > 0 && i + extra < s.size()) {
            std::uint32_t v = b & (0x3F >> extra);
            bool good = true;
            for (int k = 1; k <= extra; ++k) {
                const auto c = static_cast<unsigned char>(s[i + k]);
                good = good && (c & 0xC0) == 0x80;
                v = (v << 6) | (c & 0x3F);
            }
            constexpr std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
            if (good && v >= minimum[extra] && v <= 0x10FFFF && !(v >= 0xD800 && v < 0xE000)) {
                cp = v;
                len = 1 + extra;
            }
        }
    }
    i += len;
    if (cp >= 0xE000 && cp <= 0xFFFF) return cp + 0x200000;
    return cp;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool hasJpegExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view ext = name.substr(dot);
    auto equalsFolded = [&](std::string_view lower) {
        if (ext.size() != lower.size()) return false;
        for (std::size_t i = 0; i < ext.size(); ++i)
            if (foldAscii(ext[i]) != lower[i]) return false;
        return true;
    };
    return equalsFolded(".jpg") || equalsFolded(".jpeg");
}

namespace {

// Entries with a JPEG extension that are, or lead to, regular files. The
// directory's own type information answers without a stat for plain files.
std::optional<std::vector<fs::path>> jpegNamedFiles(const fs::path& dir) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return std::nullopt;
    std::vector<fs::path> out;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::directory_entry& e = *it;
        if (!hasJpegExtension(e.path().filename().native())) continue;
        std::error_code sec;
        if (!e.is_regular_file(sec) || sec) continue;
        out.push_back(e.path());
    }
    return out;
}

bool nonEmptyRegularFile(const fs::path& path) {
    const std::optional<FileStatus> st = statFile(path);
    return st && st->regular && st->size > 0;
}

}  // namespace

std::optional<std::vector<fs::path>> listCandidates(const fs::path& dir) {
    std::optional<std::vector<fs::path>> files = jpegNamedFiles(dir);
    if (files) std::erase_if(*files, [](const fs::path& p) { return !nonEmptyRegularFile(p); });
    return files;
}

int compareListText(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char ca = a[i], cb = b[j];
        if (static_cast<unsigned char>(ca) < 0x80 && static_cast<unsigned char>(cb) < 0x80) {
            const char fa = foldAscii(ca), fb = foldAscii(cb);
            if (fa != fb) return fa < fb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const std::uint32_t ka = nextKey(a, i), kb = nextKey(b, j);
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

double listNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Only a decimal number counts: no "inf", "nan" or hexadecimal forms.
    if (i >= text.size() || !(isDigit(text[i]) || (text[i] == '.' && i + 1 < text.size() && isDigit(text[i + 1]))))
        return 0.0;
    double value = 0.0;
    std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
    return negative ? -value : value;
}

bool columnSortsAsNumber(int column) { return column == 9 || column == 31 || column == 32; }

int compareListCells(int column, std::string_view a, std::string_view b) {
    if (!columnSortsAsNumber(column)) {
        const int r = compareListText(a, b);
        return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    const double x = listNumber(a), y = listNumber(b);
    return x == y ? 0 : x > y ? 1 : -1;
}

namespace {

// Rows are 33 strings each: sort an index, then move every row once.
template <class Less>
void sortByIndex(std::vector<JpegInfo>& rows, Less less) {
    std::vector<std::uint32_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return less(rows[a], rows[b]); });
    std::vector<JpegInfo> sorted;
    sorted.reserve(rows.size());
    for (std::uint32_t i : order) sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

}  // namespace

void sortRows(std::vector<JpegInfo>& rows, int column, bool descending) {
    if (column < 0 || column >= kColumnCount) return;
    sortByIndex(rows, [&](const JpegInfo& a, const JpegInfo& b) {
        const int r = compareListCells(column, a.fields[column], b.fields[column]);
        return descending ? r > 0 : r < 0;
    });
}

std::optional<std::vector<JpegInfo>> scanFolderRows(const fs::path& dir, const QuantTableDb& db,
                                                    const FolderScanOptions& options) {
    // ScanJpeg itself refuses empty and non-regular files, so the size is
    // looked at here only before changing times.
    std::optional<std::vector<fs::path>> candidates = jpegNamedFiles(dir);
    if (!candidates) return std::nullopt;
    const std::vector<fs::path>& files = *candidates;

    std::vector<JpegInfo> rows(files.size());
    std::vector<char> listed(files.size(), 0);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            // Times first, so the row shows them; a failure does not stop the read.
            if (options.timestamp && nonEmptyRegularFile(files[i]))
                setFileTimes(files[i], *options.timestamp, *options.timestamp);
            try {
                listed[i] = db.ScanJpeg(files[i], rows[i]);
            } catch (const std::exception&) {
                listed[i] = 0;  // out of memory for one row: leave the file out
            }
        }
    };

    unsigned threads = options.threads > 0 ? unsigned(options.threads)
                                           : std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
    threads = std::max<std::size_t>(1, std::min<std::size_t>(threads, files.size() / 32));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads; the rest is done here
        }
    }
    work();
    for (std::thread& t : pool) t.join();

    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!listed[i]) continue;
        if (kept != i) rows[kept] = std::move(rows[i]);
        ++kept;
    }
    rows.resize(kept);

    if (options.timestamp) setFileTimes(dir, *options.timestamp, *options.timestamp);
    return rows;
}

std::optional<std::vector<JpegInfo>> listFolderByName(const fs::path& dir,
                                                      const FolderScanOptions& options) {
    const QuantTableDb db;
    std::optional<std::vector<JpegInfo>> rows = scanFolderRows(dir, db, options);
    if (!rows) return rows;
    // Names equal under the list's order (a.jpg, A.jpg) keep a fixed order.
    sortByIndex(*rows, [](const JpegInfo& a, const JpegInfo& b) {
        const int r = compareListText(a.fields[kColName], b.fields[kColName]);
        return r != 0 ? r < 0 : a.fields[kColName] < b.fields[kColName];
    });
    return rows;
}

}  // namespace quill
