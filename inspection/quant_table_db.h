// The built-in database of known quantization tables and the quality
// estimate made from it: exact matches of a file's first two tables give
// encoder labels; the grade is a threshold on the luminance sum alone.
// The database is only read after construction and may be shared by threads.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/file_result.h"
#include "inspection/jpeg_info.h"

namespace quill {

namespace fs = std::filesystem;

// 64 quantization values in natural (row-major) order, each 0 to 255.
using QuantValues = std::array<std::uint16_t, 64>;
// One database entry: 64 values in zigzag (DQT) order; all zero = empty slot.
using QuantEntry = std::array<std::uint8_t, 64>;

enum QuantList : int { kLuminance = 0, kChrominance = 1 };

// A label family: consecutive indexes sharing one label format.
struct QualityFamily {
    int number;         // 0 to 66
    int first, last;    // inclusive index range of its labels
    const char* name;   // short description for statistics
};
std::span<const QualityFamily> qualityFamilies();

class QuantTableDb {
public:
    static constexpr int storedCount = 4419;
    static constexpr int generatedCount = 448;
    static constexpr int entryCount = storedCount + generatedCount;  // 4867
    static constexpr int labelEnd = 4874;

    static constexpr std::array<std::string_view, 10> firstNames = {
        "Photo-JPEG100", "Photo-JPEG 82", "Photo-JPEG 80", "Photo-JPEG 70", "Photo-JPEG 60",
        "Photo-JPEG 50", "Photo-JPEG 40", "Photo-JPEG 30", "Photo-JPEG 20", "Photo-JPEG  0"};
    static constexpr std::array<std::string_view, 2> secondNames = {"WebArtDesi 75",
                                                                    "WebArtDesi 50"};

    QuantTableDb();
    ~QuantTableDb();
    QuantTableDb(const QuantTableDb&) = delete;
    QuantTableDb& operator=(const QuantTableDb&) = delete;

    // The stored table at index (zigzag order); an empty entry out of range.
    const QuantEntry& entry(int list, int index) const;

    // Number of non-empty entries of a list in [first, last]; without a
    // range: among the stored entries 0 to storedCount - 1.
    int filledCount(int list, int first, int last) const;
    int filledCount(int list) const { return filledCount(list, 0, storedCount - 1); }

    // Lowest index whose entry equals the table (zigzag order), or -1.
    // Empty slots never match.
    int find(int list, const QuantEntry& zigzag) const;

    // Reads one file's header into info (whose fields arrive empty). False
    // when the file is not a readable JPEG header and is to be left out;
    // why it is goes to `why` when given. libjpeg's messages name the file.
    bool ScanJpeg(const fs::path& path, JpegInfo& info, FileResult* why = nullptr) const;

private:
    struct Tables;
    std::unique_ptr<Tables> tables_;
};

// Free form of the scan, for callers that hold the database separately.
inline bool ScanJpeg(const fs::path& path, const QuantTableDb& db, JpegInfo& info,
                     FileResult* why = nullptr) {
    return db.ScanJpeg(path, info, why);
}

// Label of an entry, or an empty text for an index without a label.
std::string QualityLabel(int list, int index);

// "S" to "F" from the sum of the 64 luminance values.
std::string_view QualityGrade(int sum);

// The natural (row-major) position of each zigzag index: DQT segments list
// their 64 values in zigzag order.
inline constexpr std::array<int, 64> kZigzagOrder = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Natural order to zigzag order (order 0), or to the zigzag order of the
// transposed table (order 1). Values are reduced to their low 8 bits.
QuantEntry ReorderZigzag(int order, const QuantValues& natural);

// Fills the three quality texts. chrominance[0] == 0 marks a one-component
// image: its chrominance label is "None" and only luminance is searched.
void EstimateQuality(const QuantTableDb& db, const QuantValues& luminance,
                     const QuantValues& chrominance, std::string& lumaOut,
                     std::string& chromaOut, std::string& gradeOut);

}  // namespace quill
