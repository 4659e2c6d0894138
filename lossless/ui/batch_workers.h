// The workers of this subsystem: the lossless worker (convert each file, in
// overwrite mode put it in the source's place) and the delete worker. Both
// end the dialog with 1; a file that fails is skipped without a message and
// kept in the job's failedFiles. An auto-rotate source that is upright
// already is neither completed nor failed.
#pragma once

#include "lossless/ui/batch_runner.h"

namespace quill {

int losslessWorker(BatchJob& job);
int deleteWorker(BatchJob& job);

// Deletes a file for good, or moves it to the desktop's trash (never
// deleting it when that fails).
FileResult deleteFile(const std::filesystem::path& path, bool toTrash);

// The worker a job runs when it brings none: the delete worker for
// ID_FILE_DELETE, the lossless worker for any other command.
BatchWorker builtInWorker(int command);

// What the delete worker asks before deleting a read-only file ("%s" is its path).
inline constexpr const char* kDeleteConfirmTitle = "削除確認";
inline constexpr const char* kDeleteConfirmText = "'%s'\n は読み取り専用です。\n本当によろしいですか？";

}  // namespace quill
