// StagedFile: the one way we write a file. Bytes go to a short hidden
// temporary beside the target, created with O_EXCL and mode 0666 so the
// umask applies as to any new file, and take the target's name only when
// complete: by a rename that never replaces, or by one atomic rename over
// the old file once the data is on disk. A failure leaves nothing behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>

#include "base/file_result.h"

namespace quill {

enum class Placement {
    New,      // fails (Exists) when something has the target's name
    Replace,  // atomic; the new file keeps the permission bits of the old
};

class StagedFile {
public:
    // Creates the temporary; status() says whether that worked.
    explicit StagedFile(const std::filesystem::path& target);
    ~StagedFile();  // removes the temporary unless committed
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Success until creating or writing failed; then the reason.
    const FileResult& status() const { return status_; }
    // The temporary as a stdio stream (libjpeg's stdio destination writes
    // here); null when creation failed.
    std::FILE* stream() const { return file_; }
    bool write(std::span<const std::uint8_t> bytes);
    // The file takes this modification time before it gets its name, so it
    // never shows under the target with another one.
    void keepModifiedTime(const std::timespec& modified) { modified_ = modified; }

    // Moves the finished file to the target. A replacing move flushes the
    // data before the rename and the folder after it, so a power loss leaves
    // the old or the new content there, never an empty file. A new name
    // replaces nothing and is not flushed: at worst it comes back empty
    // beside an untouched source.
    FileResult commit(Placement placement);
    // A new name that is claimed as it is taken: tries nameFor(0), nameFor(1),
    // … and moves to the first that nothing has, by a rename that never
    // replaces, so a name taken meanwhile (by another worker) just moves it
    // on. *placed receives the name.
    FileResult commitFirstFree(const std::function<std::filesystem::path(unsigned long long n)>& nameFor,
                               std::filesystem::path* placed);

private:
    FileResult fail(int error);
    bool closeWritten(bool replacing);

    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::FILE* file_ = nullptr;
    FileResult status_;
    std::optional<std::timespec> modified_;
    bool committed_ = false;
};

FileResult writeStaged(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                       Placement placement, const std::optional<std::timespec>& modified = std::nullopt);

// Removes the hidden temporaries a killed or crashed run of ours left in
// `folder`: names StagedFile makes (".<head>.<8 hex digits>.tmp"), regular
// files of our own user, unchanged for `minAgeSeconds`. A live temporary is
// written and renamed within seconds, so an hour-old one is abandoned.
// StagedFile calls this once per folder and process, before its first
// temporary there. Returns how many it removed.
int removeStaleTemporaries(const std::filesystem::path& folder, long minAgeSeconds = 3600);

// Puts the complete file `replacement` in place of `target` with permission
// bits `mode`, flushed as StagedFile's replacing move is.
FileResult replaceFile(const std::filesystem::path& replacement,
                       const std::filesystem::path& target, unsigned mode);

}  // namespace quill
