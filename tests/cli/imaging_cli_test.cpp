#include <gtest/gtest.h>

#include "base/file_util.h"
#include "imaging/compression_settings.h"
#include "imaging/loaded_image.h"
#include "settings/app_settings.h"
#include "tests/support/image_writers.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;
using test::writeBytes;

test::CommandResult cli(const TempDir& dir, const std::string& args) {
    return test::runIn(dir.path(), "'" QUILL_CLI "' " + args);
}

int components(const fs::path& jpeg) {
    return test::decodeJpeg(test::readBytes(jpeg)).components;
}

TEST(RecompressCli, WritesBesideSourceAndPrintsThePath) {
    TempDir dir;
    writeBytes(dir / "photo.jpg", test::makeJpeg({.width = 80, .height = 60}));
    test::CommandResult r = cli(dir, "recompress photo.jpg");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "photo_compress.jpg\n");
    r = cli(dir, "recompress photo.jpg");
    EXPECT_EQ(r.out, "photo_compress(01).jpg\n");
    r = cli(dir, "recompress --overwrite photo.jpg --quality 10");
    EXPECT_EQ(r.out, "photo_compress.jpg\n");
    EXPECT_FALSE(fs::exists(dir / "photo_compress(02).jpg"));
}

TEST(RecompressCli, OptionsReachTheEncoder) {
    TempDir dir;
    writeBytes(dir / "p.jpg", test::makeJpeg({.width = 80, .height = 60}));
    test::CommandResult r = cli(dir, "recompress p.jpg --color-space gray --scale 1/2 --progressive");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(components(dir / "p_compress.jpg"), 1);
    LoadedImage img;
    ASSERT_TRUE(img.LoadImageFile(dir / "p_compress.jpg", 0));
    EXPECT_EQ(img.width, 40);
    r = cli(dir, "recompress p.jpg --lanczos 20x20 --keep-ratio");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(img.LoadImageFile(dir / "p_compress(01).jpg", 0));
    EXPECT_EQ(img.width, 20);
    EXPECT_EQ(img.height, 20);
    r = cli(dir, "recompress p.jpg --jfif-version 1.2 --density 300,150,dpi");
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes jfif = test::readBytes(dir / "p_compress(02).jpg");
    const Bytes app0 = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 2, 1, 300 >> 8, 300 & 255, 0, 150};
    EXPECT_TRUE(std::equal(app0.begin(), app0.end(), jfif.begin() + 2));
    fs::remove(dir / "p_compress(02).jpg");
    r = cli(dir, "recompress p.jpg --size-limit 1500");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_LE(fs::file_size(dir / "p_compress(02).jpg"), 1536u);
}

// The settings file is read as the window reads it: UTF-16 with a byte-order
// mark gives the same output as UTF-8; a file that cannot serve is an error,
// never a silent fall back to the defaults.
TEST(RecompressCli, SettingsFileAsTheWindowReadsItThenOptions) {
    TempDir dir;
    writeBytes(dir / "p.jpg", test::makeJpeg({.width = 32, .height = 32}));
    AppSettings s;
    s.compression.colorSpace = 0;
    s.compression.quality = 40;
    ASSERT_TRUE(saveSettings(dir / "utf8.ini", s, WindowPlacement{}));
    Bytes utf16 = {0xFF, 0xFE};
    for (std::uint8_t c : test::readBytes(dir / "utf8.ini")) utf16.insert(utf16.end(), {c, 0});
    writeBytes(dir / "utf16.ini", utf16);

    test::CommandResult r = cli(dir, "recompress p.jpg --settings utf8.ini");
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli(dir, "recompress p.jpg --settings utf16.ini");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(components(dir / "p_compress.jpg"), 1);
    EXPECT_EQ(test::readBytes(dir / "p_compress.jpg"), test::readBytes(dir / "p_compress(01).jpg"));
    // An option given before the file still wins over it.
    r = cli(dir, "recompress --color-space cmyk p.jpg --settings utf16.ini");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(components(dir / "p_compress(02).jpg"), 4);

    // A changed digit fails the checksum; a file without the key, a missing
    // one and an endless one are refused alike, and nothing is written.
    Bytes bad = test::readBytes(dir / "utf8.ini");
    const std::string text(bad.begin(), bad.end());
    const std::size_t at = text.find("11=") + 3 + 64;
    bad[at] = bad[at] == '0' ? '1' : '0';
    writeBytes(dir / "bad.ini", bad);
    writeBytes(dir / "empty.ini", {'[', 's', 'e', 't', 't', 'i', 'n', 'g', ']', '\n'});
    for (const char* file : {"bad.ini", "empty.ini", "missing.ini", "/dev/zero"}) {
        r = cli(dir, std::string("recompress p.jpg --settings ") + file);
        EXPECT_EQ(r.status, 2) << file;
        EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "p_compress(03).jpg"));
}

TEST(NewJpegCli, ImagesInFailuresOutNeverOverwrites) {
    TempDir dir;
    writeBytes(dir / "a.png", test::makePng({.sample = [](int x, int y, int c) { return unsigned(x * 9 + y + c); }}));
    writeBytes(dir / "a.bmp", test::makeBmp({.value = [](int x, int) { return std::uint32_t(x * 0x203040); }}));
    writeBytes(dir / "fake.gif", {'n', 'o', 'p', 'e'});
    test::CommandResult r = cli(dir, "new-jpeg a.png fake.gif a.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a_compress.jpg\na_compress(01).jpg\n");
    EXPECT_NE(r.err.find("fake.gif: not a picture that can be loaded (not a GIF file)"), std::string::npos) << r.err;
    EXPECT_EQ(cli(dir, "new-jpeg --overwrite a.png").status, 2);
}

// --keep-time: a recompressed file and a new JPEG take their source's time.
TEST(RecompressCli, KeepTime) {
    TempDir dir;
    writeBytes(dir / "p.jpg", test::makeJpeg({}));
    writeBytes(dir / "a.png", test::makePng({.sample = [](int x, int, int) { return unsigned(x * 9); }}));
    const std::timespec past{981173106, 0};
    for (const char* f : {"p.jpg", "a.png"}) ASSERT_TRUE(setFileTimes(dir / f, past, past));
    ASSERT_EQ(cli(dir, "recompress --keep-time p.jpg").status, 0);
    ASSERT_EQ(cli(dir, "new-jpeg a.png --keep-time").status, 0);
    for (const char* f : {"p_compress.jpg", "a_compress.jpg"})
        EXPECT_EQ(statFile(dir / f)->modified.tv_sec, past.tv_sec) << f;
}

TEST(RecompressCli, UsageErrors) {
    TempDir dir;
    writeBytes(dir / "p.jpg", test::makeJpeg({}));
    for (const char* args :
         {"recompress", "recompress p.jpg --quality 101", "recompress p.jpg --scale 3",
          "recompress p.jpg --lanczos 0x5", "recompress p.jpg --quality"})
        EXPECT_EQ(cli(dir, args).status, 2) << args;
    EXPECT_FALSE(fs::exists(dir / "p_compress.jpg"));
}

}  // namespace
}  // namespace quill
