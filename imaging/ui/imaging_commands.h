// The recompression and new-JPEG commands (ID_RECOMPRESS, ID_NEW_JPEG) and
// the compression settings dialog they open. The encoding itself is the
// core's (imaging/recompress.h); nothing here decodes or encodes.
#pragma once

namespace quill {

class CMainFrame;

// Registers the handlers of the recompression and new-JPEG commands.
void registerImagingCommands(CMainFrame& frame);

}  // namespace quill
