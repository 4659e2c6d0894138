// The message dialog: the one way the program asks or reports.
#pragma once

class QString;
class QWidget;

namespace quill {

struct FileResult;

inline constexpr int kMessageInfo = 0;      // icon, one "閉じる" button
inline constexpr int kMessageQuestion = 1;  // icon, "実行" and "キャンセル"
// Any other kind: no icon, one "閉じる" button.

// Modal; 1 when button 1 was pressed, 2 for "キャンセル", Esc or closing.
// May be called from a worker thread, which then waits while the interface
// thread shows the dialog (that thread must be running an event loop).
int showMessage(QWidget* owner, int kind, const QString& title, const QString& text);

// Why a file failed, in Japanese; a path in the detail reads as the list
// shows names (displayPath).
QString failureMessage(const FileResult& why);

}  // namespace quill
