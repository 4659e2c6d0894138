// Our own reader of a JPEG header, used for 12-bit frames only: the library
// we link is built for 8-bit samples and refuses them while parsing the
// header, although every fact the list shows is there. It follows the
// library's parsing and colour-space inference; it never reads scan data.
#include "inspection/jpeg_header.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quill::detail {
namespace {

constexpr int kMaxComponents = 10;
constexpr unsigned kMaxDimension = 65500;

// Buffered reads with seeks for skipped segments; end of file is an error.
class Reader {
public:
    explicit Reader(int fd) : fd_(fd) {}
    bool byte(int& out) {
        if (pos_ == len_ && !fill()) return false;
        out = buf_[pos_++];
        return true;
    }
    bool word(int& out) {
        int hi, lo;
        if (!byte(hi) || !byte(lo)) return false;
        out = (hi << 8) | lo;
        return true;
    }
    bool skip(long n) {
        const long inBuffer = static_cast<long>(len_ - pos_);
        if (n <= inBuffer) {
            pos_ += static_cast<std::size_t>(n);
            return true;
        }
        pos_ = len_;
        return ::lseek(fd_, n - inBuffer, SEEK_CUR) >= 0;
    }

private:
    bool fill() {
        ssize_t n;
        do n = ::read(fd_, buf_, sizeof buf_);
        while (n < 0 && errno == EINTR);
        if (n <= 0) return false;
        pos_ = 0;
        len_ = static_cast<std::size_t>(n);
        return true;
    }
    int fd_;
    unsigned char buf_[8192];
    std::size_t pos_ = 0, len_ = 0;
};

struct Component {
    int id, h, v;
};

}  // namespace

bool readHeaderFacts12(int fd, HeaderFacts& f) {
    if (::lseek(fd, 0, SEEK_SET) != 0) return false;
    Reader in(fd);
    int b0, b1;
    if (!in.byte(b0) || !in.byte(b1) || b0 != 0xFF || b1 != 0xD8) return false;

    bool sawSof = false, sawJfif = false, sawAdobe = false;
    int adobeTransform = 0;
    bool haveTable[4] = {};
    QuantValues tables[4] = {};
    Component comps[kMaxComponents] = {};

    for (;;) {
        // Next marker: skip garbage up to 0xFF, then any fill bytes.
        int c;
        if (!in.byte(c)) return false;
        while (c != 0xFF)
            if (!in.byte(c)) return false;
        do
            if (!in.byte(c)) return false;
        while (c == 0xFF);
        if (c == 0x00) continue;

        if (c == 0xD8 || c == 0xD9) return false;  // SOI again, or EOI before any scan
        if ((c >= 0xD0 && c <= 0xD7) || c == 0x01) continue;  // RSTn, TEM: no payload

        int length;
        if (!in.word(length)) return false;
        const int payload = length - 2;

        if (c == 0xDA) {  // SOS: the header ends here
            if (!sawSof) return false;
            break;
        }
        if (c == 0xC0 || c == 0xC1 || c == 0xC2 || c == 0xC9 || c == 0xCA) {
            if (sawSof) return false;
            sawSof = true;
            f.progressive = c == 0xC2 || c == 0xCA;
            int precision, height, width, n;
            if (!in.byte(precision) || !in.word(height) || !in.word(width) || !in.byte(n))
                return false;
            if (height <= 0 || width <= 0 || n <= 0) return false;
            if (payload != 6 + 3 * n) return false;
            if (precision != 12 || n > kMaxComponents) return false;
            if (unsigned(width) > kMaxDimension || unsigned(height) > kMaxDimension) return false;
            f.precision = precision;
            f.width = unsigned(width);
            f.height = unsigned(height);
            f.components = n;
            for (int i = 0; i < n; ++i) {
                int id, hv, tq;
                if (!in.byte(id) || !in.byte(hv) || !in.byte(tq)) return false;
                comps[i] = {id, hv >> 4, hv & 15};
                if (comps[i].h < 1 || comps[i].h > 4 || comps[i].v < 1 || comps[i].v > 4)
                    return false;
                if (comps[i].h > f.maxH) f.maxH = comps[i].h;
                if (comps[i].v > f.maxV) f.maxV = comps[i].v;
            }
            f.h0 = comps[0].h;
            f.v0 = comps[0].v;
            continue;
        }
        if (c >= 0xC3 && c <= 0xCF && c != 0xC4 && c != 0xCC)
            return false;  // lossless, differential and hierarchical frames
        if (c == 0xDB) {  // DQT
            int left = payload;
            while (left > 0) {
                int pt;
                if (!in.byte(pt)) return false;
                const int table = pt & 15, wide = pt >> 4;
                if (table >= 4) return false;
                const int bytes = wide ? 128 : 64;
                if (left < 1 + bytes) return false;
                for (int k = 0; k < 64; ++k) {
                    int v;
                    if (wide ? !in.word(v) : !in.byte(v)) return false;
                    tables[table][kZigzagOrder[k]] = static_cast<std::uint16_t>(v);
                }
                haveTable[table] = true;
                left -= 1 + bytes;
            }
            if (left != 0) return false;
            continue;
        }
        if (c >= 0xE0 && c <= 0xEF) {
            f.markers |= 1u << (c - 0xE0);
            if (c == 0xE0 || c == 0xEE) {
                unsigned char d[14] = {};
                const int n = payload < 14 ? (payload > 0 ? payload : 0) : 14;
                for (int i = 0; i < n; ++i) {
                    int v;
                    if (!in.byte(v)) return false;
                    d[i] = static_cast<unsigned char>(v);
                }
                if (c == 0xE0 && n >= 14 && !std::memcmp(d, "JFIF", 5)) {
                    sawJfif = true;
                    f.xDensity = (d[8] << 8) | d[9];
                    f.yDensity = (d[10] << 8) | d[11];
                }
                if (c == 0xEE && n >= 12 && !std::memcmp(d, "Adobe", 5)) {
                    sawAdobe = true;
                    adobeTransform = d[11];
                }
                if (payload > n && !in.skip(payload - n)) return false;
                continue;
            }
        } else if (c == 0xFE) {
            f.markers |= kComBit;
        } else if (c != 0xC4 && c != 0xCC && c != 0xDD && c != 0xDC) {
            return false;  // a marker the library does not know
        }
        if (payload > 0 && !in.skip(payload)) return false;
    }

    if (!haveTable[0]) return false;
    f.luminance = tables[0];
    if (f.components > 1) f.chrominance = haveTable[1] ? tables[1] : tables[0];
    f.ownChromaTable = f.components > 1 && haveTable[1];

    switch (f.components) {
        case 1: f.color = HeaderColor::Gray; break;
        case 3:
            if (sawJfif) f.color = HeaderColor::YCbCr;
            else if (sawAdobe) f.color = adobeTransform == 0 ? HeaderColor::RGB : HeaderColor::YCbCr;
            else if (comps[0].id == 82 && comps[1].id == 71 && comps[2].id == 66) f.color = HeaderColor::RGB;
            else f.color = HeaderColor::YCbCr;
            break;
        case 4:
            if (sawAdobe) f.color = adobeTransform == 0 ? HeaderColor::CMYK : HeaderColor::YCCK;
            else f.color = HeaderColor::CMYK;
            break;
        default: f.color = HeaderColor::Unknown; break;
    }
    return true;
}

}  // namespace quill::detail
