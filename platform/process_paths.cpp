#include "platform/process_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace quill {

std::filesystem::path executablePath() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : p;
}

std::filesystem::path userConfigDir() {
    namespace fs = std::filesystem;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && fs::path(xdg).is_absolute()) return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".config";
    return fs::temp_directory_path();
}

bool canCreateFilesIn(const std::filesystem::path& dir) {
    std::error_code ec;
    if (dir.empty() || !std::filesystem::is_directory(dir, ec)) return false;
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

}  // namespace quill
