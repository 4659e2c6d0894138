# Tests that run quillmark-cli as a user would ($<TARGET_FILE:quillmark-cli>).
