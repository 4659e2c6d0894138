#include <cerrno>
#include <cstring>
#include <string>

#include "imaging/loader_common.h"

namespace quill {
namespace detail {

FileResult openImageFile(LoadedImage& image, const std::filesystem::path& path, FilePtr& file) {
    image = LoadedImage{};
    auto status = statFile(path);
    if (!status) return failureFromErrno(errno);
    if (!status->regular) return FileResult::fail(FailReason::NotImage, "not a regular file");
    if (status->size == 0) return FileResult::fail(FailReason::NotImage, "empty file");
    image.fileSize = status->size;
    image.modified = status->modified.tv_sec;
    file = openFile(path, "rb");
    if (!file) return failureFromErrno(errno);
    return {};
}

FileResult notFormat(const char* format) {
    return FileResult::fail(FailReason::NotImage, std::string("not a ") + format + " file");
}

FileResult tooLarge(std::int64_t width, std::int64_t height) {
    return FileResult::fail(FailReason::TooLarge,
                            std::to_string(width) + " x " + std::to_string(height) + " pixels");
}

bool readSignature(std::FILE* f, unsigned char* out, std::size_t n) {
    if (std::fread(out, 1, n, f) != n) return false;
    return std::fseek(f, 0, SEEK_SET) == 0;
}

void adoptDib(LoadedImage& image, Dib&& dib) {
    image.info = dib.info;
    image.pixels = std::move(dib.pixels);
    image.width = image.info->biWidth;
    image.height = image.info->biHeight;
    dib.info = nullptr;
}

}  // namespace detail

namespace {

bool equalsAsciiNoCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

}  // namespace

bool LoadedImage::LoadImageFile(const std::filesystem::path& path, int previewWidth,
                                FileResult* why) {
    // The extension is the file name from its last dot on; a name with no
    // dot leaves the record as it was.
    const std::string name = path.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        if (why) *why = FileResult::fail(FailReason::NotImage, "no file extension");
        return false;
    }
    const std::string ext = name.substr(dot);

    LoadedImage loaded;
    FileResult result;
    if (equalsAsciiNoCase(ext, ".bmp")) {
        result = LoadBmp(loaded, path);
    } else if (equalsAsciiNoCase(ext, ".gif")) {
        result = LoadGif(loaded, path);
    } else if (equalsAsciiNoCase(ext, ".jpg") || equalsAsciiNoCase(ext, ".jpeg")) {
        result = LoadJpeg(loaded, path, previewWidth);
    } else if (equalsAsciiNoCase(ext, ".png")) {
        result = LoadPng(loaded, path);
    } else {
        result = FileResult::fail(FailReason::NotImage, "unknown extension " + ext);
    }
    if (result && loaded.empty()) result = FileResult::fail(FailReason::Other);

    if (why) *why = result;
    if (result) {
        *this = std::move(loaded);
        return true;
    }
    pixels.reset();
    info = nullptr;
    return false;
}

}  // namespace quill
