#include "imaging/compression_settings.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

// Each field keeps every byte and its sign through the block. Where each
// field sits, byte for byte, is checked on the settings file's own text.
TEST(CompressionSettings, EveryFieldRoundTripsWhole) {
    CompressionSettings s;
    s.jfifMarker = 0x01020304; s.jfifVersionEnabled = 0x05060708;
    s.jfifMajor = 0x09; s.jfifMinor = 0x0A; s.densityEnabled = 0x0B0C0D0E;
    s.densityUnit = 0x0F; s.xDensity = 0x1011; s.yDensity = 0x1213;
    s.quality = -2; s.progressive = 1; s.optimizeHuffman = 0x14151617;
    s.scaleIndex = 4; s.colorSpace = 3; s.sampling = 2; s.restartMode = 1;
    s.restartRows = 65535; s.restartInterval = 0x18191A1B; s.smoothingEnabled = 1;
    s.smoothing = 100; s.dctMethod = 2; s.memoryLimitMb = 100; s.lanczosEnabled = 1;
    s.lanczosWidth = 65535; s.lanczosHeight = 0x1C1D; s.keepRatio = 1;
    s.sizeLimitEnabled = 1; s.sizeLimit = 100000000;
    EXPECT_EQ(unpackCompressionSettings(packCompressionSettings(s)), s);
}

}  // namespace
}  // namespace quill
