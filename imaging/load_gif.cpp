// GIF loader: the first frame only, drawn on a canvas of the logical screen
// (black, or the global map's background entry), honouring the first
// frame's transparent index and interlacing. Records are read one by one
// through a read callback, so later frames are never held in memory and any
// UTF-8 path opens.
#include <gif_lib.h>

#include <memory>
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
bool readToFirstImage(GifFileType* gif, int& transparent) {
    transparent = -1;
    bool sawControl = false;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK) return false;
        if (type == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) == GIF_OK;
        if (type == TERMINATE_RECORD_TYPE) return false;  // no image at all
        if (type != EXTENSION_RECORD_TYPE) return false;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && !sawControl) {
            sawControl = true;
            if (block[0] >= 4 && (block[1] & 0x01)) transparent = block[4];
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
        }
    }
}

}  // namespace

bool LoadGif(LoadedImage& image, const std::filesystem::path& path) {
    FilePtr file = detail::openImageFile(image, path);
    if (!file) return false;
    unsigned char sig[3];
    if (!detail::readSignature(file.get(), sig, 3) || sig[0] != 'G' || sig[1] != 'I' || sig[2] != 'F')
        return false;

    int error = 0;
    GifPtr gif(DGifOpen(file.get(), readFromFile, &error));
    if (!gif) return false;

    int transparent = -1;
    if (!readToFirstImage(gif.get(), transparent)) return false;
    const GifImageDesc& frame = gif->Image;
    const int screenW = gif->SWidth, screenH = gif->SHeight;
    if (frame.Left < 0 || frame.Top < 0 || frame.Width < 0 || frame.Height < 0) return false;
    if (frame.Left + frame.Width > screenW || frame.Top + frame.Height > screenH) return false;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0) return false;

    Dib dib = allocateDib(screenW, screenH);
    if (dib.empty()) return false;

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

    std::vector<GifPixelType> line(std::size_t(frame.Width > 0 ? frame.Width : 1));
    auto drawLine = [&](int frameRow) {
        std::uint8_t* out = dib.row(screenH - 1 - (frame.Top + frameRow)) + 3 * std::size_t(frame.Left);
        for (int x = 0; x < frame.Width; ++x, out += 3) {
            const int index = line[std::size_t(x)];
            // Indices past the map are treated like transparent pixels.
            if (index == transparent || index >= map->ColorCount) continue;
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
                if (DGifGetLine(gif.get(), line.data(), frame.Width) != GIF_OK) return false;
                drawLine(r);
            }
        }
    }

    image.sourceBits = std::uint16_t(map->BitsPerPixel);
    if (DGifCloseFile(gif.release(), &error) != GIF_OK) return false;
    detail::adoptDib(image, std::move(dib));
    return true;
}

}  // namespace quill
