# Qt side of the imaging subsystem, built into quill_gui (app/CMakeLists.txt):
# compression settings dialog, recompression and new-JPEG commands.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/imaging/ui/compression_dialog.cpp
  ${PROJECT_SOURCE_DIR}/imaging/ui/imaging_commands.cpp)
