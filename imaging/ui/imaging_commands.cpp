#include "imaging/ui/imaging_commands.h"

#include "app/main_frame.h"

namespace quill {

void registerImagingCommands(CMainFrame&) {}

}  // namespace quill
