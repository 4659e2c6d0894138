// What a JPEG's header says (geometry, sampling, tables, segments, restart
// markers), a jpegtran runner used as an oracle, and Exif blobs built byte by
// byte.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace quill::test {

struct JpegProbe {
    bool ok = false;
    int width = 0, height = 0, components = 0;
    int colorSpace = 0;  // J_COLOR_SPACE of the file
    bool progressive = false;
    std::vector<std::pair<int, int>> sampling;             // h, v per component
    std::vector<int> quantSlot;                            // table number per component
    std::array<std::array<std::uint16_t, 64>, 4> quant{};  // natural order
    std::array<bool, 4> hasQuant{};
    std::vector<Segment> segments;  // APPn and COM, in file order
    bool jfif = false;
    int jfifMajor = 0, jfifMinor = 0, densityUnit = 0, xDensity = 0, yDensity = 0;
    bool adobe = false;
    unsigned restartInterval = 0;
    int restartMarkers = 0;  // RSTn markers counted in the whole stream
};
JpegProbe probeJpeg(const Bytes& data);

// Runs jpegtran with args on input; empty result when it fails.
Bytes runJpegtran(const std::string& args, const Bytes& input);

// An APP1 payload "Exif\0\0" + TIFF: IFD0 with the Orientation and the Exif
// sub-IFD, which holds the pixel dimensions (tags 0xA002/0xA003) as SHORT
// values plus one unrelated tag; with a thumbnail, IFD1 points to it at the end.
Bytes makeExifPayload(bool bigEndian, std::uint32_t width, std::uint32_t height,
                      int orientation = 1, const Bytes& thumbnail = {});

// The Orientation and the JPEG thumbnail read back from an Exif payload.
struct ExifView {
    bool ok = false;
    int orientation = 0;  // 0: no tag
    bool hasIfd1 = false;
    Bytes thumbnail;
};
ExifView readExif(const Bytes& payload);

// The pixel dimensions and their TIFF types read back from such a payload;
// false when the structure is not the one makeExifPayload writes.
struct ExifDims {
    std::uint32_t width = 0, height = 0;
    int widthType = 0, heightType = 0;
};
bool readExifDims(const Bytes& payload, ExifDims& out);

// Segment payload helpers.
inline bool startsWith(const Bytes& data, const std::string& prefix) {
    return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

}  // namespace quill::test
