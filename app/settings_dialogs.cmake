# Window placement, message/options/about dialogs, viewer launch. The settings
# file itself is quill_settings (settings/), the lock quill_platform.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/app/window_placement.cpp
  ${PROJECT_SOURCE_DIR}/app/dialog_placement.cpp
  ${PROJECT_SOURCE_DIR}/app/message_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/options_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/about_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/viewer.cpp)
