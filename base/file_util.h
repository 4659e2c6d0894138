// File handles, status and times, and the rename that never replaces. New
// files are written through StagedFile (base/staged_file.h). Paths are UTF-8
// std::filesystem::path throughout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
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

// True when a and b are two regular files (not one file under two names)
// holding the same bytes. Sizes decide first; the contents are compared a
// chunk at a time, stopping at the first difference. False when either
// cannot be read.
bool duplicateFiles(const fs::path& a, const fs::path& b);

// Renames from -> to, failing (false, errno EEXIST) when to exists. Never replaces.
bool renameNoReplace(const fs::path& from, const fs::path& to);

// Renames from to the first of nameFor(0), nameFor(1), … that nothing has.
// Never replaces: a name taken between the look and the rename (by another
// worker) moves on to the next. The name given, or nullopt with errno set
// when the rename failed.
std::optional<fs::path> renameToFirstFree(const fs::path& from,
                                          const std::function<fs::path(unsigned long long n)>& nameFor);

bool removeFile(const fs::path& path);
bool makeWritable(const fs::path& path);
bool setFileTimes(const fs::path& path, const std::timespec& accessed, const std::timespec& modified);

}  // namespace quill
