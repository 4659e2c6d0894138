#include "base/file_util.h"

#include <gtest/gtest.h>

#include "base/group_thousands.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

using test::Bytes;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(GroupThousands, InsertsCommasFromTheRight) {
    EXPECT_EQ(GroupThousands("0"), "0");
    EXPECT_EQ(GroupThousands("999"), "999");
    EXPECT_EQ(GroupThousands("1000"), "1,000");
    EXPECT_EQ(GroupThousands("1234567"), "1,234,567");
    EXPECT_EQ(GroupThousands("12345678901"), "12,345,678,901");
}

TEST(RenameNoReplace, NeverReplacesAnExistingFile) {
    TempDir dir;
    writeBytes(dir / "a", Bytes{1});
    writeBytes(dir / "b", Bytes{2});
    EXPECT_FALSE(renameNoReplace(dir / "a", dir / "b"));
    EXPECT_EQ(readBytes(dir / "b"), Bytes{2});
    EXPECT_EQ(readBytes(dir / "a"), Bytes{1});
    EXPECT_TRUE(renameNoReplace(dir / "a", dir / "c"));
    EXPECT_FALSE(pathExists(dir / "a"));
    EXPECT_EQ(readBytes(dir / "c"), Bytes{1});
}

TEST(DuplicateFiles, SameBytesInTwoFilesOnly) {
    TempDir dir;
    Bytes big(200000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    const fs::path a = writeBytes(dir / "a", big);
    writeBytes(dir / "copy", big);
    big.back() ^= 1;  // past the first chunks
    writeBytes(dir / "lastByte", big);
    big.pop_back();
    writeBytes(dir / "shorter", big);
    fs::create_hard_link(a, dir / "hardLink");
    fs::create_symlink(a, dir / "symLink");
    const struct {
        const char* other;
        bool duplicate;
    } cases[] = {{"copy", true},      {"lastByte", false}, {"shorter", false},
                 {"hardLink", false}, {"symLink", false},  {"missing", false}};
    for (const auto& c : cases) EXPECT_EQ(duplicateFiles(a, dir / c.other), c.duplicate) << c.other;
}

TEST(FileStatus, SizeTimesAndWritableBit) {
    TempDir dir;
    writeBytes(dir / "f", Bytes(1234, 0));
    const std::timespec t{1600000000, 0};
    ASSERT_TRUE(setFileTimes(dir / "f", t, t));
    auto st = statFile(dir / "f");
    ASSERT_TRUE(st);
    EXPECT_EQ(st->size, 1234u);
    EXPECT_TRUE(st->regular);
    EXPECT_EQ(st->modified.tv_sec, 1600000000);
    fs::permissions(dir / "f", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(statFile(dir / "f")->writable);
    ASSERT_TRUE(makeWritable(dir / "f"));
    EXPECT_TRUE(statFile(dir / "f")->writable);
    EXPECT_FALSE(statFile(dir / "missing"));
}

TEST(ReadFile, RefusesFilesAboveTheLimit) {
    TempDir dir;
    writeBytes(dir / "f", Bytes(100, 1));
    EXPECT_TRUE(readFile(dir / "f", 100));
    EXPECT_FALSE(readFile(dir / "f", 99));
    EXPECT_FALSE(readFile(dir / "missing", 100));
}

}  // namespace
}  // namespace quill
