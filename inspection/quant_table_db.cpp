// Building the quantization-table database and searching it. Entries are
// kept in zigzag order so a file's table, reordered once, compares directly.
// A hash index per list gives the lowest matching index without walking the
// 4867 entries, which is what a linear search from index 0 would return.
#include <cstring>

#include "inspection/ijg_quality.h"
#include "inspection/quant_table_data.h"
#include "inspection/quant_table_db.h"

namespace quill {
namespace {

constexpr int kFlatFirst = 1395, kFlatLast = 1486, kFlatFirstQuality = 95;
constexpr int kScaledFamilyFirst[] = {807, 905, 1101, 1199, 1297};  // families 9, 10, 12, 13, 14
constexpr int kScaledFamilySize = 98;  // labels 99 down to 02

bool isEmpty(const QuantEntry& e) {
    std::uint64_t any = 0;
    for (int i = 0; i < 64; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, e.data() + i, 8);
        any |= w;
    }
    return any == 0;
}

std::uint64_t hashEntry(const QuantEntry& e) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 64; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, e.data() + i, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    return h;
}

constexpr int kHashSize = 8192;  // power of two, above twice the entry count

}  // namespace

struct QuantTableDb::Tables {
    std::array<std::array<QuantEntry, entryCount>, 2> lists;
    std::array<std::array<std::int16_t, kHashSize>, 2> index;
};

QuantTableDb::QuantTableDb() : tables_(std::make_unique<Tables>()) {
    auto& lists = tables_->lists;
    for (int index = 0; index < 100; ++index) {
        for (int list : {kLuminance, kChrominance})
            lists[list][index] = ReorderZigzag(0, ijgTable(list, 100 - index, 255));
    }

    for (std::size_t i = 0; i < detail::kSourcedTableCount; ++i) {
        const detail::SourcedTable& t = detail::kSourcedTables[i];
        std::memcpy(lists[t.list & 1][t.index].data(), t.values, 64);
    }

    // Families scaled from one base table each, the entry labelled 50.
    for (int first : kScaledFamilyFirst) {
        const int baseIndex = first + (99 - 50);
        for (auto& list : lists) {
            const QuantEntry base = list[baseIndex];
            if (isEmpty(base)) continue;
            for (int i = 0; i < kScaledFamilySize; ++i)
                for (int k = 0; k < 64; ++k)
                    list[first + i][k] = static_cast<std::uint8_t>(ijgScaled(base[k], 99 - i, 255));
        }
    }

    for (int index = kFlatFirst; index <= kFlatLast; ++index) {
        const auto v = static_cast<std::uint8_t>(ijgScaled(16, kFlatFirstQuality - (index - kFlatFirst), 255));
        lists[kLuminance][index].fill(v);
        lists[kChrominance][index].fill(v);
    }

    // Generated steps: block b flat at 2b+1, step s raises the last s
    // zigzag positions to 2b+3.
    for (int b = 0; b < 7; ++b) {
        for (int s = 0; s < 64; ++s) {
            QuantEntry& e = lists[kLuminance][storedCount + 64 * b + s];
            for (int k = 0; k < 64; ++k) e[k] = static_cast<std::uint8_t>(k < 64 - s ? 2 * b + 1 : 2 * b + 3);
            lists[kChrominance][storedCount + 64 * b + s] = e;
        }
    }

    for (int list = 0; list < 2; ++list) {
        auto& slots = tables_->index[list];
        slots.fill(-1);
        for (int index = 0; index < entryCount; ++index) {
            const QuantEntry& e = lists[list][index];
            if (isEmpty(e)) continue;
            std::size_t h = hashEntry(e) & (kHashSize - 1);
            bool seen = false;
            while (slots[h] >= 0) {
                if (lists[list][slots[h]] == e) { seen = true; break; }
                h = (h + 1) & (kHashSize - 1);
            }
            if (!seen) slots[h] = static_cast<std::int16_t>(index);
        }
    }
}

QuantTableDb::~QuantTableDb() = default;

const QuantEntry& QuantTableDb::entry(int list, int index) const {
    static const QuantEntry kEmpty{};
    if (index < 0 || index >= entryCount) return kEmpty;
    return tables_->lists[list & 1][index];
}

int QuantTableDb::filledCount(int list, int first, int last) const {
    if (first < 0) first = 0;
    if (last >= entryCount) last = entryCount - 1;
    int n = 0;
    for (int i = first; i <= last; ++i) n += !isEmpty(tables_->lists[list & 1][i]);
    return n;
}

int QuantTableDb::find(int list, const QuantEntry& zigzag) const {
    if (isEmpty(zigzag)) return -1;
    const auto& slots = tables_->index[list & 1];
    const auto& entries = tables_->lists[list & 1];
    std::size_t h = hashEntry(zigzag) & (kHashSize - 1);
    while (slots[h] >= 0) {
        if (entries[slots[h]] == zigzag) return slots[h];
        h = (h + 1) & (kHashSize - 1);
    }
    return -1;
}

void EstimateQuality(const QuantTableDb& db, const QuantValues& luminance,
                     const QuantValues& chrominance, std::string& lumaOut,
                     std::string& chromaOut, std::string& gradeOut) {
    const bool searchChroma = (chrominance[0] & 0xFF) != 0;
    if (!searchChroma) chromaOut = "None";

    int sum = 0;
    for (std::uint16_t v : luminance) sum += v & 0xFF;
    gradeOut = QualityGrade(sum);

    // The whole list in order 0 before any transposed match: a table found
    // as it stands beats its transpose at a lower index.
    int index = db.find(kLuminance, ReorderZigzag(0, luminance));
    if (index < 0) index = db.find(kLuminance, ReorderZigzag(1, luminance));
    lumaOut = index >= 0 ? QualityLabel(kLuminance, index) : std::string();
    if (lumaOut.empty()) lumaOut = "Unknown";

    if (searchChroma) {
        index = db.find(kChrominance, ReorderZigzag(0, chrominance));
        chromaOut = index >= 0 ? QualityLabel(kChrominance, index) : std::string();
        if (chromaOut.empty()) chromaOut = "Unknown";
    }
}

}  // namespace quill
