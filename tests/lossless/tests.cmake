# Tests of quill_lossless: quill_add_test(NAME SOURCES ... LIBS ...).
