#include "base/output_naming.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/file_util.h"

namespace quill {
namespace {

struct NameParts {
    fs::path folder;
    std::string base;  // base name and suffix
    std::string extension;
};

NameParts partsOf(const fs::path& source, std::string_view suffix,
                  std::optional<std::string_view> extension) {
    const std::string name = source.filename().string();
    const std::size_t dot = name.rfind('.');
    NameParts parts{source.parent_path(), name.substr(0, dot) + std::string(suffix), {}};
    if (extension)
        parts.extension = *extension;
    else if (dot != std::string::npos)
        parts.extension = name.substr(dot);
    return parts;
}

fs::path counted(const NameParts& p, const char* format, unsigned long long n) {
    char counter[32];
    std::snprintf(counter, sizeof counter, format, n);
    return p.folder / (p.base + counter + p.extension);
}

}  // namespace

fs::path plainOutputPath(const fs::path& source, std::string_view suffix,
                         std::optional<std::string_view> extension) {
    const NameParts p = partsOf(source, suffix, extension);
    return p.folder / (p.base + p.extension);
}

fs::path outputPathFor(const fs::path& source, std::string_view suffix,
                       std::optional<std::string_view> extension) {
    const NameParts p = partsOf(source, suffix, extension);
    fs::path candidate = p.folder / (p.base + p.extension);
    for (unsigned long long n = 1; pathExists(candidate); ++n) candidate = counted(p, "(%02llu)", n);
    return candidate;
}

std::optional<fs::path> renameToFreeName(const fs::path& from, const fs::path& target) {
    const NameParts p = partsOf(target, {}, std::nullopt);
    return renameToFirstFree(from, [&](unsigned long long n) { return n ? counted(p, "[%02llu]", n) : target; });
}

FileResult placeUnderFreeName(StagedFile& file, const fs::path& source, std::string_view suffix,
                              std::optional<std::string_view> extension, fs::path* placed) {
    const NameParts p = partsOf(source, suffix, extension);
    return file.commitFirstFree(
        [&p](unsigned long long n) { return n ? counted(p, "(%02llu)", n) : p.folder / (p.base + p.extension); },
        placed);
}

}  // namespace quill
