// The file management commands: delete, delete identical images, rename one
// file and rename in numbered batches. Deletion runs through the batch runner
// (lossless/ui/); drag and drop is the window's own (also app/).
#pragma once

namespace quill {

class CMainFrame;

// Registers the handlers of the file management commands.
void registerFileCommands(CMainFrame& frame);

}  // namespace quill
