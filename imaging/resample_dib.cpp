#include "imaging/resample_dib.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/pixel_convert.h"

namespace quill {
namespace {

// Weights of one output column (or row) along one axis: the source indices
// of its window, clamped into the picture so that border pixels stand in for
// the samples beyond the edge, and the kernel value at each.
struct AxisTaps {
    bool inside = false;
    int ix = 0;      // trunc(position)
    double frac = 0; // position - ix
    int index[6]{};
    double weight[6]{};
};

double lanczos3(double t, double pi) {
    if (t == 0.0) return 1.0;
    if (t >= 3.0) return 0.0;
    const double a = pi * t;
    return std::sin(a) * std::sin(a / 3) / (a * a / 3);
}

double cubic(double t) {
    if (t <= 1.0) return 1 - 2 * t * t + t * t * t;
    if (t <= 2.0) return 4 - 8 * t + 5 * t * t - t * t * t;
    return 0.0;
}

// Output positions [offset, offset + span) carry the picture; span is the
// fitted size trunc(srcCount * scale) on a barred axis, else unlimited.
std::vector<AxisTaps> axisTaps(int outCount, int offset, int span, double scale, int srcCount,
                               ResampleMethod method, double pi) {
    std::vector<AxisTaps> taps(std::size_t(std::max(outCount, 0)));
    for (int i = 0; i < outCount; ++i) {
        AxisTaps& t = taps[std::size_t(i)];
        const double f = (i - offset) / scale;
        if (!(f >= 0 && f < srcCount) || i - offset >= span) continue;
        t.inside = true;
        t.ix = int(f);
        t.frac = f - t.ix;
        const int first = method == ResampleLanczos3 ? t.ix - 2 : t.ix - 1;
        const int count = method == ResampleLanczos3 ? 6 : 4;
        for (int k = 0; k < count; ++k) {
            const int col = first + k;
            const double d = std::fabs(col - f);
            t.index[k] = std::clamp(col, 0, srcCount - 1);
            t.weight[k] = method == ResampleLanczos3 ? lanczos3(d, pi) : cubic(d);
        }
    }
    return taps;
}

inline std::uint8_t clampToByte(double v) { return std::uint8_t(int(std::clamp(v, 0.0, 255.0))); }

}  // namespace

bool ResampleDib(ResampleMethod method, const BitmapInfoHeader* info, const std::uint8_t* pixels,
                 int width, int height, bool keepCanvas, Dib& result) {
    result = Dib{};
    if (!info || !pixels || info->biBitCount != 24 || info->biCompression != 0) return false;
    const int w = info->biWidth, h = info->biHeight;
    if (w < 0 || h < 0) return false;
    const std::size_t srcStride = std::size_t(dibStride(24, w));

    int outW = 0, outH = 0, offX = 0, offY = 0;
    int spanX = INT32_MAX, spanY = INT32_MAX;
    double scale = 1;
    if (w > 0 && h > 0) {
        const double sx = double(width) / w, sy = double(height) / h;
        if (!keepCanvas) {
            scale = std::min(sx, sy);
            outW = int(w * scale);
            outH = int(h * scale);
        } else {
            outW = width;
            outH = height;
            if (sx > sy) {
                scale = sy;
                spanX = int(w * sy);
                offX = int(std::ceil((width - spanX) * 0.5));
            } else {
                scale = sx;
                spanY = int(h * sx);
                offY = int(std::ceil((height - spanY) * 0.5));
            }
        }
    } else if (keepCanvas) {
        outW = width;
        outH = height;
    }
    outW = std::max(outW, 0);
    outH = std::max(outH, 0);
    result = allocateDib(outW, outH);
    if (result.empty()) return false;
    if (w == 0 || h == 0 || scale <= 0) return true;

    const double pi = 6 * std::asin(0.5);
    const bool kernel = method == ResampleBicubic || method == ResampleLanczos3;
    const ResampleMethod tapMethod = method == ResampleLanczos3 ? ResampleLanczos3 : ResampleBicubic;
    const std::vector<AxisTaps> cols = axisTaps(outW, offX, spanX, scale, w, tapMethod, pi);
    const std::vector<AxisTaps> rows = axisTaps(outH, offY, spanY, scale, h, tapMethod, pi);
    const int taps = method == ResampleLanczos3 ? 6 : 4;
    auto src = [&](int x, int y) { return pixels + std::size_t(y) * srcStride + 3 * std::size_t(x); };

    for (int j = 0; j < outH; ++j) {
        const AxisTaps& ry = rows[std::size_t(j)];
        if (!ry.inside) continue;
        std::uint8_t* out = result.row(j);
        for (int i = 0; i < outW; ++i) {
            const AxisTaps& rx = cols[std::size_t(i)];
            if (!rx.inside) continue;
            std::uint8_t* o = out + 3 * std::size_t(i);
            if (method == ResampleNearest) {
                const int x = std::min(int((i - offX) / scale + 0.5), w - 1);
                const int y = std::min(int((j - offY) / scale + 0.5), h - 1);
                std::memcpy(o, src(x, y), 3);
            } else if (method == ResampleBilinear) {
                const int x0 = rx.ix, x1 = std::min(rx.ix + 1, w - 1);
                const int y0 = ry.ix, y1 = std::min(ry.ix + 1, h - 1);
                const double dx = rx.frac, dy = ry.frac;
                for (int c = 0; c < 3; ++c) {
                    const double v = src(x0, y0)[c] * (1 - dx) * (1 - dy) + src(x1, y0)[c] * dx * (1 - dy) +
                                     src(x0, y1)[c] * (1 - dx) * dy + src(x1, y1)[c] * dx * dy + 0.5;
                    o[c] = std::uint8_t(std::clamp(int(v), 0, 255));
                }
            } else if (kernel) {
                double sum[3] = {0, 0, 0};
                double weights = 0;
                for (int ky = 0; ky < taps; ++ky) {
                    if (ry.weight[ky] == 0.0) continue;
                    const std::uint8_t* line = pixels + std::size_t(ry.index[ky]) * srcStride;
                    for (int kx = 0; kx < taps; ++kx) {
                        const double wgt = rx.weight[kx] * ry.weight[ky];
                        if (wgt == 0.0) continue;
                        const std::uint8_t* p = line + 3 * std::size_t(rx.index[kx]);
                        sum[0] += wgt * p[0];
                        sum[1] += wgt * p[1];
                        sum[2] += wgt * p[2];
                        weights += wgt;
                    }
                }
                // Cubic convolution weights already sum to one; Lanczos-3
                // weights are normalised.
                if (method == ResampleLanczos3 && weights != 0.0)
                    for (double& s : sum) s /= weights;
                o[0] = clampToByte(sum[0]);
                o[1] = clampToByte(sum[1]);
                o[2] = clampToByte(sum[2]);
            }
        }
    }
    return true;
}

bool ConvertDibTo24(const BitmapInfoHeader* info, const std::uint8_t* pixels, Dib& result) {
    result = Dib{};
    if (!info || !pixels || info->biCompression != 0) return false;
    const int bits = info->biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    const int w = info->biWidth;
    const int h = std::max(info->biHeight, 0);
    if (w < 0) return false;
    result = allocateDib(w, h);
    if (result.empty()) return false;
    std::size_t entries = 0;
    if (bits <= 8) {
        entries = std::size_t(1) << bits;
        if (info->biClrUsed != 0 && info->biClrUsed < entries) entries = info->biClrUsed;
    }
    const detail::SourceRows src{pixels, std::size_t(dibStride(bits, w)), bits,
                                 reinterpret_cast<const std::uint8_t*>(info) + sizeof(BitmapInfoHeader),
                                 entries};
    for (int y = 0; y < h; ++y) detail::convertRowTo24(src, y, w, result.row(y));
    return true;
}

}  // namespace quill
