# The lossless commands and the batch runner, driven through the window.
find_package(Qt6 REQUIRED COMPONENTS Test)
quill_add_test(lossless_commands_test
  SOURCES gui/gui_test_main.cpp gui/lossless_commands_test.cpp
  LIBS quill_gui quill_lossless Qt6::Test)
