#include "imaging/compression_settings.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

// The default block, byte for byte, is in the settings file's tests.
TEST(CompressionSettings, EveryFieldRoundTripsAtItsOwnOffset) {
    // Distinct values per field, including ones that need every byte and sign.
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
    CompressionBlock b = packCompressionSettings(s);
    EXPECT_EQ(b[0], 0x04);
    EXPECT_EQ(b[3], 0x01);
    EXPECT_EQ(b[14], 0x0F);                        // densityUnit
    EXPECT_EQ(b[15], 0x11);                        // xDensity low byte
    EXPECT_EQ(b[19], 0xFE); EXPECT_EQ(b[22], 0xFF);  // quality -2
    EXPECT_EQ(b[34], 1);                           // restartMode
    EXPECT_EQ(b[39], 0x1B);                        // restartInterval
    EXPECT_EQ(b[65], 0x1D);                        // lanczosHeight
    EXPECT_EQ(b[78], 0x05);                        // 100000000 = 0x05F5E100
    EXPECT_EQ(unpackCompressionSettings(b), s);
}

}  // namespace
}  // namespace quill
