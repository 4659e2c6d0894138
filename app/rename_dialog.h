// The rename dialog ("名前の変更"): one file's new base name, its extension
// kept. It renames the file itself, so that a name in use or a failed rename
// is reported while the user can still try another name.
#pragma once

#include <filesystem>

class QWidget;

namespace quill {

// End code of the dialog's "全てキャンセル".
inline constexpr int kRenameCancelAll = 57744;

// Renames `file` to the base name typed, never replacing a file. 1 renamed,
// 2 "キャンセル" (or Esc), kRenameCancelAll.
int runRenameDialog(QWidget* owner, const std::filesystem::path& file);

}  // namespace quill
