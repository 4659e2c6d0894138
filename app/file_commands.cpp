#include "app/file_commands.h"

#include "app/main_frame.h"

namespace quill {

void registerFileCommands(CMainFrame&) {}

}  // namespace quill
