# GUI tests (QtTest or GoogleTest, offscreen), linking quill_gui.
