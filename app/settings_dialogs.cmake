# Settings file, message/options/about dialogs, viewer launch, single instance.
# Append paths (relative to the project root) to QUILL_GUI_SOURCES.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/app/ini_file.cpp
  ${PROJECT_SOURCE_DIR}/app/app_settings.cpp
  ${PROJECT_SOURCE_DIR}/app/window_placement.cpp
  ${PROJECT_SOURCE_DIR}/app/dialog_placement.cpp
  ${PROJECT_SOURCE_DIR}/app/message_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/options_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/about_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/viewer.cpp
  ${PROJECT_SOURCE_DIR}/platform/process_paths.cpp
  ${PROJECT_SOURCE_DIR}/platform/single_instance.cpp)
# CompressionSettings and its 79-byte block.
list(APPEND QUILL_GUI_CORE_LIBS quill_imaging)
