# Tests of quill_settings (status.ini, AppSettings) and quill_platform (lock,
# configuration folder).
quill_add_test(settings_file_test
  SOURCES settings/settings_file_test.cpp
  LIBS quill_settings quill_platform)
