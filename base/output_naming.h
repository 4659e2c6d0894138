// Names of new files beside their source: the source's base name, a suffix
// and an extension, with a "(NN)" counter before the extension while the
// name is taken. Lossless outputs keep the source's extension
// ("a_cleaned.jpg", "a_cleaned(01).jpg"); recompressed ones always end in
// ".jpg" ("a_compress(01).jpg"). Renamed files count "[NN]" instead
// ("img0002[01].jpg"). The counters have no upper bound.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "base/file_result.h"
#include "base/staged_file.h"

namespace quill {

// folder/base + suffix + extension. The base name runs to the last dot of
// the file name, even when that dot starts it (".jpg" has an empty base);
// the extension is the source's own (from that dot) unless one is given.
std::filesystem::path plainOutputPath(const std::filesystem::path& source, std::string_view suffix,
                                      std::optional<std::string_view> extension = std::nullopt);

// The plain name, or folder/base + suffix + "(%02d)" + extension with the
// first counter from 1 whose name does not exist yet (anything at the name
// counts, even a file we could not read, so nothing is ever replaced).
std::filesystem::path outputPathFor(const std::filesystem::path& source, std::string_view suffix,
                                    std::optional<std::string_view> extension = std::nullopt);

// Renames from to target, or while a name is taken to folder/base + "[%02d]"
// + extension of target with the first free counter from 1. Never replaces:
// a name taken between the look and the rename moves on to the next
// counter. The name given, or nullopt with errno set when the rename failed.
std::optional<std::filesystem::path> renameToFreeName(const std::filesystem::path& from,
                                                      const std::filesystem::path& target);

// Moves the finished `file` to the name outputPathFor would give, claiming
// it as it is taken: when another worker got there first, the next counter.
// *placed receives the name.
FileResult placeUnderFreeName(StagedFile& file, const std::filesystem::path& source,
                              std::string_view suffix, std::optional<std::string_view> extension,
                              std::filesystem::path* placed);

}  // namespace quill
