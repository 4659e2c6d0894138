# Preview and trimming, built into quill_gui (app/CMakeLists.txt): preview
# pane and its loader, crop window, trimming command.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/preview/crop_view.cpp
  ${PROJECT_SOURCE_DIR}/preview/loaded_picture.cpp
  ${PROJECT_SOURCE_DIR}/preview/preview_loader.cpp
  ${PROJECT_SOURCE_DIR}/preview/preview_pane.cpp
  ${PROJECT_SOURCE_DIR}/preview/trimming_commands.cpp
  ${PROJECT_SOURCE_DIR}/preview/trimming_window.cpp)
# The new-JPEG command's file dialog and its image panel.
list(APPEND QUILL_GUI_SOURCES ${PROJECT_SOURCE_DIR}/preview/image_file_dialog.cpp)
