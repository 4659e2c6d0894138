// UTF-8 read one character at a time and written from code points. Bytes
// that do not form a character read as U+FFFD, one byte at a time, so any
// text (a file name, a settings value) can be walked to its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

inline constexpr std::uint32_t kReplacementChar = 0xFFFD;

// The character of s starting at byte i, with i moved past it. A truncated or
// overlong sequence, a surrogate or a value past U+10FFFF gives
// kReplacementChar and moves i by one byte. i must be below s.size().
std::uint32_t nextCodePoint(std::string_view s, std::size_t& i);

// Appends cp (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, std::uint32_t cp);

}  // namespace quill
