# bench_imaging: preview decode against djpeg -scale 1/8, full encode
# against cjpeg, and the size-limit quality search, on a 24-megapixel picture.
add_executable(bench_imaging ${CMAKE_CURRENT_LIST_DIR}/imaging_bench.cpp)
target_link_libraries(bench_imaging PRIVATE quill_imaging quill_warnings)
