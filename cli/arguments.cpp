#include "cli/arguments.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "base/ordered_batch.h"

namespace quill::cli {

bool ParsedArgs::has(std::string_view name) const {
    for (const auto& option : options)
        if (option.first == name) return true;
    return false;
}

std::optional<std::string_view> ParsedArgs::value(std::string_view name) const {
    std::optional<std::string_view> last;
    for (const auto& [key, value] : options)
        if (key == name) last = value;
    return last;
}

std::optional<int> jobsOption(std::string_view command, const ParsedArgs& parsed) {
    const std::optional<std::string_view> text = parsed.value(kJobsOption.name);
    if (!text) return batchWorkerCount(0);
    int jobs = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), jobs);
    if (ec != std::errc() || end != text->data() + text->size() || jobs < 1) {
        usageError(command, "--jobs takes a number from 1");
        return std::nullopt;
    }
    return batchWorkerCount(jobs);
}

bool wantsHelp(std::span<char*> args) {
    for (const std::string_view arg : args) {
        if (arg == "--") return false;
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

int usageError(std::string_view command, std::string_view message) {
    std::fprintf(stderr, "quillmark-cli %.*s: %.*s\n", int(command.size()), command.data(),
                 int(message.size()), message.data());
    return 2;
}

std::optional<ParsedArgs> parseArguments(std::string_view command, std::span<char*> args,
                                         const ArgRules& rules) {
    auto usage = [&](const std::string& why) -> std::optional<ParsedArgs> {
        usageError(command, why);
        std::fprintf(stderr, "usage: quillmark-cli %.*s\n", int(rules.usage.size()),
                     rules.usage.data());
        return std::nullopt;
    };
    ParsedArgs parsed;
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsDone || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
            continue;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : rules.options)
            if (s.name == arg) spec = &s;
        if (!spec) return usage("unknown option " + std::string(arg));
        if (!spec->takesValue) {
            parsed.options.emplace_back(arg, std::string_view());
        } else if (i + 1 < args.size()) {
            parsed.options.emplace_back(arg, args[++i]);
        } else {
            return usage(std::string(arg) + " needs a value");
        }
    }
    if (parsed.operands.size() < rules.minOperands) return usage("too few arguments");
    if (parsed.operands.size() > rules.maxOperands) return usage("too many arguments");
    return parsed;
}

}  // namespace quill::cli
