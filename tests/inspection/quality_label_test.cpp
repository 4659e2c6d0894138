// Labels, grades and zigzag orders: pure rules, checked at family edges.
#include <gtest/gtest.h>

#include "inspection/quant_table_db.h"

namespace quill {
namespace {

struct Edge {
    int first, last;
    const char* firstLabel;
    const char* lastLabel;
};

// First and last label of every family with a plain numbered format.
const Edge kEdges[] = {
    {100, 112, "Photoshop 12s", "Photoshop 00s"},
    {113, 125, "Photoshop 12b", "Photoshop 00b"},
    {126, 225, "SAI 99", "SAI 00"},
    {226, 326, "ImageReady100", "ImageReady000"},
    {327, 580, "LEADTOOLS002", "LEADTOOLS255"},
    {641, 736, "Mozjpeg 99", "Mozjpeg 04"},
    {737, 806, "Mozjpeg 69", "Mozjpeg 00"},
    {807, 904, "MS-SSIM kod99", "MS-SSIM kod02"},
    {905, 1002, "PSNR-HVS 99", "PSNR-HVS 02"},
    {1003, 1100, "Klein et al 99", "Klein et al 02"},
    {1101, 1198, "Watson et al 99", "Watson et al 02"},
    {1199, 1296, "Ahumada et 99", "Ahumada et 02"},
    {1297, 1394, "Peterson et 99", "Peterson et 02"},
    {1395, 1486, "Flat 95", "Flat 04"},
    {1487, 1494, "iPhone 5 007", "iPhone 5 000"},
    {1495, 1496, "iPhone 4 001", "iPhone 4 000"},
    {1497, 1504, "Snapseed 007", "Snapseed 000"},
    {1505, 1536, "Luminar 031", "Luminar 000"},
    {1537, 1542, "Capture One005", "Capture One000"},
    {1543, 1551, "GoogleImage008", "GoogleImage000"},
    {1552, 1554, "SAI2 002", "SAI2 000"},
    {1555, 1560, "Corel Photo 005", "Corel Photo 000"},
    {1561, 1562, "Paint Shop 001", "Paint Shop 000"},
    {1563, 1564, "FinePix Viewer1", "FinePix Viewer0"},
    {1565, 1566, "Amazon 001", "Amazon 000"},
    {1567, 1576, "Photo-JPEG100", "Photo-JPEG  0"},
    {1577, 1578, "WebArtDesi 75", "WebArtDesi 50"},
    {1579, 1608, "Canon 029", "Canon 000"},
    {1609, 1864, "Nikon 255", "Nikon 000"},
    {1865, 1930, "Sony 065", "Sony 000"},
    {1931, 2467, "FujiFilm 536", "FujiFilm 000"},
    {2468, 2637, "Panasonic 169", "Panasonic 000"},
    {2638, 2892, "Olympus 254", "Olympus 000"},
    {2893, 2947, "Pentax 054", "Pentax 000"},
    {2948, 3251, "Ricoh 303", "Ricoh 000"},
    {3252, 3666, "Casio 414", "Casio 000"},
    {3667, 3731, "Sanyo 064", "Sanyo 000"},
    {3732, 3762, "Kyocera 030", "Kyocera 000"},
    {3763, 3781, "KonicaMinolta18", "KonicaMinolta00"},
    {3782, 3802, "Toshiba 020", "Toshiba 000"},
    {3803, 3816, "Kodak 013", "Kodak 000"},
    {3817, 3827, "Epson 010", "Epson 000"},
    {3828, 3836, "GE 008", "GE 000"},
    {3837, 3846, "Mitsubishi 009", "Mitsubishi 000"},
    {3847, 3855, "Concord 008", "Concord 000"},
    {3856, 3863, "Minox 007", "Minox 000"},
    {3864, 3872, "Sharp 008", "Sharp 000"},
    {3873, 3876, "DXG 003", "DXG 000"},
    {3877, 3880, "HP 003", "HP 000"},
    {3881, 3884, "Mamiya 003", "Mamiya 000"},
    {3885, 3888, "NHJ 003", "NHJ 000"},
    {3889, 3892, "Samsung 003", "Samsung 000"},
    {3893, 3894, "Hitachi 001", "Hitachi 000"},
    {3895, 3896, "Leica 001", "Leica 000"},
    {3897, 3898, "Nec 001", "Nec 000"},
    {3899, 3901, "Polaroid 002", "Polaroid 000"},
    {3902, 3902, "6MP-9J5 000", "6MP-9J5 000"},
    {3903, 3903, "AIPTEK 000", "AIPTEK 000"},
    {3904, 3904, "Nokia 000", "Nokia 000"},
    {3905, 3905, "superheadz 000", "superheadz 000"},
    {3906, 4276, "JPEGmini 370", "JPEGmini 000"},
    {4277, 4368, "GooglePhotos91", "GooglePhotos00"},
    {4369, 4413, "Known 044", "Known 000"},
    {4414, 4418, "Known Same004", "Known Same000"},
    {4419, 4866, "Guetzli 454", "Guetzli 007"},
};

TEST(QualityLabel, FamilyEdgesAreTheSameInBothLists) {
    for (const Edge& e : kEdges) {
        for (int list : {0, 1}) {
            SCOPED_TRACE(e.firstLabel);
            EXPECT_EQ(QualityLabel(list, e.first), e.firstLabel);
            EXPECT_EQ(QualityLabel(list, e.last), e.lastLabel);
        }
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

TEST(QualityLabel, NumberMovesByOneWithinAFamily) {
    EXPECT_EQ(QualityLabel(0, 101), "Photoshop 11s");
    EXPECT_EQ(QualityLabel(0, 328), "LEADTOOLS003");
    EXPECT_EQ(QualityLabel(0, 1396), "Flat 94");
    EXPECT_EQ(QualityLabel(0, 1568), "Photo-JPEG 82");
    EXPECT_EQ(QualityLabel(1, 1578), "WebArtDesi 50");
}

TEST(QualityLabel, IjgFamilyDiffersBetweenLists) {
    EXPECT_EQ(QualityLabel(0, 0), "Supreme");
    EXPECT_EQ(QualityLabel(1, 0), "Supreme");
    EXPECT_EQ(QualityLabel(0, 1), "IJG 99");
    EXPECT_EQ(QualityLabel(0, 50), "IJG 50");
    EXPECT_EQ(QualityLabel(0, 91), "IJG 09");
    EXPECT_EQ(QualityLabel(0, 98), "IJG 02");
    EXPECT_EQ(QualityLabel(0, 99), "Inferior");
    EXPECT_EQ(QualityLabel(1, 96), "IJG 04");
    EXPECT_EQ(QualityLabel(1, 97), "Inferior");
    EXPECT_EQ(QualityLabel(1, 98), "IJG 02");
    EXPECT_EQ(QualityLabel(1, 99), "IJG 01");
}

TEST(QualityLabel, AcdseeGroupsOfSix) {
    const char* luma[6] = {"ACDSee 98-99", "", "ACDSee 95-97", "", "ACDSee 93-94", "ACDSee 90-92"};
    const char* chroma[6] = {"ACDSee 99",    "ACDSee 97-98", "ACDSee 95-96",
                             "ACDSee 94",    "ACDSee 92-93", "ACDSee 90-91"};
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

TEST(QualityLabel, GeneratedFamilyLabelsRunPastItsTables) {
    EXPECT_EQ(QualityLabel(0, 4419), "Guetzli 454");
    EXPECT_EQ(QualityLabel(1, 4866), "Guetzli 007");
    EXPECT_EQ(QualityLabel(0, 4873), "Guetzli 000");
    EXPECT_EQ(QualityLabel(0, 4874), "");
    EXPECT_EQ(QualityLabel(0, 100000), "");
    EXPECT_EQ(QualityLabel(0, -1), "");
}

TEST(QualityGrade, Bounds) {
    EXPECT_EQ(QualityGrade(64), "S");
    EXPECT_EQ(QualityGrade(0), "A");
    EXPECT_EQ(QualityGrade(65), "A");
    EXPECT_EQ(QualityGrade(384), "A");
    EXPECT_EQ(QualityGrade(385), "B");
    EXPECT_EQ(QualityGrade(768), "B");
    EXPECT_EQ(QualityGrade(769), "C");
    EXPECT_EQ(QualityGrade(1152), "C");
    EXPECT_EQ(QualityGrade(1153), "D");
    EXPECT_EQ(QualityGrade(1536), "D");
    EXPECT_EQ(QualityGrade(1537), "E");
    EXPECT_EQ(QualityGrade(1920), "E");
    EXPECT_EQ(QualityGrade(1921), "F");
    EXPECT_EQ(QualityGrade(64 * 255), "F");
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
    EXPECT_EQ(z0[63], 63);
    // Every position once in each order.
    std::array<int, 64> seen0{}, seen1{};
    for (int k = 0; k < 64; ++k) {
        ++seen0[z0[k]];
        ++seen1[z1[k]];
    }
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(seen0[i], 1);
        EXPECT_EQ(seen1[i], 1);
    }
    natural[0] = 0x1FF;
    EXPECT_EQ(ReorderZigzag(0, natural)[0], 0xFF);
}

}  // namespace
}  // namespace quill
