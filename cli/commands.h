// One entry per quillmark-cli subcommand; each subsystem adds its own file.
#pragma once

#include <span>
#include <string_view>

namespace quill::cli {

// args excludes the program and subcommand names. Returns the exit status:
// 0 success, 1 some file failed, 2 usage error or unreadable input.
using CommandFn = int (*)(std::string_view name, std::span<char*> args);

struct Command {
    std::string_view name;
    std::string_view usage;
    CommandFn run;
};

}  // namespace quill::cli

#include <vector>

namespace quill::cli {

// Each defined in its subsystem's file of this folder.
std::vector<Command> inspectionCommands();  // scan, info
std::vector<Command> losslessCommands();    // clean ... none, crop
std::vector<Command> imagingCommands();     // recompress, new-jpeg

}  // namespace quill::cli
