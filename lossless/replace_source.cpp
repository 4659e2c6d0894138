#include "lossless/replace_source.h"

#include <sys/stat.h>

#include "base/staged_file.h"

namespace quill {

ReplaceOutcome replaceSource(const std::filesystem::path& source,
                             const std::filesystem::path& output, const ConfirmReadOnly& confirm,
                             FileResult* why) {
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0) return ReplaceOutcome::AttributesUnreadable;
    if (!(st.st_mode & S_IWUSR) && !(confirm && confirm(source))) return ReplaceOutcome::Declined;
    // The new content keeps the source's permissions (a private file stays
    // private); a confirmed read-only source comes back writable. rename(2)
    // replaces the source in one step, read-only or not.
    FileResult r = replaceFile(output, source, (st.st_mode & 0777) | S_IRUSR | S_IWUSR);
    const bool replaced = r.ok();
    if (why) *why = std::move(r);
    return replaced ? ReplaceOutcome::Replaced : ReplaceOutcome::Failed;
}

}  // namespace quill
