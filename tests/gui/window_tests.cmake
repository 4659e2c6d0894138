# Tests of the main window, toolbar, file list, folder scan and preview pane.
