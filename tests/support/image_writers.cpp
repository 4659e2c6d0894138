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
        // giflib 5.2.1 drops the previous frame's local map without freeing it
        // when this frame has none.
        if (!local && gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
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

namespace {

// One row of palette indices as RLE8/RLE4: runs of equal values, literal
// groups of three or more padded to 16 bits, then an end of line.
void appendRleRow(Bytes& out, const std::vector<std::uint8_t>& row, bool four) {
    std::size_t x = 0;
    auto runAt = [&](std::size_t i) {
        std::size_t n = 1;
        while (i + n < row.size() && n < 255 && row[i + n] == row[i]) ++n;
        return n;
    };
    while (x < row.size()) {
        std::size_t n = runAt(x);
        if (n >= 2 || row.size() - x < 3) {
            out.push_back(std::uint8_t(n));
            out.push_back(four ? std::uint8_t(row[x] << 4 | row[x]) : row[x]);
            x += n;
            continue;
        }
        for (n = 0; x + n < row.size() && n < 255 && (runAt(x + n) < 2 || n < 3); ++n) {}
        out.push_back(0);
        out.push_back(std::uint8_t(n));
        const std::size_t start = out.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (!four) out.push_back(row[x + i]);
            else if (i % 2 == 0) out.push_back(std::uint8_t(row[x + i] << 4));
            else out.back() = std::uint8_t(out.back() | row[x + i]);
        }
        if ((out.size() - start) % 2) out.push_back(0);
        x += n;
    }
    out.push_back(0);
    out.push_back(0);
}

}  // namespace

Bytes makeBmp(const BmpSpec& spec) {
    const int rows = spec.height < 0 ? -spec.height : spec.height;
    const bool os2 = spec.infoSize == 12;
    const bool rle = spec.compression == 1 || spec.compression == 2;
    const std::size_t stride = ((std::size_t(spec.bitCount) * spec.width + 31) / 32) * 4;
    const std::size_t masks = spec.infoSize == 40 ? spec.masks.size() * 4 : 0;
    const std::size_t tableBytes = spec.palette.size() * (os2 ? 3 : 4);
    const std::size_t tableAt = 14 + spec.infoSize + masks;
    const std::size_t offset = spec.pixelOffset >= 0 ? std::size_t(spec.pixelOffset) : tableAt + tableBytes;

    // Pixel rows as the file stores them: bottom-up unless top-down.
    Bytes pixels;
    for (int r = 0; r < rows; ++r) {
        const int y = spec.height < 0 ? r : rows - 1 - r;
        if (rle) {
            std::vector<std::uint8_t> row(std::size_t(spec.width));
            for (int x = 0; x < spec.width; ++x) row[std::size_t(x)] = std::uint8_t(spec.value(x, y));
            appendRleRow(pixels, row, spec.compression == 2);
            continue;
        }
        const std::size_t at = pixels.size();
        pixels.resize(at + stride, 0);
        std::uint8_t* p = pixels.data() + at;
        for (int x = 0; x < spec.width; ++x) {
            const std::uint32_t v = spec.value(x, y);
            switch (spec.bitCount) {
            case 1: p[x / 8] = std::uint8_t(p[x / 8] | (v & 1) << (7 - x % 8)); break;
            case 2: p[x / 4] = std::uint8_t(p[x / 4] | (v & 3) << (6 - 2 * (x % 4))); break;
            case 4: p[x / 2] = std::uint8_t(p[x / 2] | (v & 15) << (x % 2 ? 0 : 4)); break;
            case 8: p[x] = std::uint8_t(v); break;
            case 16: p[2 * x] = std::uint8_t(v); p[2 * x + 1] = std::uint8_t(v >> 8); break;
            case 24: p[3 * x] = std::uint8_t(v); p[3 * x + 1] = std::uint8_t(v >> 8); p[3 * x + 2] = std::uint8_t(v >> 16); break;
            case 32: for (int i = 0; i < 4; ++i) p[4 * x + i] = std::uint8_t(v >> (8 * i)); break;
            }
        }
    }
    if (rle) {
        pixels.push_back(0);
        pixels.push_back(1);
    }

    Bytes b(std::max(offset, tableAt + tableBytes) + pixels.size(), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, std::uint32_t(b.size()));
    put32(b, 10, std::uint32_t(offset));
    put32(b, 14, spec.infoSize);
    if (os2) {
        put16(b, 18, unsigned(spec.width));
        put16(b, 20, unsigned(spec.height));
        put16(b, 22, 1);
        put16(b, 24, unsigned(spec.bitCount));
    } else {
        put32(b, 18, std::uint32_t(spec.width));
        put32(b, 22, std::uint32_t(spec.height));
        put16(b, 26, 1);
        put16(b, 28, unsigned(spec.bitCount));
        put32(b, 30, spec.compression);
        put32(b, 34, std::uint32_t(pixels.size()));
        put32(b, 46, spec.colorsUsed);
        for (std::size_t i = 0; i < spec.masks.size(); ++i) put32(b, 54 + 4 * i, spec.masks[i]);
    }
    for (std::size_t i = 0; i < spec.palette.size(); ++i) {
        std::uint8_t* e = b.data() + tableAt + i * (os2 ? 3 : 4);
        e[0] = spec.palette[i][2];
        e[1] = spec.palette[i][1];
        e[2] = spec.palette[i][0];
    }
    // Pixels go where the header says, or behind the table when it says less.
    std::copy(pixels.begin(), pixels.end(), b.begin() + std::ptrdiff_t(std::max(offset, tableAt + tableBytes)));
    return b;
}

}  // namespace quill::test
