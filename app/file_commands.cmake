# File management commands (delete, delete identical, rename), drag and drop.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/app/drag_drop.cpp
  ${PROJECT_SOURCE_DIR}/app/file_commands.cpp
  ${PROJECT_SOURCE_DIR}/app/rename_dialog.cpp
  ${PROJECT_SOURCE_DIR}/app/batch_rename_dialog.cpp)
