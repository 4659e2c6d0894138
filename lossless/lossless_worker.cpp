#include "lossless/lossless_worker.h"

#include <sys/stat.h>

#include "base/output_naming.h"

namespace quill {

LosslessFileResult convertBatchFile(const LosslessBatchSettings& settings,
                                    const std::filesystem::path& source, bool hasApp0,
                                    bool progressive, const ConfirmReadOnly& confirm) {
    LosslessFileResult result;
    // A writable source in overwrite mode is replaced straight from the
    // staged temporary: no second name ever holds the new content, so a
    // crash or kill leaves at most a hidden temporary beside the source.
    // Otherwise the output takes a free suffixed name first: it may have to
    // stay there (read-only source declined, attributes unreadable).
    struct stat st {};
    const bool direct = settings.overwrite && ::stat(source.c_str(), &st) == 0 &&
                        S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR);
    const std::filesystem::path output =
        direct ? source : outputPathFor(source, losslessSuffix(settings.op));
    LosslessOptions options = losslessOptionsFor(settings.op, source, output, hasApp0, progressive,
                                                 settings.forceProgressive);
    options.forceRegularSize = settings.forceRegularSize;
    options.keepIcc = settings.keepIcc;
    options.keepTime = settings.keepTime;
    options.resetOrientation = settings.resetOrientation;
    options.replaceExisting = direct;
    LosslessReport report;
    result.why = convertLossless(options, &report);
    if (!result.why) return result;
    if (!report.written) {
        result.unchanged = true;
        return result;
    }
    if (direct) {
        result.converted = true;
        result.outputPath = source;
        result.replace = ReplaceOutcome::Replaced;
        return result;
    }
    result.converted = true;
    result.outputPath = output;
    if (settings.overwrite) {
        result.replace = replaceSource(source, output, confirm, &result.why);
        if (result.replace == ReplaceOutcome::Replaced) result.outputPath = source;
    }
    return result;
}

}  // namespace quill
