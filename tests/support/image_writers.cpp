#include "tests/support/image_writers.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quill::test {
namespace {

void pngAppend(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

int gifAppend(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

ColorMapObject* gifMap(const std::vector<Rgb>& colors) {
    if (colors.empty()) return nullptr;
    std::vector<GifColorType> c(colors.size());
    for (std::size_t i = 0; i < colors.size(); ++i) c[i] = {colors[i][0], colors[i][1], colors[i][2]};
    return GifMakeMapObject(int(colors.size()), c.data());
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "test image writer: %s\n", what);
    std::abort();
}

void put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

}  // namespace

Bytes makePng(const PngSpec& spec) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) fail("libpng");
    png_set_write_fn(png, &out, pngAppend, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (spec.colorType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> pal(spec.palette.size());
        for (std::size_t i = 0; i < pal.size(); ++i)
            pal[i] = {spec.palette[i][0], spec.palette[i][1], spec.palette[i][2]};
        png_set_PLTE(png, info, pal.data(), int(pal.size()));
        if (!spec.paletteAlpha.empty())
            png_set_tRNS(png, info, spec.paletteAlpha.data(), int(spec.paletteAlpha.size()), nullptr);
    }
    if (spec.grayTransparent) {
        png_color_16 gray{};
        png_set_tRNS(png, info, nullptr, 0, &gray);
    }
    png_write_info(png, info);
    int channels = 1;
    if (spec.colorType == 2) channels = 3;
    if (spec.colorType == 4) channels = 2;
    if (spec.colorType == 6) channels = 4;
    // Pack each row by hand at the file's depth (MSB first, 16 bits big-endian).
    std::vector<Bytes> rows(std::size_t(spec.height));
    std::vector<png_bytep> pointers(rows.size());
    const std::size_t bitsPerRow = std::size_t(spec.width) * channels * spec.bitDepth;
    for (int y = 0; y < spec.height; ++y) {
        Bytes& row = rows[std::size_t(y)];
        row.assign((bitsPerRow + 7) / 8, 0);
        std::size_t bit = 0;
        for (int x = 0; x < spec.width; ++x)
            for (int c = 0; c < channels; ++c, bit += spec.bitDepth) {
                const unsigned v = spec.sample(x, y, c);
                if (spec.bitDepth == 16) {
                    row[bit / 8] = std::uint8_t(v >> 8);
                    row[bit / 8 + 1] = std::uint8_t(v);
                } else if (spec.bitDepth == 8) {
                    row[bit / 8] = std::uint8_t(v);
                } else {
                    const int shift = 8 - spec.bitDepth - int(bit % 8);
                    row[bit / 8] = std::uint8_t(row[bit / 8] | (v << shift));
                }
            }
        pointers[std::size_t(y)] = row.data();
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes makeGif(const GifSpec& spec) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifAppend, &error);
    if (!gif) fail("giflib open");
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = gifMap(spec.globalMap);
    if (EGifPutScreenDesc(gif, spec.width, spec.height, 8, spec.background, global) != GIF_OK)
        fail("screen");
    GifFreeMapObject(global);
    for (const GifFrame& f : spec.frames) {
        if (f.transparent >= 0) {
            const GifByteType gce[4] = {0x01, 0, 0, GifByteType(f.transparent)};
            if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce) != GIF_OK) fail("gce");
        }
        ColorMapObject* local = gifMap(f.localMap);
        if (EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local) != GIF_OK)
            fail("image");
        GifFreeMapObject(local);
        // Rows go out in file order: for an interlaced frame, the four passes.
        std::vector<int> order;
        if (f.interlace) {
            const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            for (int p = 0; p < 4; ++p)
                for (int y = start[p]; y < f.height; y += step[p]) order.push_back(y);
        } else {
            for (int y = 0; y < f.height; ++y) order.push_back(y);
        }
        std::vector<GifPixelType> line(std::size_t(f.width));
        for (int y : order) {
            for (int x = 0; x < f.width; ++x) line[std::size_t(x)] = f.index(x, y);
            if (EGifPutLine(gif, line.data(), f.width) != GIF_OK) fail("line");
        }
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) fail("close");
    return out;
}

Bytes makeBmp(const BmpSpec& spec) {
    const int rows = spec.height < 0 ? -spec.height : spec.height;
    const std::size_t stride = ((std::size_t(spec.bitCount) * spec.width + 31) / 32) * 4;
    const std::size_t tableBytes = spec.palette.size() * 4;
    const std::size_t offset =
        spec.pixelOffset >= 0 ? std::size_t(spec.pixelOffset) : 14 + spec.infoSize + tableBytes;
    Bytes b(std::max(offset, 14 + spec.infoSize + tableBytes) + stride * rows, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, std::uint32_t(b.size()));
    put32(b, 10, std::uint32_t(offset));
    put32(b, 14, spec.infoSize);
    put32(b, 18, std::uint32_t(spec.width));
    put32(b, 22, std::uint32_t(spec.height));
    put16(b, 26, 1);
    put16(b, 28, unsigned(spec.bitCount));
    put32(b, 30, spec.compression);
    put32(b, 34, std::uint32_t(stride * rows));
    put32(b, 46, spec.colorsUsed);
    for (std::size_t i = 0; i < spec.palette.size(); ++i) {
        b[14 + spec.infoSize + 4 * i] = spec.palette[i][2];
        b[14 + spec.infoSize + 4 * i + 1] = spec.palette[i][1];
        b[14 + spec.infoSize + 4 * i + 2] = spec.palette[i][0];
    }
    for (int r = 0; r < rows; ++r) {
        // File row r is the picture's bottom row first, unless top-down.
        const int y = spec.height < 0 ? r : rows - 1 - r;
        std::uint8_t* p = b.data() + offset + std::size_t(r) * stride;
        if (offset + std::size_t(r + 1) * stride > b.size()) break;
        for (int x = 0; x < spec.width; ++x) {
            const std::uint32_t v = spec.value(x, y);
            switch (spec.bitCount) {
            case 1: p[x / 8] = std::uint8_t(p[x / 8] | (v & 1) << (7 - x % 8)); break;
            case 4: p[x / 2] = std::uint8_t(p[x / 2] | (v & 15) << (x % 2 ? 0 : 4)); break;
            case 8: p[x] = std::uint8_t(v); break;
            case 16: p[2 * x] = std::uint8_t(v); p[2 * x + 1] = std::uint8_t(v >> 8); break;
            case 24: p[3 * x] = std::uint8_t(v); p[3 * x + 1] = std::uint8_t(v >> 8); p[3 * x + 2] = std::uint8_t(v >> 16); break;
            case 32: p[4 * x] = std::uint8_t(v); p[4 * x + 1] = std::uint8_t(v >> 8); p[4 * x + 2] = std::uint8_t(v >> 16); p[4 * x + 3] = 0xAA; break;
            }
        }
    }
    return b;
}

}  // namespace quill::test
