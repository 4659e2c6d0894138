# Tests of quill_imaging: quill_add_test(NAME SOURCES ... LIBS ...).
quill_add_test(imaging_test
  SOURCES
    imaging/compression_settings_test.cpp
  LIBS quill_imaging)
