// GIF loader: the first frame only, drawn on a canvas of the logical screen
// (black, or the global map's background entry), honouring the first
// frame's transparent index and interlacing. A frame reaching past the
// screen is clipped to it. Records are read one by one through a read
// callback, so later frames are never held in memory and any UTF-8 path
// opens.
#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "imaging/loader_common.h"

namespace quill {
namespace {

int readFromFile(GifFileType* gif, GifByteType* buffer, int length) {
    return int(std::fread(buffer, 1, std::size_t(length), static_cast<std::FILE*>(gif->UserData)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// Reads records up to and including the first image descriptor, noting the
// transparent index of the first Graphics Control Extension on the way.
// Returns giflib's error code, or 0 when the descriptor was read and -1 when
// the file holds no image.
int readToFirstImage(GifFileType* gif, int& transparent) {
    transparent = -1;
    bool sawControl = false;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK) return gif->Error;
        if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) == GIF_OK ? 0 : gif->Error;
        if (type == TERMINATE_RECORD_TYPE) return -1;
        if (type != EXTENSION_RECORD_TYPE) return D_GIF_ERR_WRONG_RECORD;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK) return gif->Error;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && !sawControl) {
            sawControl = true;
            if (block[0] >= 4 && (block[1] & 0x01)) transparent = block[4];
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) != GIF_OK) return gif->Error;
        }
    }
}

FileResult gifFailure(int error, std::FILE* in, std::uint64_t fileSize) {
    // Our read callback comes up short only at the end of the file.
    if (std::feof(in) || error == D_GIF_ERR_EOF_TOO_SOON) return truncatedAt(fileSize);
    if (error == D_GIF_ERR_NOT_ENOUGH_MEM) return FileResult::fail(FailReason::TooLarge, "out of memory");
    const char* text = GifErrorString(error);
    return FileResult::fail(FailReason::Corrupt, text ? text : "GIF error " + std::to_string(error));
}

}  // namespace

FileResult LoadGif(LoadedImage& image, const std::filesystem::path& path) {
    FilePtr file;
    if (FileResult opened = detail::openImageFile(image, path, file); !opened) return opened;
    unsigned char sig[3];
    if (!detail::readSignature(file.get(), sig, 3) || sig[0] != 'G' || sig[1] != 'I' || sig[2] != 'F')
        return detail::notFormat("GIF");

    int error = 0;
    GifPtr gif(DGifOpen(file.get(), readFromFile, &error));
    if (!gif) return gifFailure(error, file.get(), image.fileSize);

    int transparent = -1;
    if (const int status = readToFirstImage(gif.get(), transparent); status != 0) {
        if (status < 0) return FileResult::fail(FailReason::NotImage, "a GIF without a picture");
        return gifFailure(status, file.get(), image.fileSize);
    }
    const GifImageDesc& frame = gif->Image;
    if (frame.Left < 0 || frame.Top < 0 || frame.Width < 0 || frame.Height < 0)
        return FileResult::fail(FailReason::Corrupt, "frame position");
    // The picture is the logical screen; a screen of no size (written by
    // some tools) takes the frame's extent instead.
    const int screenW = gif->SWidth > 0 ? gif->SWidth : frame.Left + frame.Width;
    const int screenH = gif->SHeight > 0 ? gif->SHeight : frame.Top + frame.Height;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0) return FileResult::fail(FailReason::Corrupt, "no colour map");

    if (!dibSizeAllowed(screenW, screenH)) return detail::tooLarge(screenW, screenH);
    // Every row of the frame is decoded, drawn or not.
    if (!dibSizeAllowed(frame.Width, frame.Height)) return detail::tooLarge(frame.Width, frame.Height);
    Dib dib = allocateDib(screenW, screenH);
    if (dib.empty()) return FileResult::fail(FailReason::TooLarge, "out of memory");

    // A non-zero background index paints the canvas with that entry of the
    // global map, as GIF defines it; an index outside the map stays black.
    const ColorMapObject* global = gif->SColorMap;
    if (gif->SBackGroundColor != 0 && global && gif->SBackGroundColor < global->ColorCount) {
        const GifColorType& c = global->Colors[gif->SBackGroundColor];
        for (int y = 0; y < screenH; ++y) {
            std::uint8_t* p = dib.row(y);
            for (int x = 0; x < screenW; ++x, p += 3) {
                p[0] = c.Blue;
                p[1] = c.Green;
                p[2] = c.Red;
            }
        }
    }

    // Only the part of the frame inside the screen is drawn.
    const int drawnW = std::max(0, std::min(frame.Width, screenW - frame.Left));
    std::vector<GifPixelType> line(std::size_t(frame.Width > 0 ? frame.Width : 1));
    auto drawLine = [&](int frameRow) {
        const int y = frame.Top + frameRow;
        if (y >= screenH || drawnW == 0) return;
        std::uint8_t* out = dib.row(screenH - 1 - y) + 3 * std::size_t(frame.Left);
        for (int x = 0; x < drawnW; ++x, out += 3) {
            const int index = line[std::size_t(x)];
            if (index == transparent) continue;
            if (index >= map->ColorCount) {
                out[0] = out[1] = out[2] = 0;
                continue;
            }
            const GifColorType& c = map->Colors[index];
            out[0] = c.Blue;
            out[1] = c.Green;
            out[2] = c.Red;
        }
    };
    if (frame.Width > 0) {
        // Interlaced rows arrive as 0, 8, 16, …; then 4 step 8; 2 step 4; 1 step 2.
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        const int passes = frame.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass) {
            const int start = frame.Interlace ? kStart[pass] : 0;
            const int step = frame.Interlace ? kStep[pass] : 1;
            for (int r = start; r < frame.Height; r += step) {
                if (DGifGetLine(gif.get(), line.data(), frame.Width) != GIF_OK)
                    return gifFailure(gif->Error, file.get(), image.fileSize);
                drawLine(r);
            }
        }
    }

    image.sourceBits = std::uint16_t(map->BitsPerPixel);
    if (DGifCloseFile(gif.release(), &error) != GIF_OK)
        return gifFailure(error, file.get(), image.fileSize);
    detail::adoptDib(image, std::move(dib));
    return {};
}

}  // namespace quill
