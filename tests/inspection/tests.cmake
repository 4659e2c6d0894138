# Tests of quill_inspection: quill_add_test(NAME SOURCES ... LIBS ...).
