// The lossless batch commands (the twelve and auto-rotate): which LosslessOp each command runs and
// the caption the progress dialog shows for every batch command. Command ids
// and texts stay in app/command_ids.h; what an operation does to a file stays
// in the core (lossless/lossless_op.h).
#pragma once

#include <optional>

#include "lossless/lossless_op.h"

namespace quill {

class CMainFrame;

// The operation of a lossless batch command; nullopt for any other id
// (ID_OP_TRANSFORM and ID_OP_TRIM included: neither runs a batch).
std::optional<LosslessOp> losslessOpForCommand(int id);

// Caption of the progress dialog for a batch started by the command (UTF-8):
// the operation's for the lossless commands, the delete, recompression and
// new-JPEG captions for theirs, "ロスレス処理中..." for anything else.
const char* progressCaption(int id);

// The handler of the lossless commands: the selected rows, in row order,
// through runBatch, then the list rescanned near the last of them.
void runLosslessCommand(CMainFrame& frame, int id);

// What the batch runner asks before replacing a read-only source in
// overwrite mode, and tells when the source cannot be examined ("%s" is the
// source path).
inline constexpr const char* kOverwriteConfirmTitle = "上書き保存の確認";
inline constexpr const char* kOverwriteConfirmText =
    "'%s'\nこのファイルは読み取り専用です。\n上書き保存しますか？";
inline constexpr const char* kOverwriteErrorTitle = "上書き保存エラー";
inline constexpr const char* kOverwriteErrorText =
    "'%s'\nファイル属性を取得出来ませんでした。\nこのファイルは上書き保存出来ません。";

// Registers the handlers of the lossless batch commands with the frame.
void registerLosslessCommands(CMainFrame& frame);

}  // namespace quill
