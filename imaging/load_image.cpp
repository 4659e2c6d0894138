#include <cstring>
#include <string>

#include "imaging/loader_common.h"

namespace quill {
namespace detail {

FilePtr openImageFile(LoadedImage& image, const std::filesystem::path& path) {
    image = LoadedImage{};
    auto status = statFile(path);
    if (!status || !status->regular || status->size == 0) return nullptr;
    image.fileSize = status->size;
    image.modified = status->modified.tv_sec;
    return openFile(path, "rb");
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

bool LoadedImage::LoadImageFile(const std::filesystem::path& path, int previewWidth) {
    // The extension is the file name from its last dot on; a name with no
    // dot leaves the record as it was.
    const std::string name = path.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = name.substr(dot);

    LoadedImage loaded;
    bool known = true;
    if (equalsAsciiNoCase(ext, ".bmp")) {
        LoadBmp(loaded, path);
    } else if (equalsAsciiNoCase(ext, ".gif")) {
        LoadGif(loaded, path);
    } else if (equalsAsciiNoCase(ext, ".jpg") || equalsAsciiNoCase(ext, ".jpeg")) {
        LoadJpeg(loaded, path, previewWidth);
    } else if (equalsAsciiNoCase(ext, ".png")) {
        LoadPng(loaded, path);
    } else {
        known = false;
    }

    if (known && !loaded.empty()) {
        *this = std::move(loaded);
        return true;
    }
    pixels.reset();
    info = nullptr;
    return false;
}

}  // namespace quill
