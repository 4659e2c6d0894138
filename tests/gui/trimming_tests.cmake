# The trimming window and command, and drag and drop on the main window.
find_package(Qt6 REQUIRED COMPONENTS Test)
quill_add_test(trimming_test
  SOURCES gui/gui_test_main.cpp gui/trimming_window_test.cpp gui/drag_drop_test.cpp
  LIBS quill_gui Qt6::Test)
