// The per-file work of a lossless batch: the operation table, output names
// with their counter, and overwrite mode with writable and read-only sources.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "lossless/lossless_worker.h"
#include "base/output_naming.h"
#include "tests/lossless/lossless_test_util.h"

namespace quill {
namespace {

using namespace quill::test;

TEST(LosslessOpTable, OptionsFollowTheOperation) {
    struct Row {
        LosslessOp op;
        bool strip, keepJfif, progressive, gray;
        TransformKind t;
    };
    // Source has APP0, is progressive, force-progressive off.
    const Row rows[] = {
        {LosslessOp::OpClean, true, false, false, false, TransformKind::None},
        {LosslessOp::OpBaseline, false, true, false, false, TransformKind::None},
        {LosslessOp::OpProgressive, false, true, true, false, TransformKind::None},
        {LosslessOp::OpGrayscale, false, true, true, true, TransformKind::None},
        {LosslessOp::OpRotateRight90, false, true, true, false, TransformKind::Rotate90},
        {LosslessOp::OpRotateLeft90, false, true, true, false, TransformKind::Rotate270},
        {LosslessOp::OpRotate180, false, true, true, false, TransformKind::Rotate180},
        {LosslessOp::OpFlipHorizontal, false, true, true, false, TransformKind::FlipH},
        {LosslessOp::OpFlipVertical, false, true, true, false, TransformKind::FlipV},
        {LosslessOp::OpTranspose, false, true, true, false, TransformKind::Transpose},
        {LosslessOp::OpTransverse, false, true, true, false, TransformKind::Transverse},
        {LosslessOp::OpNoTransform, false, true, true, false, TransformKind::None},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(losslessSuffix(r.op));
        const LosslessOptions o = losslessOptionsFor(r.op, "s.jpg", "o.jpg", true, true, false);
        EXPECT_EQ(o.stripMarkers, r.strip);
        EXPECT_EQ(o.keepJfif, r.keepJfif);
        EXPECT_EQ(o.progressive, r.progressive);
        EXPECT_EQ(o.grayscale, r.gray);
        EXPECT_EQ(o.transform, r.t);
        const LosslessOptions plain =
            losslessOptionsFor(r.op, "s.jpg", "o.jpg", false, false, true);
        EXPECT_FALSE(plain.keepJfif);
        if (r.op == LosslessOp::OpClean) {
            EXPECT_TRUE(plain.progressive);
        }
    }
}

TEST(OutputNaming, CounterWhileTheNameIsTakenWithoutUpperBound) {
    TempDir dir;
    const fs::path a = dir / "a.jpg";
    EXPECT_EQ(outputPathFor(a, "_cleaned"), dir / "a_cleaned.jpg");
    writeBytes(dir / "a_cleaned.jpg", {});
    EXPECT_EQ(outputPathFor(a, "_cleaned"), dir / "a_cleaned(01).jpg");
    writeBytes(dir / "a_cleaned(01).jpg", {});
    EXPECT_EQ(outputPathFor(a, "_cleaned"), dir / "a_cleaned(02).jpg");
    for (int n = 2; n <= 99; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "a_cleaned(%02d).jpg", n);
        writeBytes(dir / name, {});
    }
    EXPECT_EQ(outputPathFor(a, "_cleaned"), dir / "a_cleaned(100).jpg");
    // An unreadable file still takes its name.
    writeBytes(dir / "b_none.JPEG", {});
    fs::permissions(dir / "b_none.JPEG", fs::perms::none);
    EXPECT_EQ(outputPathFor(dir / "b.JPEG", "_none"), dir / "b_none(01).JPEG");
    EXPECT_EQ(outputPathFor(dir / "noext", "_h_flip"), dir / "noext_h_flip");
    // The extension runs from the last dot, so a file named only ".jpg" (which
    // the list shows) keeps its extension: its output is listed too.
    EXPECT_EQ(outputPathFor(dir / ".jpg", "_cleaned"), dir / "_cleaned.jpg");
    EXPECT_EQ(outputPathFor(dir / ".JPEG", "_v_flip"), dir / "_v_flip.JPEG");
    EXPECT_EQ(outputPathFor(dir / "a.b.jpg", "_none"), dir / "a.b_none.jpg");
    EXPECT_EQ(outputPathFor(dir / "..jpg", "_none"), dir / "._none.jpg");
}

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : ~0u;
}

struct BatchFixture : ::testing::Test {
    TempDir dir;
    fs::path source = dir / "photo.jpg";
    Bytes original = makeSource(kSources[2], 64, 32);
    void SetUp() override { writeBytes(source, original); }
    LosslessFileResult run(bool overwrite, bool answer, int* asked = nullptr) {
        const LosslessBatchSettings s{.op = LosslessOp::OpRotateRight90, .overwrite = overwrite};
        return convertBatchFile(s, source, true, false, [&](const fs::path& p) {
            EXPECT_EQ(p, source);
            if (asked) ++*asked;
            return answer;
        });
    }
};

TEST_F(BatchFixture, WritesBesideTheSourceUnderAFreeName) {
    LosslessFileResult r = run(false, false);
    ASSERT_TRUE(r.converted);
    EXPECT_EQ(r.outputPath, dir / "photo_rotationR90.jpg");
    r = run(false, false);
    EXPECT_EQ(r.outputPath, dir / "photo_rotationR90(01).jpg");
    EXPECT_EQ(readBytes(source), original);
    EXPECT_EQ(probeJpeg(readBytes(r.outputPath)).width, 32);

    // A name another worker takes while this file is converted is passed over.
    const LosslessBatchSettings s{LosslessOp::OpRotateRight90};
    ConvertedFile converted = convertToStaged(s, source, true, false);
    writeBytes(dir / "photo_rotationR90(02).jpg", Bytes{'n', 'e', 'w'});
    r = placeConverted(s, source, std::move(converted), nullptr);
    EXPECT_EQ(r.outputPath, dir / "photo_rotationR90(03).jpg");
    EXPECT_EQ(readBytes(dir / "photo_rotationR90(02).jpg"), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(readBytes(r.outputPath), readBytes(dir / "photo_rotationR90.jpg"));
}

// A writable source is replaced at once and keeps its mode (a private photo
// stays private); an unrelated file of the suffixed name is never touched.
TEST_F(BatchFixture, OverwriteReplacesAWritableSourceKeepingItsMode) {
    fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write);
    writeBytes(dir / "photo_rotationR90.jpg", Bytes{'k', 'e', 'e', 'p'});
    int asked = 0;
    const LosslessFileResult r = run(true, false, &asked);
    ASSERT_TRUE(r.converted);
    EXPECT_EQ(r.replace, ReplaceOutcome::Replaced);
    EXPECT_EQ(r.outputPath, source);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(probeJpeg(readBytes(source)).width, 32);
    EXPECT_EQ(modeOf(source), 0600u);
    EXPECT_EQ(readBytes(dir / "photo_rotationR90.jpg"), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

// Once confirmed, a read-only source becomes writable, the rest of its mode kept.
TEST_F(BatchFixture, ReadOnlySourceIsReplacedOnlyWhenConfirmed) {
    fs::permissions(source, fs::perms::owner_read | fs::perms::group_read);
    int asked = 0;
    LosslessFileResult r = run(true, false, &asked);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(r.converted);
    EXPECT_EQ(r.replace, ReplaceOutcome::Declined);
    EXPECT_EQ(r.outputPath, dir / "photo_rotationR90.jpg");
    EXPECT_EQ(readBytes(source), original);
    EXPECT_TRUE(fs::exists(r.outputPath));

    r = run(true, true, &asked);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(r.replace, ReplaceOutcome::Replaced);
    EXPECT_EQ(probeJpeg(readBytes(source)).width, 32);
    EXPECT_EQ(modeOf(source), 0640u);
    EXPECT_FALSE(fs::exists(dir / "photo_rotationR90(01).jpg"));
}

TEST_F(BatchFixture, FailedConversionLeavesNothingAndTouchesNothing) {
    writeBytes(source, Bytes{0xFF, 0xD8, 0xFF, 0xD9});
    const LosslessFileResult r = run(true, true);
    EXPECT_FALSE(r.converted);
    EXPECT_EQ(readBytes(source), (Bytes{0xFF, 0xD8, 0xFF, 0xD9}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ReplaceSource, UnreadableAttributesKeepTheOutput) {
    TempDir dir;
    writeBytes(dir / "out.jpg", Bytes{1, 2, 3});
    EXPECT_EQ(replaceSource(dir / "gone.jpg", dir / "out.jpg", nullptr),
              ReplaceOutcome::AttributesUnreadable);
    EXPECT_TRUE(fs::exists(dir / "out.jpg"));
    EXPECT_FALSE(fs::exists(dir / "gone.jpg"));
}

}  // namespace
}  // namespace quill
