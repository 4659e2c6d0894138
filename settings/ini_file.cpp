#include "settings/ini_file.h"

#include "base/file_util.h"
#include "base/staged_file.h"
#include "base/utf8.h"

#include <unistd.h>

#include <cstdint>
#include <system_error>

namespace quill {

namespace {

std::string_view trim(std::string_view s) {
    const char* ws = " \t\r\n\f\v";
    std::size_t b = s.find_first_not_of(ws);
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string utf16ToUtf8(const std::vector<std::uint8_t>& bytes, bool bigEndian) {
    std::string out;
    std::size_t units = (bytes.size() - 2) / 2;  // after the BOM; a stray odd byte is dropped
    out.reserve(units);
    auto unitAt = [&](std::size_t i) -> std::uint32_t {
        std::uint8_t a = bytes[2 + 2 * i], b = bytes[3 + 2 * i];
        return bigEndian ? (std::uint32_t(a) << 8 | b) : (std::uint32_t(b) << 8 | a);
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            std::uint32_t lo = unitAt(i + 1);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = kReplacementChar;  // unpaired surrogate
        appendUtf8(out, u);
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::string decodeIniText(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return utf16ToUtf8(bytes, false);
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return utf16ToUtf8(bytes, true);
    std::size_t skip = (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
    return std::string(bytes.begin() + std::ptrdiff_t(skip), bytes.end());
}

std::optional<IniFile> IniFile::load(const fs::path& path) {
    auto bytes = readFile(path, kMaxFileBytes);
    if (!bytes) return std::nullopt;
    return parse(decodeIniText(*bytes));
}

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    IniSection* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            std::string_view name = trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            ini.sections_.push_back(IniSection{std::string(name), {}});
            current = &ini.sections_.back();
            continue;
        }
        if (!current) continue;  // keys before any section belong to none
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        current->entries.push_back(
            IniEntry{std::string(trim(line.substr(0, eq))), std::string(trim(line.substr(eq + 1)))});
    }
    return ini;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    for (const IniSection& s : sections_) {
        if (!equalsIgnoreCase(s.name, section)) continue;
        for (const IniEntry& e : s.entries) {
            if (!equalsIgnoreCase(e.key, key)) continue;
            std::string_view v = e.value;
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            return std::string(v);
        }
    }
    return std::nullopt;
}

std::optional<std::string> quoteValue(std::string_view text) {
    if (text.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
    bool needsQuotes = !text.empty() && (trim(text).size() != text.size() ||
                                         (text.size() >= 2 && text.front() == '"' && text.back() == '"'));
    if (!needsQuotes) return std::string(text);
    return '"' + std::string(text) + '"';
}

IniSection& IniFile::section(std::string_view name) {
    for (IniSection& s : sections_)
        if (equalsIgnoreCase(s.name, name)) return s;
    sections_.push_back(IniSection{std::string(name), {}});
    return sections_.back();
}

void IniFile::set(std::string_view sectionName, std::string_view key, std::string value) {
    IniSection& s = section(sectionName);
    for (IniEntry& e : s.entries) {
        if (equalsIgnoreCase(e.key, key)) {
            e.value = std::move(value);
            return;
        }
    }
    s.entries.push_back(IniEntry{std::string(key), std::move(value)});
}

std::string IniFile::serialize() const {
    std::string out;
    for (const IniSection& s : sections_) {
        out += '[';
        out += s.name;
        out += "]\n";
        for (const IniEntry& e : s.entries) {
            out += e.key;
            out += '=';
            out += e.value;
            out += '\n';
        }
    }
    return out;
}

bool IniFile::save(const fs::path& path) const {
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    std::string text = serialize();
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    if (writeStaged(path, {data, text.size()}, Placement::Replace)) return true;
    // A writable file in a folder that takes no new files (no room for the
    // temporary): rewriting it in place beats losing the settings.
    std::optional<FileStatus> st = statFile(path);
    if (!st || !st->regular) return false;
    FilePtr f = openFile(path, "r+b");
    if (!f) return false;
    bool ok = (text.empty() || std::fwrite(data, 1, text.size(), f.get()) == text.size()) &&
              std::fflush(f.get()) == 0 && ::ftruncate(::fileno(f.get()), ::off_t(text.size())) == 0;
    return ok;
}

std::string encodeStruct(const std::uint8_t* data, std::size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * size + 2);
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
        sum += data[i];
    }
    out += digits[(sum >> 4) & 15];
    out += digits[sum & 15];
    return out;
}

bool decodeStruct(std::string_view text, std::uint8_t* out, std::size_t size) {
    if (text.size() != 2 * size + 2) return false;
    std::vector<std::uint8_t> bytes(size + 1);
    for (std::size_t i = 0; i <= size; ++i) {
        int hi = hexValue(text[2 * i]), lo = hexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = std::uint8_t(hi << 4 | lo);
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += bytes[i];
    if (std::uint8_t(sum) != bytes[size]) return false;
    std::copy(bytes.begin(), bytes.begin() + std::ptrdiff_t(size), out);
    return true;
}

std::int32_t parseProfileInt(std::string_view text) {
    text = trim(text);
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > INT32_MAX) v = INT32_MAX;
    }
    return negative ? 0 : std::int32_t(v);
}

}  // namespace quill
