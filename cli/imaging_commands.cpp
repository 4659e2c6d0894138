// quillmark-cli recompress / new-jpeg: the recompression worker over files
// named on the command line, with CompressionSettings from the defaults or
// from a status.ini (read as the window reads it), then options for single
// fields.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "imaging/compression_settings.h"
#include "imaging/recompress.h"
#include "settings/app_settings.h"
#include "settings/ini_file.h"

namespace quill::cli {
namespace {

template <class T>
bool parseNumber(std::string_view text, T& out, long long lo, long long hi) {
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || v < lo || v > hi) return false;
    out = static_cast<T>(v);
    return true;
}

template <std::size_t N>
int indexOf(std::string_view text, const char* const (&names)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (equalsIgnoreCase(text, names[i])) return int(i);
    return -1;
}

// Applies one option (and its value) to s; false with a message on misuse.
bool applyOption(std::string_view name, std::string_view value, CompressionSettings& s) {
    static const char* const kScales[] = {"8", "4", "2", "1", "1/2"};
    static const char* const kSpaces[] = {"gray", "rgb", "ycbcr", "cmyk", "ycck"};
    static const char* const kSamplings[] = {"444", "422", "420", "411"};
    static const char* const kDcts[] = {"fast", "int", "float"};
    static const char* const kUnits[] = {"none", "dpi", "dpcm"};
    int i = -1;
    if (name == "--quality") return parseNumber(value, s.quality, 0, 100);
    if (name == "--scale") {
        // The dialog's labels ("8.0", "1.0") are accepted as well.
        if (value.size() > 2 && value.ends_with(".0")) value.remove_suffix(2);
        return (i = indexOf(value, kScales)) >= 0 && (s.scaleIndex = std::uint8_t(i), true);
    }
    if (name == "--color-space")
        return (i = indexOf(value, kSpaces)) >= 0 && (s.colorSpace = std::uint8_t(i), true);
    if (name == "--sampling")
        return (i = indexOf(value, kSamplings)) >= 0 && (s.sampling = std::uint8_t(i), true);
    if (name == "--dct") return (i = indexOf(value, kDcts)) >= 0 && (s.dctMethod = std::uint32_t(i), true);
    if (name == "--restart-rows") {
        s.restartMode = std::max<std::uint8_t>(s.restartMode, 1);
        return parseNumber(value, s.restartRows, 0, 65535);
    }
    if (name == "--restart-interval") {
        s.restartMode = 2;
        return parseNumber(value, s.restartInterval, 0, 65535);
    }
    if (name == "--smoothing") {
        s.smoothingEnabled = 1;
        return parseNumber(value, s.smoothing, 1, 100);
    }
    if (name == "--memory-limit") return parseNumber(value, s.memoryLimitMb, 0, 100);
    if (name == "--size-limit") {
        s.sizeLimitEnabled = 1;
        return parseNumber(value, s.sizeLimit, 100, 100000000);
    }
    if (name == "--lanczos") {
        const std::size_t x = value.find_first_of("xX");
        s.lanczosEnabled = 1;
        return x != std::string_view::npos && parseNumber(value.substr(0, x), s.lanczosWidth, 1, 65535) &&
               parseNumber(value.substr(x + 1), s.lanczosHeight, 1, 65535);
    }
    if (name == "--jfif-version") {
        // Only 1.02 to 1.20 are offered: major 1, minor 2..20.
        const std::size_t dot = value.find('.');
        s.jfifMarker = 1;
        s.jfifVersionEnabled = 1;
        return dot != std::string_view::npos && value.substr(0, dot) == "1" &&
               parseNumber(value.substr(dot + 1), s.jfifMinor, 2, 20);
    }
    if (name == "--density") {
        // X,Y[,none|dpi|dpcm]
        const std::size_t c1 = value.find(',');
        if (c1 == std::string_view::npos) return false;
        const std::size_t c2 = value.find(',', c1 + 1);
        const std::string_view y = value.substr(c1 + 1, c2 == std::string_view::npos ? std::string_view::npos : c2 - c1 - 1);
        s.jfifMarker = 1;
        s.densityEnabled = 1;
        s.densityUnit = 0;
        if (c2 != std::string_view::npos) {
            if ((i = indexOf(value.substr(c2 + 1), kUnits)) < 0) return false;
            s.densityUnit = std::uint8_t(i);
        }
        return parseNumber(value.substr(0, c1), s.xDensity, 1, 65535) && parseNumber(y, s.yDensity, 1, 65535);
    }
    return false;
}

bool isFlag(std::string_view arg, CompressionSettings& s) {
    if (arg == "--progressive") return s.progressive = 1, true;
    if (arg == "--baseline") return s.progressive = 0, true;
    if (arg == "--optimize") return s.optimizeHuffman = 1, true;
    if (arg == "--keep-ratio") return s.keepRatio = 1, true;
    if (arg == "--jfif") return s.jfifMarker = 1, true;
    return false;
}

// "--overwrite" first: new-jpeg takes all but it.
constexpr OptionSpec kOptions[] = {
    {"--overwrite"},      {"--settings", true},     {"--progressive"},  {"--baseline"},
    {"--optimize"},       {"--keep-ratio"},         {"--jfif"},         {"--quality", true},
    {"--scale", true},    {"--color-space", true},  {"--sampling", true}, {"--restart-rows", true},
    {"--restart-interval", true}, {"--smoothing", true}, {"--dct", true}, {"--memory-limit", true},
    {"--lanczos", true},  {"--size-limit", true},   {"--jfif-version", true}, {"--density", true},
    {"--keep-time"},
    kJobsOption,
};

// The settings file's compression block; false after reporting why it
// cannot serve (the encoding would otherwise silently use the defaults).
bool readSettingsFile(std::string_view command, const std::filesystem::path& file,
                      CompressionSettings& settings) {
    switch (loadCompressionSettings(file, settings)) {
    case SettingsRead::Read:
        return true;
    case SettingsRead::Unreadable:
        std::fprintf(stderr,
                     "quillmark-cli %.*s: cannot read settings file %s (missing, unreadable or over 1 MiB)\n",
                     int(command.size()), command.data(), file.c_str());
        return false;
    case SettingsRead::NoCompressionBlock:
        std::fprintf(stderr,
                     "quillmark-cli %.*s: %s has no valid compression settings (key \"11\" of [setting])\n",
                     int(command.size()), command.data(), file.c_str());
        return false;
    }
    return false;
}

const std::string& usageOf(std::string_view command) {
    static constexpr std::string_view kUsage =
        " [--settings status.ini] [--quality N] [--progressive|--baseline] [--optimize]"
        " [--scale 8|4|2|1|1/2] [--color-space gray|rgb|ycbcr|cmyk|ycck] [--sampling 444|422|420|411]"
        " [--restart-rows N] [--restart-interval N] [--smoothing N] [--dct fast|int|float]"
        " [--memory-limit MB] [--lanczos WxH] [--keep-ratio] [--size-limit BYTES]"
        " [--jfif] [--jfif-version 1.N] [--density X,Y[,none|dpi|dpcm]] [--keep-time] [--jobs N]";
    static const std::string recompress = "recompress FILE... [--overwrite]" + std::string(kUsage);
    static const std::string newJpeg = "new-jpeg IMAGE..." + std::string(kUsage);
    return command == "new-jpeg" ? newJpeg : recompress;
}

int run(std::string_view command, std::span<char*> args) {
    const bool newJpeg = command == "new-jpeg";
    const std::span<const OptionSpec> options =
        newJpeg ? std::span(kOptions).subspan(1) : std::span(kOptions);
    const auto parsed = parseArguments(command, args, {options, 1, SIZE_MAX, usageOf(command)});
    if (!parsed) return 2;

    CompressionSettings settings;
    const auto settingsFile = parsed->value("--settings");
    if (settingsFile && !readSettingsFile(command, *settingsFile, settings)) return 2;
    // Options come after the settings file, whatever their position; flags
    // before valued options.
    for (const auto& option : parsed->options) isFlag(option.first, settings);
    for (const auto& [name, value] : parsed->options) {
        CompressionSettings scratch;
        if (name == "--overwrite" || name == "--settings" || name == "--keep-time" || name == kJobsOption.name ||
            isFlag(name, scratch))
            continue;
        if (!applyOption(name, value, settings))
            return usageError(command, "bad value '" + std::string(value) + "' for " + std::string(name));
    }
    const bool overwrite = parsed->has("--overwrite");
    const bool keepTime = parsed->has("--keep-time");

    const std::optional<int> jobs = jobsOption(command, *parsed);
    if (!jobs) return 2;

    int status = 0;
    const std::vector<std::filesystem::path> files(parsed->operands.begin(), parsed->operands.end());
    // The progress line names the oldest file not yet finished.
    BatchProgress progress(files.size());
    if (!files.empty()) progress.show(0, files[0]);
    runRecompression(settings, files, overwrite, nullptr, [&](int i, const RecompressFileResult& r) {
        const std::filesystem::path& file = files[std::size_t(i)];
        progress.clear();
        switch (r.outcome) {
        case RecompressOutcome::Written:
            std::printf("%s\n", r.output.c_str());
            break;
        case RecompressOutcome::LoadFailed:
            std::fprintf(stderr, "%s: %s\n", file.c_str(), failureText(r.why).c_str());
            status = 1;
            break;
        case RecompressOutcome::NotWritten:
            std::fprintf(stderr, "%s: not written: %s\n", file.c_str(), failureText(r.why).c_str());
            status = 1;
            break;
        }
        std::fflush(stdout);
        if (std::size_t(i) + 1 < files.size()) progress.show(std::size_t(i) + 1, files[std::size_t(i) + 1]);
    }, *jobs, keepTime);
    return status;
}

}  // namespace

std::vector<Command> imagingCommands() {
    return {
        {"recompress", usageOf("recompress"), run},
        {"new-jpeg", usageOf("new-jpeg"), run},
    };
}

}  // namespace quill::cli
