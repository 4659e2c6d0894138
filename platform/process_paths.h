// Where this program lives, where the user's configuration goes, and whether
// a folder takes new files: the questions behind choosing the settings and
// lock file locations. POSIX here.
#pragma once

#include <filesystem>

namespace quill {

// The running executable's absolute path; empty when the system cannot say.
std::filesystem::path executablePath();

// $XDG_CONFIG_HOME when absolute, else $HOME/.config, else the temporary folder.
std::filesystem::path userConfigDir();

// True when this process may create files in dir.
bool canCreateFilesIn(const std::filesystem::path& dir);

}  // namespace quill
