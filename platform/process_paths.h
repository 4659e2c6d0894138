// Where this program lives and whether a folder takes new files: the two
// questions behind choosing the settings location. POSIX here.
#pragma once

#include <filesystem>

namespace quill {

// The running executable's absolute path; empty when the system cannot say.
std::filesystem::path executablePath();

// True when this process may create files in dir.
bool canCreateFilesIn(const std::filesystem::path& dir);

}  // namespace quill
