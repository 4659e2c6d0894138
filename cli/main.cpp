// quillmark-cli: the core libraries from a shell, for scripting, tests and
// benchmarks. It never talks to a GUI.
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/commands.h"

namespace quill::cli {
namespace {

std::vector<Command> allCommands() {
    std::vector<Command> all;
    for (auto&& group : {inspectionCommands(), losslessCommands(), imagingCommands()})
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

void printUsage(const std::vector<Command>& commands) {
    std::fprintf(stderr, "usage: quillmark-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : commands)
        std::fprintf(stderr, "  %.*s\n", int(c.usage.size()), c.usage.data());
}

}  // namespace
}  // namespace quill::cli

int main(int argc, char** argv) {
    using namespace quill::cli;
    const std::vector<Command> commands = allCommands();
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        printUsage(commands);
        return argc < 2 ? 2 : 0;
    }
    std::string_view name = argv[1];
    for (const Command& c : commands) {
        if (c.name == name) return c.run(name, std::span<char*>(argv + 2, argc - 2));
    }
    std::fprintf(stderr, "quillmark-cli: unknown command '%s'\n", argv[1]);
    printUsage(commands);
    return 2;
}
