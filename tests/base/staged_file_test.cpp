#include "base/staged_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "tests/support/test_files.h"

// Every umask, fsync and rename call in this binary passes through here, so
// the tests see that no write touches the process-wide umask (another thread
// would create files under it) and that a replacement is flushed around its
// rename.
namespace {
std::string gCalls;  // 'U' umask, 'F' fsync, 'R' rename
}

extern "C" {
mode_t umask(mode_t mask) noexcept {
    gCalls += 'U';
    return mode_t(::syscall(SYS_umask, mask));
}
int fsync(int fd) {
    gCalls += 'F';
    return int(::syscall(SYS_fsync, fd));
}
int rename(const char* from, const char* to) noexcept {
    gCalls += 'R';
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}
}

namespace quill {
namespace {

using test::Bytes;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

unsigned modeOf(const std::filesystem::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : ~0u;
}

TEST(StagedFile, LongestNameFitsOneMoreIsRefusedBeforeAnyWork) {
    // 85 three-byte characters: a 255-byte name, the longest a folder holds.
    TempDir dir;
    std::string name;
    for (int i = 0; i < 85; ++i) name += "\u5199";
    const Bytes data{4, 5};
    ASSERT_TRUE(writeStaged(dir / name, data, Placement::New));
    EXPECT_EQ(readBytes(dir / name), data);
    const FileResult tooLong = writeStaged(dir / (name + "x"), data, Placement::New);
    EXPECT_EQ(tooLong.reason, FailReason::NameTooLong);
    EXPECT_EQ(failureText(tooLong, TextLanguage::Japanese).rfind("ファイル名が長すぎます。", 0),
              0u);
    EXPECT_EQ(writeStaged(dir / "none" / "x", data, Placement::New).reason, FailReason::NotFound);
    EXPECT_EQ(test::namesIn(dir.path()), std::vector<std::string>{name});
}

TEST(StagedFile, NewNeverReplacesReplaceKeepsTheOldModeNothingLeftBehind) {
    TempDir dir;
    ASSERT_TRUE(writeStaged(dir / "x", Bytes{9, 8, 7}, Placement::New));
    EXPECT_EQ(writeStaged(dir / "x", Bytes{1}, Placement::New).reason, FailReason::Exists);
    EXPECT_EQ(readBytes(dir / "x"), (Bytes{9, 8, 7}));
    ::chmod((dir / "x").c_str(), 0640);
    ASSERT_TRUE(writeStaged(dir / "x", Bytes{1}, Placement::Replace));
    EXPECT_EQ(readBytes(dir / "x"), Bytes{1});
    EXPECT_EQ(modeOf(dir / "x"), 0640u);
    {
        StagedFile abandoned(dir / "y");
        ASSERT_TRUE(abandoned.write(Bytes{1, 2}));
    }
    EXPECT_EQ(test::namesIn(dir.path()), std::vector<std::string>{"x"});
}

TEST(StagedFile, CreatesUnderTheUmaskWithoutChangingIt) {
    TempDir dir;
    const mode_t saved = ::umask(027);
    gCalls.clear();
    ASSERT_TRUE(writeStaged(dir / "a", Bytes{1}, Placement::New));
    StagedFile b(dir / "b");
    ASSERT_TRUE(b.stream());
    std::fputs("b", b.stream());
    ASSERT_TRUE(b.commit(Placement::Replace));
    EXPECT_EQ(gCalls.find('U'), std::string::npos) << gCalls;
    EXPECT_EQ(::umask(saved), mode_t(027));
    EXPECT_EQ(modeOf(dir / "a"), 0640u);
    EXPECT_EQ(modeOf(dir / "b"), 0640u);
}

TEST(StagedFile, ReplacementIsFlushedBeforeAndAfterItsRename) {
    TempDir dir;
    gCalls.clear();
    ASSERT_TRUE(writeStaged(dir / "x", Bytes{1}, Placement::New));
    EXPECT_EQ(gCalls.find('F'), std::string::npos) << "a new name replaces nothing";
    gCalls.clear();
    ASSERT_TRUE(writeStaged(dir / "x", Bytes{2}, Placement::Replace));
    EXPECT_EQ(gCalls, "FRF");  // data, rename, folder
    writeBytes(dir / "y", Bytes{3});
    gCalls.clear();
    ASSERT_TRUE(replaceFile(dir / "y", dir / "x", 0600));
    EXPECT_EQ(gCalls, "FRF");
    EXPECT_EQ(readBytes(dir / "x"), Bytes{3});
    EXPECT_EQ(modeOf(dir / "x"), 0600u);
}

// What a killed run leaves is ours to remove once it is an hour old; nothing
// else is touched: not a fresh temporary, not a name of another shape, not
// a folder.
TEST(StagedFile, StaleTemporariesOfOursGoBeforeTheFirstWriteIntoTheirFolder) {
    TempDir dir;
    const std::timespec twoHoursAgo{std::time(nullptr) - 7200, 0};
    const std::timespec times[2] = {twoHoursAgo, twoHoursAgo};
    const char* stale[] = {".photo_0001.jpg.0a1b2c3d.tmp", ".p.9e3779b1.tmp"};
    const char* kept[] = {".photo.jpg.0A1B2C3D.tmp", "photo.jpg.0a1b2c3d.tmp", ".notes.tmp",
                          ".a-name-of-twenty-five-byt.0a1b2c3d.tmp", "photo.jpg"};
    for (const char* name : stale) writeBytes(dir / name, Bytes{1});
    for (const char* name : kept) writeBytes(dir / name, Bytes{1});
    std::filesystem::create_directory(dir / ".dir.0a1b2c3d.tmp");
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        ASSERT_EQ(::utimensat(AT_FDCWD, e.path().c_str(), times, 0), 0);
    writeBytes(dir / ".photo_0002.jpg.0a1b2c3d.tmp", Bytes{1});  // fresh: a live conversion's

    ASSERT_TRUE(writeStaged(dir / "new.jpg", Bytes{2}, Placement::New));
    for (const char* name : stale) EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    for (const char* name : kept) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_TRUE(std::filesystem::exists(dir / ".dir.0a1b2c3d.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / ".photo_0002.jpg.0a1b2c3d.tmp"));
    // The kept, the folder, the fresh one, new.jpg.
    EXPECT_EQ(test::namesIn(dir.path()).size(), 8u);
}

}  // namespace
}  // namespace quill
