# Tests of quill_imaging: quill_add_test(NAME SOURCES ... LIBS ...).
