# bench_inspection: database construction and folder-scan speed, beside
# plain reads, libjpeg's own header parse and (when installed) exiftool -fast.
#   build/bench_inspection [DIR] [COUNT]
if(TARGET quill_test_support)
  add_executable(bench_inspection ${CMAKE_CURRENT_LIST_DIR}/inspection_bench.cpp)
  target_link_libraries(bench_inspection PRIVATE quill_inspection quill_test_support quill_warnings)
  target_compile_definitions(bench_inspection PRIVATE QUILLMARK_CLI="$<TARGET_FILE:quillmark-cli>")
  add_dependencies(bench_inspection quillmark-cli)
endif()
