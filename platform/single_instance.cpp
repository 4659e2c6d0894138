#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/process_paths.h"

namespace quill {

SingleInstance::SingleInstance(std::filesystem::path lockFile)
    : path_(lockFile.empty() ? defaultLockFile() : std::move(lockFile)) {}

SingleInstance::~SingleInstance() { release(); }

std::filesystem::path SingleInstance::defaultLockFile() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        std::error_code ec;
        if (std::filesystem::is_directory(runtime, ec)) return std::filesystem::path(runtime) / "quillmark.lock";
    }
    return userConfigDir() / "quillmark" / "quillmark.lock";
}

bool SingleInstance::acquire() {
    if (fd_ >= 0) return true;
    std::error_code ec;
    if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
    // Close-on-exec: a viewer started by us must not inherit the lock and
    // keep later starts out after we quit.
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        fd_ = fd;
        return true;
    }
    bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
}

void SingleInstance::release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace quill
