// libpng errors the same way as libjpeg's: png_error longjmps to png_jmpbuf,
// armed by runPngPhase; owners live in the caller. Internal: includes png.h.
#pragma once

#include <csetjmp>

#include <png.h>

namespace quill {

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[128] = {};  // libpng's last error text
    const char* subject = nullptr;  // file named in front of libpng's messages
    PngReader();
    ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    explicit operator bool() const { return png && info; }
};

template <class Phase>
bool runPngPhase(png_structp png, Phase&& phase) {
    if (setjmp(png_jmpbuf(png))) return false;
    phase();
    return true;
}

}  // namespace quill
