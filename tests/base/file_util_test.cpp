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

TEST(TempFile, IsRemovedUnlessCommitted) {
    TempDir dir;
    fs::path temp;
    {
        auto t = TempFile::createNear(dir / "out.jpg");
        ASSERT_TRUE(t);
        temp = t->path();
        EXPECT_TRUE(pathExists(temp));
        EXPECT_EQ(temp.parent_path(), dir.path());
    }
    EXPECT_FALSE(pathExists(temp));
}

TEST(WriteFileInPlace, NamesUpToTheLongestAllowed) {
    // 85 three-byte characters: a 255-byte name, the longest a directory
    // holds. The temporary beside it must still be creatable.
    TempDir dir;
    std::string name;
    for (int i = 0; i < 85; ++i) name += "\u5199";
    ASSERT_EQ(name.size(), 255u);
    const std::uint8_t data[] = {4, 5};
    ASSERT_TRUE(writeFileInPlace(dir / name, data, 2, false));
    EXPECT_EQ(readBytes(dir / name), (Bytes{4, 5}));
    int count = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path())) ++count;
    EXPECT_EQ(count, 1);
}

TEST(WriteFileInPlace, NewNameOrAtomicReplace) {
    TempDir dir;
    const std::uint8_t data[] = {9, 8, 7};
    ASSERT_TRUE(writeFileInPlace(dir / "x", data, 3, false));
    EXPECT_EQ(readBytes(dir / "x"), (Bytes{9, 8, 7}));
    // Without replace an existing name is refused and kept.
    const std::uint8_t other[] = {1};
    EXPECT_FALSE(writeFileInPlace(dir / "x", other, 1, false));
    EXPECT_EQ(readBytes(dir / "x"), (Bytes{9, 8, 7}));
    ASSERT_TRUE(writeFileInPlace(dir / "x", other, 1, true));
    EXPECT_EQ(readBytes(dir / "x"), Bytes{1});
    // No temporary left behind.
    int count = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path())) ++count;
    EXPECT_EQ(count, 1);
}

TEST(FileStatus, SizeTimesAndWritableBit) {
    TempDir dir;
    writeBytes(dir / "f", Bytes(1234, 0));
    std::timespec t{};
    t.tv_sec = 1600000000;
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
