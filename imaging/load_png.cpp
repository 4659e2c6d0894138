// PNG loader over libpng: every colour type and depth is transformed to
// 8-bit blue-green-red rows (palette and low-depth gray expanded, 16 bits
// stripped, transparency dropped rather than composited), Adam7 passes
// assembled in place in the DIB.
#include "base/png_guard.h"
#include "imaging/loader_common.h"

namespace quill {

FileResult LoadPng(LoadedImage& image, const std::filesystem::path& path) {
    FilePtr file;
    if (FileResult opened = detail::openImageFile(image, path, file); !opened) return opened;
    unsigned char sig[8];
    if (std::fread(sig, 1, 8, file.get()) != 8 || png_sig_cmp(sig, 0, 8) != 0)
        return detail::notFormat("PNG");

    PngReader reader;
    if (!reader) return FileResult::fail(FailReason::Other, "out of memory");
    reader.subject = path.c_str();
    png_structp png = reader.png;
    png_infop info = reader.info;
    std::FILE* in = file.get();
    const std::uint64_t fileSize = image.fileSize;
    // libpng reads through stdio: a read that came up short is the end of the file.
    auto failure = [&reader, in, fileSize] {
        if (std::feof(in)) return truncatedAt(fileSize);
        return FileResult::fail(FailReason::Corrupt, reader.message);
    };
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    if (!runPngPhase(png, [&] {
            png_init_io(png, in);
            png_set_sig_bytes(png, 8);
            png_read_info(png, info);
            png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr,
                         nullptr);
        }))
        return failure();
    if (!dibSizeAllowed(width, height)) return detail::tooLarge(width, height);

    int channels = 1;
    if (colorType == PNG_COLOR_TYPE_RGB) channels = 3;
    if (colorType == PNG_COLOR_TYPE_RGB_ALPHA) channels = 4;
    const int sourceBits = channels * bitDepth;

    // Palette indices past PLTE come out black: libpng keeps a zeroed
    // 256-entry palette behind the file's entries.
    int passes = 1;
    if (!runPngPhase(png, [&] {
            if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
            if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand(png);
            if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
            if (bitDepth > 8) png_set_strip_16(png);
            if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
                png_set_gray_to_rgb(png);
            png_set_strip_alpha(png);
            png_set_bgr(png);
            passes = png_set_interlace_handling(png);
            png_read_update_info(png, info);
        }))
        return failure();
    // The transformations above always give three bytes per pixel; anything
    // else would overrun the DIB rows.
    if (png_get_rowbytes(png, info) != std::size_t(width) * 3)
        return FileResult::fail(FailReason::Unsupported, "PNG row layout");

    Dib dib = allocateDib(int(width), int(height));
    if (dib.empty()) return FileResult::fail(FailReason::TooLarge, "out of memory");
    Dib* out = &dib;
    const int rows = int(height);
    if (!runPngPhase(png, [png, out, rows, passes] {
            for (int pass = 0; pass < passes; ++pass)
                for (int r = 0; r < rows; ++r) png_read_row(png, out->row(rows - 1 - r), nullptr);
            png_read_end(png, nullptr);
        }))
        return failure();

    detail::adoptDib(image, std::move(dib));
    image.sourceBits = std::uint16_t(sourceBits);
    return {};
}

}  // namespace quill
