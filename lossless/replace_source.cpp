#include "lossless/replace_source.h"

#include <sys/stat.h>

#include "base/file_util.h"

namespace quill {

ReplaceOutcome replaceSource(const fs::path& source, const fs::path& output,
                             const ConfirmReadOnly& confirm) {
    const auto status = statFile(source);
    if (!status) return ReplaceOutcome::AttributesUnreadable;
    if (!status->writable && !(confirm && confirm(source))) return ReplaceOutcome::Declined;
    // The new content keeps the source's permissions (a private file stays
    // private); a confirmed read-only source comes back writable.
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0)
        ::chmod(output.c_str(), (st.st_mode & 0777) | S_IRUSR | S_IWUSR);
    // rename(2) replaces the source in one step, read-only or not.
    return renameReplace(output, source) ? ReplaceOutcome::Replaced : ReplaceOutcome::Failed;
}

}  // namespace quill
