#include "lossless/output_naming.h"

#include <cstdio>
#include <string>

#include "base/file_util.h"

namespace quill {

fs::path outputPathFor(const fs::path& source, std::string_view suffix) {
    const fs::path folder = source.parent_path();
    const std::string base = source.stem().string() + std::string(suffix);
    const std::string ext = source.extension().string();
    fs::path candidate = folder / (base + ext);
    for (unsigned long long n = 1; pathExists(candidate); ++n) {
        char counter[32];
        std::snprintf(counter, sizeof counter, "(%02llu)", n);
        candidate = folder / (base + counter + ext);
    }
    return candidate;
}

}  // namespace quill
