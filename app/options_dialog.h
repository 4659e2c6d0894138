// The options dialog: the viewer program, the time stamp that folder scans
// give the listed files, and our own options (ICC kept by clean, times kept,
// orientation reset by transforms, delete to the trash). Changes reach
// AppSettings only on "設定する".
#pragma once

class QWidget;

namespace quill {

struct AppSettings;

// Modal; 1 after "設定する" (settings updated), 2 after "キャンセル" or Esc
// (settings untouched).
int runOptionsDialog(QWidget* owner, AppSettings& settings);

}  // namespace quill
