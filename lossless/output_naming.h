// Names of lossless outputs: beside the source, the operation's suffix
// between base name and extension, and a "(NN)" counter while the name is
// taken. The counter has no upper bound.
#pragma once

#include <filesystem>
#include <string_view>

namespace quill {

// folder/base + suffix + ext, or folder/base + suffix + "(%02d)" + ext with
// the first counter from 1 whose name does not exist yet (anything at the
// name counts, even a file we could not read, so nothing is ever replaced).
std::filesystem::path outputPathFor(const std::filesystem::path& source, std::string_view suffix);

}  // namespace quill
