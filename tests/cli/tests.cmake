# Tests that run quillmark-cli as a user would ($<TARGET_FILE:quillmark-cli>).
quill_add_test(cli_inspection_test SOURCES cli/inspection_cli_test.cpp LIBS quill_base)
target_compile_definitions(cli_inspection_test PRIVATE QUILLMARK_CLI="$<TARGET_FILE:quillmark-cli>")
add_dependencies(cli_inspection_test quillmark-cli)
include(${CMAKE_CURRENT_LIST_DIR}/lossless_cli.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/cli/imaging_cli.cmake)
# An overwrite batch killed with SIGKILL at random moments, 20 times: every
# source holds its old or its new content and decodes (200 kills: run
# scripts/kill_test.sh by hand).
add_test(NAME KillTest.overwrite_batch
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/kill_test.sh 20 $<TARGET_FILE_DIR:quillmark-cli>)
set_tests_properties(KillTest.overwrite_batch PROPERTIES TIMEOUT 600)
