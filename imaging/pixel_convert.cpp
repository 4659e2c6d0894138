#include "imaging/pixel_convert.h"

#include <bit>
#include <cstring>

namespace quill::detail {
namespace {

inline std::uint8_t channel(const BitField& f, std::uint32_t pixel) {
    const std::uint32_t v = (pixel & f.mask) >> f.shift;
    return f.max ? std::uint8_t(std::uint64_t(v) * 255 / f.max) : 0;
}

}  // namespace

BitField bitField(std::uint32_t mask) {
    BitField f;
    f.mask = mask;
    if (mask) {
        f.shift = std::countr_zero(mask);
        f.max = mask >> f.shift;
    }
    return f;
}

void convertRowTo24(const SourceRows& src, int y, int width, std::uint8_t* out) {
    const std::uint8_t* in = src.bits + std::size_t(y) * src.stride;
    const bool ownFields = src.fields[0].mask | src.fields[1].mask | src.fields[2].mask;
    switch (src.bitCount) {
    case 1:
        for (int x = 0; x < width; ++x, out += 3)
            putIndexed(src.table, src.tableEntries, (in[x / 8] >> (7 - x % 8)) & 1, out);
        break;
    case 2:
        for (int x = 0; x < width; ++x, out += 3)
            putIndexed(src.table, src.tableEntries, (in[x / 4] >> (6 - 2 * (x % 4))) & 3, out);
        break;
    case 4:
        for (int x = 0; x < width; ++x, out += 3)
            putIndexed(src.table, src.tableEntries, x % 2 ? in[x / 2] & 0x0F : in[x / 2] >> 4, out);
        break;
    case 8:
        for (int x = 0; x < width; ++x, out += 3) putIndexed(src.table, src.tableEntries, in[x], out);
        break;
    case 16: {
        static const BitField k555[3] = {bitField(0x7C00), bitField(0x03E0), bitField(0x001F)};
        const BitField* f = ownFields ? src.fields : k555;
        for (int x = 0; x < width; ++x, out += 3) {
            const std::uint32_t w = in[2 * x] | in[2 * x + 1] << 8;
            out[0] = channel(f[2], w);
            out[1] = channel(f[1], w);
            out[2] = channel(f[0], w);
        }
        break;
    }
    case 24:
        std::memcpy(out, in, std::size_t(width) * 3);
        break;
    case 32:
        if (!ownFields) {
            for (int x = 0; x < width; ++x, out += 3) std::memcpy(out, in + 4 * x, 3);
            break;
        }
        for (int x = 0; x < width; ++x, out += 3) {
            const std::uint8_t* p = in + 4 * x;
            const std::uint32_t w = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
            out[0] = channel(src.fields[2], w);
            out[1] = channel(src.fields[1], w);
            out[2] = channel(src.fields[0], w);
        }
        break;
    default:
        std::memset(out, 0, std::size_t(width) * 3);
        break;
    }
}

}  // namespace quill::detail
