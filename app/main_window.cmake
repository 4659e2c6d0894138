# Main frame, toolbar, file list, folder scan, preview pane, resources.
# Append paths (relative to the project root) to QUILL_GUI_SOURCES and the core
# libraries the GUI needs to QUILL_GUI_CORE_LIBS.
