// Which files a folder scan lists, and the list's orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

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

    Bytes damaged = jpeg;
    damaged.resize(40);
    test::writeBytes(dir / "y.jpg", damaged);
    const QuantTableDb db;
    std::vector<UnreadableFile> unreadable;
    auto rows = scanFolderRows(dir.path(), db, {}, &unreadable);
    ASSERT_TRUE(rows);
    std::sort(rows->begin(), rows->end(), [](auto& a, auto& b) { return a.fields[0] < b.fields[0]; });
    EXPECT_EQ(names(*rows), (std::vector<std::string>{"a.jpg", "b.JPEG", "link.jpg"}));
    // Every file with a JPEG name that is not listed is reported with its reason.
    std::map<std::string, FailReason> why;
    for (const UnreadableFile& u : unreadable) why[u.path.filename().string()] = u.why.reason;
    EXPECT_EQ(why, (std::map<std::string, FailReason>{
                       {"e.jpg", FailReason::NotJpeg}, {"x.jpg", FailReason::NotJpeg}, {"y.jpg", FailReason::Truncated}}));
}

TEST_F(FolderScanTest, UnreadableFolder) {
    EXPECT_FALSE(listCandidates(dir / "missing"));
    EXPECT_FALSE(listFolderByName(dir / "missing"));
    test::writeBytes(dir / "file.jpg", jpeg);
    EXPECT_FALSE(listFolderByName(dir / "file.jpg"));
    EXPECT_TRUE(listFolderByName(dir / ".."));  // readable, maybe without JPEGs
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
    auto a = scanFolderRows(dir.path(), db, {.threads = 1});
    auto b = scanFolderRows(dir.path(), db, {.threads = 4});
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size(), 135u);
    ASSERT_EQ(a->size(), b->size());
    for (std::size_t i = 0; i < a->size(); ++i) EXPECT_EQ((*a)[i].fields, (*b)[i].fields);
}

TEST_F(FolderScanTest, TimestampOptionSetsFilesAndFolder) {
    test::writeBytes(dir / "a.jpg", jpeg);
    test::writeBytes(dir / "x.jpg", Bytes{'n', 'o', 't'});
    test::writeBytes(dir / "note.txt", Bytes{'n'});
    std::tm tm{.tm_mday = 1, .tm_mon = 0, .tm_year = 100, .tm_isdst = -1};
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

TEST(ListOrder, ColumnKindsAndTheirKeys) {
    EXPECT_EQ(columnSortKind(kColName), SortKind::Text);
    EXPECT_EQ(columnSortKind(kColModified), SortKind::Text);
    EXPECT_EQ(columnSortKind(kColLumaQuality), SortKind::Text);
    for (int c : {kColDepth, kColCom, kColOther}) EXPECT_EQ(columnSortKind(c), SortKind::Number) << c;
    for (int c : {kColSize, kColImageSize, kColRegularSize, kColBlockUnit, kColXDensity, kColYDensity})
        EXPECT_EQ(columnSortKind(c), SortKind::Value) << c;

    EXPECT_EQ(listNumber(" 8x"), 8.0);
    EXPECT_EQ(listNumber("-2.5e1"), -25.0);
    for (const char* zero : {"O", "", "nan", "inf"}) EXPECT_EQ(listNumber(zero), 0.0) << zero;

    const std::pair<const char*, ListValue> values[] = {
        {"12,000", {12000, 0}},
        {"9,999,999,999", {9999999999u, 0}},
        {"6000 x 4000", {6000, 4000}},
        {"70 x 50", {70, 50}},
        {"1,2", {12, 0}},
        {"3, 4", {3, 4}},  // a comma not between digits ends the number
        {"", {0, 0}},
        {"99999999999999999999999", {UINT64_MAX, 0}},
    };
    for (const auto& [text, want] : values) EXPECT_EQ(listValue(text), want) << text;
}

std::vector<std::string> sortedCells(const std::vector<std::string_view>& cells, SortKind kind,
                                     bool descending) {
    std::vector<std::string> out;
    for (int i : listSortOrder(cells, kind, descending)) out.emplace_back(cells[std::size_t(i)]);
    return out;
}

// Texts and values equal under the list's order go by their bytes, numbers
// equal by index: one order wherever it is computed, in both directions.
TEST(ListOrder, SortOrderIsTotalInBothDirections) {
    using Names = std::vector<std::string>;
    auto bothWays = [](const std::vector<std::string_view>& cells, SortKind kind, Names up) {
        EXPECT_EQ(sortedCells(cells, kind, false), up);
        std::reverse(up.begin(), up.end());
        EXPECT_EQ(sortedCells(cells, kind, true), up);
    };
    bothWays({"b.jpg", "a.jpg", "_.jpg", "A.jpg", "\xC3\xA9.jpg", "B.JPG", "\xC3\x89.jpg"}, SortKind::Text,
             {"_.jpg", "A.jpg", "a.jpg", "B.JPG", "b.jpg", "\xC3\x89.jpg", "\xC3\xA9.jpg"});
    bothWays({"2,000", "950", "12,000", "1,000,000", "2000"}, SortKind::Value,
             {"950", "2,000", "2000", "12,000", "1,000,000"});
    bothWays({"6000 x 4000", "70 x 50", "6000 x 300", "640 x 480"}, SortKind::Value,
             {"70 x 50", "640 x 480", "6000 x 300", "6000 x 4000"});

    const std::vector<std::string_view> depths = {"100", "9", "-3.5", "x", "24bits", "nan"};
    EXPECT_EQ(sortedCells(depths, SortKind::Number, false), (Names{"-3.5", "x", "nan", "9", "24bits", "100"}));
    EXPECT_EQ(sortedCells(depths, SortKind::Number, true), (Names{"100", "24bits", "9", "x", "nan", "-3.5"}));
}

// The sort decides most pairs by an eight-byte prefix; it must agree with the
// full comparison on texts built to hit every shortcut: shared prefixes,
// letters of both cases, multi-byte characters on either side of the
// surrogate range, texts shorter than eight bytes.
TEST(ListOrder, PrefixShortcutAgreesWithTheFullComparison) {
    const std::vector<std::string> pieces = {"a", "A", "b", "_", "0", "photo_00", "\x7f", "\xC3\xA9", "\xC3\x89",
                                             "\xE6\x97\xA5", "\xEE\x80\x80", "\xF0\x9F\x98\x80", "~"};
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        const int parts = static_cast<int>(next() % 6);
        for (int k = 0; k < parts; ++k) text += pieces[next() % pieces.size()];
        texts.push_back(text);
    }
    const std::vector<std::string_view> cells(texts.begin(), texts.end());
    for (bool descending : {false, true}) {
        const std::vector<std::string> out = sortedCells(cells, SortKind::Text, descending);
        for (std::size_t r = 0; r + 1 < out.size(); ++r) {
            int c = compareListText(out[r], out[r + 1]);
            if (c == 0) c = out[r].compare(out[r + 1]);
            ASSERT_TRUE(descending ? c >= 0 : c <= 0) << r << ": " << out[r] << " / " << out[r + 1];
        }
    }
}

}  // namespace
}  // namespace quill
