# Qt side of the lossless subsystem, built into quill_gui (app/CMakeLists.txt):
# batch runner and progress dialog, lossless commands, delete worker.
list(APPEND QUILL_GUI_SOURCES
  ${PROJECT_SOURCE_DIR}/lossless/ui/batch_runner.cpp
  ${PROJECT_SOURCE_DIR}/lossless/ui/batch_workers.cpp
  ${PROJECT_SOURCE_DIR}/lossless/ui/lossless_commands.cpp)
