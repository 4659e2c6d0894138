# Settings file, message/options/about dialogs, viewer launch, single instance.
# Append paths (relative to the project root) to QUILL_GUI_SOURCES.
