#include "lossless/lossless_worker.h"

#include <sys/stat.h>

#include "base/output_naming.h"

namespace quill {

ConvertedFile convertToStaged(const LosslessBatchSettings& settings, const std::filesystem::path& source,
                              bool hasApp0, bool progressive) {
    // The temporary is named after what it will most likely replace or become.
    const std::filesystem::path plain = plainOutputPath(source, losslessSuffix(settings.op));
    ConvertedFile converted;
    converted.staged = std::make_unique<StagedFile>(settings.overwrite ? source : plain);
    LosslessOptions options =
        losslessOptionsFor(settings.op, source, plain, hasApp0, progressive, settings.forceProgressive);
    options.forceRegularSize = settings.forceRegularSize;
    options.keepIcc = settings.keepIcc;
    options.keepTime = settings.keepTime;
    options.resetOrientation = settings.resetOrientation;
    LosslessReport report;
    converted.why = convertLossless(options, *converted.staged, &report);
    converted.unchanged = converted.why && !report.written;
    if (!converted.why || converted.unchanged) converted.staged.reset();
    return converted;
}

LosslessFileResult placeConverted(const LosslessBatchSettings& settings, const std::filesystem::path& source,
                                  ConvertedFile converted, const ConfirmReadOnly& confirm) {
    LosslessFileResult result;
    result.why = std::move(converted.why);
    result.unchanged = converted.unchanged;
    if (!result.why || !converted.staged) return result;
    // A writable source in overwrite mode is replaced straight from the
    // staged temporary: no second name ever holds the new content, so a
    // crash or kill leaves at most a hidden temporary beside the source.
    // Otherwise the output takes a free suffixed name first: it may have to
    // stay there (read-only source declined, attributes unreadable) and must
    // never replace an unrelated file.
    struct stat st {};
    if (settings.overwrite && ::stat(source.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR)) {
        result.why = converted.staged->commit(Placement::Replace);
        if (!result.why) return result;
        result.converted = true;
        result.outputPath = source;
        result.replace = ReplaceOutcome::Replaced;
        return result;
    }
    result.why = placeUnderFreeName(*converted.staged, source, losslessSuffix(settings.op), std::nullopt,
                                    &result.outputPath);
    if (!result.why) return result;
    result.converted = true;
    if (settings.overwrite) {
        result.replace = replaceSource(source, result.outputPath, confirm, &result.why);
        if (result.replace == ReplaceOutcome::Replaced) result.outputPath = source;
    }
    return result;
}

LosslessFileResult convertBatchFile(const LosslessBatchSettings& settings,
                                    const std::filesystem::path& source, bool hasApp0,
                                    bool progressive, const ConfirmReadOnly& confirm) {
    return placeConverted(settings, source, convertToStaged(settings, source, hasApp0, progressive), confirm);
}

}  // namespace quill
