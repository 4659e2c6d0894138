#include "base/jpeg_guard.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/jpeg_patch.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

std::string gCaptured;
void capture(const char* text) { gCaptured += text; }

TEST(JpegGuard, ErrorExitReturnsFalseAndReportsThroughTheSink) {
    setMessageSink(capture);
    gCaptured.clear();
    const unsigned char garbage[] = {0xFF, 0xD8, 0xFF, 0x01, 0x00, 0x00};
    JpegDecompressor d;
    ASSERT_TRUE(d.created);
    bool ok = runJpegPhase(d.err, [&] {
        jpeg_mem_src(&d.cinfo, garbage, sizeof garbage);
        jpeg_read_header(&d.cinfo, TRUE);
    });
    setMessageSink(nullptr);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(gCaptured.empty());
}

TEST(JpegGuard, GoodHeaderReadsInOnePhase) {
    test::JpegSpec spec;
    spec.width = 33;
    spec.height = 17;
    test::Bytes jpeg = test::makeJpeg(spec);
    JpegDecompressor d;
    bool ok = runJpegPhase(d.err, [&] {
        jpeg_mem_src(&d.cinfo, jpeg.data(), jpeg.size());
        jpeg_read_header(&d.cinfo, TRUE);
    });
    ASSERT_TRUE(ok);
    EXPECT_EQ(d.cinfo.image_width, 33u);
    EXPECT_EQ(d.cinfo.image_height, 17u);
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
