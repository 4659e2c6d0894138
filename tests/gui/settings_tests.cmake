# Tests of the small dialogs, window placement and viewer launch.
quill_add_gui_test(settings_dialogs_test SOURCES gui/settings_dialogs_test.cpp)
