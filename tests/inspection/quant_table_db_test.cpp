// The database's contents (computed, generated and carried-in tables), the
// search EstimateQuality makes over them, and the IJG quality of camera tables.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "inspection/ijg_quality.h"
#include "inspection/quant_table_db.h"
#include "tests/support/test_files.h"

namespace quill {
namespace {

QuantEntry filled(std::uint8_t v) {
    QuantEntry e;
    e.fill(v);
    return e;
}

QuantValues natural(const QuantEntry& zigzag) {
    // Inverse of ReorderZigzag(0): position k of the entry goes to z[k].
    QuantValues index{};
    for (int i = 0; i < 64; ++i) index[i] = static_cast<std::uint16_t>(i);
    const QuantEntry z = ReorderZigzag(0, index);
    QuantValues out{};
    for (int k = 0; k < 64; ++k) out[z[k]] = zigzag[k];
    return out;
}

QuantValues transposed(const QuantValues& v) {
    QuantValues t{};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) t[8 * c + r] = v[8 * r + c];
    return t;
}

struct Row {
    int index;
    int list;
    std::string label;
    QuantEntry values;
};

std::vector<Row> readCsv(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::vector<Row> rows;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string cell;
        Row r{};
        std::getline(ss, cell, ',');
        r.index = std::stoi(cell);
        std::getline(ss, r.label, ',');
        std::getline(ss, cell, ',');
        r.list = cell == "chroma" ? 1 : 0;
        for (int k = 0; k < 64; ++k) {
            std::getline(ss, cell, ',');
            r.values[k] = static_cast<std::uint8_t>(std::stoi(cell));
        }
        rows.push_back(r);
    }
    return rows;
}

class QuantTableDbTest : public ::testing::Test {
protected:
    QuantTableDb db;
};

TEST_F(QuantTableDbTest, FlatAndGeneratedFamilies) {
    EXPECT_EQ(db.entry(0, 1395), filled(2));    // Flat 95
    EXPECT_EQ(db.entry(1, 1440), filled(16));   // Flat 50
    EXPECT_EQ(db.entry(0, 1486), filled(200));  // Flat 04
    EXPECT_EQ(db.entry(0, 4419), filled(1));
    EXPECT_EQ(db.entry(1, 4419 + 6 * 64), filled(13));
    QuantEntry last = filled(15);
    last[0] = 13;
    EXPECT_EQ(db.entry(0, 4866), last);
    QuantEntry step1 = filled(1);
    step1[63] = 3;
    EXPECT_EQ(db.entry(1, 4420), step1);
}

TEST_F(QuantTableDbTest, ScaledFamiliesMatchTheGatheredTables) {
    for (const char* name : {"family09_ms_ssim_kodak.csv", "family10_psnr_hvs.csv",
                             "family12_watson.csv", "family13_ahumada.csv",
                             "family14_peterson.csv"}) {
        const auto rows = readCsv(std::string(QUILL_QTABLE_REFERENCE_DIR) + "/" + name);
        EXPECT_EQ(rows.size(), 196u) << name;
        for (const Row& r : rows) {
            EXPECT_EQ(db.entry(r.list, r.index), r.values) << name << " index " << r.index;
            EXPECT_EQ(QualityLabel(r.list, r.index), r.label);
        }
    }
}

std::vector<Row> carriedInRows() {
    std::vector<Row> rows;
    for (const auto& file : fs::directory_iterator(QUILL_QTABLE_SOURCE_DIR)) {
        if (file.path().extension() != ".csv") continue;
        const auto some = readCsv(file.path().string());
        EXPECT_FALSE(some.empty()) << file.path();
        rows.insert(rows.end(), some.begin(), some.end());
    }
    return rows;
}

TEST_F(QuantTableDbTest, CarriedInTablesSitAtTheirIndexes) {
    // The label each table's source gave it, too.
    for (const Row& r : carriedInRows()) {
        EXPECT_EQ(db.entry(r.list, r.index), r.values) << "index " << r.index;
        EXPECT_EQ(QualityLabel(r.list, r.index), r.label);
    }
    // Level 12 of the first family is known for luminance only.
    EXPECT_NE(db.entry(0, 100), QuantEntry{});
    EXPECT_EQ(db.entry(1, 100), QuantEntry{});
    EXPECT_EQ(QualityLabel(1, 100), "Photoshop 12s");
}

// What a file with this table reads: the label of the lowest equal entry,
// found by walking the list from index 0.
std::string labelByWalk(const QuantTableDb& db, int list, const QuantEntry& e,
                        int* found = nullptr) {
    int i = 0;
    while (i < QuantTableDb::entryCount && db.entry(list, i) != e) ++i;
    if (found) *found = i;
    const std::string label = i < QuantTableDb::entryCount ? QualityLabel(list, i) : "";
    return label.empty() ? "Unknown" : label;
}

// Phone (16, 17) and camera maker (29 to 61) pairs, by index.
std::map<int, std::array<Row, 2>> cameraPairs() {
    const auto rows = carriedInRows();
    std::map<int, std::array<Row, 2>> pairs;
    for (const QualityFamily& f : qualityFamilies()) {
        if (f.number != 16 && f.number != 17 && (f.number < 29 || f.number > 61)) continue;
        for (const Row& r : rows)
            if (r.index >= f.first && r.index <= f.last) pairs[r.index][r.list] = r;
    }
    return pairs;
}

TEST_F(QuantTableDbTest, CameraPairsInAPhotoReadTheirLabels) {
    const auto pairs = cameraPairs();
    ASSERT_FALSE(pairs.empty());

    test::TempDir dir;
    auto scanPair = [&](const QuantValues& luma, const QuantValues& chroma) {
        const test::Bytes jpeg =
            test::makeJpeg({.width = 16, .height = 16, .quantTables = {luma, chroma}});
        JpegInfo info;
        EXPECT_TRUE(db.ScanJpeg(test::writeBytes(dir / "camera.jpg", jpeg), info));
        return info;
    };

    int ownLabels = 0, duplicatePairs = 0;
    for (const auto& [index, pair] : pairs) {
        SCOPED_TRACE(index);
        ASSERT_FALSE(pair[0].label.empty() || pair[1].label.empty());
        const QuantValues luma = natural(pair[0].values), chroma = natural(pair[1].values);
        int lumaAt = 0, chromaAt = 0;
        const std::string lumaLabel = labelByWalk(db, 0, pair[0].values, &lumaAt);
        const std::string chromaLabel = labelByWalk(db, 1, pair[1].values, &chromaAt);
        // A table first found here must read the label the data gives it.
        if (lumaAt == index) {
            EXPECT_EQ(lumaLabel, pair[0].label);
        }
        if (chromaAt == index) {
            EXPECT_EQ(chromaLabel, pair[1].label);
        }
        ownLabels += lumaAt == index && chromaAt == index;
        if (lumaAt == chromaAt && lumaAt < index) {
            ++duplicatePairs;  // the same pair written by two makers
            EXPECT_TRUE(pairs.count(lumaAt));
            EXPECT_NE(lumaLabel, pair[0].label);
        }

        JpegInfo info = scanPair(luma, chroma);
        EXPECT_EQ(info.fields[kColLumaQuality], lumaLabel);
        EXPECT_EQ(info.fields[kColChromaQuality], chromaLabel);

        // Transposed: luminance falls back to order 1 unless the transpose is
        // itself an entry; chrominance is searched as it stands only.
        const QuantEntry lumaT = ReorderZigzag(0, transposed(luma));
        const std::string transposedLabel = labelByWalk(db, 0, lumaT);
        info = scanPair(transposed(luma), transposed(chroma));
        EXPECT_EQ(info.fields[kColLumaQuality],
                  transposedLabel == "Unknown" ? lumaLabel : transposedLabel);
        EXPECT_EQ(info.fields[kColChromaQuality],
                  labelByWalk(db, 1, ReorderZigzag(0, transposed(chroma))));
    }
    EXPECT_EQ(duplicatePairs, 3);
    EXPECT_GT(ownLabels, 50);
}

// The IJG quality of the camera pairs written into photos, against
// ImageMagick's estimate (a heuristic of its own): within 3 for at least
// nine photos in ten.
TEST_F(QuantTableDbTest, CameraQualityAgreesWithIdentify) {
    if (!test::haveTool("identify")) GTEST_SKIP() << "identify not installed (Debian: imagemagick)";
    test::TempDir dir;
    std::map<std::string, int> ours;
    for (const auto& [index, pair] : cameraPairs()) {
        const QuantValues luma = natural(pair[0].values), chroma = natural(pair[1].values);
        const test::Bytes jpeg =
            test::makeJpeg({.width = 16, .height = 16, .quantTables = {luma, chroma}});
        const std::string name = std::to_string(index) + ".jpg";
        JpegInfo info;
        ASSERT_TRUE(db.ScanJpeg(test::writeBytes(dir / name, jpeg), info));
        ours[name] = std::stoi(info.fields[kColOther]);
    }
    ASSERT_EQ(test::runCommand("cd '" + dir.path().string() +
                               "' && identify -format '%f %Q\\n' *.jpg > identify.txt"),
              0);
    std::ifstream in(dir / "identify.txt");
    std::string name;
    int theirs = 0, compared = 0, near = 0;
    while (in >> name >> theirs) {
        ++compared;
        near += std::abs(ours.at(name) - theirs) <= 3;
        RecordProperty(name, std::to_string(ours[name]) + " vs " + std::to_string(theirs));
    }
    EXPECT_EQ(compared, int(ours.size()));
    EXPECT_GE(10 * near, 9 * compared) << near << " of " << compared << " within 3";
}

// Scaling a table up never raises its IJG quality, in 8-bit and 16-bit
// values, with and without a chrominance table.
TEST_F(QuantTableDbTest, IjgQualityFallsAsTablesAreScaledUp) {
    for (const auto& [index, pair] : cameraPairs()) {
        SCOPED_TRACE(index);
        for (const bool withChroma : {true, false}) {
            int previous = 100, first = 0;
            for (int k = 1; k <= 256; ++k) {  // factors 1/16 to 16
                QuantValues luma = natural(pair[0].values), chroma = natural(pair[1].values);
                for (QuantValues* t : {&luma, &chroma})
                    for (auto& v : *t) v = static_cast<std::uint16_t>(std::max(1, (v * k + 8) / 16));
                const int q = ijgQuality(luma, withChroma ? &chroma : nullptr);
                EXPECT_LE(q, previous) << "factor " << k << "/16";
                previous = q;
                if (k == 1) first = q;
            }
            EXPECT_GT(first, previous);
        }
    }
}

TEST_F(QuantTableDbTest, FilledCounts) {
    // IJG 100, Flat 92, five scaled families of 98, and the carried-in rows:
    // 8 + 5 + 96 + 70 + 98 luminance, one chrominance table fewer, and 65
    // camera and phone pairs.
    EXPECT_EQ(db.filledCount(0), 100 + 92 + 5 * 98 + 8 + 5 + 96 + 70 + 98 + 65);
    EXPECT_EQ(db.filledCount(1), db.filledCount(0) - 1);
    EXPECT_EQ(db.filledCount(0, 4419, 4866), 448);
    EXPECT_EQ(db.filledCount(0, 3732, 3762), 0);  // a camera family without data
}

TEST_F(QuantTableDbTest, FindReturnsTheLowestIndexOfEveryEntry) {
    for (int list : {0, 1}) {
        std::map<QuantEntry, int> first;
        for (int i = 0; i < QuantTableDb::entryCount; ++i) {
            const QuantEntry& e = db.entry(list, i);
            if (e == QuantEntry{}) continue;
            first.emplace(e, i);
            ASSERT_EQ(db.find(list, e), first[e]) << "list " << list << " index " << i;
        }
    }
    EXPECT_EQ(db.find(0, QuantEntry{}), -1);
}

// The lowest index wins across families: all ones are IJG 100 and the first
// generated step; all threes Flat 92, Flat 91, Flat 90 and generated block 1,
// step 0; a step of generated block 2 exists nowhere else. No chrominance
// table reads "None", a table in no family "Unknown"; values beyond 8 bits
// are compared by their low byte.
TEST_F(QuantTableDbTest, EstimatesNameTheLowestEqualEntry) {
    QuantEntry step = filled(5);
    step[63] = 7;
    const QuantValues ijg75 = natural(db.entry(0, 25));
    QuantValues odd = ijg75, wide{};
    odd[63] = 7;
    wide.fill(0x101);
    const struct {
        QuantValues luma, chroma;
        const char *lumaLabel, *chromaLabel, *grade;  // "" for any
    } cases[] = {
        {natural(filled(1)), natural(filled(1)), "Supreme", "Supreme", "S"},
        {natural(filled(3)), natural(filled(3)), "Flat 92", "Flat 92", "A"},
        {natural(step), natural(step), "Guetzli 325", "", ""},
        {ijg75, QuantValues{}, "IJG 75", "None", "E"},
        {odd, odd, "Unknown", "Unknown", ""},
        {natural(filled(255)), natural(filled(255)), "Inferior", "Inferior", "F"},
        {wide, wide, "Supreme", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lumaLabel);
        std::string luma, chroma, grade;
        EstimateQuality(db, c.luma, c.chroma, luma, chroma, grade);
        EXPECT_EQ(luma, c.lumaLabel);
        if (*c.chromaLabel) {
            EXPECT_EQ(chroma, c.chromaLabel);
        }
        EXPECT_FALSE(grade.empty());
        if (*c.grade) {
            EXPECT_EQ(grade, c.grade);
        }
    }
}

}  // namespace
}  // namespace quill
