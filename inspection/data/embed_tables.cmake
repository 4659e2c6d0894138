# cmake -DOUT=file.cpp -DINPUTS="a.csv;b.csv" -P embed_tables.cmake
# Turns the table CSVs (index,label,list,v0..v63 in zigzag order) into a C++
# array, checking every row so bad data fails the build, not the program.
set(rows "")
set(count 0)
foreach(csv IN LISTS INPUTS)
  file(STRINGS "${csv}" lines)
  list(POP_FRONT lines header)
  foreach(line IN LISTS lines)
    string(REPLACE "," ";" cells "${line}")
    list(LENGTH cells n)
    if(NOT n EQUAL 67)
      message(FATAL_ERROR "${csv}: expected 67 cells, got ${n}: ${line}")
    endif()
    list(POP_FRONT cells index label kind)
    if(NOT index MATCHES "^[0-9]+$" OR index GREATER 4418)
      message(FATAL_ERROR "${csv}: bad index '${index}'")
    endif()
    if(kind STREQUAL "luma")
      set(listId 0)
    elseif(kind STREQUAL "chroma")
      set(listId 1)
    else()
      message(FATAL_ERROR "${csv}: bad list '${kind}'")
    endif()
    foreach(v IN LISTS cells)
      if(NOT v MATCHES "^[0-9]+$" OR v GREATER 255)
        message(FATAL_ERROR "${csv}: bad value '${v}' at index ${index}")
      endif()
    endforeach()
    string(REPLACE ";" "," values "${cells}")
    string(APPEND rows "    {${index}, ${listId}, {${values}}},  // ${label}\n")
    math(EXPR count "${count} + 1")
  endforeach()
endforeach()

file(WRITE "${OUT}.tmp" "// Generated from inspection/data/*.csv; do not edit.
#include \"inspection/quant_table_data.h\"

namespace quill::detail {

const SourcedTable kSourcedTables[] = {
${rows}};
const std::size_t kSourcedTableCount = ${count};

}  // namespace quill::detail
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
