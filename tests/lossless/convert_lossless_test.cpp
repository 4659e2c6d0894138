// convertLossless end to end on files: what each kind of source turns into,
// which segments survive, and that a failure leaves nothing behind.
#include "lossless/convert_lossless.h"

#include <gtest/gtest.h>

#include <array>
#include <sys/stat.h>


#include "lossless/lossless_op.h"
#include "tests/lossless/lossless_test_util.h"
#include "tests/support/jpeg_patch.h"

namespace quill {
namespace {

using namespace quill::test;

LosslessOptions optionsFor(const fs::path& in, const fs::path& out) {
    LosslessOptions o;
    o.sourcePath = in;
    o.outputPath = out;
    o.keepJfif = true;
    return o;
}

Bytes withSegments(JpegSpec spec, std::vector<Segment> segments) {
    spec.segments = std::move(segments);
    return makeJpeg(spec);
}

// Writes `source` to a.jpg, converts it with `op` into a new b.jpg (the
// source's APP0 and progressive mode as given) and returns b.jpg's bytes.
Bytes convertWith(const TempDir& dir, LosslessOp op, const Bytes& source, bool hasApp0 = true,
                  bool progressive = false, bool forceProgressive = false) {
    writeBytes(dir / "a.jpg", source);
    fs::remove(dir / "b.jpg");
    EXPECT_TRUE(convertLossless(losslessOptionsFor(op, dir / "a.jpg", dir / "b.jpg", hasApp0,
                                                   progressive, forceProgressive)));
    return readBytes(dir / "b.jpg");
}

// A failure removes its partial output and keeps an existing file; an
// existing output is replaced only when allowed.
TEST(ConvertLossless, FailuresAndRefusedReplacementsKeepAnExistingOutput) {
    TempDir dir;
    const Bytes old{'o', 'l', 'd'};
    const std::vector<std::string> files{"a.jpg", "cmyk.jpg", "out.jpg"};
    writeBytes(dir / "cmyk.jpg", makeSource(kSources[5], 64, 64));
    writeBytes(dir / "a.jpg", makeSource(kSources[2], 32, 32));
    writeBytes(dir / "out.jpg", old);
    LosslessOptions o = optionsFor(dir / "cmyk.jpg", dir / "out.jpg");
    o.grayscale = true;
    EXPECT_FALSE(convertLossless(o));
    EXPECT_EQ(readBytes(dir / "out.jpg"), old);
    o.outputPath = dir / "new.jpg";
    EXPECT_FALSE(convertLossless(o));
    EXPECT_EQ(namesIn(dir.path()), files);

    o = optionsFor(dir / "a.jpg", dir / "out.jpg");
    o.replaceExisting = false;
    EXPECT_FALSE(convertLossless(o));
    EXPECT_EQ(readBytes(dir / "out.jpg"), old);
    o.replaceExisting = true;
    EXPECT_TRUE(convertLossless(o));
    EXPECT_TRUE(probeJpeg(readBytes(dir / "out.jpg")).ok);
    EXPECT_EQ(namesIn(dir.path()), files);
}

TEST(ConvertLossless, TruncatedScanDataStillConvertsAndHostileSizesFail) {
    TempDir dir;
    Bytes cut = makeSource(kSources[2], 128, 128);
    cut.resize(cut.size() * 2 / 3);
    writeBytes(dir / "cut.jpg", cut);
    EXPECT_TRUE(convertLossless(optionsFor(dir / "cut.jpg", dir / "cut_out.jpg")));
    EXPECT_EQ(decodeJpeg(readBytes(dir / "cut_out.jpg")).width, 128);

    // A tiny file declaring 65000 x 65000 pixels: refused by the memory limit.
    Bytes huge = makeSource(kSources[0], 16, 16);
    const std::size_t sof = findFrame(huge);
    huge[sof + 5] = huge[sof + 7] = 0xFD;
    huge[sof + 6] = huge[sof + 8] = 0xE8;
    writeBytes(dir / "huge.jpg", huge);
    LosslessOptions o = optionsFor(dir / "huge.jpg", dir / "huge_out.jpg");
    o.transform = TransformKind::Rotate90;
    EXPECT_FALSE(convertLossless(o));
    EXPECT_FALSE(fs::exists(dir / "huge_out.jpg"));
}

// Every scan visits every block of the frame, so a small file of empty scans
// over a large frame would cost far more time than its size suggests: the
// number of scans allowed shrinks as the frame grows.
TEST(ConvertLossless, ManyEmptyScansOverALargeFrameAreRefused) {
    TempDir dir;
    writeBytes(dir / "few.jpg", emptyScans(8192, 4));
    EXPECT_TRUE(convertLossless(optionsFor(dir / "few.jpg", dir / "few_out.jpg")));
    writeBytes(dir / "many.jpg", emptyScans(8192, 200));
    EXPECT_FALSE(convertLossless(optionsFor(dir / "many.jpg", dir / "many_out.jpg")));
    EXPECT_FALSE(fs::exists(dir / "many_out.jpg"));
}

// Copied segments are held in memory until the output is written: a file of
// endless segments is refused rather than taking all memory; a file with
// many ordinary ones still converts with every segment copied.
TEST(ConvertLossless, SavedSegmentsAreBounded) {
    TempDir dir;
    const Bytes image = makeSource(kSources[2], 32, 32);
    auto withApp9 = [&](int count, size_t dataLength) {
        Bytes segment = {0xFF, 0xE9, std::uint8_t((dataLength + 2) >> 8),
                         std::uint8_t(dataLength + 2)};
        segment.resize(4 + dataLength, 0x5A);
        Bytes b(image.begin(), image.begin() + 2);
        b.reserve(image.size() + size_t(count) * segment.size());
        for (int i = 0; i < count; ++i) b.insert(b.end(), segment.begin(), segment.end());
        b.insert(b.end(), image.begin() + 2, image.end());
        return b;
    };
    writeBytes(dir / "many.jpg", withApp9(300, 65533));
    ASSERT_TRUE(convertLossless(optionsFor(dir / "many.jpg", dir / "many_out.jpg")));
    EXPECT_EQ(probeJpeg(readBytes(dir / "many_out.jpg")).segments.size(), 301u);  // + JFIF

    writeBytes(dir / "endless.jpg", withApp9(1100, 65533));
    EXPECT_FALSE(convertLossless(optionsFor(dir / "endless.jpg", dir / "endless_out.jpg")));
    EXPECT_FALSE(fs::exists(dir / "endless_out.jpg"));
    fs::remove(dir / "endless.jpg");
    writeBytes(dir / "tiny.jpg", withApp9(1100000, 0));
    EXPECT_FALSE(convertLossless(optionsFor(dir / "tiny.jpg", dir / "tiny_out.jpg")));
}

// Luminance DC first, chroma DC in the second scan: a table spliced between
// them is latched by the chroma components only.
Bytes lateChromaSource() {
    JpegSpec spec{.width = 64, .height = 48, .h0 = 1, .v0 = 1};
    spec.scans = {{{0}, 0, 0}, {{1, 2}, 0, 0}, {{0}, 1, 63}, {{1}, 1, 63}, {{2}, 1, 63}};
    return makeJpeg(spec);
}

Bytes dqt(int slot, std::uint8_t value) {
    Bytes payload(65, value);
    payload[0] = std::uint8_t(slot);
    return segment(0xDB, payload);
}

// A progressive file may define or redefine a table between scans. Each
// component is dequantized with its slot as it stood at its first scan, and
// the output must decode to the transform of what the source decodes to.
TEST(ConvertLossless, TablesDefinedBetweenScansFollowWhatEachComponentUsed) {
    TempDir dir;
    const Bytes plain = lateChromaSource();
    // Slot 1 defined only between the scans (the header lacks it).
    const std::size_t luma = findMarker(plain, 0xDB);
    const std::size_t chroma = luma + 2 + (plain[luma + 2] << 8 | plain[luma + 3]);
    ASSERT_EQ(plain[chroma + 1], 0xDB);
    ASSERT_EQ(plain[chroma + 4], 1);
    const std::size_t chromaEnd = chroma + 2 + (plain[chroma + 2] << 8 | plain[chroma + 3]);
    Bytes late = plain;
    late.erase(late.begin() + std::ptrdiff_t(chroma), late.begin() + std::ptrdiff_t(chromaEnd));
    late = withBytesBeforeScan(late, 1, Bytes(plain.begin() + std::ptrdiff_t(chroma),
                                              plain.begin() + std::ptrdiff_t(chromaEnd)));
    // Every component on slot 0, redefined before the chroma scans: the
    // output needs two slots.
    const Bytes shared = withBytesBeforeScan(withTableRenumbered(plain, 1, 0), 1, dqt(0, 3));
    const std::pair<const char*, Bytes> sources[] = {
        {"redefined", withBytesBeforeScan(plain, 1, dqt(1, 2))},
        {"defined late", late},
        {"shared slot", shared},
    };
    for (const auto& [name, source] : sources) {
        const Decoded in = decodeJpeg(source);
        for (LosslessOp op : {LosslessOp::OpRotateRight90, LosslessOp::OpBaseline}) {
            SCOPED_TRACE(std::string(name) + " op " + std::to_string(int(op)));
            const Decoded out = decodeJpeg(convertWith(dir, op, source, true, true));
            const TransformKind kind =
                op == LosslessOp::OpBaseline ? TransformKind::None : TransformKind::Rotate90;
            // Tables from the wrong scan put it off by tens (13 to 14 dB).
            EXPECT_LE(transformDifference(in, out, kind), 3);
        }
    }
    EXPECT_EQ(probeJpeg(readBytes(dir / "b.jpg")).quantSlot, (std::vector<int>{0, 1, 1}));
}

// What is no JPEG, ends early, or is a frame libjpeg reads but decoders
// disagree on is refused, saying why, and creates nothing.
TEST(ConvertLossless, RefusalsSayWhyAndCreateNothing) {
    TempDir dir;
    Bytes twins = makeSource(kSources[0], 32, 32);
    const std::size_t sof = findFrame(twins), sos = findMarker(twins, 0xDA);
    twins[sof + 10 + 6] = twins[sos + 5 + 4] = 2;  // ids 1, 2, 2 in frame and scan
    JpegSpec spec{.width = 32, .height = 32, .h0 = 1, .v0 = 1};
    spec.scans = {{{0}, 0, 0}, {{1}, 0, 0}, {{2}, 0, 0}, {{0}, 1, 63}, {{1}, 1, 63}, {{2}, 1, 63}};
    const Bytes separate = makeJpeg(spec);
    const Bytes cut(separate.begin(), separate.begin() + std::ptrdiff_t(findScan(separate, 2)));
    struct Case {
        const char* name;
        Bytes file;
        FailReason reason;
        std::string detail;  // "*": any
    };
    const Case cases[] = {
        {"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0}, FailReason::NotJpeg, "*"},
        {"one byte", {0xFF}, FailReason::NotJpeg, "*"},
        {"cut in the header", Bytes(separate.begin(), separate.begin() + 40), FailReason::Truncated, "at byte 40"},
        {"shared id", twins, FailReason::Corrupt, "components 2 and 3 share the id 2"},
        {"no scan", withoutScan(withoutScan(separate, 5), 2), FailReason::Corrupt, "no scan carries component 3"},
        {"cut", cut, FailReason::Truncated, "at byte " + std::to_string(cut.size())},
    };
    for (const Case& c : cases) {
        writeBytes(dir / "a.jpg", c.file);
        const FileResult r = convertLossless(
            losslessOptionsFor(LosslessOp::OpProgressive, dir / "a.jpg", dir / "b.jpg", true, false, false));
        EXPECT_EQ(r.reason, c.reason) << c.name << ": " << failureText(r);
        if (c.detail != "*") {
            EXPECT_EQ(r.detail, c.detail) << c.name;
        }
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.jpg"}) << c.name;
    }
    EXPECT_FALSE(convertLossless(optionsFor(dir / "missing.jpg", dir / "b.jpg")));
}

TEST(ConvertLossless, BatchFlipTrimsAndMatchesJpegtran) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    TempDir dir;
    const Bytes source = makeSource(kSources[2], 100, 60);
    const Bytes ours = convertWith(dir, LosslessOp::OpFlipHorizontal, source);
    EXPECT_EQ(probeJpeg(ours).width, 96);
    EXPECT_EQ(ours, runJpegtran("-copy all -optimize -trim -flip horizontal", source));
}

TEST(ConvertLossless, CropAlignsToTheGridAndMatchesJpegtran) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    TempDir dir;
    const Bytes source = makeSource(kSources[2], 100, 60);
    writeBytes(dir / "a.jpg", source);
    LosslessOptions o = optionsFor(dir / "a.jpg", dir / "c.jpg");
    o.crop = true;
    o.cropLeft = 20, o.cropTop = 5, o.cropRight = 50, o.cropBottom = 45;
    ASSERT_TRUE(convertLossless(o));
    const Bytes ours = readBytes(dir / "c.jpg");
    EXPECT_EQ(probeJpeg(ours).width, 34);
    EXPECT_EQ(probeJpeg(ours).height, 45);
    EXPECT_EQ(ours, runJpegtran("-copy all -optimize -trim -crop 30x40+20+5", source));

    for (const std::uint32_t right : {20u, 10u, 101u}) {  // empty, reversed, past the edge
        o.cropRight = right;
        EXPECT_FALSE(convertLossless(o)) << right;
    }
}

// The padding blocks become picture, and the Exif dimensions are compared
// with the enlarged image.
TEST(ConvertLossless, ForceRegularSizeTakesInThePaddingBlocks) {
    TempDir dir;
    const Bytes source = withSegments({.width = 100, .height = 60, .writeJfif = false},
                                      {{0xE1, makeExifPayload(true, 100, 60)}});
    writeBytes(dir / "a.jpg", source);
    LosslessOptions o = optionsFor(dir / "a.jpg", dir / "c.jpg");
    o.crop = true;
    o.forceRegularSize = true;
    o.cropRight = 100, o.cropBottom = 60;
    ASSERT_TRUE(convertLossless(o));
    const Decoded in = decodeJpeg(source), out = decodeJpeg(readBytes(dir / "c.jpg"));
    ASSERT_EQ(out.width, 112);
    ASSERT_EQ(out.height, 64);
    // Away from the old edge the picture is the same.
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 88; ++x)
            ASSERT_EQ(out.pixels[(size_t(y) * 112 + x) * 3], in.pixels[(size_t(y) * 100 + x) * 3]);
    ExifDims d;
    ASSERT_TRUE(readExifDims(probeJpeg(readBytes(dir / "c.jpg")).segments.at(0).data, d));
    EXPECT_EQ(d.width, 100u);
    EXPECT_EQ(d.height, 60u);
    o.cropLeft = 16, o.cropRight = 50;
    ASSERT_TRUE(convertLossless(o));
    ASSERT_TRUE(readExifDims(probeJpeg(readBytes(dir / "c.jpg")).segments.at(0).data, d));
    EXPECT_EQ(d.width, 48u);  // right edge rounded up to 64
    EXPECT_EQ(d.height, 64u);

    // Without the flag a flip of the same file loses the partial column, with it nothing.
    o.crop = false;
    o.transform = TransformKind::FlipH;
    ASSERT_TRUE(convertLossless(o));
    EXPECT_EQ(probeJpeg(readBytes(dir / "c.jpg")).width, 112);
}

TEST(ConvertLossless, CleanLeavesOnlyTheLibrarysAdobeSegment) {
    TempDir dir;
    const std::vector<Segment> segments = {
        {0xE1, makeExifPayload(false, 64, 48)},
        {0xE2, Bytes{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1}},
        {0xFE, Bytes{'h', 'e', 'l', 'l', 'o'}},
        {0xED, Bytes{'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p'}},
    };
    for (int s : {2, 5}) {  // YCbCr with JFIF, CMYK with Adobe
        const JpegSpec spec{
            .input = kSources[s].input, .stored = kSources[s].stored, .writeAdobe = s == 5};
        const JpegProbe p =
            probeJpeg(convertWith(dir, LosslessOp::OpClean, withSegments(spec, segments)));
        if (s == 5) {
            ASSERT_EQ(p.segments.size(), 1u);
            EXPECT_EQ(p.segments[0].marker, 0xEE);
            EXPECT_TRUE(startsWith(p.segments[0].data, "Adobe"));
        } else {
            EXPECT_TRUE(p.segments.empty());
        }
        EXPECT_FALSE(p.progressive);
    }
    // The force-progressive toggle applies to clean.
    const Bytes source = readBytes(dir / "a.jpg");
    EXPECT_TRUE(
        probeJpeg(convertWith(dir, LosslessOp::OpClean, source, true, false, true)).progressive);
}

// Clean writes what jpegtran -copy none writes, minus the JFIF segment that
// jpegtran adds for YCbCr: clean forbids it.
TEST(ConvertLossless, CleanDiffersFromJpegtranOnlyByTheJfifSegment) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    TempDir dir;
    const Bytes source = withSegments({}, {{0xE1, makeExifPayload(false, 64, 48)}});
    const Bytes ours = convertWith(dir, LosslessOp::OpClean, source);
    Bytes ref = runJpegtran("-copy none -optimize", source);
    ASSERT_GT(ref.size(), 20u);
    ASSERT_EQ(ref[3], 0xE0);
    ref.erase(ref.begin() + 2, ref.begin() + 4 + (ref[4] << 8 | ref[5]));
    EXPECT_EQ(ours, ref);
}

TEST(ConvertLossless, LeadingExifSuppressesJfifAndIsCopied) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    TempDir dir;
    const Bytes source =
        withSegments({.writeJfif = false}, {{0xE1, makeExifPayload(true, 64, 48)}});
    const Bytes ours = convertWith(dir, LosslessOp::OpBaseline, source, false);
    const JpegProbe p = probeJpeg(ours);
    EXPECT_FALSE(p.jfif);
    ASSERT_EQ(p.segments.size(), 1u);
    EXPECT_EQ(p.segments[0].data, makeExifPayload(true, 64, 48));
    EXPECT_EQ(ours, runJpegtran("-copy all -optimize", source));
}

// The source's JFIF version (1.x or 2.x; another major gets the library's
// 1.01) and densities carry over, in the library's own JFIF segment only.
TEST(ConvertLossless, JfifVersionAndDensityCarryOverOnce) {
    TempDir dir;
    Bytes source = makeJpeg({.densityUnit = 1, .xDensity = 300, .yDensity = 300});
    ASSERT_TRUE(startsWith(Bytes(source.begin() + 6, source.end()), std::string("JFIF\0", 5)));
    using Version = std::array<int, 4>;  // in: major, minor; out: major, minor
    for (const Version& v : {Version{1, 2, 1, 2}, Version{2, 1, 2, 1}, Version{3, 0, 1, 1}}) {
        source[11] = std::uint8_t(v[0]);
        source[12] = std::uint8_t(v[1]);
        const JpegProbe p = probeJpeg(convertWith(dir, LosslessOp::OpBaseline, source, true, true));
        EXPECT_EQ(p.jfifMajor, v[2]);
        EXPECT_EQ(p.jfifMinor, v[3]);
        EXPECT_EQ(p.densityUnit, 1);
        EXPECT_EQ(p.xDensity, 300);
        EXPECT_EQ(p.yDensity, 300);
        EXPECT_EQ(p.segments.size(), 1u);
        EXPECT_FALSE(p.progressive);
    }
}

TEST(ConvertLossless, ExifDimensionsFollowTheOutputOnlyWhenExifComesFirst) {
    TempDir dir;
    JpegSpec spec{.width = 400, .height = 300, .writeJfif = false};
    spec.segments = {{0xE1, makeExifPayload(false, 400, 300)}};
    JpegProbe p = probeJpeg(convertWith(dir, LosslessOp::OpRotateRight90, makeJpeg(spec), false));
    EXPECT_EQ(p.width, 288);  // 300 trimmed to whole 16-pixel iMCUs
    EXPECT_EQ(p.height, 400);
    EXPECT_FALSE(p.jfif);
    ExifDims d;
    ASSERT_TRUE(readExifDims(p.segments.at(0).data, d));
    EXPECT_EQ(d.width, 288u);
    EXPECT_EQ(d.height, 400u);
    EXPECT_EQ(d.widthType, 4);

    spec.writeJfif = true;
    p = probeJpeg(convertWith(dir, LosslessOp::OpRotateRight90, makeJpeg(spec)));
    EXPECT_TRUE(p.jfif);
    ASSERT_TRUE(readExifDims(p.segments.at(1).data, d));
    EXPECT_EQ(d.width, 400u);
    EXPECT_EQ(d.height, 300u);
}

TEST(ConvertLossless, GrayscaleKeepsLuminanceOnly) {
    TempDir dir;
    const JpegProbe p =
        probeJpeg(convertWith(dir, LosslessOp::OpGrayscale, makeSource(kSources[2], 64, 48)));
    EXPECT_EQ(p.components, 1);
    EXPECT_EQ(p.sampling[0], std::make_pair(1, 1));
    EXPECT_EQ(p.quantSlot[0], 0);
    EXPECT_TRUE(p.jfif);
}

}  // namespace
}  // namespace quill
