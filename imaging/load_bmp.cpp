// BMP loader: Windows headers of 40 bytes and their V2 to V5 extensions,
// OS/2 1.x and 2.x headers; 1, 2, 4, 8, 16, 24 and 32 bits, uncompressed,
// with bit fields (5-6-5, 8-8-8 and any other masks) or RLE4/RLE8; rows
// bottom-up or top-down. Alpha is dropped. Embedded JPEG/PNG, OS/2 Huffman
// and RLE24, CMYK and 64-bit files are refused by name. Every offset, row,
// run and colour index is checked against the file before it is used.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/loader_common.h"
#include "imaging/pixel_convert.h"

namespace quill {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
// A bitmap of the largest allowed picture at 32 bits, plus generous room
// for a colour table and gaps; anything larger is not read into memory.
constexpr std::uint64_t kMaxBmpFileBytes = std::uint64_t(kMaxDibPixels) * 4 + (16u << 20);

enum Compression : std::uint32_t {
    kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5, kAlphaBitFields = 6,
};

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

FileResult unsupported(std::string variant) {
    return FileResult::fail(FailReason::Unsupported, std::move(variant));
}
FileResult corrupt(const char* what) { return FileResult::fail(FailReason::Corrupt, what); }

struct Header {
    std::int64_t width = 0, height = 0;  // height < 0: rows top-down
    int bitCount = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::size_t tableOffset = 0;  // colour table, behind header and masks
    std::size_t entryBytes = 4;   // OS/2 1.x tables hold 3-byte entries
    std::uint32_t masks[3] = {};  // red, green, blue, for bit fields
};

// The info header in its four families; what we do not read is named.
FileResult readHeader(const std::vector<std::uint8_t>& data, Header& h) {
    const std::uint8_t* info = data.data() + kFileHeaderBytes;
    const std::uint32_t size = le32(info);
    if (size < 12 || data.size() < kFileHeaderBytes + size)
        return truncatedAt(data.size());
    h.tableOffset = kFileHeaderBytes + size;
    if (size == 12) {  // OS/2 1.x: 16-bit unsigned sizes, 3-byte colour entries
        h.width = le16(info + 4);
        h.height = le16(info + 6);
        h.bitCount = le16(info + 10);
        h.entryBytes = 3;
        return {};
    }
    // Known sizes only, before any field is read: 13 to 15 bytes end inside
    // the bit count.
    const bool windows = size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
    if (!windows && (size < 16 || size > 64)) return unsupported("BMP header of " + std::to_string(size) + " bytes");
    h.width = std::int32_t(le32(info + 4));
    h.height = std::int32_t(le32(info + 8));
    h.bitCount = le16(info + 14);
    h.compression = size >= 20 ? le32(info + 16) : kRgb;
    h.colorsUsed = size >= 36 ? le32(info + 32) : 0;
    if (!windows) {  // OS/2 2.x: compressions 3 and 4 mean something else there
        if (h.compression == 3) return unsupported("OS/2 BMP with Huffman compression");
        if (h.compression == 4) return unsupported("OS/2 BMP with RLE24 compression");
        return {};
    }
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
        // V2 and later headers hold the masks; a 40-byte one is followed by them.
        const std::uint8_t* masks = info + 40;
        if (size == 40) {
            h.tableOffset += h.compression == kBitFields ? 12 : 16;
            if (data.size() < h.tableOffset) return truncatedAt(data.size());
        }
        for (int i = 0; i < 3; ++i) h.masks[i] = le32(masks + 4 * i);
    }
    return {};
}

FileResult checkVariant(const Header& h) {
    switch (h.compression) {
        case kRgb:
            break;
        case kRle8:
        case kRle4:
            if (h.bitCount != (h.compression == kRle8 ? 8 : 4)) return corrupt("RLE at the wrong bit count");
            if (h.height < 0) return corrupt("top-down RLE");
            break;
        case kBitFields:
        case kAlphaBitFields:
            if (h.bitCount != 16 && h.bitCount != 32)
                return unsupported("BMP bit fields at " + std::to_string(h.bitCount) + " bits");
            break;
        case kJpeg: return unsupported("BMP with an embedded JPEG");
        case kPng: return unsupported("BMP with an embedded PNG");
        case 11: case 12: case 13: return unsupported("CMYK BMP");
        default: return unsupported("BMP compression " + std::to_string(h.compression));
    }
    switch (h.bitCount) {
        case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
        case 64: return unsupported("64-bit BMP");
        default: return unsupported(std::to_string(h.bitCount) + "-bit BMP");
    }
    if (h.width < 0) return corrupt("negative width");
    return {};
}

// RLE8/RLE4 from the bottom row up: runs, literal groups padded to 16 bits,
// line ends, deltas. Pixels no code reaches stay black; codes past the
// picture's edges are dropped. False when the data ends more than a row
// short of the picture without an end-of-bitmap code.
bool decodeRle(const std::uint8_t* p, const std::uint8_t* end, int bitCount,
               const std::uint8_t* table, std::size_t entries, Dib& dib) {
    const int width = dib.width(), height = dib.height();
    int x = 0, y = 0;
    auto index = [bitCount](const std::uint8_t* bytes, int i) -> unsigned {
        return bitCount == 8 ? bytes[i] : (i % 2 ? bytes[i / 2] & 0x0F : bytes[i / 2] >> 4);
    };
    auto put = [&](unsigned colour) {
        detail::putIndexed(table, entries, colour, dib.row(y) + 3 * std::size_t(x));
        ++x;
    };
    while (y < height) {
        if (end - p < 2) return y >= height - 1;
        const int count = p[0], code = p[1];
        p += 2;
        if (count > 0) {
            const std::uint8_t pair[2] = {std::uint8_t(code), std::uint8_t(code)};
            for (int i = 0; i < count && x < width; ++i) put(index(pair, i % 2));
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (end - p < 2) return false;
            x = std::min(width, x + p[0]);
            y += p[1];
            p += 2;
        } else {
            const std::ptrdiff_t bytes = bitCount == 8 ? code : (code + 1) / 2;
            if (end - p < bytes) return false;
            for (int i = 0; i < code && x < width; ++i) put(index(p, i));
            p += std::min<std::ptrdiff_t>(end - p, (bytes + 1) & ~std::ptrdiff_t(1));
        }
    }
    return true;
}

}  // namespace

FileResult LoadBmp(LoadedImage& image, const std::filesystem::path& path) {
    FilePtr file;
    if (FileResult opened = detail::openImageFile(image, path, file); !opened) return opened;
    unsigned char magic[2];
    if (!detail::readSignature(file.get(), magic, 2) || magic[0] != 'B' || magic[1] != 'M')
        return detail::notFormat("BMP");
    if (image.fileSize > kMaxBmpFileBytes)
        return FileResult::fail(FailReason::TooLarge, std::to_string(image.fileSize) + " bytes");

    std::vector<std::uint8_t> data;
    try {
        data.resize(std::size_t(image.fileSize));
    } catch (const std::bad_alloc&) {
        return FileResult::fail(FailReason::TooLarge, "out of memory");
    }
    if (const std::size_t n = std::fread(data.data(), 1, data.size(), file.get()); n != data.size())
        return std::ferror(file.get()) ? failureFromErrno(errno) : truncatedAt(n);
    file.reset();

    if (data.size() < kFileHeaderBytes + 4) return truncatedAt(data.size());
    Header h;
    if (FileResult r = readHeader(data, h); !r) return r;
    if (FileResult r = checkVariant(h); !r) return r;
    const bool topDown = h.height < 0;
    const std::int64_t width = h.width, height = topDown ? -h.height : h.height;
    if (!dibSizeAllowed(width, height)) return detail::tooLarge(width, height);

    const std::uint32_t pixelOffset = le32(data.data() + 10);
    if (pixelOffset < h.tableOffset) return corrupt("pixel data inside the header");
    if (pixelOffset > data.size()) return truncatedAt(data.size());

    // Colour table: as many entries as the header announces and the file
    // holds, widened to 4 bytes each. Indices past it read as black.
    std::vector<std::uint8_t> table;
    if (h.bitCount <= 8) {
        std::size_t entries = std::size_t(1) << h.bitCount;
        if (h.colorsUsed != 0 && h.colorsUsed < entries) entries = h.colorsUsed;
        entries = std::min(entries, (data.size() - h.tableOffset) / h.entryBytes);
        table.resize(4 * entries);
        for (std::size_t i = 0; i < entries; ++i)
            std::memcpy(&table[4 * i], &data[h.tableOffset + i * h.entryBytes], 3);
    }
    const std::size_t entries = table.size() / 4;

    Dib dib = allocateDib(int(width), int(height));
    if (dib.empty()) return FileResult::fail(FailReason::TooLarge, "out of memory");
    const std::uint8_t* pixels = data.data() + pixelOffset;
    if (h.compression == kRle8 || h.compression == kRle4) {
        if (!decodeRle(pixels, data.data() + data.size(), h.bitCount, table.data(), entries, dib))
            return truncatedAt(data.size());
    } else {
        const std::int64_t srcStride = dibStride(h.bitCount, width);
        if (std::uint64_t(srcStride) * std::uint64_t(height) > data.size() - pixelOffset)
            return truncatedAt(data.size());
        detail::SourceRows src{pixels, std::size_t(srcStride), h.bitCount, table.data(), entries};
        if (h.compression != kRgb)
            for (int i = 0; i < 3; ++i) src.fields[i] = detail::bitField(h.masks[i]);
        for (int r = 0; r < int(height); ++r)
            detail::convertRowTo24(src, r, int(width), dib.row(topDown ? int(height) - 1 - r : r));
    }

    detail::adoptDib(image, std::move(dib));
    image.sourceBits = std::uint16_t(h.bitCount);
    return {};
}

}  // namespace quill
