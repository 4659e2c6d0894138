#include "cli/commands.h"

namespace quill::cli {

std::vector<Command> imagingCommands() { return {}; }

}  // namespace quill::cli
