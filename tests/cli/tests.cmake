# Tests that run quillmark-cli as a user would ($<TARGET_FILE:quillmark-cli>).
quill_add_test(cli_inspection_test SOURCES cli/inspection_cli_test.cpp LIBS quill_base)
target_compile_definitions(cli_inspection_test PRIVATE QUILLMARK_CLI="$<TARGET_FILE:quillmark-cli>")
add_dependencies(cli_inspection_test quillmark-cli)
include(${CMAKE_CURRENT_LIST_DIR}/lossless_cli.cmake)
include(${CMAKE_CURRENT_SOURCE_DIR}/cli/imaging_cli.cmake)
