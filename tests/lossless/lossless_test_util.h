// Shared by the lossless tests: source JPEGs of every sampling, and an
// in-memory transcoder that drives CoefTransform the way convertLossless
// does but with every request field open to the test.
#pragma once

#include <string>

#include "lossless/coef_transform.h"
#include "tests/support/jpeg_probe.h"
#include "tests/support/test_files.h"

namespace quill::test {

struct SourceKind {
    std::string name;
    Space input, stored;
    int h0, v0;
};

inline const SourceKind kSources[] = {
    {"444", Space::RGB, Space::YCbCr, 1, 1},  {"422", Space::RGB, Space::YCbCr, 2, 1},
    {"420", Space::RGB, Space::YCbCr, 2, 2},  {"411", Space::RGB, Space::YCbCr, 4, 1},
    {"gray", Space::Gray, Space::Gray, 1, 1}, {"cmyk", Space::CMYK, Space::CMYK, 1, 1},
};

inline Bytes makeSource(const SourceKind& k, int w, int h, bool progressive = false) {
    return makeJpeg({.width = w, .height = h, .input = k.input, .stored = k.stored, .h0 = k.h0, .v0 = k.v0,
                     .quality = 80, .progressive = progressive, .writeAdobe = k.stored == Space::CMYK});
}

struct TranscodeOptions {
    bool copyMarkers = true;
    bool progressive = false;
};

// Empty on a library error.
Bytes transcode(const Bytes& input, TransformRequest req, TranscodeOptions opt = {});

// Largest sample difference between `out` and the picture `in` transformed
// by `kind` (the pixel transform, no trimming); INT_MAX when the sizes do not
// fit. Block-aligned 4:4:4 or gray sources stay within 2 or 3: the integer
// IDCT rounds a transposed or mirrored block differently, by one per
// component, and colour conversion may widen that by one.
int transformDifference(const Decoded& in, const Decoded& out, TransformKind kind);

inline const char* jpegtranArgs(TransformKind k) {
    switch (k) {
        case TransformKind::FlipH: return "-flip horizontal";
        case TransformKind::FlipV: return "-flip vertical";
        case TransformKind::Transpose: return "-transpose";
        case TransformKind::Transverse: return "-transverse";
        case TransformKind::Rotate90: return "-rotate 90";
        case TransformKind::Rotate180: return "-rotate 180";
        case TransformKind::Rotate270: return "-rotate 270";
        default: return "";
    }
}

}  // namespace quill::test
