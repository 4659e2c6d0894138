# bench_trimming [JPEG]: opening the trimming window on a 24-megapixel JPEG
# (decode and copy) and the cost of one scroll step with its repaint.
if(TARGET quill_gui AND TARGET quill_test_support)
  add_executable(bench_trimming ${CMAKE_CURRENT_LIST_DIR}/trimming_bench.cpp)
  target_link_libraries(bench_trimming PRIVATE quill_gui quill_test_support quill_warnings)
endif()
