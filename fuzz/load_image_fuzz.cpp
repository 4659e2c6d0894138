// libFuzzer target: the input, saved under a name with QUILL_FUZZ_EXTENSION,
// goes through LoadImageFile as the program's loaders see files. A JPEG is
// decoded at full size and again as a reduced preview. Pictures the header
// declares above 2^22 pixels but within the loaders' limit are skipped: a
// few hundred bytes of RLE, LZW, zlib or JPEG can fill one, and each then
// takes seconds under the sanitizers while exercising the same code.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/jpeg_guard.h"
#include "imaging/dib.h"
#include "imaging/loaded_image.h"

namespace {

const std::string& inputPath() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/quill-fuzz-" + std::to_string(::getpid()) +
                        QUILL_FUZZ_EXTENSION;
        std::atexit([] { std::remove(inputPath().c_str()); });
        return p;
    }();
    return path;
}

std::int64_t le(const std::uint8_t* p, int bytes) {
    std::int64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return bytes == 4 ? std::int64_t(std::int32_t(v)) : v;
}
std::int64_t be32(const std::uint8_t* p) { return std::int64_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// The picture size the header claims, as far as a glance tells; 0 unknown.
std::int64_t declaredPixels(const std::uint8_t* data, std::size_t size) {
    const std::string extension = QUILL_FUZZ_EXTENSION;
    if (extension == ".bmp" && size >= 26) {
        const bool os2 = le(data + 14, 4) == 12;
        const std::int64_t w = os2 ? le(data + 18, 2) : le(data + 18, 4), h = os2 ? le(data + 20, 2) : le(data + 22, 4);
        return w * (h < 0 ? -h : h);
    }
    if (extension == ".gif" && size >= 13) {
        std::int64_t w = le(data + 6, 2), h = le(data + 8, 2);
        // A screen of no size takes the first frame's extent, if its
        // descriptor follows the global map.
        const std::size_t at = 13 + (data[10] & 0x80 ? 3u << ((data[10] & 7) + 1) : 0);
        if ((w == 0 || h == 0) && size >= at + 9 && data[at] == 0x2C) {
            if (w == 0) w = le(data + at + 1, 2) + le(data + at + 5, 2);
            if (h == 0) h = le(data + at + 3, 2) + le(data + at + 7, 2);
        }
        return w * h;
    }
    // Each side capped, so the product of two 32-bit sides cannot overflow.
    if (extension == ".png" && size >= 24)
        return std::min<std::int64_t>(be32(data + 16), 1 << 30) * std::min<std::int64_t>(be32(data + 20), 1 << 30);
    if (extension == ".jpg") {
        quill::JpegDecompressor d;
        std::int64_t pixels = 0;
        if (d.created)
            quill::runJpegPhase(d.err, [&] {
                jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
                if (jpeg_read_header(&d.cinfo, FALSE) == JPEG_HEADER_OK)
                    pixels = std::int64_t(d.cinfo.image_width) * d.cinfo.image_height;
            });
        return pixels;
    }
    return 0;
}

void check(const quill::LoadedImage& image) {
    // A loaded picture is whole: touch its last byte and its header.
    if (image.empty()) std::abort();
    const quill::BitmapInfoHeader* info = image.info;
    if (info->biBitCount != 24 || info->biSize != 40) std::abort();
    volatile std::uint8_t last = image.pixels.get()[image.stride() * std::size_t(info->biHeight) + 43];
    (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quill::setMessageSink([](const char*) {});  // libjpeg's warnings on every input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::int64_t pixels = declaredPixels(data, size);
    if (pixels > (1 << 22) && pixels <= quill::kMaxDibPixels) return 0;
    const std::string& path = inputPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;

    quill::LoadedImage image;
    if (image.LoadImageFile(path, 0)) check(image);
    else if (!image.empty()) std::abort();
    if (std::string(QUILL_FUZZ_EXTENSION) == ".jpg") {
        quill::LoadedImage preview;
        if (preview.LoadImageFile(path, 16)) check(preview);
        else if (!preview.empty()) std::abort();
    }
    return 0;
}
