# Tests of the settings file, small dialogs, viewer launch and single instance.
# GUI tests run offscreen (QT_QPA_PLATFORM=offscreen) and link quill_gui.
find_package(Qt6 REQUIRED COMPONENTS Test)
quill_add_test(settings_file_test
  SOURCES gui/settings_file_test.cpp
  LIBS quill_gui)
quill_add_test(settings_dialogs_test
  SOURCES gui/settings_dialogs_test.cpp
  LIBS quill_gui Qt6::Test)
set_target_properties(settings_dialogs_test PROPERTIES AUTOMOC ON)
