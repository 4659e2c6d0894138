# Tests that run quillmark-cli as a user would ($<TARGET_FILE:quillmark-cli>).
include(${CMAKE_CURRENT_SOURCE_DIR}/cli/imaging_cli.cmake)
