// The one argument parser of quillmark-cli: each command declares its
// options, and every command reads its command line the same way. Options
// and operands may be mixed; "--" ends the options. An unknown option, a
// missing value or a wrong number of operands is a usage error, reported
// here on stderr.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace quill::cli {

struct OptionSpec {
    std::string_view name;  // with its dashes: "--overwrite", "-o"
    bool takesValue = false;
};

struct ParsedArgs {
    // In command-line order; the value is empty for a flag.
    std::vector<std::pair<std::string_view, std::string_view>> options;
    std::vector<std::string_view> operands;

    bool has(std::string_view name) const;
    // The last value given for the option.
    std::optional<std::string_view> value(std::string_view name) const;
};

struct ArgRules {
    std::span<const OptionSpec> options;
    std::size_t minOperands = 1;
    std::size_t maxOperands = static_cast<std::size_t>(-1);
    std::string_view usage;  // printed after "usage: quillmark-cli "
};

// nullopt after a usage error, which has been reported.
std::optional<ParsedArgs> parseArguments(std::string_view command, std::span<char*> args,
                                         const ArgRules& rules);

// "--jobs N": how many files a multi-file command works on at once.
inline constexpr OptionSpec kJobsOption{"--jobs", true};

// The workers from "--jobs N" (N from 1; never more than the cores), or one
// per core without it. nullopt after a usage error, which has been reported.
std::optional<int> jobsOption(std::string_view command, const ParsedArgs& parsed);

// True when "--help" or "-h" stands among the options (before any "--"):
// every command answers it with its usage on stdout.
bool wantsHelp(std::span<char*> args);

// "quillmark-cli COMMAND: MESSAGE" on stderr; returns 2, the usage status.
int usageError(std::string_view command, std::string_view message);

}  // namespace quill::cli
