#include "base/png_guard.h"

#include <cstdio>

#include "base/jpeg_guard.h"

namespace quill {
namespace {

void emitNamed(png_structp png, png_const_charp text) {
    const char* subject = static_cast<PngReader*>(png_get_error_ptr(png))->subject;
    if (!subject) {
        emitMessage(text);
        return;
    }
    char line[4096 + 256];
    std::snprintf(line, sizeof line, "%s: %s", subject, text);
    emitMessage(line);
}

void pngError(png_structp png, png_const_charp text) {
    auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
    std::snprintf(reader->message, sizeof reader->message, "%s", text);
    emitNamed(png, text);
    png_longjmp(png, 1);
}

void pngWarning(png_structp png, png_const_charp text) { emitNamed(png, text); }

}  // namespace

PngReader::PngReader() {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, pngError, pngWarning);
    if (png) info = png_create_info_struct(png);
}

}  // namespace quill
