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

bool renameReplace(const fs::path& from, const fs::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
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

std::optional<TempFile> TempFile::createNear(const fs::path& near) {
    fs::path dir = near.parent_path();
    // Built by appends: GCC 12 warns falsely (-Wrestrict) on "." + string.
    // Only a head of the name is kept, cut on a UTF-8 character boundary:
    // "." + name + ".XXXXXX" must itself fit in 255 bytes.
    std::string base = near.filename().string();
    constexpr std::size_t kKeep = 200;
    if (base.size() > kKeep) {
        std::size_t cut = kKeep;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }
    std::string name = ".";
    name += base;
    name += ".XXXXXX";
    std::string pattern = (dir / name).string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return std::nullopt;
    ::close(fd);
    return TempFile(fs::path(pattern));
}

TempFile::TempFile(TempFile&& other) noexcept : path_(std::move(other.path_)), owned_(other.owned_) {
    other.owned_ = false;
}

TempFile::~TempFile() {
    if (owned_) ::unlink(path_.c_str());
}

bool TempFile::commitNew(const fs::path& to) {
    if (!owned_ || !renameNoReplace(path_, to)) return false;
    owned_ = false;
    return true;
}

bool TempFile::commitReplace(const fs::path& to) {
    if (!owned_ || !renameReplace(path_, to)) return false;
    owned_ = false;
    return true;
}

bool writeFileInPlace(const fs::path& to, const std::uint8_t* data, std::size_t size,
                      bool replace) {
    auto temp = TempFile::createNear(to);
    if (!temp) return false;
    {
        FilePtr f = openFile(temp->path(), "wb");
        if (!f) return false;
        if (size && std::fwrite(data, 1, size, f.get()) != size) return false;
        if (std::fflush(f.get()) != 0) return false;
    }
    // mkstemp creates 0600; give the new file the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temp->path().c_str(), 0666 & ~mask);
    return replace ? temp->commitReplace(to) : temp->commitNew(to);
}

}  // namespace quill
