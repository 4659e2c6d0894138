# Tests of the small dialogs, window placement and viewer launch.
# GUI tests run offscreen (QT_QPA_PLATFORM=offscreen) and link quill_gui.
find_package(Qt6 REQUIRED COMPONENTS Test)
quill_add_test(settings_dialogs_test
  SOURCES gui/settings_dialogs_test.cpp
  LIBS quill_gui Qt6::Test)
set_target_properties(settings_dialogs_test PROPERTIES AUTOMOC ON)
