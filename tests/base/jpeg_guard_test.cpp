#include "base/jpeg_guard.h"

#include <gtest/gtest.h>

#include <string>

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
    // A progressive file whose last scan is repeated far past the limit.
    test::JpegSpec spec;
    spec.progressive = true;
    spec.input = test::Space::Gray;
    spec.stored = test::Space::Gray;
    spec.h0 = spec.v0 = 1;
    test::Bytes jpeg = test::makeJpeg(spec);
    // Find the last SOS and repeat [SOS .. EOI) many times.
    size_t lastSos = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) lastSos = i;
    ASSERT_GT(lastSos, 0u);
    test::Bytes scan(jpeg.begin() + lastSos, jpeg.end() - 2);
    test::Bytes hostile(jpeg.begin(), jpeg.end() - 2);
    for (int i = 0; i < 3000; ++i) hostile.insert(hostile.end(), scan.begin(), scan.end());
    hostile.push_back(0xFF);
    hostile.push_back(0xD9);
    setMessageSink([](const char*) {});
    JpegDecompressor d(100);
    bool ok = runJpegPhase(d.err, [&] {
        jpeg_mem_src(&d.cinfo, hostile.data(), hostile.size());
        jpeg_read_header(&d.cinfo, TRUE);
        jpeg_read_coefficients(&d.cinfo);
    });
    setMessageSink(nullptr);
    EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace quill
