// The compression settings dialog "JPEG圧縮設定": every CompressionSettings
// field on one page, controls enabled only where the current choices use
// them, typed numbers checked as they change. The record is written only on
// OK; saving it to status.ini is the main window's business.
#pragma once

class QWidget;

namespace quill {

struct CompressionSettings;

// Modal over owner; 1 after OK (every field read back from the controls),
// 2 after Cancel or Esc (the record untouched). Each control's objectName is
// its identifier ("3000" … "3098"; "1" OK, "2" Cancel).
int runCompressionDialog(QWidget* owner, CompressionSettings& settings);

// What the dialog says when a typed number is out of range.
inline constexpr const char* kSettingErrorTitle = "設定値エラー";

}  // namespace quill
