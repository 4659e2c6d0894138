// The code under fuzzing reads files by path: each input becomes an
// in-memory file reached through /proc/self/fd, so no disk is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace quill::fuzz {

// The path of an anonymous file holding exactly data[0, size); the same file
// is rewritten for every input.
std::filesystem::path inputFile(const std::uint8_t* data, std::size_t size);

// A private directory for outputs, created once and kept for the run.
const std::filesystem::path& scratchDirectory();

}  // namespace quill::fuzz
