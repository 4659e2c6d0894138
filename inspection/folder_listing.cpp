// The candidate rules of a folder scan, the list's comparisons, and a whole
// scan of one folder. Header reads run on a few threads: the database is
// only read, and each ScanJpeg owns its own library objects.
#include "inspection/folder_listing.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <system_error>
#include <thread>

#include "base/file_util.h"
#include "base/utf8.h"
#include "inspection/quant_table_db.h"

namespace quill {
namespace {

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Next character of UTF-8 text as a key ordered like UTF-16 code units:
// characters above the surrogate range sort after supplementary ones.
std::uint32_t nextKey(std::string_view s, std::size_t& i) {
    const std::uint32_t cp = nextCodePoint(s, i);
    if (cp < 0x80) return static_cast<unsigned char>(foldAscii(char(cp)));
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

SortKind columnSortKind(int column) {
    switch (column) {
    case kColDepth:
    case kColCom:
    case kColOther:
        return SortKind::Number;
    case kColSize:
    case kColImageSize:
    case kColRegularSize:
    case kColBlockUnit:
    case kColXDensity:
    case kColYDensity:
        return SortKind::Value;
    default:
        return SortKind::Text;
    }
}

ListValue listValue(std::string_view text) {
    std::uint64_t numbers[2] = {0, 0};
    std::size_t i = 0;
    for (std::uint64_t& n : numbers) {
        while (i < text.size() && !isDigit(text[i])) ++i;
        if (i == text.size()) break;
        // A comma counts only between digits; the value saturates rather
        // than wrapping on an absurd run of digits.
        for (; i < text.size(); ++i) {
            if (isDigit(text[i])) {
                const unsigned d = unsigned(text[i] - '0');
                n = n > (UINT64_MAX - d) / 10 ? UINT64_MAX : n * 10 + d;
            } else if (!(text[i] == ',' && i + 1 < text.size() && isDigit(text[i + 1]))) {
                break;
            }
        }
    }
    return {numbers[0], numbers[1]};
}

namespace {

// Text keys: the first eight bytes, folded and packed big-endian, decide
// most comparisons without touching the texts, which sit together in one
// buffer so that the rest stays cache-friendly.
struct TextKey {
    std::uint64_t prefix;
    std::uint32_t offset;
    std::uint32_t length;
    int row;
};

std::uint64_t foldedPrefix(std::string_view text) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const char c = i < text.size() ? foldAscii(text[i]) : '\0';
        prefix = (prefix << 8) | static_cast<unsigned char>(c);
    }
    return prefix;
}

// The prefixes decide when their first differing byte pair is ordered the
// same by bytes and by the list's character order: an ASCII byte (or the end
// of the text) against ASCII or a lead byte. Anything else, and equal
// prefixes, go to the full comparison, then to the bytes.
int compareKeys(const TextKey& a, const TextKey& b, std::string_view texts) {
    if (a.prefix != b.prefix) {
        const int shift = 56 - (std::countl_zero(a.prefix ^ b.prefix) / 8) * 8;
        const unsigned x = static_cast<unsigned>(a.prefix >> shift) & 0xFF;
        const unsigned y = static_cast<unsigned>(b.prefix >> shift) & 0xFF;
        if ((x < 0x80 && (y < 0x80 || y >= 0xC0)) || (y < 0x80 && x >= 0xC0)) return x < y ? -1 : 1;
    }
    const std::string_view ta = texts.substr(a.offset, a.length), tb = texts.substr(b.offset, b.length);
    const int r = compareListText(ta, tb);
    return r != 0 ? r : ta.compare(tb);
}

}  // namespace

std::vector<int> listSortOrder(std::span<const std::string_view> cells, SortKind kind,
                               bool descending) {
    const std::size_t n = cells.size();
    std::vector<int> order(n);
    if (kind == SortKind::Text) {
        std::string texts;
        std::vector<TextKey> keys(n);
        for (std::size_t i = 0; i < n; ++i) {
            keys[i] = {foldedPrefix(cells[i]), static_cast<std::uint32_t>(texts.size()),
                       static_cast<std::uint32_t>(cells[i].size()), static_cast<int>(i)};
            texts += cells[i];
        }
        std::sort(keys.begin(), keys.end(), [&](const TextKey& a, const TextKey& b) {
            const int r = compareKeys(a, b, texts);
            if (r != 0) return descending ? r > 0 : r < 0;
            return a.row < b.row;
        });
        for (std::size_t i = 0; i < n; ++i) order[i] = keys[i].row;
    } else if (kind == SortKind::Value) {
        std::vector<std::pair<ListValue, int>> keys(n);
        for (std::size_t i = 0; i < n; ++i) keys[i] = {listValue(cells[i]), static_cast<int>(i)};
        std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
            if (a.first != b.first) return descending ? b.first < a.first : a.first < b.first;
            const int r = cells[std::size_t(a.second)].compare(cells[std::size_t(b.second)]);
            if (r != 0) return descending ? r > 0 : r < 0;
            return a.second < b.second;
        });
        for (std::size_t i = 0; i < n; ++i) order[i] = keys[i].second;
    } else {
        std::vector<std::pair<double, int>> keys(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double v = listNumber(cells[i]);
            // NaN would break the strict ordering the sort relies on.
            keys[i] = {std::isnan(v) ? 0.0 : v, static_cast<int>(i)};
        }
        std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
            if (a.first != b.first) return descending ? a.first > b.first : a.first < b.first;
            return a.second < b.second;
        });
        for (std::size_t i = 0; i < n; ++i) order[i] = keys[i].second;
    }
    return order;
}

std::optional<std::vector<JpegInfo>> scanFolderRows(const fs::path& dir, const QuantTableDb& db,
                                                    const FolderScanOptions& options,
                                                    std::vector<UnreadableFile>* unreadable) {
    // ScanJpeg itself refuses empty and non-regular files, so the size is
    // looked at here only before changing times.
    std::optional<std::vector<fs::path>> candidates = jpegNamedFiles(dir);
    if (!candidates) return std::nullopt;
    const std::vector<fs::path>& files = *candidates;

    std::vector<JpegInfo> rows(files.size());
    std::vector<char> listed(files.size(), 0);
    std::vector<FileResult> whys(unreadable ? files.size() : 0);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            // Times first, so the row shows them; a failure does not stop the read.
            if (options.timestamp && nonEmptyRegularFile(files[i]))
                setFileTimes(files[i], *options.timestamp, *options.timestamp);
            try {
                listed[i] = db.ScanJpeg(files[i], rows[i], unreadable ? &whys[i] : nullptr);
            } catch (const std::exception&) {
                listed[i] = 0;  // out of memory for one row: leave the file out
                if (unreadable) whys[i] = FileResult::fail(FailReason::Other, "out of memory");
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
        if (!listed[i]) {
            if (unreadable) unreadable->push_back({files[i], std::move(whys[i])});
            continue;
        }
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
    std::vector<std::string_view> names;
    names.reserve(rows->size());
    for (const JpegInfo& row : *rows) names.push_back(row.fields[kColName]);
    const std::vector<int> order = listSortOrder(names, SortKind::Text, false);
    std::vector<JpegInfo> sorted;
    sorted.reserve(rows->size());
    for (int i : order) sorted.push_back(std::move((*rows)[static_cast<std::size_t>(i)]));
    *rows = std::move(sorted);
    return rows;
}

}  // namespace quill
