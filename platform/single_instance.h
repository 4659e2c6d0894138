// One running copy per user: the first start holds an advisory lock on a
// file; later starts see it held and leave. The system drops the lock when
// the holder dies, so a crash never locks the program out.
#pragma once

#include <filesystem>

namespace quill {

class SingleInstance {
public:
    // lockFile empty: defaultLockFile().
    explicit SingleInstance(std::filesystem::path lockFile = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the only one running (or the lock file cannot
    // be made at all: refusing to start would be worse). Holds the lock until
    // release() or destruction.
    bool acquire();
    void release();

    // $XDG_RUNTIME_DIR/quillmark.lock, else <config folder>/quillmark/quillmark.lock.
    static std::filesystem::path defaultLockFile();

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace quill
