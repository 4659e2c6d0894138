#include "imaging/recompress.h"

#include <gtest/gtest.h>

#include <map>

#include "base/file_util.h"
#include "imaging/encode_jpeg.h"
#include "imaging/loaded_image.h"
#include "tests/imaging/image_test_util.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;
using test::writeBytes;

Bytes photo(int w = 64, int h = 48) { return test::makeJpeg({.width = w, .height = h, .quality = 90}); }

// The counter itself is the shared namer's (tested with it).
TEST(CompressOutputPath, AlwaysJpegAndPlainWhenOverwriting) {
    TempDir dir;
    const fs::path src = dir / "photo.jpg";
    writeBytes(dir / "photo_compress.jpg", {1});
    EXPECT_EQ(compressOutputPath(src, false), dir / "photo_compress(01).jpg");
    EXPECT_EQ(compressOutputPath(src, true), dir / "photo_compress.jpg");
    EXPECT_EQ(compressOutputPath(dir / "a.b.PNG", false), dir / "a.b_compress.jpg");
    EXPECT_EQ(compressOutputPath(dir / "photo_compress.jpg", false), dir / "photo_compress_compress.jpg");
}

TEST(Recompress, SecondRunTakesNextNameUnlessOverwriting) {
    TempDir dir;
    const fs::path src = writeBytes(dir / "photo.jpg", photo());
    const Bytes original = test::readBytes(src);
    CompressionSettings s;
    RecompressResult r = runRecompression(s, {src}, false);
    ASSERT_EQ(r.written, std::vector<fs::path>{dir / "photo_compress.jpg"});
    r = runRecompression(s, {src}, false);
    ASSERT_EQ(r.written, std::vector<fs::path>{dir / "photo_compress(01).jpg"});
    // Overwriting replaces photo_compress.jpg and makes no third file.
    s.quality = 20;
    const auto before = fs::file_size(dir / "photo_compress.jpg");
    r = runRecompression(s, {src}, true);
    ASSERT_EQ(r.written, std::vector<fs::path>{dir / "photo_compress.jpg"});
    EXPECT_LT(fs::file_size(dir / "photo_compress.jpg"), before);
    EXPECT_FALSE(fs::exists(dir / "photo_compress(02).jpg"));
    EXPECT_EQ(test::readBytes(src), original);  // sources never change
    EXPECT_EQ(test::namesIn(dir.path()).size(), 3u);  // no temporaries left
}

TEST(Recompress, OverwriteLeavesReadOnlyOutputAlone) {
    TempDir dir;
    const fs::path src = writeBytes(dir / "photo.jpg", photo());
    const fs::path out = writeBytes(dir / "photo_compress.jpg", {'o', 'l', 'd'});
    fs::permissions(out, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const RecompressFileResult r = recompressFile(CompressionSettings{}, src, true);
    EXPECT_EQ(r.outcome, RecompressOutcome::NotWritten);
    EXPECT_EQ(r.why.reason, FailReason::ReadOnly);
    EXPECT_EQ(test::readBytes(out), (Bytes{'o', 'l', 'd'}));
}

// Images sharing a base name take the counters in source order around a name
// already taken, and several workers write the same names and bytes as one.
TEST(Recompress, NewJpegFromImagesSharingABaseNameAsOneWorkerWould) {
    std::map<fs::path, Bytes> oneWorker;
    for (const int workers : {1, 3}) {
        SCOPED_TRACE(workers);
        TempDir dir;
        const fs::path bmp = writeBytes(dir / "a.bmp", test::makeBmp({.width = 9, .height = 7, .value = [](int x, int y) {
                                                                          return std::uint32_t(x * 0x1A0000 + y * 0x2000 + 40);
                                                                      }}));
        const fs::path png = writeBytes(dir / "a.png", test::makePng({.width = 9, .height = 7, .sample = [](int x, int, int c) {
                                                                          return unsigned(x * 20 + c * 50);
                                                                      }}));
        const fs::path text = writeBytes(dir / "notes.png", {'h', 'e', 'l', 'l', 'o'});
        const fs::path jpg = writeBytes(dir / "a.jpg", photo(40, 30));
        writeBytes(dir / "a_compress(01).jpg", {'t', 'a', 'k', 'e', 'n'});
        std::vector<int> seen;
        RecompressResult r = runRecompression(
            CompressionSettings{}, {bmp, png, text, jpg, png}, false, nullptr,
            [&](int i, const RecompressFileResult&) { seen.push_back(i); }, workers);
        EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
        EXPECT_EQ(r.written, (std::vector<fs::path>{dir / "a_compress.jpg", dir / "a_compress(02).jpg",
                                                    dir / "a_compress(03).jpg", dir / "a_compress(04).jpg"}));
        ASSERT_EQ(r.failures.size(), 1u);
        EXPECT_EQ(r.failures[0].source, text);
        EXPECT_EQ(r.failures[0].why.reason, FailReason::NotImage);
        EXPECT_EQ(r.successCount, 4);
        LoadedImage out;
        ASSERT_TRUE(out.LoadImageFile(dir / "a_compress.jpg", 0));
        EXPECT_EQ(out.width, 9);
        std::map<fs::path, Bytes> files;
        for (const auto& e : fs::directory_iterator(dir.path())) files[e.path().filename()] = test::readBytes(e.path());
        if (workers == 1)
            oneWorker = files;
        else
            EXPECT_EQ(files, oneWorker);
    }
}

// With keepTime, a recompressed file (written directly or through the size
// limit's search) and a new JPEG take their source's time.
TEST(Recompress, KeepTimeGivesTheOutputTheSourcesTime) {
    TempDir dir;
    const std::timespec past{981173106, 5000};
    const fs::path jpg = writeBytes(dir / "a.jpg", photo());
    const fs::path png = writeBytes(dir / "b.png", test::makePng({.width = 8, .height = 8, .sample = [](int x, int, int) { return unsigned(x * 30); }}));
    for (const fs::path& p : {jpg, png}) ASSERT_TRUE(setFileTimes(p, past, past));
    const CompressionSettings limited{.sizeLimitEnabled = 1, .sizeLimit = 100000};
    for (bool keep : {false, true}) {
        for (const auto& [settings, source] : {std::pair{CompressionSettings{}, jpg}, std::pair{limited, jpg},
                                               std::pair{CompressionSettings{}, png}}) {
            const RecompressFileResult r = recompressFile(settings, source, true, keep);
            ASSERT_EQ(r.outcome, RecompressOutcome::Written);
            const std::timespec t = statFile(r.output)->modified;
            EXPECT_EQ(t.tv_sec == past.tv_sec && t.tv_nsec == past.tv_nsec, keep) << r.output;
        }
    }
}

TEST(Recompress, QualitySearchTakesFirstFitFromTheTop) {
    TempDir dir;
    const fs::path src = writeBytes(dir / "p.jpg", photo(160, 120));
    LoadedImage img;
    ASSERT_TRUE(img.LoadImageFile(src, 0));
    CompressionSettings s{.sizeLimitEnabled = 1};
    // Sizes at every quality, as the search would see them.
    std::vector<std::size_t> size(101);
    std::vector<std::uint8_t> data;
    for (int q = 1; q <= 100; ++q) {
        ASSERT_EQ(encodeJpegToMemory(s, img.info, img.pixels.get(), q, UINT64_MAX, data), EncodeStatus::Ok);
        size[q] = data.size();
    }
    // A limit (under 1000 bytes per unit rules: L' = L) that quality 87 just meets.
    s.sizeLimit = std::uint32_t(size[87] <= 1000 ? size[87] : size[87] * 1000 / 1024);
    const std::uint64_t limit = sizeLimitBytes(s.sizeLimit);
    int expected = 0;
    for (int q = 100; q >= 1 && !expected; --q)
        if (size[q] <= limit) expected = q;
    ASSERT_GT(expected, 1);
    ASSERT_LT(expected, 100);  // the search had to step down
    RecompressFileResult r = recompressFile(s, src, false);
    ASSERT_EQ(r.outcome, RecompressOutcome::Written);
    EXPECT_EQ(r.quality, expected);
    EXPECT_LE(fs::file_size(r.output), limit);
    EXPECT_EQ(fs::file_size(r.output), size[expected]);

    // A limit not even quality 1 meets: no file, and not a load failure.
    s.sizeLimit = 100;
    RecompressResult none = runRecompression(s, {src}, false);
    EXPECT_TRUE(none.written.empty());
    EXPECT_TRUE(none.failures.empty());
    ASSERT_EQ(none.notWritten.size(), 1u);
    EXPECT_EQ(none.notWritten[0].source, src);
    EXPECT_EQ(none.notWritten[0].why.reason, FailReason::OverSizeLimit);
    EXPECT_FALSE(fs::exists(dir / "p_compress(01).jpg"));
}

TEST(Recompress, LanczosResampleBeforeEncoding) {
    TempDir dir;
    const fs::path src = writeBytes(dir / "p.jpg", photo(400, 300));
    // The scale is ignored once resampled.
    CompressionSettings s{.scaleIndex = 0, .lanczosEnabled = 1};
    RecompressFileResult r = recompressFile(s, src, false);
    ASSERT_EQ(r.outcome, RecompressOutcome::Written);
    LoadedImage out;
    ASSERT_TRUE(out.LoadImageFile(r.output, 0));
    EXPECT_EQ(out.width, 200);
    EXPECT_EQ(out.height, 150);
    s.keepRatio = 1;
    r = recompressFile(s, src, true);
    ASSERT_TRUE(out.LoadImageFile(r.output, 0));
    EXPECT_EQ(out.width, 200);
    EXPECT_EQ(out.height, 200);
}

TEST(Recompress, OnlyPixelsTravel) {
    TempDir dir;
    test::JpegSpec spec{.width = 32, .height = 32};
    spec.segments = {{0xE1, {'E', 'x', 'i', 'f', 0, 0, 1, 2}}, {0xFE, {'h', 'i'}}};
    const fs::path src = writeBytes(dir / "p.jpg", test::makeJpeg(spec));
    RecompressFileResult r = recompressFile(CompressionSettings{}, src, false);
    ASSERT_EQ(r.outcome, RecompressOutcome::Written);
    const Bytes out = test::readBytes(r.output);
    for (std::size_t i = 2; i + 1 < out.size(); ++i) {
        if (out[i] != 0xFF) continue;
        EXPECT_NE(out[i + 1], 0xE1);
        EXPECT_NE(out[i + 1], 0xFE);
        if (out[i + 1] == 0xDA) break;  // header ends at the first scan
    }
}

TEST(Recompress, CancelStopsBeforeTheNextSource) {
    TempDir dir;
    const fs::path a = writeBytes(dir / "a.jpg", photo());
    const fs::path b = writeBytes(dir / "b.jpg", photo());
    std::atomic<bool> cancel{false};
    RecompressResult r = runRecompression(CompressionSettings{}, {a, b}, false, &cancel,
                                          [&](int, const RecompressFileResult&) { cancel = true; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.written, std::vector<fs::path>{dir / "a_compress.jpg"});
    EXPECT_FALSE(fs::exists(dir / "b_compress.jpg"));
}

}  // namespace
}  // namespace quill
