# Tests of the main window, toolbar, file list, folder scan and preview pane.
# One binary with its own main (a QApplication around the GoogleTest run).
find_package(Qt6 REQUIRED COMPONENTS Test)
quill_add_test(main_window_test
  SOURCES gui/gui_test_main.cpp gui/file_list_model_test.cpp gui/preview_pane_test.cpp
          gui/main_frame_test.cpp
  LIBS quill_gui Qt6::Test)

# Screenshot of the main window listing a folder (scripts/screenshot.sh).
add_executable(quill-screenshot gui/screenshot_main.cpp)
target_link_libraries(quill-screenshot PRIVATE quill_gui quill_warnings)
