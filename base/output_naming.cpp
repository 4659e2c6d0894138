#include "base/output_naming.h"

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

// The n-th name of the scheme: the plain one, then the counters from 1.
fs::path nameAt(const NameParts& p, unsigned long long n) {
    if (n == 0) return p.folder / (p.base + p.extension);
    char counter[32];
    std::snprintf(counter, sizeof counter, "(%02llu)", n);
    return p.folder / (p.base + counter + p.extension);
}

}  // namespace

fs::path plainOutputPath(const fs::path& source, std::string_view suffix,
                         std::optional<std::string_view> extension) {
    return nameAt(partsOf(source, suffix, extension), 0);
}

fs::path outputPathFor(const fs::path& source, std::string_view suffix,
                       std::optional<std::string_view> extension) {
    const NameParts p = partsOf(source, suffix, extension);
    unsigned long long n = 0;
    while (pathExists(nameAt(p, n))) ++n;
    return nameAt(p, n);
}

FileResult placeUnderFreeName(StagedFile& file, const fs::path& source, std::string_view suffix,
                              std::optional<std::string_view> extension, fs::path* placed) {
    const NameParts p = partsOf(source, suffix, extension);
    return file.commitFirstFree([&p](unsigned long long n) { return nameAt(p, n); }, placed);
}

}  // namespace quill
