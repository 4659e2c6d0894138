// FileResult: how an operation on a file ended, and when it failed, why, so
// the one place that tells the user (stderr in the CLI, the window's
// failure report) can say more than "failed". The core never prints these.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace quill {

enum class FailReason : std::uint8_t {
    None,
    NotFound,  // the file (or its folder) is not there, or vanished
    AccessDenied,
    NameTooLong,  // a name longer than the file system allows
    DiskFull,     // no space left, or the user's quota is used up
    ReadOnly,     // a read-only file or file system in the way
    Exists,       // a file of that name appeared
    NotJpeg,
    NotImage,       // not a picture any loader can read
    Corrupt,        // damaged data; detail holds the library's words
    Unsupported,    // a valid file of a variant we do not handle
    Truncated,      // the data ends early; detail may say where
    TooLarge,       // the picture exceeds our memory or size bounds
    OverSizeLimit,  // no quality meets the user's file-size limit
    Other,          // detail holds the system's words
};

struct FileResult {
    FailReason reason = FailReason::None;
    std::string detail;  // optional: the path concerned, a byte offset, a library message

    bool ok() const { return reason == FailReason::None; }
    explicit operator bool() const { return ok(); }

    static FileResult fail(FailReason reason, std::string detail = {}) {
        return FileResult{reason, std::move(detail)};
    }
};

// Truncated, saying where the data ends: "at byte 1234".
FileResult truncatedAt(std::uint64_t size);

// The reason an errno value stands for; Other keeps strerror's text.
FileResult failureFromErrno(int error, std::string detail = {});

// Why `source` could not be used: the errno reason when it cannot be opened
// for reading, else `whenReadable` (the caller knows what was wrong with it).
FileResult sourceFailure(const std::filesystem::path& source, FailReason whenReadable);

enum class TextLanguage { English, Japanese };

// A short sentence for the user ("file name too long", "ファイル名が長すぎます。").
std::string_view reasonText(FailReason reason, TextLanguage language);
// reasonText plus the detail in parentheses; empty for a success.
std::string failureText(const FileResult& result, TextLanguage language = TextLanguage::English);

}  // namespace quill
