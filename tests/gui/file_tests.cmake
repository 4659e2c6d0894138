# The file management commands and their dialogs, driven through the window.
quill_add_gui_test(file_commands_test SOURCES gui/file_commands_test.cpp)
