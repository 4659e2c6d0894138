// quillmark-cli lossless commands: the twelve batch operations over files
// named on the command line, and the trimming window's crop. Each file is
// first scanned as the folder list would scan it, because the operations
// take "has APP0" and "is progressive" from the list row.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/file_result.h"
#include "base/file_util.h"
#include "cli/commands.h"
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

constexpr std::string_view kOpOptions = " [--overwrite] [--force-progressive] FILE...";

constexpr OpName kOpNames[] = {
    {"clean", LosslessOp::OpClean,
     "clean [--overwrite] [--force-progressive] FILE...   strip APPn/COM"},
    {"baseline", LosslessOp::OpBaseline, "baseline [--overwrite] FILE..."},
    {"progressive", LosslessOp::OpProgressive, "progressive [--overwrite] FILE..."},
    {"grayscale", LosslessOp::OpGrayscale, "grayscale [--overwrite] FILE..."},
    {"rotate-r90", LosslessOp::OpRotateRight90, "rotate-r90 [--overwrite] FILE..."},
    {"rotate-l90", LosslessOp::OpRotateLeft90, "rotate-l90 [--overwrite] FILE..."},
    {"rotate-180", LosslessOp::OpRotate180, "rotate-180 [--overwrite] FILE..."},
    {"flip-h", LosslessOp::OpFlipHorizontal, "flip-h [--overwrite] FILE..."},
    {"flip-v", LosslessOp::OpFlipVertical, "flip-v [--overwrite] FILE..."},
    {"transpose", LosslessOp::OpTranspose, "transpose [--overwrite] FILE..."},
    {"transverse", LosslessOp::OpTransverse, "transverse [--overwrite] FILE..."},
    {"none", LosslessOp::OpNoTransform, "none [--overwrite] FILE...   re-write unchanged"},
};

struct SourceFacts {
    bool hasApp0 = false;
    bool progressive = false;
};

bool scanSource(const QuantTableDb& db, const fs::path& path, SourceFacts& facts) {
    JpegInfo info;
    if (!ScanJpeg(path, db, info)) return false;
    facts.hasApp0 = sourceHasApp0(info.fields[kColApp0]);
    facts.progressive = sourceIsProgressive(info.fields[kColCoding]);
    return true;
}

void reportFailure(const fs::path& file, const FileResult& why) {
    std::fprintf(stderr, "quillmark-cli: '%s': %s\n", file.c_str(), failureText(why).c_str());
}

int usageError(std::string_view name, const char* message) {
    std::fprintf(stderr, "quillmark-cli %.*s: %s\n", int(name.size()), name.data(), message);
    return 2;
}

int runOp(std::string_view name, std::span<char*> args) {
    const OpName* entry = nullptr;
    for (const OpName& o : kOpNames)
        if (o.name == name) entry = &o;
    if (!entry) return usageError(name, "unknown operation");

    LosslessBatchSettings settings;
    settings.op = entry->op;
    std::vector<fs::path> files;
    bool optionsDone = false;
    for (char* arg : args) {
        const std::string_view a = arg;
        if (!optionsDone && a == "--") {
            optionsDone = true;
        } else if (!optionsDone && a == "--overwrite") {
            settings.overwrite = true;
        } else if (!optionsDone && a == "--force-progressive") {
            settings.forceProgressive = true;
        } else if (!optionsDone && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "quillmark-cli %.*s: unknown option '%s'\n", int(name.size()),
                         name.data(), arg);
            return 2;
        } else {
            files.emplace_back(a);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: quillmark-cli %.*s%.*s\n", int(name.size()), name.data(),
                     int(kOpOptions.size()), kOpOptions.data());
        return 2;
    }

    const QuantTableDb db;
    int status = 0;
    for (const fs::path& file : files) {
        SourceFacts facts;
        if (!scanSource(db, file, facts)) {
            reportFailure(file, sourceFailure(file, FailReason::NotJpeg));
            status = 1;
            continue;
        }
        // No one to ask here: a read-only source is kept.
        const LosslessFileResult r =
            convertBatchFile(settings, file, facts.hasApp0, facts.progressive,
                             [](const fs::path&) { return false; });
        if (!r.converted) {
            reportFailure(file, r.why);
            status = 1;
            continue;
        }
        std::printf("%s\n", r.outputPath.c_str());
        if (!settings.overwrite) continue;
        switch (r.replace) {
            case ReplaceOutcome::Replaced:
                break;
            case ReplaceOutcome::Declined:
                std::fprintf(stderr, "quillmark-cli: '%s' is read-only and was not replaced\n",
                             file.c_str());
                status = 1;
                break;
            case ReplaceOutcome::AttributesUnreadable:
                std::fprintf(stderr,
                             "quillmark-cli: '%s': file attributes unreadable, not replaced\n",
                             file.c_str());
                status = 1;
                break;
            case ReplaceOutcome::Failed:
                std::fprintf(stderr, "quillmark-cli: '%s' could not be replaced: %s\n",
                             file.c_str(), failureText(r.why).c_str());
                status = 1;
                break;
        }
    }
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
    constexpr const char* kUsage =
        "usage: quillmark-cli crop FILE --rect LEFT,TOP,RIGHT,BOTTOM [--regular] "
        "[--force-progressive] [-o OUT]";
    fs::path file, out;
    std::uint32_t rect[4] = {};
    bool haveRect = false, regular = false, forceProgressive = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--rect" && i + 1 < args.size()) {
            if (!parseRect(args[++i], rect))
                return usageError(name, "--rect takes LEFT,TOP,RIGHT,BOTTOM");
            haveRect = true;
        } else if (a == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (a == "--regular") {
            regular = true;
        } else if (a == "--force-progressive") {
            forceProgressive = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError(name, kUsage);
        } else if (file.empty()) {
            file = a;
        } else {
            return usageError(name, kUsage);
        }
    }
    if (file.empty() || !haveRect) return usageError(name, kUsage);
    if (rect[2] < 1 || rect[3] < 1 || rect[0] >= rect[2] || rect[1] >= rect[3])
        return usageError(name, "the crop rectangle is empty");

    const QuantTableDb db;
    SourceFacts facts;
    if (!scanSource(db, file, facts)) {
        reportFailure(file, sourceFailure(file, FailReason::NotJpeg));
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
    commands.push_back(
        {"crop", "crop FILE --rect LEFT,TOP,RIGHT,BOTTOM [--regular] [-o OUT]", runCrop});
    return commands;
}

}  // namespace quill::cli
