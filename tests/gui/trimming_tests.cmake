# The trimming window and command, and drag and drop on the main window.
quill_add_gui_test(trimming_test SOURCES gui/trimming_window_test.cpp gui/drag_drop_test.cpp)
