// A small reader and writer for the sectioned "key=value" settings file:
// case-insensitive names, first match wins, struct values as hex bytes with a
// trailing checksum byte. UTF-8 text; UTF-16 with a byte-order mark is read
// too. Comments and layout of rewritten sections are not preserved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

namespace fs = std::filesystem;

struct IniEntry {
    std::string key;
    std::string value;
};

struct IniSection {
    std::string name;
    std::vector<IniEntry> entries;
};

class IniFile {
public:
    // Larger files are treated as unreadable: settings never need this much.
    static constexpr std::uint64_t kMaxFileBytes = 1 << 20;

    // nullopt when the file is missing, unreadable or too large.
    static std::optional<IniFile> load(const fs::path& path);
    static IniFile parse(std::string_view utf8);

    // Trimmed value with one pair of enclosing double quotes removed;
    // nullopt when the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // The section, created at the end when missing.
    IniSection& section(std::string_view name);
    void set(std::string_view section, std::string_view key, std::string value);

    std::string serialize() const;
    // Atomic replace; creates the parent folder when needed.
    bool save(const fs::path& path) const;

    const std::vector<IniSection>& sections() const { return sections_; }

private:
    std::vector<IniSection> sections_;
};

// BOM-aware conversion of a file's bytes to UTF-8 text.
std::string decodeIniText(const std::vector<std::uint8_t>& bytes);

bool equalsIgnoreCase(std::string_view a, std::string_view b);

// A string as a value that reads back unchanged: quoted when it has
// surrounding blanks or quotes. nullopt for text with line breaks, which the
// line-based format cannot hold.
std::optional<std::string> quoteValue(std::string_view text);

// Each byte as two upper-case hex digits, then the low byte of their sum.
std::string encodeStruct(const std::uint8_t* data, std::size_t size);
// False unless text holds exactly size bytes plus a matching checksum.
bool decodeStruct(std::string_view text, std::uint8_t* out, std::size_t size);

// Leading decimal digits as a number, 0 when none or negative, held at
// INT32_MAX when larger.
std::int32_t parseProfileInt(std::string_view text);

}  // namespace quill
