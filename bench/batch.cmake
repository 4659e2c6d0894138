# bench_batch [COUNT] [DIR]: the clean command over COUNT small JPEGs in the
# real window (offscreen) against the bare per-file loop, with the number of
# progress repaints the interface thread made.
if(TARGET quill_gui)
  add_executable(bench_batch ${CMAKE_CURRENT_LIST_DIR}/batch_bench.cpp)
  target_link_libraries(bench_batch PRIVATE quill_gui quill_warnings)
endif()
