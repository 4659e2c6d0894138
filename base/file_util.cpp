#include "base/file_util.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

namespace {

struct Fd {
    explicit Fd(const fs::path& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int fd;
};

// Fills buf unless the file ends first; the count read, or -1 on an error.
ssize_t readFull(int fd, std::uint8_t* buf, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buf + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

}  // namespace

bool duplicateFiles(const fs::path& a, const fs::path& b) {
    // Non-blocking opens: a FIFO named like a photo cannot hang us.
    const Fd fa(a), fb(b);
    struct stat sa {}, sb {};
    if (fa.fd < 0 || fb.fd < 0 || ::fstat(fa.fd, &sa) != 0 || ::fstat(fb.fd, &sb) != 0) return false;
    if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) return false;
    // One file under two names (a hard link, a symbolic link beside its
    // target): deleting one name could take the only copy with it.
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return false;
    constexpr std::size_t kChunk = 1 << 16;
    std::vector<std::uint8_t> bufA(kChunk), bufB(kChunk);
    for (;;) {
        const ssize_t na = readFull(fa.fd, bufA.data(), kChunk);
        const ssize_t nb = readFull(fb.fd, bufB.data(), kChunk);
        if (na < 0 || nb < 0 || na != nb) return false;
        if (na == 0) return true;
        if (std::memcmp(bufA.data(), bufB.data(), static_cast<std::size_t>(na)) != 0) return false;
    }
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

std::optional<fs::path> renameToFirstFree(const fs::path& from,
                                          const std::function<fs::path(unsigned long long n)>& nameFor) {
    for (unsigned long long n = 0;; ++n) {
        fs::path candidate = nameFor(n);
        if (pathExists(candidate)) continue;
        if (renameNoReplace(from, candidate)) return candidate;
        if (errno != EEXIST) return std::nullopt;
    }
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
