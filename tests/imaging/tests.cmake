# Tests of quill_imaging: quill_add_test(NAME SOURCES ... LIBS ...).
# The PNG/GIF writers in support/ need their libraries.
target_link_libraries(quill_test_support PUBLIC PNG::PNG GIF::GIF)
quill_add_test(imaging_test
  SOURCES
    imaging/compression_settings_test.cpp
    imaging/load_image_test.cpp
    imaging/resample_dib_test.cpp
    imaging/encode_jpeg_test.cpp
    imaging/recompress_test.cpp
    imaging/quality_search_test.cpp
  LIBS quill_imaging ZLIB::ZLIB)
