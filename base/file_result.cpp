#include "base/file_result.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>

namespace quill {

FileResult failureFromErrno(int error, std::string detail) {
    switch (error) {
        case 0:
            return FileResult::fail(FailReason::Other, std::move(detail));
        case ENOENT:
        case ENOTDIR:
            return FileResult::fail(FailReason::NotFound, std::move(detail));
        case EACCES:
        case EPERM:
            return FileResult::fail(FailReason::AccessDenied, std::move(detail));
        case ENAMETOOLONG:
            return FileResult::fail(FailReason::NameTooLong, std::move(detail));
        case ENOSPC:
        case EDQUOT:
            return FileResult::fail(FailReason::DiskFull, std::move(detail));
        case EROFS:
            return FileResult::fail(FailReason::ReadOnly, std::move(detail));
        case EEXIST:
        case ENOTEMPTY:
            return FileResult::fail(FailReason::Exists, std::move(detail));
        default:
            break;
    }
    std::string text = std::strerror(error);
    if (!detail.empty()) text += ": " + detail;
    return FileResult::fail(FailReason::Other, std::move(text));
}

FileResult truncatedAt(std::uint64_t size) {
    return FileResult::fail(FailReason::Truncated, "at byte " + std::to_string(size));
}

FileResult sourceFailure(const std::filesystem::path& source, FailReason whenReadable) {
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failureFromErrno(errno);
    ::close(fd);
    return FileResult::fail(whenReadable);
}

std::string_view reasonText(FailReason reason, TextLanguage language) {
    struct Texts {
        std::string_view english, japanese;
    };
    static constexpr Texts kTexts[] = {
        {"", ""},                                                                    // None
        {"file not found", "ファイルが見つかりません。"},                            // NotFound
        {"permission denied", "アクセスが拒否されました。"},                         // AccessDenied
        {"file name too long", "ファイル名が長すぎます。"},                          // NameTooLong
        {"disk full", "ディスクの空き容量が足りません。"},                           // DiskFull
        {"read-only", "読み取り専用のため書き込めません。"},                         // ReadOnly
        {"a file of that name exists", "同じ名前のファイルが既にあります。"},        // Exists
        {"not a JPEG file", "JPEGファイルではありません。"},                         // NotJpeg
        {"not a picture that can be loaded", "画像ファイルとして読み込めません。"},  // NotImage
        {"damaged data", "データが壊れています。"},                                  // Corrupt
        {"unsupported variant", "対応していない形式です。"},                         // Unsupported
        {"file ends early", "ファイルが途中で終わっています。"},                     // Truncated
        {"picture too large", "画像が大きすぎます。"},                               // TooLarge
        {"no quality meets the size limit", "指定サイズ以下に出来ませんでした。"},  // OverSizeLimit
        {"failed", "処理に失敗しました。"},                                         // Other
    };
    static_assert(std::size(kTexts) == std::size_t(FailReason::Other) + 1);
    const Texts& t =
        kTexts[std::size_t(reason) < std::size(kTexts) ? std::size_t(reason)
                                                       : std::size_t(FailReason::Other)];
    return language == TextLanguage::Japanese ? t.japanese : t.english;
}

std::string failureText(const FileResult& result, TextLanguage language) {
    if (result.ok()) return {};
    std::string text(reasonText(result.reason, language));
    if (!result.detail.empty()) {
        text += language == TextLanguage::Japanese ? "（" : " (";
        text += result.detail;
        text += language == TextLanguage::Japanese ? "）" : ")";
    }
    return text;
}

}  // namespace quill
