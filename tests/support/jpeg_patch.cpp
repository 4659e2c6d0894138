#include "tests/support/jpeg_patch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace quill::test {
namespace {

constexpr std::size_t npos = static_cast<std::size_t>(-1);

int lengthAt(const Bytes& j, std::size_t pos) { return (j[pos + 2] << 8) | j[pos + 3]; }

bool isFrame(int c) { return c >= 0xC0 && c <= 0xCF && c != 0xC4 && c != 0xC8 && c != 0xCC; }

// Visits the header segments after SOI until SOS; f returns true to stop.
template <class F>
std::size_t walk(const Bytes& j, F&& f) {
    std::size_t pos = 2;
    while (pos + 4 <= j.size() && j[pos] == 0xFF) {
        const int code = j[pos + 1];
        if (f(pos, code)) return pos;
        if (code == 0xDA) break;
        pos += 2 + lengthAt(j, pos);
    }
    return npos;
}

// Every marker after SOI: segments are stepped over by their lengths,
// anything else (scan data, stuffed bytes, RSTn) byte by byte.
std::vector<std::size_t> markerOffsets(const Bytes& j) {
    std::vector<std::size_t> out;
    std::size_t pos = 2;
    while (pos + 1 < j.size()) {
        const int c = j[pos + 1];
        if (j[pos] != 0xFF || c == 0xFF || c == 0x00 || (c >= 0xD0 && c <= 0xD7)) {
            ++pos;
            continue;
        }
        out.push_back(pos);
        if (c == 0xD9 || pos + 4 > j.size()) break;
        pos += 2 + std::size_t(lengthAt(j, pos));
    }
    return out;
}

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "jpeg_patch: %s\n", what);
        std::abort();
    }
}

}  // namespace

std::size_t findMarker(const Bytes& jpeg, int code) {
    return walk(jpeg, [&](std::size_t, int c) { return c == code; });
}

std::size_t findFrame(const Bytes& jpeg) {
    return walk(jpeg, [&](std::size_t, int c) { return isFrame(c); });
}

Bytes withFrameType(Bytes jpeg, int code) {
    const std::size_t sof = findFrame(jpeg);
    require(sof != npos, "no frame");
    jpeg[sof + 1] = static_cast<std::uint8_t>(code);
    return jpeg;
}

Bytes withPrecision(Bytes jpeg, int precision) {
    const std::size_t sof = findFrame(jpeg);
    require(sof != npos, "no frame");
    jpeg[sof + 4] = static_cast<std::uint8_t>(precision);
    return jpeg;
}

Bytes withQuantTable(Bytes jpeg, int slot, const std::array<std::uint8_t, 64>& zigzag) {
    bool done = false;
    walk(jpeg, [&](std::size_t pos, int c) {
        if (c != 0xDB) return false;
        std::size_t p = pos + 4, end = pos + 2 + lengthAt(jpeg, pos);
        while (p < end) {
            const int pq = jpeg[p] >> 4, tq = jpeg[p] & 15;
            if (tq == slot && pq == 0) {
                for (int k = 0; k < 64; ++k) jpeg[p + 1 + k] = zigzag[k];
                done = true;
            }
            p += 1 + (pq ? 128 : 64);
        }
        return done;
    });
    require(done, "no 8-bit table in that slot");
    return jpeg;
}

Bytes withTableRenumbered(Bytes jpeg, int from, int to) {
    walk(jpeg, [&](std::size_t pos, int c) {
        if (c == 0xDB) {
            std::size_t p = pos + 4, end = pos + 2 + lengthAt(jpeg, pos);
            while (p < end) {
                const int pq = jpeg[p] >> 4;
                if ((jpeg[p] & 15) == from) jpeg[p] = static_cast<std::uint8_t>((pq << 4) | to);
                p += 1 + (pq ? 128 : 64);
            }
        } else if (isFrame(c)) {
            const int n = jpeg[pos + 9];
            for (int i = 0; i < n; ++i) {
                std::uint8_t& tq = jpeg[pos + 10 + 3 * i + 2];
                if (tq == from) tq = static_cast<std::uint8_t>(to);
            }
        }
        return false;
    });
    return jpeg;
}

std::size_t findScan(const Bytes& jpeg, int scan) {
    for (std::size_t pos : markerOffsets(jpeg))
        if (jpeg[pos + 1] == 0xDA && scan-- == 0) return pos;
    return npos;
}

Bytes withBytesBeforeScan(Bytes jpeg, int scan, const Bytes& raw) {
    const std::size_t at = findScan(jpeg, scan);
    require(at != npos, "no such scan");
    jpeg.insert(jpeg.begin() + std::ptrdiff_t(at), raw.begin(), raw.end());
    return jpeg;
}

Bytes withoutScan(Bytes jpeg, int scan) {
    const std::vector<std::size_t> markers = markerOffsets(jpeg);
    std::size_t i = 0;
    for (int seen = -1; i < markers.size(); ++i)
        if (jpeg[markers[i] + 1] == 0xDA && ++seen == scan) break;
    require(i + 1 < markers.size(), "no such scan");
    jpeg.erase(jpeg.begin() + std::ptrdiff_t(markers[i]), jpeg.begin() + std::ptrdiff_t(markers[i + 1]));
    return jpeg;
}

Bytes segment(int marker, const Bytes& payload) {
    Bytes s(4 + payload.size());
    s[0] = 0xFF;
    s[1] = static_cast<std::uint8_t>(marker);
    s[2] = static_cast<std::uint8_t>((payload.size() + 2) >> 8);
    s[3] = static_cast<std::uint8_t>((payload.size() + 2) & 0xFF);
    std::copy(payload.begin(), payload.end(), s.begin() + 4);
    return s;
}

Bytes withSegmentAtEnd(Bytes jpeg, int marker, const Bytes& payload) {
    require(jpeg.size() >= 2 && jpeg[jpeg.size() - 2] == 0xFF && jpeg.back() == 0xD9, "no EOI");
    const Bytes s = segment(marker, payload);
    jpeg.insert(jpeg.end() - 2, s.begin(), s.end());
    return jpeg;
}

Bytes withBytesAfterSoi(Bytes jpeg, const Bytes& raw) {
    jpeg.insert(jpeg.begin() + 2, raw.begin(), raw.end());
    return jpeg;
}

Bytes tablesOnly(const Bytes& jpeg) {
    const std::size_t sos = findMarker(jpeg, 0xDA);
    require(sos != npos, "no SOS");
    Bytes out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(sos));
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

Bytes emptyScans(int side, int scans) {
    JpegSpec spec{.width = 8, .height = 8, .input = Space::Gray, .stored = Space::Gray, .progressive = true};
    const Bytes small = makeJpeg(spec);
    const std::size_t sof = findFrame(small), sos = findMarker(small, 0xDA);
    require(sof != npos && sos != npos, "no frame or scan");
    Bytes out(small.begin(), small.begin() + std::ptrdiff_t(sos));
    out[sof + 5] = out[sof + 7] = std::uint8_t(side >> 8);
    out[sof + 6] = out[sof + 8] = std::uint8_t(side);
    const auto scan = small.begin() + std::ptrdiff_t(sos);
    for (int i = 0; i < scans; ++i) out.insert(out.end(), scan, scan + 2 + lengthAt(small, sos));
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

}  // namespace quill::test
