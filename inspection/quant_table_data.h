// Table data carried into the program from inspection/data/*.csv: tables
// gathered from public sources, and the base tables of the scaled families.
// Internal to quill_inspection.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill::detail {

struct SourcedTable {
    std::uint16_t index;
    std::uint8_t list;  // 0 luminance, 1 chrominance
    std::uint8_t values[64];  // zigzag order
};

extern const SourcedTable kSourcedTables[];
extern const std::size_t kSourcedTableCount;

}  // namespace quill::detail
