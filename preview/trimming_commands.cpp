#include "preview/trimming_commands.h"

#include "app/main_frame.h"

namespace quill {

void registerTrimmingCommands(CMainFrame&) {}

}  // namespace quill
