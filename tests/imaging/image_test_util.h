// Small helpers shared by the imaging tests: DIBs made and read by picture
// coordinates, and djpeg's PNM output.
#pragma once

#include <cctype>
#include <cstdio>
#include <functional>
#include <string>

#include "imaging/loaded_image.h"
#include "tests/support/image_writers.h"

namespace quill::test {

// (red, green, blue) of pixel (x, y), y from the top of the picture.
inline Rgb pixelAt(const BitmapInfoHeader* info, const std::uint8_t* pixels, int x, int y) {
    const std::size_t stride = std::size_t(dibStride(24, info->biWidth));
    const std::uint8_t* p = pixels + std::size_t(info->biHeight - 1 - y) * stride + 3 * std::size_t(x);
    return {p[2], p[1], p[0]};
}
inline Rgb pixelAt(const LoadedImage& img, int x, int y) { return pixelAt(img.info, img.pixels.get(), x, y); }
inline Rgb pixelAt(const Dib& dib, int x, int y) { return pixelAt(dib.info, dib.pixels.get(), x, y); }

// A 24-bit DIB filled with f(x, y), y from the top of the picture.
inline Dib makeDib(int w, int h, const std::function<Rgb(int, int)>& f) {
    Dib dib = allocateDib(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = f(x, y);
            std::uint8_t* p = dib.row(h - 1 - y) + 3 * x;
            p[0] = c[2];
            p[1] = c[1];
            p[2] = c[0];
        }
    return dib;
}

// A binary PGM/PPM as written by djpeg, widened to RGB triples.
struct Pnm {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

inline Pnm readPnm(const fs::path& path) {
    Pnm pnm;
    Bytes b = readBytes(path);
    if (b.size() < 2 || b[0] != 'P' || (b[1] != '5' && b[1] != '6')) return pnm;
    const int channels = b[1] == '6' ? 3 : 1;
    std::size_t pos = 2;
    int fields[3] = {0, 0, 0};
    for (int& f : fields) {
        while (pos < b.size() && std::isspace(b[pos])) ++pos;
        while (pos < b.size() && std::isdigit(b[pos])) f = f * 10 + (b[pos++] - '0');
    }
    ++pos;  // the single whitespace byte before the raster
    pnm.width = fields[0];
    pnm.height = fields[1];
    const std::size_t count = std::size_t(pnm.width) * pnm.height;
    if (b.size() < pos + count * channels) return Pnm{};
    pnm.pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = b.data() + pos + i * channels;
        pnm.pixels[i] = channels == 3 ? Rgb{p[0], p[1], p[2]} : Rgb{p[0], p[0], p[0]};
    }
    return pnm;
}

// Runs djpeg with the given options on a JPEG file; empty on failure.
inline Pnm djpeg(const std::string& options, const fs::path& jpeg, const fs::path& out) {
    const std::string cmd = "djpeg " + options + " -outfile '" + out.string() + "' '" + jpeg.string() + "'";
    if (runCommand(cmd) != 0) return Pnm{};
    return readPnm(out);
}

}  // namespace quill::test
