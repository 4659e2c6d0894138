// Labels, grades and zigzag orders: pure rules. The families whose tables we
// carry are checked against the labels their sources give (quant_table_db_test);
// here the families without data, one edge per label format, and the
// families with rules of their own.
#include <gtest/gtest.h>

#include <algorithm>

#include "inspection/quant_table_db.h"

namespace quill {
namespace {

TEST(QualityLabel, EdgesOfEveryLabelFormat) {
    const std::pair<int, const char*> labels[] = {
        {113, "Photoshop 12b"},   {125, "Photoshop 00b"},   {126, "SAI 99"},          {327, "LEADTOOLS002"},
        {328, "LEADTOOLS003"},    {580, "LEADTOOLS255"},    {1395, "Flat 95"},        {1486, "Flat 04"},
        {1497, "Snapseed 007"},   {1537, "Capture One005"}, {1563, "FinePix Viewer1"}, {1564, "FinePix Viewer0"},
        {1566, "Amazon 000"},     {1567, "Photo-JPEG100"},  {1568, "Photo-JPEG 82"},  {1576, "Photo-JPEG  0"},
        {1577, "WebArtDesi 75"},  {1578, "WebArtDesi 50"},  {3732, "Kyocera 030"},    {3763, "KonicaMinolta18"},
        {3902, "6MP-9J5 000"},    {3906, "JPEGmini 370"},   {4277, "GooglePhotos91"}, {4368, "GooglePhotos00"},
        {4414, "Known Same004"},  {4419, "Guetzli 454"},    {4866, "Guetzli 007"},    {4873, "Guetzli 000"},
        {4874, ""},               {100000, ""},             {-1, ""},
    };
    for (auto [index, label] : labels)
        for (int list : {0, 1}) EXPECT_EQ(QualityLabel(list, index), label) << index << " list " << list;
}

TEST(QualityLabel, FamiliesCoverEveryIndexWithoutGaps) {
    auto families = qualityFamilies();
    ASSERT_EQ(families.size(), 67u);
    EXPECT_EQ(families.front().first, 0);
    for (std::size_t i = 1; i < families.size(); ++i) {
        EXPECT_EQ(families[i].number, int(i));
        EXPECT_EQ(families[i].first, families[i - 1].last + 1) << families[i].name;
    }
    EXPECT_EQ(families.back().last, QuantTableDb::labelEnd - 1);
}

// The chrominance tables of qualities 3 to 1 are all 255, so a match always
// lands on index 97: that one reads "Inferior", 98 and 99 keep numbers.
TEST(QualityLabel, IjgFamilyDiffersBetweenLists) {
    const char* luma[] = {"Supreme", "IJG 99", "IJG 50", "IJG 04", "IJG 03", "IJG 02", "Inferior"};
    const char* chroma[] = {"Supreme", "IJG 99", "IJG 50", "IJG 04", "Inferior", "IJG 02", "IJG 01"};
    const int index[] = {0, 1, 50, 96, 97, 98, 99};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(QualityLabel(0, index[i]), luma[i]);
        EXPECT_EQ(QualityLabel(1, index[i]), chroma[i]);
    }
}

TEST(QualityLabel, AcdseeGroupsOfSix) {
    const char* luma[6] = {"ACDSee 98-99", "", "ACDSee 95-97", "", "ACDSee 93-94", "ACDSee 90-92"};
    const char* chroma[6] = {"ACDSee 99", "ACDSee 97-98", "ACDSee 95-96", "ACDSee 94", "ACDSee 92-93", "ACDSee 90-91"};
    for (int p = 0; p < 6; ++p) {
        EXPECT_EQ(QualityLabel(0, 581 + p), luma[p]);
        EXPECT_EQ(QualityLabel(1, 581 + p), chroma[p]);
    }
    EXPECT_EQ(QualityLabel(0, 587), "ACDSee 88-89");
    EXPECT_EQ(QualityLabel(0, 640), "ACDSee 0-2");
    EXPECT_EQ(QualityLabel(1, 640), "ACDSee 0-1");
    EXPECT_EQ(QualityLabel(1, 635), "ACDSee 9");
    EXPECT_EQ(QualityLabel(1, 637), "ACDSee 5-6");
}

TEST(QualityGrade, EveryStepOfSixtyFour) {
    const std::pair<int, const char*> grades[] = {{64, "S"},   {0, "A"},    {65, "A"},   {384, "A"},   {385, "B"},
                                                  {768, "B"},  {769, "C"},  {1152, "C"}, {1153, "D"},  {1536, "D"},
                                                  {1537, "E"}, {1920, "E"}, {1921, "F"}, {64 * 255, "F"}};
    for (auto [sum, grade] : grades) EXPECT_EQ(QualityGrade(sum), grade) << sum;
}

TEST(ReorderZigzag, BothOrdersAndLowEightBits) {
    QuantValues natural{};
    for (int i = 0; i < 64; ++i) natural[i] = static_cast<std::uint16_t>(i);
    const QuantEntry z0 = ReorderZigzag(0, natural);
    const QuantEntry z1 = ReorderZigzag(1, natural);
    const int start0[10] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24};
    const int start1[10] = {0, 8, 1, 2, 9, 16, 24, 17, 10, 3};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(z0[k], start0[k]);
        EXPECT_EQ(z1[k], start1[k]);
    }
    // Every position once in each order.
    std::array<int, 64> seen0{}, seen1{};
    for (int k = 0; k < 64; ++k) ++seen0[z0[k]], ++seen1[z1[k]];
    EXPECT_EQ(std::count(seen0.begin(), seen0.end(), 1), 64);
    EXPECT_EQ(std::count(seen1.begin(), seen1.end(), 1), 64);
    natural[0] = 0x1FF;
    EXPECT_EQ(ReorderZigzag(0, natural)[0], 0xFF);
}

}  // namespace
}  // namespace quill
