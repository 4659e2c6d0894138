# Main frame, toolbar, file list, folder scan, preview pane, resources.
# Append paths (relative to the project root) to QUILL_GUI_SOURCES and the core
# libraries the GUI needs to QUILL_GUI_CORE_LIBS.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/app/command_ids.cpp
  ${PROJECT_SOURCE_DIR}/app/file_list_model.cpp
  ${PROJECT_SOURCE_DIR}/app/file_list_view.cpp
  ${PROJECT_SOURCE_DIR}/app/folder_scan.cpp
  ${PROJECT_SOURCE_DIR}/app/main_frame.cpp
  ${PROJECT_SOURCE_DIR}/app/pane_splitter.cpp
  ${PROJECT_SOURCE_DIR}/app/qt_translations.cpp
  ${PROJECT_SOURCE_DIR}/preview/preview_loader.cpp
  ${PROJECT_SOURCE_DIR}/preview/preview_pane.cpp
  ${PROJECT_SOURCE_DIR}/resources/icons.cpp)
list(APPEND QUILL_GUI_CORE_LIBS quill_inspection quill_imaging)
