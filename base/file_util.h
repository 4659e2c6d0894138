// File handles, status and times, and the two ways we put a new file in
// place: a rename that never replaces (new names) and an atomic rename over
// (overwrite). Paths are UTF-8 std::filesystem::path throughout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openFile(const fs::path& path, const char* mode);

struct FileStatus {
    std::uint64_t size = 0;
    std::timespec modified{};
    std::timespec accessed{};
    bool regular = false;
    bool writable = false;  // owner write bit
};
std::optional<FileStatus> statFile(const fs::path& path);

// "YYYY/MM/DD hh:mm:ss" in local time.
std::string formatLocalTime(const std::timespec& t);

// Reads at most maxBytes; nullopt when the file cannot be read or is larger.
std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path, std::uint64_t maxBytes);

// True when a file (or anything) exists at path.
bool pathExists(const fs::path& path);

// Renames from -> to, failing (false) when to exists. Never replaces.
bool renameNoReplace(const fs::path& from, const fs::path& to);

// Atomically replaces `to` with `from` (POSIX rename).
bool renameReplace(const fs::path& from, const fs::path& to);

bool removeFile(const fs::path& path);
bool makeWritable(const fs::path& path);
bool setFileTimes(const fs::path& path, const std::timespec& accessed, const std::timespec& modified);

// A new, empty file beside `near` with a name that did not exist before
// (".<stem>.XXXXXX.tmp"), removed on destruction unless released.
class TempFile {
public:
    static std::optional<TempFile> createNear(const fs::path& near);
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&&) = delete;
    ~TempFile();

    const fs::path& path() const { return path_; }
    // Moves the file to `to` without replacing anything there.
    bool commitNew(const fs::path& to);
    // Moves the file over `to`, atomically replacing it.
    bool commitReplace(const fs::path& to);

private:
    explicit TempFile(fs::path p) : path_(std::move(p)) {}
    fs::path path_;
    bool owned_ = true;
};

// Writes bytes to a temporary beside `to`, then moves it into place:
// never leaves a partial file at `to`. replace=false fails when `to` exists.
bool writeFileInPlace(const fs::path& to, const std::uint8_t* data, std::size_t size, bool replace);

}  // namespace quill
