// Overwrite mode: the converted file takes the place of its source in one
// atomic rename, so the source's name always holds either the old or the new
// content. A read-only source is replaced only when the caller's question is
// answered yes; the question itself (a dialog, a CLI flag) is the caller's.
#pragma once

#include <filesystem>
#include <functional>

#include "base/file_result.h"

namespace quill {

enum class ReplaceOutcome {
    Replaced,              // the new content is now at the source's name
    Declined,              // read-only source kept; the output stays under its own name
    AttributesUnreadable,  // the source could not be examined; the output stays
    Failed,                // the rename failed; both files are as they were
};

// Asked only for a read-only source; true means "replace it".
using ConfirmReadOnly = std::function<bool(const std::filesystem::path& source)>;

// why, when given, receives the reason of a Failed replacement.
ReplaceOutcome replaceSource(const std::filesystem::path& source,
                             const std::filesystem::path& output, const ConfirmReadOnly& confirm,
                             FileResult* why = nullptr);

}  // namespace quill
