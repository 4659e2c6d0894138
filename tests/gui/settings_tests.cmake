# Tests of the settings file, small dialogs, viewer launch and single instance.
quill_add_test(settings_file_test
  SOURCES gui/settings_file_test.cpp
  LIBS quill_gui)
quill_add_gui_test(settings_dialogs_test SOURCES gui/settings_dialogs_test.cpp)
