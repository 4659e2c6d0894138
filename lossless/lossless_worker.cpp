#include "lossless/lossless_worker.h"

#include "base/output_naming.h"

namespace quill {

ConvertedFile convertToStaged(const LosslessBatchSettings& settings, const std::filesystem::path& source,
                              bool hasApp0, bool progressive) {
    // The temporary lies beside the name the output will most likely take.
    const std::filesystem::path plain = plainOutputPath(source, losslessSuffix(settings.op));
    ConvertedFile converted;
    converted.staged = std::make_unique<StagedFile>(plain);
    LosslessOptions options =
        losslessOptionsFor(settings.op, source, plain, hasApp0, progressive, settings.forceProgressive);
    options.forceRegularSize = settings.forceRegularSize;
    converted.why = convertLossless(options, *converted.staged);
    if (!converted.why) converted.staged.reset();
    return converted;
}

LosslessFileResult placeConverted(const LosslessBatchSettings& settings, const std::filesystem::path& source,
                                  ConvertedFile converted, const ConfirmReadOnly& confirm) {
    LosslessFileResult result;
    result.why = std::move(converted.why);
    if (!result.why || !converted.staged) return result;
    // Overwrite mode too takes a free suffixed name first: the file may have
    // to stay there (read-only source declined) and must never replace an
    // unrelated file.
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
