// Opening a listed file for viewing: in the user's chosen viewer program,
// given the path as one argument, or else in the file's associated program.
#pragma once

#include <filesystem>

class QWidget;

namespace quill {

struct AppSettings;

// Whether the program started is not checked; only a configured viewer that
// is not a readable file is reported ("ビューワーエラー").
void openInViewer(QWidget* owner, const AppSettings& settings, const std::filesystem::path& path);

}  // namespace quill
