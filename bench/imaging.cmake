# quill-imaging-bench: preview decode against djpeg -scale 1/8, full encode
# against cjpeg, and the size-limit quality search, on a 24-megapixel picture.
add_executable(quill-imaging-bench imaging_bench.cpp)
target_link_libraries(quill-imaging-bench PRIVATE quill_imaging quill_warnings)
