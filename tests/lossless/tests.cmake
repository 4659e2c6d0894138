# Tests of quill_lossless: quill_add_test(NAME SOURCES ... LIBS ...).
quill_add_test(lossless_test
  SOURCES
    lossless/lossless_test_util.cpp
    lossless/coef_transform_test.cpp
    lossless/convert_lossless_test.cpp
    lossless/lossless_batch_test.cpp
    lossless/lossless_options_test.cpp
  LIBS quill_lossless)
