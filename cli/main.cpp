// quillmark-cli: the core libraries from a shell, for scripting, tests and
// benchmarks. It never talks to a GUI.
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"

namespace quill::cli {
namespace {

std::vector<Command> allCommands() {
    std::vector<Command> all;
    for (auto&& group : {inspectionCommands(), losslessCommands(), imagingCommands()})
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

void printUsage(std::FILE* to, const std::vector<Command>& commands) {
    std::fprintf(to,
                 "usage: quillmark-cli COMMAND [ARGS...]\n"
                 "       quillmark-cli COMMAND --help\n"
                 "       quillmark-cli --help | --version\n\ncommands:\n");
    for (const Command& c : commands)
        std::fprintf(to, "  %.*s\n", int(c.usage.size()), c.usage.data());
}

}  // namespace
}  // namespace quill::cli

int main(int argc, char** argv) {
    using namespace quill::cli;
    const std::vector<Command> commands = allCommands();
    if (argc < 2) {
        printUsage(stderr, commands);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        printUsage(stdout, commands);
        std::printf(
            "\nResults (output paths, listings) go to stdout, failures to stderr; on a\n"
            "terminal, commands over several files show their progress on stderr.\n"
            "Exit status: 0 every file succeeded, 1 some file failed,\n"
            "2 usage error or unreadable input. See quillmark-cli(1).\n");
        return 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("quillmark-cli %s\n", QUILL_VERSION);
        return 0;
    }
    const std::string_view name = argv[1];
    const std::span<char*> args(argv + 2, argc - 2);
    for (const Command& c : commands) {
        if (c.name != name) continue;
        if (wantsHelp(args)) {
            std::printf("usage: quillmark-cli %.*s\n", int(c.usage.size()), c.usage.data());
            return 0;
        }
        return c.run(name, args);
    }
    std::fprintf(stderr, "quillmark-cli: unknown command '%s'\n", argv[1]);
    printUsage(stderr, commands);
    return 2;
}
