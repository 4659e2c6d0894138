#include "imaging/pixel_convert.h"

#include <cstring>

namespace quill::detail {
namespace {

// 255 / 31: a 5-bit channel v becomes trunc(v * this).
constexpr double kFiveBitScale = 8.225806451612904;

inline void putIndexed(const SourceRows& src, unsigned index, std::uint8_t* out) {
    if (index < src.tableEntries) {
        const std::uint8_t* q = src.table + 4 * std::size_t(index);
        out[0] = q[0];
        out[1] = q[1];
        out[2] = q[2];
    } else {
        out[0] = out[1] = out[2] = 0;
    }
}

}  // namespace

void convertRowTo24(const SourceRows& src, int y, int width, std::uint8_t* out) {
    const std::uint8_t* in = src.bits + std::size_t(y) * src.stride;
    switch (src.bitCount) {
    case 1:
        for (int x = 0; x < width; ++x, out += 3)
            putIndexed(src, (in[x / 8] >> (7 - x % 8)) & 1, out);
        break;
    case 4:
        for (int x = 0; x < width; ++x, out += 3)
            putIndexed(src, x % 2 ? in[x / 2] & 0x0F : in[x / 2] >> 4, out);
        break;
    case 8:
        for (int x = 0; x < width; ++x, out += 3) putIndexed(src, in[x], out);
        break;
    case 16:
        for (int x = 0; x < width; ++x, out += 3) {
            const unsigned w = in[2 * x] | in[2 * x + 1] << 8;
            out[0] = std::uint8_t(int((w & 0x1F) * kFiveBitScale));
            out[1] = std::uint8_t(int(((w >> 5) & 0x1F) * kFiveBitScale));
            out[2] = std::uint8_t(int(((w >> 10) & 0x1F) * kFiveBitScale));
        }
        break;
    case 24:
        std::memcpy(out, in, std::size_t(width) * 3);
        break;
    case 32:
        for (int x = 0; x < width; ++x, out += 3) std::memcpy(out, in + 4 * x, 3);
        break;
    default:
        std::memset(out, 0, std::size_t(width) * 3);
        break;
    }
}

}  // namespace quill::detail
