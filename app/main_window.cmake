# Main frame, toolbar and command table, file list, folder scan, icons.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/app/command_ids.cpp
  ${PROJECT_SOURCE_DIR}/app/file_list_model.cpp
  ${PROJECT_SOURCE_DIR}/app/file_list_view.cpp
  ${PROJECT_SOURCE_DIR}/app/folder_scan.cpp
  ${PROJECT_SOURCE_DIR}/app/main_frame.cpp
  ${PROJECT_SOURCE_DIR}/app/pane_splitter.cpp
  ${PROJECT_SOURCE_DIR}/app/qt_translations.cpp
  ${PROJECT_SOURCE_DIR}/resources/icons.cpp)
