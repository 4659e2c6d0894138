#include "lossless/output_naming.h"

#include <cstdio>
#include <string>

#include "base/file_util.h"

namespace quill {

fs::path outputPathFor(const fs::path& source, std::string_view suffix) {
    const fs::path folder = source.parent_path();
    // The extension runs from the last dot, even when that dot starts the
    // name: ".jpg" is an extension with an empty base name.
    const std::string name = source.filename().string();
    const std::size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    const std::string base = name.substr(0, dot) + std::string(suffix);
    fs::path candidate = folder / (base + ext);
    for (unsigned long long n = 1; pathExists(candidate); ++n) {
        char counter[32];
        std::snprintf(counter, sizeof counter, "(%02llu)", n);
        candidate = folder / (base + counter + ext);
    }
    return candidate;
}

}  // namespace quill
