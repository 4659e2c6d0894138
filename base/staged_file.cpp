#include "base/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

#include "base/file_util.h"

namespace quill {
namespace fs = std::filesystem;
namespace {

// Short, so any target name leaves room for it; hidden and not ".jpg", so
// the folder list never shows it. A head of the target's name says whose it is.
std::string temporaryName(const std::string& targetName, unsigned salt) {
    std::size_t cut = std::min<std::size_t>(targetName.size(), 24);
    while (cut > 0 && cut < targetName.size() &&
           (static_cast<unsigned char>(targetName[cut]) & 0xC0) == 0x80)
        --cut;
    char tail[16];
    std::snprintf(tail, sizeof tail, ".%08x.tmp", salt);
    std::string name = ".";
    name += targetName.substr(0, cut);
    name += tail;
    return name;
}

unsigned nextSalt() {
    static std::atomic<unsigned> counter{0};
    std::timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned x =
        counter.fetch_add(1) * 0x9E3779B1u ^ unsigned(::getpid()) << 16 ^ unsigned(now.tv_nsec);
    x ^= x >> 15;
    return x * 0x2C1B3C6Du;
}

fs::path folderOf(const fs::path& p) {
    return p.has_parent_path() ? p.parent_path() : fs::path(".");
}

std::size_t nameLimit(const fs::path& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? std::size_t(limit) : 255;
}

// A failed folder flush (some file systems refuse fsync on folders) leaves
// the rename done; it is not a failure of the write.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The shape temporaryName gives: ".", a head of 1 to 24 bytes, ".", eight
// lower-case hex digits, ".tmp".
bool looksLikeOurTemporary(const std::string& name) {
    constexpr std::size_t kTail = 1 + 8 + 4;
    if (name.size() < 1 + 1 + kTail || name.size() > 1 + 24 + kTail || name[0] != '.') return false;
    const std::size_t dot = name.size() - kTail;
    if (name[dot] != '.' || name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
    for (std::size_t i = dot + 1; i < dot + 9; ++i)
        if (!isHex(name[i])) return false;
    return true;
}

// Once per folder and process: a long-running window writes into the same
// folders again and again.
void sweepOnce(const fs::path& folder) {
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        const std::lock_guard lock(mutex);
        if (!swept.insert(folder.lexically_normal().string()).second) return;
    }
    removeStaleTemporaries(folder);
}

}  // namespace

int removeStaleTemporaries(const fs::path& folder, long minAgeSeconds) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return 0;
    const std::time_t cutoff = std::time(nullptr) - minAgeSeconds;
    int removed = 0;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::path& path = it->path();
        if (!looksLikeOurTemporary(path.filename().string())) continue;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            st.st_mtime > cutoff)
            continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

StagedFile::StagedFile(const fs::path& target) : target_(target) {
    const fs::path folder = folderOf(target);
    sweepOnce(folder);
    const std::string name = target.filename().string();
    // Known before any work: the rename at the end could never succeed.
    if (name.size() > nameLimit(folder)) {
        status_ = FileResult::fail(FailReason::NameTooLong, target.string());
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = folder / temporaryName(name, nextSalt());
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            fail(errno);
            return;
        }
        file_ = ::fdopen(fd, "wb");
        if (!file_) {
            fail(errno);
            ::close(fd);
            ::unlink(candidate.c_str());
            return;
        }
        temp_ = std::move(candidate);
        return;
    }
    fail(EEXIST);
}

StagedFile::~StagedFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

FileResult StagedFile::fail(int error) {
    if (status_.ok()) status_ = failureFromErrno(error, target_.string());
    return status_;
}

bool StagedFile::write(std::span<const std::uint8_t> bytes) {
    if (!file_ || !status_.ok()) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail(errno);
    return status_.ok();
}

// Flushes and closes the temporary; a replacement gets the old file's
// permission bits and reaches the disk first.
bool StagedFile::closeWritten(bool replacing) {
    if (!file_ || !status_.ok()) return false;
    std::FILE* f = file_;
    file_ = nullptr;
    const int fd = ::fileno(f);
    bool written = std::fflush(f) == 0 && !std::ferror(f);
    int error = errno;
    if (written && replacing) {
        struct stat old {};
        if (::stat(target_.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 0777);
        written = ::fsync(fd) == 0;
        error = errno;
    }
    if (written && modified_) {
        // Best effort: the content is what matters, and it is complete.
        const std::timespec times[2] = {{0, UTIME_OMIT}, *modified_};
        ::futimens(fd, times);
    }
    if (std::fclose(f) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) fail(error ? error : EIO);
    return written;
}

FileResult StagedFile::commit(Placement placement) {
    if (!closeWritten(placement == Placement::Replace)) return status_;
    if (placement == Placement::Replace) {
        if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail(errno);
        committed_ = true;
        syncFolder(folderOf(target_));
    } else {
        if (!renameNoReplace(temp_, target_)) return fail(errno);
        committed_ = true;
    }
    return status_;
}

FileResult StagedFile::commitFirstFree(const std::function<fs::path(unsigned long long)>& nameFor,
                                       fs::path* placed) {
    if (!closeWritten(false)) return status_;
    std::optional<fs::path> name = renameToFirstFree(temp_, nameFor);
    if (!name) return fail(errno);
    committed_ = true;
    target_ = std::move(*name);
    if (placed) *placed = target_;
    return status_;
}

FileResult writeStaged(const fs::path& target, std::span<const std::uint8_t> bytes,
                       Placement placement, const std::optional<std::timespec>& modified) {
    StagedFile file(target);
    if (modified) file.keepModifiedTime(*modified);
    if (!file.write(bytes)) return file.status();
    return file.commit(placement);
}

FileResult replaceFile(const fs::path& replacement, const fs::path& target, unsigned mode) {
    const int fd = ::open(replacement.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failureFromErrno(errno, replacement.string());
    const bool ready = ::fchmod(fd, mode & 0777) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!ready) return failureFromErrno(error, replacement.string());
    if (::rename(replacement.c_str(), target.c_str()) != 0)
        return failureFromErrno(errno, target.string());
    syncFolder(folderOf(target));
    return {};
}

}  // namespace quill
