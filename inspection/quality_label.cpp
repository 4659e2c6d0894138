// Labels of database entries by family, the grade thresholds and the zigzag
// reordering. Pure functions of the index: the tables are not consulted.
#include <cstdio>

#include "inspection/quant_table_db.h"

namespace quill {
namespace {

// Label format and numbering of each family; families 0, 6, 27 and 28 have
// rules of their own (format nullptr). The number runs down by one per index
// from firstNumber, except where step is +1.
struct FamilyFormat {
    QualityFamily family;
    const char* format;
    int firstNumber;
    int step;
};

constexpr FamilyFormat kFamilies[] = {
    {{0, 0, 99, "IJG"}, nullptr, 0, 0},
    {{1, 100, 112, "Photoshop save"}, "Photoshop %02ds", 12, -1},
    {{2, 113, 125, "Photoshop web"}, "Photoshop %02db", 12, -1},
    {{3, 126, 225, "SAI"}, "SAI %02d", 99, -1},
    {{4, 226, 326, "ImageReady"}, "ImageReady%03d", 100, -1},
    {{5, 327, 580, "LEADTOOLS"}, "LEADTOOLS%03d", 2, +1},
    {{6, 581, 640, "ACDSee"}, nullptr, 0, 0},
    {{7, 641, 736, "Mozjpeg"}, "Mozjpeg %02d", 99, -1},
    {{8, 737, 806, "Mozjpeg 16-bit"}, "Mozjpeg %02d", 69, -1},
    {{9, 807, 904, "MS-SSIM kod"}, "MS-SSIM kod%02d", 99, -1},
    {{10, 905, 1002, "PSNR-HVS"}, "PSNR-HVS %02d", 99, -1},
    {{11, 1003, 1100, "Klein et al"}, "Klein et al %02d", 99, -1},
    {{12, 1101, 1198, "Watson et al"}, "Watson et al %02d", 99, -1},
    {{13, 1199, 1296, "Ahumada et"}, "Ahumada et %02d", 99, -1},
    {{14, 1297, 1394, "Peterson et"}, "Peterson et %02d", 99, -1},
    {{15, 1395, 1486, "Flat"}, "Flat %02d", 95, -1},
    {{16, 1487, 1494, "iPhone 5"}, "iPhone 5 %03d", 7, -1},
    {{17, 1495, 1496, "iPhone 4"}, "iPhone 4 %03d", 1, -1},
    {{18, 1497, 1504, "Snapseed"}, "Snapseed %03d", 7, -1},
    {{19, 1505, 1536, "Luminar"}, "Luminar %03d", 31, -1},
    {{20, 1537, 1542, "Capture One"}, "Capture One%03d", 5, -1},
    {{21, 1543, 1551, "GoogleImage"}, "GoogleImage%03d", 8, -1},
    {{22, 1552, 1554, "SAI2"}, "SAI2 %03d", 2, -1},
    {{23, 1555, 1560, "Corel Photo"}, "Corel Photo %03d", 5, -1},
    {{24, 1561, 1562, "Paint Shop"}, "Paint Shop %03d", 1, -1},
    {{25, 1563, 1564, "FinePix Viewer"}, "FinePix Viewer%d", 1, -1},
    {{26, 1565, 1566, "Amazon"}, "Amazon %03d", 1, -1},
    {{27, 1567, 1576, "Photo-JPEG"}, nullptr, 0, 0},
    {{28, 1577, 1578, "WebArtDesi"}, nullptr, 0, 0},
    {{29, 1579, 1608, "Canon"}, "Canon %03d", 29, -1},
    {{30, 1609, 1864, "Nikon"}, "Nikon %03d", 255, -1},
    {{31, 1865, 1930, "Sony"}, "Sony %03d", 65, -1},
    {{32, 1931, 2467, "FujiFilm"}, "FujiFilm %03d", 536, -1},
    {{33, 2468, 2637, "Panasonic"}, "Panasonic %03d", 169, -1},
    {{34, 2638, 2892, "Olympus"}, "Olympus %03d", 254, -1},
    {{35, 2893, 2947, "Pentax"}, "Pentax %03d", 54, -1},
    {{36, 2948, 3251, "Ricoh"}, "Ricoh %03d", 303, -1},
    {{37, 3252, 3666, "Casio"}, "Casio %03d", 414, -1},
    {{38, 3667, 3731, "Sanyo"}, "Sanyo %03d", 64, -1},
    {{39, 3732, 3762, "Kyocera"}, "Kyocera %03d", 30, -1},
    {{40, 3763, 3781, "KonicaMinolta"}, "KonicaMinolta%02d", 18, -1},
    {{41, 3782, 3802, "Toshiba"}, "Toshiba %03d", 20, -1},
    {{42, 3803, 3816, "Kodak"}, "Kodak %03d", 13, -1},
    {{43, 3817, 3827, "Epson"}, "Epson %03d", 10, -1},
    {{44, 3828, 3836, "GE"}, "GE %03d", 8, -1},
    {{45, 3837, 3846, "Mitsubishi"}, "Mitsubishi %03d", 9, -1},
    {{46, 3847, 3855, "Concord"}, "Concord %03d", 8, -1},
    {{47, 3856, 3863, "Minox"}, "Minox %03d", 7, -1},
    {{48, 3864, 3872, "Sharp"}, "Sharp %03d", 8, -1},
    {{49, 3873, 3876, "DXG"}, "DXG %03d", 3, -1},
    {{50, 3877, 3880, "HP"}, "HP %03d", 3, -1},
    {{51, 3881, 3884, "Mamiya"}, "Mamiya %03d", 3, -1},
    {{52, 3885, 3888, "NHJ"}, "NHJ %03d", 3, -1},
    {{53, 3889, 3892, "Samsung"}, "Samsung %03d", 3, -1},
    {{54, 3893, 3894, "Hitachi"}, "Hitachi %03d", 1, -1},
    {{55, 3895, 3896, "Leica"}, "Leica %03d", 1, -1},
    {{56, 3897, 3898, "Nec"}, "Nec %03d", 1, -1},
    {{57, 3899, 3901, "Polaroid"}, "Polaroid %03d", 2, -1},
    {{58, 3902, 3902, "6MP-9J5"}, "6MP-9J5 %03d", 0, -1},
    {{59, 3903, 3903, "AIPTEK"}, "AIPTEK %03d", 0, -1},
    {{60, 3904, 3904, "Nokia"}, "Nokia %03d", 0, -1},
    {{61, 3905, 3905, "superheadz"}, "superheadz %03d", 0, -1},
    {{62, 3906, 4276, "JPEGmini"}, "JPEGmini %03d", 370, -1},
    {{63, 4277, 4368, "GooglePhotos"}, "GooglePhotos%02d", 91, -1},
    {{64, 4369, 4413, "Known"}, "Known %03d", 44, -1},
    {{65, 4414, 4418, "Known Same"}, "Known Same%03d", 4, -1},
    // Numbered from the end of its label range, which runs past the last
    // generated table (4866) to labelEnd - 1.
    {{66, 4419, QuantTableDb::labelEnd - 1, "Guetzli (generated)"}, "Guetzli %03d",
     QuantTableDb::labelEnd - 1 - 4419, -1},
};

constexpr auto kFamilyList = [] {
    std::array<QualityFamily, std::size(kFamilies)> a{};
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = kFamilies[i].family;
    return a;
}();

std::string formatted(const char* format, int a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a);
    return buf;
}

std::string formatted(const char* format, int a, int b) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

std::string ijgLabel(int list, int index) {
    if (index == 0) return "Supreme";
    const int q = 100 - index;
    // The chrominance tables of q 3 to 1 are all 255 alike, so a match always
    // lands on index 97; 98 and 99 keep their numeric labels.
    const int inferiorIndex = list == kLuminance ? 99 : 97;
    if (index == inferiorIndex) return "Inferior";
    return formatted("IJG %02d", q);
}

std::string acdseeLabel(int list, int index) {
    const int d = (index - 581) / 6;
    const int p = (index - 581) % 6;
    const int t = 10 * d;
    if (list == kLuminance) {
        switch (p) {
            case 0: return formatted("ACDSee %d-%d", 98 - t, 99 - t);
            case 2: return formatted("ACDSee %d-%d", 95 - t, 97 - t);
            case 4: return formatted("ACDSee %d-%d", 93 - t, 94 - t);
            case 5: return formatted("ACDSee %d-%d", 90 - t, 92 - t);
            default: return {};  // empty slots of the luminance list
        }
    }
    switch (p) {
        case 0: return formatted("ACDSee %d", 99 - t);
        case 1: return formatted("ACDSee %d-%d", 97 - t, 98 - t);
        case 2: return formatted("ACDSee %d-%d", 95 - t, 96 - t);
        case 3: return formatted("ACDSee %d", 94 - t);
        case 4: return formatted("ACDSee %d-%d", 92 - t, 93 - t);
        default: return formatted("ACDSee %d-%d", 90 - t, 91 - t);
    }
}

}  // namespace

std::span<const QualityFamily> qualityFamilies() { return kFamilyList; }

std::string QualityLabel(int list, int index) {
    if (index < 0 || index >= QuantTableDb::labelEnd) return {};
    // Families are sorted by index; a binary search finds the one holding index.
    std::size_t lo = 0, hi = std::size(kFamilies);
    while (hi - lo > 1) {
        std::size_t mid = (lo + hi) / 2;
        if (kFamilies[mid].family.first <= index) lo = mid; else hi = mid;
    }
    const FamilyFormat& f = kFamilies[lo];
    switch (f.family.number) {
        case 0: return ijgLabel(list, index);
        case 6: return acdseeLabel(list, index);
        case 27: return std::string(QuantTableDb::firstNames[index - 1567]);
        case 28: return std::string(QuantTableDb::secondNames[index - 1577]);
        default: return formatted(f.format, f.firstNumber + f.step * (index - f.family.first));
    }
}

std::string_view QualityGrade(int sum) {
    if (sum == 64) return "S";
    if (sum < 64 * 6 + 1) return "A";
    if (sum < 64 * 12 + 1) return "B";
    if (sum < 64 * 18 + 1) return "C";
    if (sum < 64 * 24 + 1) return "D";
    if (sum < 64 * 30 + 1) return "E";
    return "F";
}

QuantEntry ReorderZigzag(int order, const QuantValues& natural) {
    QuantEntry out{};
    for (int k = 0; k < 64; ++k) {
        int pos = kZigzagOrder[k];
        if (order == 1) pos = 8 * (pos % 8) + pos / 8;
        out[k] = static_cast<std::uint8_t>(natural[pos] & 0xFF);
    }
    return out;
}

}  // namespace quill
