#include "lossless/replace_source.h"

#include "base/file_util.h"

namespace quill {

ReplaceOutcome replaceSource(const fs::path& source, const fs::path& output,
                             const ConfirmReadOnly& confirm) {
    const auto status = statFile(source);
    if (!status) return ReplaceOutcome::AttributesUnreadable;
    if (!status->writable && !(confirm && confirm(source))) return ReplaceOutcome::Declined;
    // rename(2) replaces the source in one step, read-only or not; the new
    // file keeps its own (writable) permissions, as a confirmed overwrite should.
    return renameReplace(output, source) ? ReplaceOutcome::Replaced : ReplaceOutcome::Failed;
}

}  // namespace quill
