// Labels, grades and zigzag orders: pure rules. The families whose tables we
// carry are checked against the labels their sources give (quant_table_db_test);
// here the families without data, one edge per label format, and the
// families with rules of their own.
#include <gtest/gtest.h>

#include <algorithm>

#include "inspection/quant_table_db.h"

namespace quill {
namespace {

// One edge per label format, the same in both lists unless a second label
// is given: the IJG family's chrominance tables of qualities 3 to 1 are all
// 255, so a match always lands on index 97, which reads "Inferior" there;
// the ACDSee family groups its qualities differently in each list.
TEST(QualityLabel, EdgesOfEveryLabelFormat) {
    const struct {
        int index;
        const char *luma, *chroma;
    } labels[] = {
        {0, "Supreme", nullptr},           {50, "IJG 50", nullptr},           {97, "IJG 03", "Inferior"},
        {99, "Inferior", "IJG 01"},        {113, "Photoshop 12b", nullptr},   {125, "Photoshop 00b", nullptr},
        {126, "SAI 99", nullptr},          {327, "LEADTOOLS002", nullptr},    {580, "LEADTOOLS255", nullptr},
        {581, "ACDSee 98-99", "ACDSee 99"}, {582, "", "ACDSee 97-98"},        {583, "ACDSee 95-97", "ACDSee 95-96"},
        {584, "", "ACDSee 94"},            {585, "ACDSee 93-94", "ACDSee 92-93"},
        {587, "ACDSee 88-89", "ACDSee 89"}, {635, "ACDSee 8-9", "ACDSee 9"},  {640, "ACDSee 0-2", "ACDSee 0-1"},
        {1395, "Flat 95", nullptr},        {1486, "Flat 04", nullptr},        {1497, "Snapseed 007", nullptr},
        {1537, "Capture One005", nullptr}, {1563, "FinePix Viewer1", nullptr}, {1564, "FinePix Viewer0", nullptr},
        {1566, "Amazon 000", nullptr},     {1567, "Photo-JPEG100", nullptr},  {1568, "Photo-JPEG 82", nullptr},
        {1576, "Photo-JPEG  0", nullptr},  {1577, "WebArtDesi 75", nullptr},  {1578, "WebArtDesi 50", nullptr},
        {3732, "Kyocera 030", nullptr},    {3763, "KonicaMinolta18", nullptr}, {3902, "6MP-9J5 000", nullptr},
        {3906, "JPEGmini 370", nullptr},   {4277, "GooglePhotos91", nullptr}, {4368, "GooglePhotos00", nullptr},
        {4414, "Known Same004", nullptr},  {4419, "Guetzli 454", nullptr},    {4866, "Guetzli 007", nullptr},
        {4873, "Guetzli 000", nullptr},    {4874, "", nullptr},               {100000, "", nullptr},
        {-1, "", nullptr},
    };
    for (const auto& l : labels) {
        EXPECT_EQ(QualityLabel(0, l.index), l.luma) << l.index;
        EXPECT_EQ(QualityLabel(1, l.index), l.chroma ? l.chroma : l.luma) << l.index;
    }
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
