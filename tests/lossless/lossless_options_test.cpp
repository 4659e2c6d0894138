// Our own lossless options: auto-rotate by the Exif orientation, the
// orientation reset with its thumbnail, ICC profiles kept by clean, and the
// source's modification time kept. jpegtran is the oracle for the turns.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/file_util.h"

#include "lossless/exif_orientation.h"
#include "lossless/lossless_worker.h"
#include "tests/lossless/lossless_test_util.h"

namespace quill {
namespace {

using namespace quill::test;

// The image data: the file without its APPn and COM segments.
Bytes imageData(const Bytes& jpeg) {
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF &&
           ((jpeg[at + 1] >= 0xE0 && jpeg[at + 1] <= 0xEF) || jpeg[at + 1] == 0xFE))
        at += 2 + (std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3]);
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), jpeg.begin() + std::min(at, jpeg.size()), jpeg.end());
    return out;
}

const Segment* exifOf(const JpegProbe& p) {
    for (const Segment& s : p.segments)
        if (s.marker == 0xE1) return &s;
    return nullptr;
}

// 100 x 60 and 40 x 24, 4:2:0: partial iMCUs on both edges of both.
const Bytes& thumbnail() {
    static const Bytes t = makeSource(kSources[2], 40, 24);
    return t;
}

Bytes photo(int orientation, bool bigEndian = false) {
    JpegSpec spec{.width = 100, .height = 60, .quality = 80, .writeJfif = false};
    spec.segments = {{0xE1, makeExifPayload(bigEndian, 100, 60, orientation, thumbnail())}};
    return makeJpeg(spec);
}

LosslessFileResult runOp(LosslessOp op, const fs::path& source, bool overwrite = false,
                         bool reset = false) {
    const LosslessBatchSettings s{.op = op, .overwrite = overwrite, .resetOrientation = reset};
    return convertBatchFile(s, source, false, false, nullptr);
}

// The picture and its thumbnail turned as jpegtran turns them, the tag at 1.
void expectTurned(const Bytes& source, const Bytes& output, const std::string& args) {
    SCOPED_TRACE("jpegtran " + args);
    EXPECT_EQ(imageData(output), imageData(runJpegtran("-copy none -optimize -trim " + args, source)));
    const JpegProbe p = probeJpeg(output);
    ASSERT_TRUE(p.ok && exifOf(p));
    const ExifView exif = readExif(exifOf(p)->data);
    EXPECT_EQ(exif.orientation, 1);
    EXPECT_EQ(imageData(exif.thumbnail),
              imageData(runJpegtran("-copy none -optimize -trim " + args, thumbnail())));
}

TEST(AutoRotate, EveryOrientationTurnsLikeJpegtranAndEndsUpright) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    const std::string turns[] = {"",           "",           "-flip horizontal", "-rotate 180",
                                 "-flip vertical", "-transpose", "-rotate 90", "-transverse",
                                 "-rotate 270"};
    TempDir dir;
    for (int tag = 0; tag <= 8; ++tag) {
        SCOPED_TRACE(tag);
        const fs::path source = dir / ("t" + std::to_string(tag) + ".jpg");
        const Bytes original = photo(tag, tag % 2 == 1);
        writeBytes(source, original);
        const LosslessFileResult r = runOp(LosslessOp::OpAutoRotate, source);
        const fs::path output = dir / ("t" + std::to_string(tag) + "_rotationAuto.jpg");
        if (tag <= 1) {
            // Upright or no valid tag: nothing written, nothing failed.
            EXPECT_TRUE(r.unchanged && r.why.ok() && !r.converted);
            EXPECT_FALSE(fs::exists(output));
            continue;
        }
        ASSERT_TRUE(r.converted);
        EXPECT_EQ(r.outputPath, output);
        expectTurned(original, readBytes(output), turns[tag]);
        // The thumbnail turns with the picture: 40 x 24 becomes 24 x 40 (16 after trimming).
        const JpegProbe thumb = probeJpeg(readExif(exifOf(probeJpeg(readBytes(output)))->data).thumbnail);
        EXPECT_EQ(thumb.width < thumb.height, tag >= 5);
    }
    // In overwrite mode an upright source stays as it was, a turned one is replaced.
    writeBytes(dir / "up.jpg", photo(1));
    EXPECT_TRUE(runOp(LosslessOp::OpAutoRotate, dir / "up.jpg", true).unchanged);
    EXPECT_EQ(readBytes(dir / "up.jpg"), photo(1));
    writeBytes(dir / "six.jpg", photo(6));
    EXPECT_EQ(runOp(LosslessOp::OpAutoRotate, dir / "six.jpg", true).replace, ReplaceOutcome::Replaced);
    expectTurned(photo(6), readBytes(dir / "six.jpg"), "-rotate 90");
    // A source without Exif is upright too.
    writeBytes(dir / "plain.jpg", makeSource(kSources[2], 32, 32));
    EXPECT_TRUE(runOp(LosslessOp::OpAutoRotate, dir / "plain.jpg").unchanged);
}

TEST(ResetOrientation, OnlyTurnsAskForItAndTheOptionDecides) {
    if (!haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    TempDir dir;
    const Bytes original = photo(6);
    writeBytes(dir / "a.jpg", original);
    const auto exifAfter = [&](LosslessOp op, bool reset) {
        const LosslessFileResult r = runOp(op, dir / "a.jpg", false, reset);
        EXPECT_TRUE(r.converted);
        return readExif(exifOf(probeJpeg(readBytes(r.outputPath)))->data);
    };
    // Option off, or an operation that does not turn: tag and thumbnail stay.
    for (const ExifView& kept : {exifAfter(LosslessOp::OpRotateRight90, false),
                                 exifAfter(LosslessOp::OpNoTransform, true)}) {
        EXPECT_EQ(kept.orientation, 6);
        EXPECT_EQ(kept.thumbnail, thumbnail());
    }
    const LosslessFileResult on = runOp(LosslessOp::OpRotateLeft90, dir / "a.jpg", false, true);
    ASSERT_TRUE(on.converted);
    expectTurned(original, readBytes(on.outputPath), "-rotate 270");
}

// Where a turned thumbnail goes, by its size and its place in the body.
TEST(UprightExif, PlacesTheTurnedThumbnailOrDropsIt) {
    const Bytes body = [] {
        const Bytes p = makeExifPayload(false, 8, 8, 6, Bytes(100, 0xAA));
        return Bytes(p.begin() + 6, p.end());
    }();
    const std::size_t start = body.size() - 100;
    Bytes notLast = body;
    notLast.insert(notLast.end(), 9, 0x77);  // data after the thumbnail
    struct Case {
        const char* name;
        const Bytes& input;
        std::size_t turnedSize;  // 0: the turn fails
        std::size_t maxLength;
        std::size_t offset, size;  // where it ends up; size 0: dropped
        std::size_t totalSize;
    };
    const Case cases[] = {
        {"smaller, last", body, 60, 65527, start, 60, start + 60},
        {"smaller, inside", notLast, 60, 65527, start, 60, notLast.size()},
        {"larger, last", body, 150, 65527, start, 150, start + 150},
        {"larger, inside", notLast, 150, 65527, notLast.size() + 1, 150, notLast.size() + 1 + 150},
        {"larger than the segment allows", body, 150, start + 149, 0, 0, start},
        {"turn failed", notLast, 0, 65527, 0, 0, notLast.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto turn = [&](std::span<const std::uint8_t> jpeg) -> std::optional<Bytes> {
            EXPECT_EQ(Bytes(jpeg.begin(), jpeg.end()), Bytes(100, 0xAA));
            if (c.turnedSize == 0) return std::nullopt;
            return Bytes(c.turnedSize, 0x55);
        };
        const auto out = uprightExif(c.input, turn, c.maxLength);
        ASSERT_TRUE(out);
        EXPECT_EQ(out->size(), c.totalSize);
        Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
        payload.insert(payload.end(), out->begin(), out->end());
        const ExifView v = readExif(payload);
        EXPECT_EQ(v.orientation, 1);
        EXPECT_EQ(v.hasIfd1, c.size != 0);
        if (c.size) {
            EXPECT_EQ(v.thumbnail, Bytes(c.size, 0x55));
        }
        // No byte of the old thumbnail is left behind.
        EXPECT_EQ(std::count(out->begin(), out->end(), 0xAA), 0);
    }
    // Cut anywhere, the body is read without overrun (checked under ASan).
    for (std::size_t cut = 0; cut < notLast.size(); ++cut) {
        const std::span<const std::uint8_t> part(notLast.data(), cut);
        exifOrientation(part);
        uprightExif(part, [](std::span<const std::uint8_t>) { return Bytes(200, 1); }, 65527);
    }
}

TEST(KeepIcc, CleanKeepsEveryIccSegmentInOrderAndNothingElse) {
    TempDir dir;
    auto icc = [](std::uint8_t part) {
        Bytes b = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, part, 2};
        b.insert(b.end(), 300, std::uint8_t(part * 7));
        return b;
    };
    JpegSpec spec{.width = 32, .height = 32};
    spec.segments = {{0xE1, makeExifPayload(false, 32, 32)}, {0xE2, icc(1)},
                     {0xE2, Bytes{'F', 'P', 'X', 'R', 0, 1}}, {0xFE, Bytes{'h', 'i'}},
                     {0xE2, icc(2)}};
    writeBytes(dir / "a.jpg", makeJpeg(spec));
    for (bool keep : {false, true}) {
        LosslessBatchSettings s{.op = LosslessOp::OpClean, .keepIcc = keep};
        const LosslessFileResult r = convertBatchFile(s, dir / "a.jpg", true, false, nullptr);
        ASSERT_TRUE(r.converted);
        const JpegProbe p = probeJpeg(readBytes(r.outputPath));
        const std::vector<Segment> expected =
            keep ? std::vector<Segment>{{0xE2, icc(1)}, {0xE2, icc(2)}} : std::vector<Segment>{};
        ASSERT_EQ(p.segments.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(p.segments[i].data, expected[i].data);
        EXPECT_FALSE(p.jfif);
    }
}

// The output of each lossless path: beside the source, over it, and a crop.
TEST(KeepTime, OutputsAndReplacedSourcesKeepTheSourcesTime) {
    TempDir dir;
    const std::timespec past{981173106, 123456789};  // 2001-02-03, with nanoseconds
    auto source = [&](const char* name) {
        const fs::path p = writeBytes(dir / name, makeSource(kSources[2], 48, 32));
        EXPECT_TRUE(setFileTimes(p, past, past));
        return p;
    };
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        LosslessBatchSettings s{.op = LosslessOp::OpRotate180, .keepTime = keep};
        const LosslessFileResult beside = convertBatchFile(s, source("a.jpg"), false, false, nullptr);
        s.overwrite = true;
        const LosslessFileResult over = convertBatchFile(s, source("b.jpg"), false, false, nullptr);
        ASSERT_TRUE(beside.converted && over.replace == ReplaceOutcome::Replaced);
        LosslessOptions crop{.sourcePath = source("c.jpg"), .outputPath = dir / "c_trimming.jpg",
                             .crop = true, .cropRight = 16, .cropBottom = 16, .keepTime = keep};
        ASSERT_TRUE(convertLossless(crop));
        for (const fs::path& out : {beside.outputPath, over.outputPath, crop.outputPath}) {
            const std::timespec t = statFile(out)->modified;
            EXPECT_EQ(t.tv_sec == past.tv_sec && t.tv_nsec == past.tv_nsec, keep) << out;
        }
    }
}

}  // namespace
}  // namespace quill
