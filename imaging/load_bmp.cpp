// BMP loader: uncompressed Windows bitmaps with a 40-byte info header,
// bottom-up, 1/4/8/16(5-5-5)/24/32 bits. RLE, bit fields, OS/2 and V4/V5
// headers and top-down files are refused. Every offset, row and colour
// index is checked against the file before it is read.
#include <cstring>
#include <vector>

#include "imaging/loader_common.h"
#include "imaging/pixel_convert.h"

namespace quill {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
// A bitmap of the largest allowed picture at 32 bits, plus generous room
// for a colour table and gaps; anything larger is not read into memory.
constexpr std::uint64_t kMaxBmpFileBytes = std::uint64_t(kMaxDibPixels) * 4 + (16u << 20);

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

}  // namespace

bool LoadBmp(LoadedImage& image, const std::filesystem::path& path) {
    FilePtr file = detail::openImageFile(image, path);
    if (!file) return false;
    unsigned char magic[2];
    if (!detail::readSignature(file.get(), magic, 2) || magic[0] != 'B' || magic[1] != 'M')
        return false;
    if (image.fileSize > kMaxBmpFileBytes) return false;

    std::vector<std::uint8_t> data;
    try {
        data.resize(std::size_t(image.fileSize));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (std::fread(data.data(), 1, data.size(), file.get()) != data.size()) return false;
    file.reset();

    if (data.size() < kFileHeaderBytes + kInfoHeaderBytes) return false;
    const std::uint8_t* info = data.data() + kFileHeaderBytes;
    if (le32(info) != kInfoHeaderBytes) return false;
    const std::int32_t width = std::int32_t(le32(info + 4));
    const std::int32_t height = std::int32_t(le32(info + 8));
    const int bitCount = le16(info + 14);
    const std::uint32_t compression = le32(info + 16);
    const std::uint32_t colorsUsed = le32(info + 32);
    const std::uint32_t pixelOffset = le32(data.data() + 10);
    if (compression != 0 || height < 0 || width < 0) return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return false;
    if (!dibSizeAllowed(width, height)) return false;

    // The pixel array must lie behind the headers and wholly inside the file.
    const std::int64_t srcStride = dibStride(bitCount, width);
    if (pixelOffset < kFileHeaderBytes + kInfoHeaderBytes || pixelOffset > data.size()) return false;
    if (std::uint64_t(srcStride) * std::uint64_t(height) > data.size() - pixelOffset) return false;

    // Colour table: behind the info header, as many entries as the header
    // announces and the file holds. Indices past it read as black.
    const std::uint8_t* table = info + kInfoHeaderBytes;
    std::size_t entries = 0;
    if (bitCount <= 8) {
        std::size_t declared = std::size_t(1) << bitCount;
        if (colorsUsed != 0 && colorsUsed < declared) declared = colorsUsed;
        const std::size_t inFile = (data.size() - kFileHeaderBytes - kInfoHeaderBytes) / 4;
        entries = declared < inFile ? declared : inFile;
    }

    Dib dib = allocateDib(width, height);
    if (dib.empty()) return false;
    const detail::SourceRows src{data.data() + pixelOffset, std::size_t(srcStride), bitCount,
                                 table, entries};
    for (int y = 0; y < height; ++y) detail::convertRowTo24(src, y, width, dib.row(y));

    detail::adoptDib(image, std::move(dib));
    image.sourceBits = std::uint16_t(bitCount);
    return true;
}

}  // namespace quill
