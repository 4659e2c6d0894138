// quillmark-cli lossless commands: the twelve batch operations over files
// named on the command line, and the trimming window's crop. Each file is
// first scanned as the folder list would scan it, because the operations
// take "has APP0" and "is progressive" from the list row.
#include <charconv>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_result.h"
#include "base/file_util.h"
#include "base/ordered_batch.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "inspection/jpeg_info.h"
#include "inspection/quant_table_db.h"
#include "lossless/convert_lossless.h"
#include "lossless/lossless_worker.h"

namespace quill::cli {
namespace {

struct OpName {
    std::string_view name;
    LosslessOp op;
    std::string_view usage;
};

#define QUILL_TRANSFORM_USAGE(name) name " [--overwrite] [--keep-time] [--reset-orientation] [--jobs N] FILE..."

constexpr OpName kOpNames[] = {
    {"clean", LosslessOp::OpClean,
     "clean [--overwrite] [--force-progressive] [--keep-icc] [--keep-time] [--jobs N] FILE...   strip APPn/COM"},
    {"baseline", LosslessOp::OpBaseline, "baseline [--overwrite] [--keep-time] [--jobs N] FILE..."},
    {"progressive", LosslessOp::OpProgressive, "progressive [--overwrite] [--keep-time] [--jobs N] FILE..."},
    {"grayscale", LosslessOp::OpGrayscale, "grayscale [--overwrite] [--keep-time] [--jobs N] FILE..."},
    {"rotate-r90", LosslessOp::OpRotateRight90, QUILL_TRANSFORM_USAGE("rotate-r90")},
    {"rotate-l90", LosslessOp::OpRotateLeft90, QUILL_TRANSFORM_USAGE("rotate-l90")},
    {"rotate-180", LosslessOp::OpRotate180, QUILL_TRANSFORM_USAGE("rotate-180")},
    {"flip-h", LosslessOp::OpFlipHorizontal, QUILL_TRANSFORM_USAGE("flip-h")},
    {"flip-v", LosslessOp::OpFlipVertical, QUILL_TRANSFORM_USAGE("flip-v")},
    {"transpose", LosslessOp::OpTranspose, QUILL_TRANSFORM_USAGE("transpose")},
    {"transverse", LosslessOp::OpTransverse, QUILL_TRANSFORM_USAGE("transverse")},
    {"none", LosslessOp::OpNoTransform, "none [--overwrite] [--keep-time] [--jobs N] FILE...   re-write unchanged"},
    {"auto-rotate", LosslessOp::OpAutoRotate,
     "auto-rotate [--overwrite] [--keep-time] [--jobs N] FILE...   turn upright by the Exif orientation"},
};

#undef QUILL_TRANSFORM_USAGE

// "--force-progressive" matters only to clean but every operation takes it.
constexpr OptionSpec kOpOptions[] = {{"--overwrite"}, {"--force-progressive"}, {"--keep-time"}, kJobsOption};
constexpr OptionSpec kCleanOptions[] = {
    {"--overwrite"}, {"--force-progressive"}, {"--keep-time"}, {"--keep-icc"}, kJobsOption};
constexpr OptionSpec kTransformOptions[] = {
    {"--overwrite"}, {"--force-progressive"}, {"--keep-time"}, {"--reset-orientation"}, kJobsOption};
constexpr OptionSpec kCropOptions[] = {
    {"--rect", true}, {"-o", true}, {"--regular"}, {"--force-progressive"}, {"--keep-time"}};
constexpr std::string_view kCropUsage =
    "crop FILE --rect LEFT,TOP,RIGHT,BOTTOM [--regular] [--force-progressive] [--keep-time] [-o OUT]";

std::span<const OptionSpec> optionsOf(LosslessOp op) {
    if (op == LosslessOp::OpClean) return kCleanOptions;
    if (op >= LosslessOp::OpRotateRight90 && op <= LosslessOp::OpTransverse) return kTransformOptions;
    return kOpOptions;
}

struct SourceFacts {
    bool hasApp0 = false;
    bool progressive = false;
};

FileResult scanSource(const QuantTableDb& db, const fs::path& path, SourceFacts& facts) {
    JpegInfo info;
    FileResult why;
    if (!ScanJpeg(path, db, info, &why)) return why;
    facts.hasApp0 = sourceHasApp0(info.fields[kColApp0]);
    facts.progressive = sourceIsProgressive(info.fields[kColCoding]);
    return {};
}

void reportFailure(const fs::path& file, const FileResult& why) {
    std::fprintf(stderr, "quillmark-cli: '%s': %s\n", file.c_str(), failureText(why).c_str());
}

// Names and places one converted file and reports it; status becomes 1 on
// any failure.
void finishFile(const LosslessBatchSettings& settings, const fs::path& file, const FileResult& scanned,
                ConvertedFile converted, int& status) {
    if (!scanned) {
        reportFailure(file, scanned);
        status = 1;
        return;
    }
    // No one to ask here: a read-only source is kept.
    const LosslessFileResult r =
        placeConverted(settings, file, std::move(converted), [](const fs::path&) { return false; });
    if (r.unchanged) {
        std::fprintf(stderr, "quillmark-cli: '%s' is upright already; no output\n", file.c_str());
        return;
    }
    if (!r.converted) {
        reportFailure(file, r.why);
        status = 1;
        return;
    }
    std::printf("%s\n", r.outputPath.c_str());
    if (!settings.overwrite) return;
    switch (r.replace) {
        case ReplaceOutcome::Replaced:
            break;
        case ReplaceOutcome::Declined:
            std::fprintf(stderr, "quillmark-cli: '%s' is read-only and was not replaced\n", file.c_str());
            status = 1;
            break;
        case ReplaceOutcome::AttributesUnreadable:
            std::fprintf(stderr, "quillmark-cli: '%s': file attributes unreadable, not replaced\n", file.c_str());
            status = 1;
            break;
        case ReplaceOutcome::Failed:
            std::fprintf(stderr, "quillmark-cli: '%s' could not be replaced: %s\n", file.c_str(),
                         failureText(r.why).c_str());
            status = 1;
            break;
    }
}

int runOp(std::string_view name, std::span<char*> args) {
    const OpName* entry = nullptr;
    for (const OpName& o : kOpNames)
        if (o.name == name) entry = &o;
    if (!entry) return usageError(name, "unknown operation");

    const auto parsed = parseArguments(name, args, {optionsOf(entry->op), 1, SIZE_MAX, entry->usage});
    if (!parsed) return 2;
    LosslessBatchSettings settings;
    settings.op = entry->op;
    settings.overwrite = parsed->has("--overwrite");
    settings.forceProgressive = parsed->has("--force-progressive");
    settings.keepIcc = parsed->has("--keep-icc");
    settings.keepTime = parsed->has("--keep-time");
    settings.resetOrientation = parsed->has("--reset-orientation");
    const std::vector<fs::path> files(parsed->operands.begin(), parsed->operands.end());

    const std::optional<int> jobs = jobsOption(name, *parsed);
    if (!jobs) return 2;

    // Files are scanned and converted side by side; names, replacements and
    // reports follow one file at a time in command-line order.
    const QuantTableDb db;
    const std::size_t count = files.size();
    std::vector<FileResult> scanned(count);
    std::vector<ConvertedFile> converted(count);
    BatchProgress progress(count);
    int status = 0;
    OrderedBatch batch;
    batch.count = static_cast<int>(count);
    batch.workers = *jobs;
    batch.work = [&](int i) {
        const fs::path& file = files[std::size_t(i)];
        SourceFacts facts;
        scanned[std::size_t(i)] = scanSource(db, file, facts);
        if (!scanned[std::size_t(i)]) return;
        converted[std::size_t(i)] = convertToStaged(settings, file, facts.hasApp0, facts.progressive);
    };
    // The progress line names the oldest file not yet finished.
    batch.finish = [&](int i) {
        progress.clear();
        finishFile(settings, files[std::size_t(i)], scanned[std::size_t(i)],
                   std::move(converted[std::size_t(i)]), status);
        if (std::size_t(i) + 1 < count) progress.show(std::size_t(i) + 1, files[std::size_t(i) + 1]);
    };
    if (count > 0) progress.show(0, files[0]);
    runOrderedBatch(batch);
    std::fflush(stdout);
    return status;
}

bool parseRect(std::string_view text, std::uint32_t (&v)[4]) {
    for (int i = 0; i < 4; ++i) {
        const size_t comma = text.find(',');
        const std::string_view part = i < 3 ? text.substr(0, comma) : text;
        if ((i < 3 && comma == std::string_view::npos) || part.empty()) return false;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), v[i]);
        if (ec != std::errc() || end != part.data() + part.size()) return false;
        if (i < 3) text.remove_prefix(comma + 1);
    }
    return true;
}

// As the trimming window saves: keepJfif when the source has no APP0 (a JFIF
// segment it has is then copied as it is), the source's coding kept.
int runCrop(std::string_view name, std::span<char*> args) {
    const auto parsed = parseArguments(name, args, {kCropOptions, 1, 1, kCropUsage});
    if (!parsed) return 2;
    const fs::path file(parsed->operands[0]);
    fs::path out(parsed->value("-o").value_or(std::string_view()));
    const bool regular = parsed->has("--regular");
    const bool forceProgressive = parsed->has("--force-progressive");
    std::uint32_t rect[4] = {};
    const std::optional<std::string_view> rectText = parsed->value("--rect");
    if (!rectText) return usageError(name, "--rect LEFT,TOP,RIGHT,BOTTOM is required");
    if (!parseRect(*rectText, rect)) return usageError(name, "--rect takes LEFT,TOP,RIGHT,BOTTOM");
    if (rect[2] < 1 || rect[3] < 1 || rect[0] >= rect[2] || rect[1] >= rect[3])
        return usageError(name, "the crop rectangle is empty");

    const QuantTableDb db;
    SourceFacts facts;
    if (const FileResult scanned = scanSource(db, file, facts); !scanned) {
        reportFailure(file, scanned);
        return 1;
    }
    const bool replace = !out.empty();
    if (out.empty()) out = file.parent_path() / (file.stem().string() + "_trimming.jpg");

    LosslessOptions o;
    o.sourcePath = file;
    o.outputPath = out;
    o.keepJfif = !facts.hasApp0;
    o.progressive = facts.progressive || forceProgressive;
    o.forceRegularSize = regular;
    o.keepTime = parsed->has("--keep-time");
    o.crop = true;
    o.cropLeft = rect[0];
    o.cropTop = rect[1];
    o.cropRight = rect[2];
    o.cropBottom = rect[3];
    // The save dialog asks before replacing; without -o there is no one to ask.
    o.replaceExisting = replace;
    if (!replace && pathExists(out)) {
        std::fprintf(stderr, "quillmark-cli: '%s' exists; name the output with -o to replace it\n",
                     out.c_str());
        return 1;
    }
    if (const FileResult r = convertLossless(o); !r) {
        reportFailure(file, r);
        return 1;
    }
    std::printf("%s\n", out.c_str());
    return 0;
}

}  // namespace

std::vector<Command> losslessCommands() {
    std::vector<Command> commands;
    for (const OpName& o : kOpNames) commands.push_back({o.name, o.usage, runOp});
    commands.push_back({"crop", kCropUsage, runCrop});
    return commands;
}

}  // namespace quill::cli
