#include "lossless/lossless_worker.h"

#include "base/output_naming.h"

namespace quill {

LosslessFileResult convertBatchFile(const LosslessBatchSettings& settings,
                                    const std::filesystem::path& source, bool hasApp0,
                                    bool progressive, const ConfirmReadOnly& confirm) {
    LosslessFileResult result;
    // Overwrite mode too writes under a free suffixed name first: it may have
    // to stay there (read-only source declined) and must never replace an
    // unrelated file.
    const std::filesystem::path output = outputPathFor(source, losslessSuffix(settings.op));
    LosslessOptions options = losslessOptionsFor(settings.op, source, output, hasApp0, progressive,
                                                 settings.forceProgressive);
    options.forceRegularSize = settings.forceRegularSize;
    options.keepIcc = settings.keepIcc;
    options.keepTime = settings.keepTime;
    options.resetOrientation = settings.resetOrientation;
    options.replaceExisting = false;
    LosslessReport report;
    result.why = convertLossless(options, &report);
    if (!result.why) return result;
    if (!report.written) {
        result.unchanged = true;
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
