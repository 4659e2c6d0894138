# quillmark-cli recompress / new-jpeg, run as a user would.
quill_add_test(imaging_cli_test SOURCES cli/imaging_cli_test.cpp LIBS quill_imaging quill_settings)
target_compile_definitions(imaging_cli_test PRIVATE QUILL_CLI="$<TARGET_FILE:quillmark-cli>")
add_dependencies(imaging_cli_test quillmark-cli)
