#include "cli/commands.h"

namespace quill::cli {

std::vector<Command> inspectionCommands() { return {}; }

}  // namespace quill::cli
