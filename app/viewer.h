// Opening a listed file for viewing: in the user's chosen viewer program,
// given the path as one argument, or else in the file's associated program.
#pragma once

#include <filesystem>

class QUrl;
class QWidget;

namespace quill {

struct AppSettings;

// Whether the program started is not checked; only a configured viewer that
// is not a readable file is reported ("ビューワーエラー").
void openInViewer(QWidget* owner, const AppSettings& settings, const std::filesystem::path& path);

// file:// URLs that carry a path's bytes percent-encoded, so a name that is
// not UTF-8 travels unchanged (QUrl::fromLocalFile goes through QString).
QUrl fileUrl(const std::filesystem::path& path);
// The exact path of a local file URL; empty for anything else.
std::filesystem::path localFilePath(const QUrl& url);

}  // namespace quill
