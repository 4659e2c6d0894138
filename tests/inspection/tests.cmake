# Tests of quill_inspection: quill_add_test(NAME SOURCES ... LIBS ...).
quill_add_test(inspection_test
  SOURCES
    inspection/quality_label_test.cpp
    inspection/quant_table_db_test.cpp
    inspection/scan_jpeg_test.cpp
    inspection/folder_listing_test.cpp
  LIBS quill_inspection)
# Reference tables gathered from public sources, for the scaled families.
target_compile_definitions(inspection_test PRIVATE
  QUILL_QTABLE_REFERENCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/inspection/data")
target_compile_definitions(inspection_test PRIVATE
  QUILL_QTABLE_SOURCE_DIR="${PROJECT_SOURCE_DIR}/inspection/data")
# Links its own table data in place of the library's (see the source).
quill_add_test(inspection_search_order_test
  SOURCES inspection/search_order_test.cpp
  LIBS quill_inspection)
