// CoefTransform against jpegtran (same library, same options: the files must
// match byte for byte), plus the geometry rules, crop checks, grayscale
// checks and the Exif dimension fix.
#include "lossless/coef_transform.h"

#include <gtest/gtest.h>
#include <sanitizer/asan_interface.h>

#include <string>

#include "base/jpeg_guard.h"
#include "tests/lossless/lossless_test_util.h"
#include "tests/support/jpeg_patch.h"

namespace quill {
namespace {

using namespace quill::test;

const TransformKind kAllKinds[] = {
    TransformKind::None,      TransformKind::FlipH,      TransformKind::FlipV,
    TransformKind::Transpose, TransformKind::Transverse, TransformKind::Rotate90,
    TransformKind::Rotate180, TransformKind::Rotate270,
};

std::string gMessages;
void captureMessage(const char* text) {
    gMessages += text;
}

struct MessageCapture {
    MessageCapture() {
        gMessages.clear();
        setMessageSink(captureMessage);
    }
    ~MessageCapture() { setMessageSink(nullptr); }
};

TransformRequest cropRequest(TransformKind t, std::uint32_t w, std::uint32_t h, std::uint32_t x,
                             std::uint32_t y) {
    return {.transform = t, .crop = true, .cropWidth = w, .cropHeight = h, .cropX = x, .cropY = y};
}

// Transcodes `source` as `req` asks and compares the bytes with what
// jpegtran writes given `options` and the request's own switches; a crop
// that jpegtran refuses must be refused too.
void expectLikeJpegtran(const std::string& name, const Bytes& source, const TransformRequest& req,
                        const std::string& options, TranscodeOptions opt = {}) {
    std::string args = "-copy all " + options + " " + jpegtranArgs(req.transform);
    if (req.trim) args += " -trim";
    if (req.forceGrayscale) args += " -grayscale";
    if (req.crop)
        args += " -crop " + std::to_string(req.cropWidth) + "x" + std::to_string(req.cropHeight) + "+" +
                std::to_string(req.cropX) + "+" + std::to_string(req.cropY);
    SCOPED_TRACE(name + ": jpegtran " + args);
    const Bytes ours = transcode(source, req, opt);
    const Bytes ref = runJpegtran(args, source);
    if (req.crop && ref.empty()) {
        EXPECT_TRUE(ours.empty());
        return;
    }
    ASSERT_FALSE(ref.empty());
    EXPECT_TRUE(ours == ref);
}

// Every transform, with and without trim, on every sampling, at an iMCU-aligned
// size and at one that leaves partial iMCUs on both edges: equal bytes mean
// equal sizes, sampling factors, (transposed) tables and trimmed edges.
TEST(CoefTransformOracle, EveryTransformMatchesJpegtranByteForByte) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    for (const SourceKind& kind : kSources)
        for (auto [w, h] : {std::pair{64, 32}, {77, 45}}) {
            const Bytes source = makeSource(kind, w, h);
            for (TransformKind t : kAllKinds)
                for (bool trim : {false, true})
                    expectLikeJpegtran(kind.name, source, {.transform = t, .trim = trim}, "-optimize");
        }
}

TEST(CoefTransformOracle, ProgressiveSourcesAndOutputMatchJpegtran) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    for (const SourceKind& kind : kSources) {
        const Bytes source = makeSource(kind, 83, 51, true);
        for (TransformKind t : {TransformKind::Rotate90, TransformKind::FlipH, TransformKind::Transverse})
            expectLikeJpegtran(kind.name, source, {.transform = t, .trim = true}, "-progressive",
                               {.copyMarkers = true, .progressive = true});
    }
}

TEST(CoefTransformOracle, CropsMatchJpegtran) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    const std::array<std::uint32_t, 4> crops[] = {{30, 40, 20, 5}, {17, 9, 0, 0}, {64, 33, 13, 27}, {1, 1, 76, 59}};
    for (const SourceKind& kind : kSources) {
        const Bytes source = makeSource(kind, 100, 60);
        for (const auto& [w, h, x, y] : crops)
            for (TransformKind t : {TransformKind::None, TransformKind::FlipH, TransformKind::Rotate90,
                                    TransformKind::FlipV}) {
                TransformRequest req = cropRequest(t, w, h, x, y);
                req.trim = true;
                expectLikeJpegtran(kind.name, source, req, "-optimize");
            }
    }
}

TEST(CoefTransformOracle, GrayscaleMatchesJpegtran) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    for (int s = 0; s < 5; ++s) {  // every YCbCr sampling and gray
        const Bytes source = makeSource(kSources[s], 77, 45);
        for (TransformKind t : {TransformKind::None, TransformKind::Rotate270, TransformKind::Rotate180})
            expectLikeJpegtran(kSources[s].name, source, {.transform = t, .trim = true, .forceGrayscale = true},
                               "-optimize");
    }
}

// The pixels themselves: on a 4:4:4 or gray source aligned to whole blocks,
// the transformed file decodes to the transformed picture.
TEST(CoefTransformPixels, DecodedOutputIsTheTransformedPicture) {
    for (int s : {0, 4}) {
        const Bytes source = makeSource(kSources[s], 48, 32);
        const Decoded in = decodeJpeg(source);
        for (TransformKind t : kAllKinds) {
            SCOPED_TRACE(kSources[s].name + " kind " + std::to_string(int(t)));
            EXPECT_LE(transformDifference(in, decodeJpeg(transcode(source, {.transform = t})), t),
                      2);
        }
    }
}

TEST(CoefTransformGeometry, ImageNarrowerThanOneIMCUIsNotMirrored) {
    const Bytes source = makeSource(kSources[2], 12, 40);
    const Bytes out = transcode(source, {.transform = TransformKind::FlipH, .trim = true});
    const Decoded a = decodeJpeg(source), b = decodeJpeg(out);
    EXPECT_EQ(b.width, 12);
    EXPECT_EQ(a.pixels, b.pixels);
}

TEST(CoefTransformCrop, InvalidRequestsFailWithTheLibraryMessage) {
    const Bytes source = makeSource(kSources[2], 100, 60);
    MessageCapture capture;
    EXPECT_TRUE(transcode(source, cropRequest(TransformKind::None, 0, 10, 0, 0)).empty());
    EXPECT_NE(gMessages.find("Invalid crop request"), std::string::npos);
    EXPECT_TRUE(transcode(source, cropRequest(TransformKind::None, 50, 10, 60, 0)).empty());
    EXPECT_TRUE(transcode(source, cropRequest(TransformKind::None, 10, 10, 100, 0)).empty());
    EXPECT_TRUE(transcode(source, cropRequest(TransformKind::Rotate90, 120, 10, 0, 0)).empty());
    EXPECT_TRUE(transcode(source, cropRequest(TransformKind::None, 10, 61, 0, 0)).empty());
}

// Component entries of a frame header start 10 bytes behind its marker.
constexpr std::size_t kFirstComponent = 2 + 8;

TEST(CoefTransformGrayscale, RefusesWhatHasNoLuminanceToKeep) {
    MessageCapture capture;
    const TransformRequest req{.forceGrayscale = true};
    EXPECT_TRUE(transcode(makeSource(kSources[5], 32, 32), req).empty());  // CMYK
    EXPECT_NE(gMessages.find("Unsupported color conversion request"), std::string::npos);

    // Luminance subsampled relative to chroma: component 2 of a 4:4:4 frame claims 2x2.
    Bytes odd = makeSource(kSources[0], 32, 32);
    odd[findFrame(odd) + kFirstComponent + 3 * 1 + 1] = 0x22;
    EXPECT_TRUE(transcode(odd, req).empty());
}

TEST(CoefTransformGrayscale, KeepsTheLuminanceTableSlotAndMakesItOneByOne) {
    const TransformRequest req{.forceGrayscale = true};
    const Bytes gray22 = makeSource({"gray22", Space::Gray, Space::Gray, 2, 2}, 40, 24);
    ASSERT_EQ(probeJpeg(gray22).sampling[0], std::make_pair(2, 2));
    const Bytes out = transcode(gray22, req);
    EXPECT_EQ(probeJpeg(out).sampling[0], std::make_pair(1, 1));
    EXPECT_EQ(decodeJpeg(out).pixels, decodeJpeg(gray22).pixels);

    // A 4:2:0 frame with the luminance on table 1 and the chroma on slot 0.
    Bytes source = makeSource(kSources[2], 32, 32);
    const std::size_t first = findFrame(source) + kFirstComponent;
    source[first + 2] = 1;
    source[first + 3 + 2] = source[first + 6 + 2] = 0;
    const JpegProbe p = probeJpeg(transcode(source, req));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.quantSlot[0], 1);
}

// ---- Exif --------------------------------------------------------------

Bytes tiffOf(const Bytes& payload) {
    return Bytes(payload.begin() + 6, payload.end());
}

TEST(FixExifDimensions, RewritesBothByteOrdersAsLong) {
    for (bool big : {false, true}) {
        Bytes payload = makeExifPayload(big, 4032, 3024);
        fixExifDimensions(payload.data() + 6, std::uint32_t(payload.size() - 6), 3024, 4032);
        ExifDims d;
        ASSERT_TRUE(readExifDims(payload, d));
        EXPECT_EQ(d.width, 3024u);
        EXPECT_EQ(d.height, 4032u);
        EXPECT_EQ(d.widthType, 4);
        EXPECT_EQ(d.heightType, 4);
    }
}

TEST(FixExifDimensions, LeavesMalformedStructuresUntouched) {
    const Bytes good = tiffOf(makeExifPayload(false, 640, 480));
    auto unchanged = [](Bytes tiff) {
        const Bytes before = tiff;
        fixExifDimensions(tiff.data(), std::uint32_t(tiff.size()), 1, 2);
        return tiff == before;
    };
    const size_t sub = 8 + 2 + 24 + 4;
    const std::pair<size_t, Bytes> patches[] = {
        {6, {1}},                   // IFD0 offset 65536 + 8
        {4, {0xF0}},                // IFD0 offset past the end
        {2, {43}},                  // not a TIFF magic
        {0, {'X', 'X'}},            // no byte order
        {sub, {1}},                 // sub-IFD with a single entry
        {8 + 2 + 12 + 8 + 2, {1}},  // sub-IFD pointer with its upper half set
    };
    for (const auto& [at, bytes] : patches) {
        Bytes b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + std::ptrdiff_t(at));
        EXPECT_TRUE(unchanged(b)) << "byte " << at;
    }
    // Too short to hold an entry.
    EXPECT_TRUE(unchanged(Bytes(good.begin(), good.begin() + 11)));
    // Cut inside the sub-IFD: the entries that lie outside are not touched.
    EXPECT_TRUE(unchanged(Bytes(good.begin(), good.begin() + sub + 2 + 12 + 11)));
}

// True when byte `at` lies in the type, count or value of a 12-byte entry
// tagged as the pixel width or height, in the data's byte order.
bool inDimensionEntry(const Bytes& data, size_t length, size_t at) {
    const bool big = length > 0 && data[0] == 'M';
    for (size_t p = at >= 11 ? at - 11 : 0; p + 2 <= at && p + 12 <= length; ++p) {
        const unsigned tag = big ? data[p] << 8 | data[p + 1] : data[p + 1] << 8 | data[p];
        if (tag == 0xA002 || tag == 0xA003) return true;
    }
    return false;
}

// Whatever the segment holds, the fix stays inside it and changes nothing
// but width and height entries. Every cut of both byte orders, each with any
// one byte replaced; the bytes behind the segment are poisoned under ASan and
// compared otherwise.
TEST(FixExifDimensions, StaysInsideTheSegmentAndTouchesOnlyDimensionEntries) {
    for (bool big : {false, true}) {
        const Bytes tiff = tiffOf(makeExifPayload(big, 100, 200));
        for (size_t at = 0; at <= tiff.size(); ++at) {
            for (std::uint8_t value : {0x00, 0x01, 0x0C, 0xFF}) {
                Bytes damaged = tiff;
                if (at < tiff.size()) damaged[at] = value;
                for (size_t cut = 0; cut <= damaged.size(); ++cut) {
                    Bytes buffer(damaged.begin(), damaged.begin() + std::ptrdiff_t(cut));
                    buffer.resize(cut + 16, 0xA5);
                    ASAN_POISON_MEMORY_REGION(buffer.data() + cut, 16);
                    fixExifDimensions(buffer.data(), std::uint32_t(cut), 7, 9);
                    ASAN_UNPOISON_MEMORY_REGION(buffer.data() + cut, 16);
                    for (size_t i = 0; i < buffer.size(); ++i) {
                        if (buffer[i] == (i < cut ? damaged[i] : 0xA5)) continue;
                        ASSERT_TRUE(i < cut && inDimensionEntry(damaged, cut, i))
                            << (big ? "MM" : "II") << " byte " << at << " = " << int(value) << ", cut " << cut
                            << ": byte " << i << " changed";
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace quill
