// quillmark-cli scan and info, run as a user would run them.
#include <gtest/gtest.h>

#include <sstream>

#include "base/file_util.h"
#include "base/group_thousands.h"
#include "tests/support/jpeg_patch.h"
#include "tests/support/jpeg_probe.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

using CliResult = test::CommandResult;

class CliTest : public ::testing::Test {
protected:
    CliResult run(const std::string& args, const std::string& env = "") {
        return test::runIn(dir.path(), env + "'" + QUILLMARK_CLI + "' " + args);
    }
    std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

    test::TempDir dir;
    test::TempDir photos;
};

std::vector<std::vector<std::string>> tsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            cells.push_back(line.substr(start, tab - start));
        cells.push_back(line.substr(start));
        rows.push_back(cells);
    }
    return rows;
}

// Sorted by name, a tab in a name written as a backslash and a "t" so that
// it stays in its cell; every cell of a row is the golden row's test below.
TEST_F(CliTest, ScanListsTheFolderSortedByName) {
    const test::JpegSpec gray{
        .input = test::Space::Gray, .stored = test::Space::Gray, .h0 = 1, .v0 = 1};
    test::writeBytes(photos / "b.JPEG", test::makeJpeg({}));
    test::writeBytes(photos / "A.jpg", test::makeJpeg(gray));
    test::writeBytes(photos / "tab\there.jpg", test::makeJpeg({}));
    test::writeBytes(photos / "c.jpg", Bytes{'n', 'o'});
    test::writeBytes(photos / "d.png", test::makeJpeg({}));

    const CliResult r = run("scan " + quoted(photos.path()));
    EXPECT_EQ(r.status, 0);
    const auto rows = tsv(r.out);
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& row : rows) ASSERT_EQ(row.size(), 33u);
    EXPECT_EQ(rows[0][0], "ファイル名");
    EXPECT_EQ(rows[0][11], "サンプリングファクタ");
    EXPECT_EQ(rows[0][32], "その他");
    EXPECT_EQ(rows[1][0], "A.jpg");
    EXPECT_EQ(rows[1][7], "None");
    EXPECT_EQ(rows[2][0], "b.JPEG");
    EXPECT_EQ(rows[3][0], "tab\\there.jpg");
}

// A few stray bytes between segments, which libjpeg reads past with a
// warning: the file is listed, the warning names it, and its rotation is
// jpegtran's rotation of the file without them. A header cut short is left
// out, its messages named.
TEST_F(CliTest, StrayBytesBetweenSegmentsAreListedAndConverted) {
    const Bytes clean = test::makeJpeg({});
    const std::size_t dqt = test::findMarker(clean, 0xDB);
    Bytes stray = clean;
    stray.insert(stray.begin() + std::ptrdiff_t(dqt), {0x00, 0x12, 0x34});
    test::writeBytes(photos / "stray.jpg", stray);
    test::writeBytes(photos / "cut.jpg", Bytes(clean.begin(), clean.begin() + 300));

    CliResult r = run("scan " + quoted(photos.path()));
    EXPECT_EQ(r.status, 0);
    const auto rows = tsv(r.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "stray.jpg");
    EXPECT_NE(r.err.find((photos / "stray.jpg").string() + ": Corrupt JPEG data: 3 extraneous bytes before marker 0xdb"),
              std::string::npos) << r.err;
    EXPECT_NE(r.err.find((photos / "cut.jpg").string() + ": Premature end of JPEG file"), std::string::npos);

    r = run("rotate-r90 " + quoted(photos / "stray.jpg") + " " + quoted(photos / "cut.jpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'" + (photos / "cut.jpg").string() + "': file ends early (at byte 300)"), std::string::npos);
    if (test::haveTool("jpegtran")) {
        EXPECT_EQ(test::readBytes(photos / "stray_rotationR90.jpg"),
                  test::runJpegtran("-copy all -optimize -trim -rotate 90", clean));
    }
}

TEST_F(CliTest, GoldenRowOfOneFile) {
    test::JpegSpec s;
    s.width = 1000;
    s.height = 750;
    s.quality = 85;
    s.progressive = true;
    s.densityUnit = 1;
    s.xDensity = s.yDensity = 72;
    s.segments = {{0xE1, Bytes{'E', 'x', 'i', 'f', 0, 0}}, {0xE2, Bytes(20, 1)}, {0xFE, Bytes{'c'}}};
    const fs::path file = test::writeBytes(photos / "golden.jpg", test::makeJpeg(s));
    std::timespec t{946684800 + 3723, 0};  // 2000-01-01 01:02:03 UTC
    ASSERT_TRUE(setFileTimes(file, t, t));
    const std::string size = GroupThousands(std::to_string(fs::file_size(file)));

    const CliResult r = run("info " + quoted(file), "TZ=UTC ");
    ASSERT_EQ(r.status, 0);
    const std::string expected =
        "golden.jpg\t" + size +
        "\t2000/01/01 01:02:03\t1000 x 750\t1008 x 752\t16 x 16\tIJG 85\tIJG 85\tC\t24\tYCbCr"
        "\t4：2：0\tProgressive\t72\t72\tO\tO\tO\t\t\t\t\t\t\t\t\t\t\t\t\t\tO\t85\n";
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), expected);
}

TEST_F(CliTest, ScanAsJson) {
    test::writeBytes(photos / "say \"hi\".jpg", test::makeJpeg({}));
    const CliResult r = run("scan --json " + quoted(photos.path()));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"ファイル名\": \"say \\\"hi\\\".jpg\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"輝度画質\": \"IJG 75\""), std::string::npos);
    EXPECT_EQ(r.out.front(), '[');

    test::TempDir empty;
    EXPECT_EQ(run("scan --json " + quoted(empty.path())).out, "[]\n");
}

TEST_F(CliTest, InfoOnOneFileFailuresAndUsage) {
    const fs::path good = test::writeBytes(photos / "one.jpg", test::makeJpeg({}));
    const fs::path bad = test::writeBytes(photos / "bad.jpg", Bytes{'x'});
    CliResult r = run("info " + quoted(good));
    EXPECT_EQ(r.status, 0);
    const auto rows = tsv(r.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "one.jpg");
    r = run("info " + quoted(bad));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillmark-cli info: '" + bad.string() + "': not a JPEG file\n");
    EXPECT_EQ(run("info " + quoted(photos / "none.jpg")).status, 1);
    EXPECT_EQ(run("info --json " + quoted(good)).out.front(), '{');

    r = run("scan " + quoted(photos / "missing"));
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("missing"), std::string::npos);
    for (const char* usage : {"scan", "scan a b", "info"}) EXPECT_EQ(run(usage).status, 2) << usage;
}

TEST_F(CliTest, DatabaseStatistics) {
    const CliResult r = run("--db-stats");
    EXPECT_EQ(r.status, 0);
    const auto rows = tsv(r.out);
    ASSERT_EQ(rows.size(), 1u + 67u + 2u);
    EXPECT_EQ(rows[1][0], "0");
    EXPECT_EQ(rows[1][4], "100");
    EXPECT_EQ(rows[67][0], "66");
    EXPECT_EQ(rows[67][4], "448");
    EXPECT_EQ(rows[30][3], "Canon");  // gathered camera pairs
    EXPECT_EQ(rows[30][4], "8");
    EXPECT_EQ(rows[30][5], "8");
    EXPECT_EQ(rows[68][0], "stored");
}

}  // namespace
}  // namespace quill
