// The trimming command (ID_OP_TRIM): the crop window over the current file
// and the save of the chosen rectangle through convertLossless.
#pragma once

namespace quill {

class CMainFrame;

// Registers the handler of the trimming command.
void registerTrimmingCommands(CMainFrame& frame);

}  // namespace quill
