// The search order of EstimateQuality where a table's transpose sits at a
// lower index than the table itself. The built-in data has no such pair, so
// this binary links its own carried-in tables in place of the library's
// (the data is a separate object of the static library): the transposed IJG
// quality 95 luminance table at index 1744, labelled "Nikon 120".
#include <gtest/gtest.h>

#include <algorithm>

#include "inspection/ijg_quality.h"
#include "inspection/quant_table_data.h"
#include "inspection/quant_table_db.h"
#include "tests/support/jpeg_probe.h"
#include "tests/support/test_files.h"

namespace quill {
namespace detail {
namespace {

SourcedTable transposedIjg95() {
    SourcedTable t{1744, 0, {}};
    const QuantEntry e = ReorderZigzag(1, ijgTable(kLuminance, 95, 255));
    std::copy(e.begin(), e.end(), t.values);
    return t;
}

}  // namespace

const SourcedTable kSourcedTables[] = {transposedIjg95()};
const std::size_t kSourcedTableCount = 1;

}  // namespace detail

namespace {

TEST(SearchOrder, AnExactMatchBeatsATransposedOneAtALowerIndex) {
    const QuantTableDb db;
    ASSERT_EQ(QualityLabel(0, 1744), "Nikon 120");
    test::TempDir dir;
    const test::Bytes q95 = test::makeJpeg({.width = 64, .height = 64, .quality = 95});
    const fs::path src = test::writeBytes(dir / "q95.jpg", q95);
    JpegInfo info;
    ASSERT_TRUE(db.ScanJpeg(src, info));
    EXPECT_EQ(info.fields[kColLumaQuality], "IJG 95");

    if (!test::haveTool("jpegtran")) GTEST_SKIP() << "jpegtran not installed";
    const test::Bytes rotated = test::runJpegtran("-rotate 90", q95);
    ASSERT_FALSE(rotated.empty());
    JpegInfo turned;
    ASSERT_TRUE(db.ScanJpeg(test::writeBytes(dir / "rotated.jpg", rotated), turned));
    // Order 0 over the whole list first: index 1744, not IJG 95 (index 5) by
    // transposing.
    EXPECT_EQ(turned.fields[kColLumaQuality], "Nikon 120");
    EXPECT_EQ(turned.fields[kColChromaQuality], "IJG 95");  // symmetric chrominance
}

}  // namespace
}  // namespace quill
