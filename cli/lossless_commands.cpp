#include "cli/commands.h"

namespace quill::cli {

std::vector<Command> losslessCommands() { return {}; }

}  // namespace quill::cli
