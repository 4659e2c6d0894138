// LoadedImage: a BMP, GIF, JPEG or PNG file decoded into one 24-bit
// bottom-up DIB block (see dib.h), with the file's size, modification time,
// source bit depth and, for a full-size JPEG decode, its MCU size.
// Loaders never talk to the user: a failure leaves no picture and says why
// (not a file of that format, unsupported variant, truncated, too large).
// One rule in every loader: a colour index with no entry in the palette
// (BMP colour table, GIF colour map, PNG PLTE) gives a black pixel; only a
// GIF's transparent index, which shows the canvas, takes precedence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "base/file_result.h"
#include "imaging/dib.h"

namespace quill {

struct LoadedImage {
    BitmapInfoHeader* info = nullptr;  // points into pixels, behind the last row
    PixelBlock pixels;                 // rows, then the 44-byte BITMAPINFO
    std::int32_t width = 0;            // the picture's size; for a reduced JPEG decode
    std::int32_t height = 0;           // the file's full size (info has the decoded size)
    std::uint16_t sourceBits = 0;      // bit depth of the source (preview's "%d bits")
    std::uint64_t fileSize = 0;        // bytes, from the file system
    std::int64_t modified = 0;         // seconds since 1970-01-01 UTC
    std::int32_t mcuWidth = 0;         // JPEG at full size only; else 0
    std::int32_t mcuHeight = 0;
    std::uint8_t orientation = 1;      // JPEG: Exif Orientation, 1 to 8; 1 when absent or invalid

    bool empty() const { return !info || !pixels; }
    std::size_t stride() const { return info ? std::size_t(dibStride(24, info->biWidth)) : 0; }
    std::uint8_t* row(int y) const { return pixels.get() + std::size_t(y) * stride(); }

    // Loads path by its extension (.bmp .gif .jpg .jpeg .png, any case).
    // previewWidth 0 decodes a JPEG at full size; otherwise libjpeg reduces
    // it to about that width with the fast DCT (previews). An empty
    // extension fails and leaves the record untouched; any other failure
    // leaves it empty. The reason of a failure goes to `why` when given.
    bool LoadImageFile(const std::filesystem::path& path, int previewWidth,
                       FileResult* why = nullptr);
};

// Per-format loaders: fill `image` (a fresh record) from path.
FileResult LoadBmp(LoadedImage& image, const std::filesystem::path& path);
FileResult LoadGif(LoadedImage& image, const std::filesystem::path& path);
FileResult LoadPng(LoadedImage& image, const std::filesystem::path& path);
FileResult LoadJpeg(LoadedImage& image, const std::filesystem::path& path, int previewWidth);

// The Orientation tag (1 to 8) of IFD0 of an Exif TIFF structure (the data
// of an APP1 segment after its "Exif\0\0"); 1 when absent or malformed.
int exifOrientation(const std::uint8_t* tiff, std::size_t length);

// Moves a loaded picture into a Dib (for the resampler and encoder).
inline Dib takeDib(LoadedImage& image) {
    Dib dib;
    dib.info = image.info;
    dib.pixels = std::move(image.pixels);
    image.info = nullptr;
    return dib;
}

}  // namespace quill
