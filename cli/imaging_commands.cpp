// quillmark-cli recompress / new-jpeg: the recompression worker over files
// named on the command line, with CompressionSettings from the defaults,
// from a settings file's "11" block, and from options for single fields.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "imaging/compression_settings.h"
#include "imaging/recompress.h"

namespace quill::cli {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Key "11" of section "setting": the block's bytes as hex pairs, then the
// low byte of their sum. nullopt when missing, misshapen or failing the
// checksum (the program then uses the defaults too).
std::optional<CompressionSettings> settingsFromText(std::string_view text) {
    bool inSection = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            inSection = equalsNoCase(trim(line.substr(1, line.size() - 2)), "setting");
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos || !equalsNoCase(trim(line.substr(0, eq)), "11"))
            continue;
        const std::string_view value = trim(line.substr(eq + 1));
        if (value.size() != 2 * (kCompressionBlockSize + 1)) return std::nullopt;
        CompressionBlock block{};
        unsigned sum = 0;
        for (std::size_t i = 0; i <= kCompressionBlockSize; ++i) {
            const int hi = hexDigit(value[2 * i]), lo = hexDigit(value[2 * i + 1]);
            if (hi < 0 || lo < 0) return std::nullopt;
            const unsigned byte = unsigned(hi << 4 | lo);
            if (i == kCompressionBlockSize) {
                if ((sum & 0xFF) != byte) return std::nullopt;
            } else {
                block[i] = std::uint8_t(byte);
                sum += byte;
            }
        }
        return unpackCompressionSettings(block);
    }
    return std::nullopt;
}

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
        if (equalsNoCase(text, names[i])) return int(i);
    return -1;
}

struct Options {
    bool overwrite = false;
    const char* settingsFile = nullptr;
    std::vector<std::filesystem::path> files;
};

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

int run(std::string_view command, std::span<char*> args) {
    const bool newJpeg = command == "new-jpeg";
    Options opt;
    // Options are applied after the settings file, whatever their position.
    CompressionSettings fromOptions;
    std::vector<std::pair<std::string_view, std::string_view>> valued;
    std::vector<std::string_view> flags;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--overwrite") {
            if (newJpeg) {
                std::fprintf(stderr, "quillmark-cli new-jpeg: never overwrites; --overwrite is not an option\n");
                return 2;
            }
            opt.overwrite = true;
        } else if (arg == "--settings" && i + 1 < args.size()) {
            opt.settingsFile = args[++i];
        } else if (isFlag(arg, fromOptions)) {
            flags.push_back(arg);
        } else if (arg.starts_with("--")) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "quillmark-cli %.*s: %.*s needs a value\n", int(command.size()),
                             command.data(), int(arg.size()), arg.data());
                return 2;
            }
            valued.emplace_back(arg, args[++i]);
        } else {
            opt.files.emplace_back(arg);
        }
    }
    if (opt.files.empty()) {
        std::fprintf(stderr, "quillmark-cli %.*s: no files given\n", int(command.size()), command.data());
        return 2;
    }

    CompressionSettings settings;
    if (opt.settingsFile) {
        std::ifstream in(opt.settingsFile, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "quillmark-cli: cannot read settings file %s\n", opt.settingsFile);
            return 2;
        }
        // status.ini is a few kilobytes; anything past this is not one (and
        // a device such as /dev/zero would never end).
        constexpr std::size_t kMaxSettingsBytes = 1 << 20;
        std::string text(kMaxSettingsBytes + 1, '\0');
        in.read(text.data(), std::streamsize(text.size()));
        text.resize(std::size_t(in.gcount()));
        if (text.size() > kMaxSettingsBytes) {
            std::fprintf(stderr, "quillmark-cli: %s is too large to be a settings file\n", opt.settingsFile);
            return 2;
        }
        if (auto stored = settingsFromText(text))
            settings = *stored;
        else
            std::fprintf(stderr, "quillmark-cli: %s has no readable compression block; using defaults\n",
                         opt.settingsFile);
    }
    for (std::string_view flag : flags) isFlag(flag, settings);
    for (auto [name, value] : valued) {
        if (!applyOption(name, value, settings)) {
            std::fprintf(stderr, "quillmark-cli %.*s: bad option %.*s %.*s\n", int(command.size()),
                         command.data(), int(name.size()), name.data(), int(value.size()), value.data());
            return 2;
        }
    }

    int status = 0;
    for (const std::filesystem::path& file : opt.files) {
        const RecompressFileResult r = recompressFile(settings, file, opt.overwrite);
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
    }
    return status;
}

}  // namespace

std::vector<Command> imagingCommands() {
    static constexpr std::string_view kOptions =
        " [--settings status.ini] [--quality N] [--progressive|--baseline] [--optimize]"
        " [--scale 8|4|2|1|1/2] [--color-space gray|rgb|ycbcr|cmyk|ycck] [--sampling 444|422|420|411]"
        " [--restart-rows N] [--restart-interval N] [--smoothing N] [--dct fast|int|float]"
        " [--memory-limit MB] [--lanczos WxH] [--keep-ratio] [--size-limit BYTES]"
        " [--jfif] [--jfif-version 1.N] [--density X,Y[,none|dpi|dpcm]]";
    static const std::string recompressUsage = "recompress FILE... [--overwrite]" + std::string(kOptions);
    static const std::string newJpegUsage = "new-jpeg IMAGE..." + std::string(kOptions);
    return {
        {"recompress", recompressUsage, run},
        {"new-jpeg", newJpegUsage, run},
    };
}

}  // namespace quill::cli
