# The lossless commands and the batch runner, driven through the window.
quill_add_gui_test(lossless_commands_test SOURCES gui/lossless_commands_test.cpp LIBS quill_lossless)
