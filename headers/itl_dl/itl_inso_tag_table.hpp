// itl_inso_tag_table.hpp: the filter-library parser's table of the 95
// document-property tags (names and numbers 1 to 99).
//
// Rows are sorted by name (plain byte order). Numbers 64, 65, 78 and 94 are
// not used; the properties 1 to 62 are default fields (without a model
// they become fields of their own name). Constant; no state.
#ifndef ITL_INSO_TAG_TABLE_HPP
#define ITL_INSO_TAG_TABLE_HPP

#include <cstdint>

struct _ItlStINSOTagInfo {
  char const* name;      // property name, also the default field name
  uint32_t number;       // tag number 1..99
  uint8_t defaultField;  // 1 for numbers 1..62
};

class ItlClInsoTagTable {
 public:
  static constexpr unsigned kRowCount = 95;
  static constexpr unsigned kMaxTagNumber = 99;

  // The number of `name` (binary search, byte comparison), 0 when absent
  // or null.
  static unsigned int getINSOTagNumber(char const* name);
  // The name of the first row with `number` (linear search), null when no
  // row has it.
  static char const* getINSOTagForNumber(unsigned int number);
  // The rows, for tests and the parser's tag index.
  static _ItlStINSOTagInfo const* getRows();
};

#endif  // ITL_INSO_TAG_TABLE_HPP
