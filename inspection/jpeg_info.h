// One row of the file list: the 33 texts the marker scan makes for a JPEG
// file, in column order, with the list's column headers and layout. Holds no
// numbers; every consumer reads the texts.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quill {

inline constexpr int kColumnCount = 33;

struct JpegInfo {
    std::array<std::string, kColumnCount> fields;  // UTF-8
};

// Column indexes that other code refers to by meaning.
enum Column : int {
    kColName = 0,
    kColSize = 1,
    kColModified = 2,
    kColImageSize = 3,
    kColRegularSize = 4,
    kColBlockUnit = 5,
    kColLumaQuality = 6,
    kColChromaQuality = 7,
    kColGrade = 8,
    kColDepth = 9,
    kColColorSpace = 10,
    kColSampling = 11,
    kColCoding = 12,
    kColXDensity = 13,
    kColYDensity = 14,
    kColApp0 = 15,  // APPn is kColApp0 + n
    kColCom = 31,
    kColOther = 32,
};

inline constexpr std::array<std::string_view, kColumnCount> kColumnHeaders = {
    "ファイル名", "サイズ", "更新日時", "画像サイズ", "正規サイズ", "ブロック単位",
    "輝度画質", "色差画質", "画質評価", "深度", "色空間", "サンプリングファクタ",
    "格納方式", "水平解像度", "垂直解像度",
    "APP0", "APP1", "APP2", "APP3", "APP4", "APP5", "APP6", "APP7",
    "APP8", "APP9", "APP10", "APP11", "APP12", "APP13", "APP14", "APP15",
    "COM", "その他",
};

enum class ColumnAlign { Left, Right, Center };

inline constexpr std::array<ColumnAlign, kColumnCount> kColumnAligns = [] {
    using A = ColumnAlign;
    std::array<A, kColumnCount> a{};
    const A head[15] = {A::Left,  A::Right, A::Left,  A::Right, A::Right,
                        A::Right, A::Right, A::Right, A::Left,  A::Right,
                        A::Left,  A::Left,  A::Left,  A::Right, A::Right};
    for (int i = 0; i < kColumnCount; ++i) a[i] = i < 15 ? head[i] : A::Center;
    return a;
}();

// Initial widths in pixels.
inline constexpr std::array<int, kColumnCount> kColumnWidths = {
    200, 65, 120, 80, 80, 55, 95, 95, 60, 38, 50, 50, 70, 45, 45,
    46,  46, 46,  46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46,
    46,  46,
};

// The mark written into the APPn and COM columns: a capital letter O.
inline constexpr std::string_view kPresentMark = "O";

}  // namespace quill
