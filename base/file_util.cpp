#include "base/file_util.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quill {

FilePtr openFile(const fs::path& path, const char* mode) {
    return FilePtr(std::fopen(path.c_str(), mode));
}

std::optional<FileStatus> statFile(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    FileStatus s;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modified = st.st_mtim;
    s.accessed = st.st_atim;
    s.regular = S_ISREG(st.st_mode);
    s.writable = (st.st_mode & S_IWUSR) != 0;
    return s;
}

std::string formatLocalTime(const std::timespec& t) {
    std::tm tm{};
    std::time_t secs = t.tv_sec;
    if (!localtime_r(&secs, &tm)) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path, std::uint64_t maxBytes) {
    FilePtr f = openFile(path, "rb");
    if (!f) return std::nullopt;
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[65536];
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        if (n == 0) break;
        if (data.size() + n > maxBytes) return std::nullopt;
        data.insert(data.end(), chunk, chunk + n);
    }
    if (std::ferror(f.get())) return std::nullopt;
    return data;
}

bool pathExists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool renameNoReplace(const fs::path& from, const fs::path& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // Filesystems without renameat2 flags: link() fails on an existing name.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool removeFile(const fs::path& path) { return ::unlink(path.c_str()) == 0; }

bool makeWritable(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR | S_IWUSR) == 0;
}

bool setFileTimes(const fs::path& path, const std::timespec& accessed,
                  const std::timespec& modified) {
    const std::timespec times[2] = {accessed, modified};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace quill
