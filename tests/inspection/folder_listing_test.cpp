// Which files a folder scan lists, and the list's orders.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/file_util.h"
#include "base/jpeg_guard.h"
#include "inspection/folder_listing.h"
#include "inspection/quant_table_db.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

using test::Bytes;

std::vector<std::string> names(const std::vector<JpegInfo>& rows) {
    std::vector<std::string> out;
    for (const JpegInfo& r : rows) out.push_back(r.fields[kColName]);
    return out;
}

std::vector<std::string> names(const std::vector<fs::path>& paths) {
    std::vector<std::string> out;
    for (const fs::path& p : paths) out.push_back(p.filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(FolderListing, JpegExtensions) {
    for (const char* yes : {"a.jpg", "b.JPEG", "c.JpG", ".jpg", "x.y.jpeg", "a..jpg"})
        EXPECT_TRUE(hasJpegExtension(yes)) << yes;
    for (const char* no : {"c.jpe", "d.png", "jpg", "a.jpg.txt", "a.jpgx", "a. jpg", "a.jpg ",
                           "a.\xEF\xBD\x8Apg"})
        EXPECT_FALSE(hasJpegExtension(no)) << no;
}

class FolderScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setMessageSink([](const char*) {}); }
    static void TearDownTestSuite() { setMessageSink(nullptr); }
    test::TempDir dir;
    Bytes jpeg = test::makeJpeg({});
};

TEST_F(FolderScanTest, CandidatesAndListedFiles) {
    test::writeBytes(dir / "a.jpg", jpeg);
    test::writeBytes(dir / "b.JPEG", jpeg);
    test::writeBytes(dir / "c.jpe", jpeg);
    test::writeBytes(dir / "d.png", jpeg);
    test::writeBytes(dir / "e.jpg", Bytes{});
    test::writeBytes(dir / "f.jpg" / "inner.jpg", jpeg);  // a folder named f.jpg
    test::writeBytes(dir / "x.jpg", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    fs::create_symlink(dir / "a.jpg", dir / "link.jpg");
    fs::create_symlink(dir / "f.jpg", dir / "dirlink.jpg");

    const auto candidates = listCandidates(dir.path());
    ASSERT_TRUE(candidates);
    EXPECT_EQ(names(*candidates),
              (std::vector<std::string>{"a.jpg", "b.JPEG", "link.jpg", "x.jpg"}));

    const auto rows = listFolderByName(dir.path());
    ASSERT_TRUE(rows);
    EXPECT_EQ(names(*rows), (std::vector<std::string>{"a.jpg", "b.JPEG", "link.jpg"}));
}

TEST_F(FolderScanTest, UnreadableFolder) {
    EXPECT_FALSE(listCandidates(dir / "missing"));
    EXPECT_FALSE(listFolderByName(dir / "missing"));
    test::writeBytes(dir / "file.jpg", jpeg);
    EXPECT_FALSE(listFolderByName(dir / "file.jpg"));
    const auto empty = listFolderByName(dir / "..");  // readable, maybe without JPEGs
    EXPECT_TRUE(empty);
}

TEST_F(FolderScanTest, RowsSortedByNameWithOnlyAsciiFolded) {
    for (const char* n : {"b.jpg", "A.jpg", "_x.jpg", "Z.jpg", "a1.jpg", "\xC3\x84.jpg", "c.JPG"})
        test::writeBytes(dir / n, jpeg);
    const auto rows = listFolderByName(dir.path());
    ASSERT_TRUE(rows);
    // Letters compare as lower case, so '_' (0x5F) comes before every letter;
    // A-umlaut compares by its code value, after all ASCII.
    EXPECT_EQ(names(*rows), (std::vector<std::string>{"_x.jpg", "A.jpg", "a1.jpg", "b.jpg",
                                                      "c.JPG", "Z.jpg", "\xC3\x84.jpg"}));
}

TEST_F(FolderScanTest, ManyFilesOnSeveralThreadsKeepEveryRow) {
    for (int i = 0; i < 150; ++i) {
        char n[32];
        std::snprintf(n, sizeof n, "img%03d.jpg", i);
        test::writeBytes(dir / n, i % 10 == 3 ? Bytes{'n', 'o'} : jpeg);
    }
    const QuantTableDb db;
    FolderScanOptions one, four;
    one.threads = 1;
    four.threads = 4;
    auto a = scanFolderRows(dir.path(), db, one);
    auto b = scanFolderRows(dir.path(), db, four);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size(), 135u);
    sortRows(*a, kColName, false);
    sortRows(*b, kColName, false);
    ASSERT_EQ(a->size(), b->size());
    for (std::size_t i = 0; i < a->size(); ++i) EXPECT_EQ((*a)[i].fields, (*b)[i].fields);
}

TEST_F(FolderScanTest, TimestampOptionSetsFilesAndFolder) {
    test::writeBytes(dir / "a.jpg", jpeg);
    test::writeBytes(dir / "x.jpg", Bytes{'n', 'o', 't'});
    test::writeBytes(dir / "note.txt", Bytes{'n'});
    std::tm tm{};
    tm.tm_year = 100;
    tm.tm_mon = 0;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    FolderScanOptions options;
    options.timestamp = std::timespec{std::mktime(&tm), 0};
    const auto rows = listFolderByName(dir.path(), options);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ((*rows)[0].fields[kColModified], "2000/01/01 00:00:00");
    EXPECT_EQ(statFile(dir / "x.jpg")->modified.tv_sec, options.timestamp->tv_sec);
    EXPECT_EQ(statFile(dir.path())->modified.tv_sec, options.timestamp->tv_sec);
    EXPECT_NE(statFile(dir / "note.txt")->modified.tv_sec, options.timestamp->tv_sec);
}

TEST(ListOrder, TextComparisonFoldsOnlyAsciiLetters) {
    EXPECT_EQ(compareListText("a.jpg", "A.jpg"), 0);
    EXPECT_LT(compareListText("abc", "ABD"), 0);
    EXPECT_LT(compareListText("ab", "abc"), 0);
    EXPECT_GT(compareListText("b", "A"), 0);
    EXPECT_GT(compareListText("Z", "_"), 0);  // z (0x7A) against _ (0x5F)
    // Not folded: A-umlaut and its lower case, full-width letters.
    EXPECT_NE(compareListText("\xC3\x84", "\xC3\xA4"), 0);
    EXPECT_NE(compareListText("\xEF\xBC\xA1", "\xEF\xBD\x81"), 0);
    // Size texts compare as text: "9" after "1,000".
    EXPECT_GT(compareListText("999", "1,000"), 0);
    // UTF-16 order: U+FF01 (one unit, 0xFF01) after U+1F600 (surrogates 0xD83D...).
    EXPECT_GT(compareListText("\xEF\xBC\x81", "\xF0\x9F\x98\x80"), 0);
    EXPECT_LT(compareListText("\xE3\x81\x82", "\xF0\x9F\x98\x80"), 0);
    // Malformed bytes compare consistently.
    EXPECT_EQ(compareListText("\xFF", "\xFE"), 0);
    EXPECT_LT(compareListText("a\xFF", "a\xFF" "b"), 0);
}

TEST(ListOrder, NumericColumns) {
    EXPECT_TRUE(columnSortsAsNumber(9));
    EXPECT_TRUE(columnSortsAsNumber(31));
    EXPECT_TRUE(columnSortsAsNumber(32));
    EXPECT_FALSE(columnSortsAsNumber(1));
    EXPECT_FALSE(columnSortsAsNumber(13));
    EXPECT_EQ(listNumber("24"), 24.0);
    EXPECT_EQ(listNumber(" 8x"), 8.0);
    EXPECT_EQ(listNumber("-2.5e1"), -25.0);
    EXPECT_EQ(listNumber("O"), 0.0);
    EXPECT_EQ(listNumber(""), 0.0);
    EXPECT_EQ(listNumber("nan"), 0.0);
    EXPECT_EQ(listNumber("inf"), 0.0);
    EXPECT_EQ(compareListCells(9, "8", "24"), -1);
    EXPECT_EQ(compareListCells(9, "36", "24"), 1);
    EXPECT_EQ(compareListCells(31, "O", ""), 0);
    EXPECT_EQ(compareListCells(1, "8", "24"), 1);  // as text
}

TEST(ListOrder, SortRowsBothDirections) {
    std::vector<JpegInfo> rows(4);
    const char* depth[4] = {"24", "8", "36", "8"};
    for (int i = 0; i < 4; ++i) {
        rows[i].fields[kColName] = std::string(1, char('a' + i));
        rows[i].fields[kColDepth] = depth[i];
    }
    sortRows(rows, kColDepth, false);
    EXPECT_EQ(names(rows), (std::vector<std::string>{"b", "d", "a", "c"}));
    sortRows(rows, kColDepth, true);
    EXPECT_EQ(rows.front().fields[kColName], "c");
    EXPECT_EQ(rows.back().fields[kColDepth], "8");
    sortRows(rows, kColName, true);
    EXPECT_EQ(names(rows), (std::vector<std::string>{"d", "c", "b", "a"}));
}

}  // namespace
}  // namespace quill
