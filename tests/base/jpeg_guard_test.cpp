#include "base/jpeg_guard.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/jpeg_patch.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

std::string gCaptured;
void capture(const char* text) { gCaptured += text; }

// A libjpeg error ends the phase with false and reaches the sink; a good
// header reads in one phase.
TEST(JpegGuard, ErrorExitReturnsFalseAndReportsThroughTheSink) {
    auto readHeader = [](JpegDecompressor& d, const test::Bytes& jpeg) {
        return runJpegPhase(d.err, [&] {
            jpeg_mem_src(&d.cinfo, jpeg.data(), jpeg.size());
            jpeg_read_header(&d.cinfo, TRUE);
        });
    };
    setMessageSink(capture);
    gCaptured.clear();
    JpegDecompressor bad;
    ASSERT_TRUE(bad.created);
    const bool ok = readHeader(bad, {0xFF, 0xD8, 0xFF, 0x01, 0x00, 0x00});
    setMessageSink(nullptr);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(gCaptured.empty());

    JpegDecompressor good;
    ASSERT_TRUE(readHeader(good, test::makeJpeg({.width = 33, .height = 17})));
    EXPECT_EQ(good.cinfo.image_width, 33u);
    EXPECT_EQ(good.cinfo.image_height, 17u);
}

TEST(JpegGuard, EndlessProgressiveScansAreCut) {
    auto readsCoefficients = [](const test::Bytes& jpeg) {
        JpegDecompressor d(100);
        return runJpegPhase(d.err, [&] {
            jpeg_mem_src(&d.cinfo, jpeg.data(), jpeg.size());
            jpeg_read_header(&d.cinfo, TRUE);
            jpeg_read_coefficients(&d.cinfo);
        });
    };
    setMessageSink([](const char*) {});
    EXPECT_TRUE(readsCoefficients(test::emptyScans(64, 4)));
    EXPECT_FALSE(readsCoefficients(test::emptyScans(64, 3000)));
    setMessageSink(nullptr);
}

}  // namespace
}  // namespace quill
