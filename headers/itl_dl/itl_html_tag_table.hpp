// itl_html_tag_table.hpp: the HTML parser's table of the 107 tag names it
// knows, with the action each takes and its boundary flag.
//
// Rows are sorted by UTF-16 code unit and searched by binary search with an
// exact comparison; names are lower case, 10 units at most, zero-padded
// (a name of 10 units has no terminator inside the field). Actions: 0
// remove, 1 field, 2 whitespace, 3 paragraph end, 4 delete; the boundary
// flag (a start tag first ends the open field and attribute) is 1 exactly
// for actions 1 and 3. Constant; no state.
#ifndef ITL_HTML_TAG_TABLE_HPP
#define ITL_HTML_TAG_TABLE_HPP

#include <cstdint>

struct ItlStHtmlTagMapEntry {
  unsigned short name[10];  // UTF-16, lower case, zero-padded
  uint32_t action;          // 0 remove, 1 field, 2 whitespace, 3 para, 4 del
  uint32_t boundary;        // 1: the tag ends the open field and attribute
};

class ItlClHtmlTagTable {
 public:
  static constexpr unsigned kRowCount = 107;
  enum : uint32_t {
    ACTION_REMOVE = 0,
    ACTION_FIELD = 1,
    ACTION_WHITESPACE = 2,
    ACTION_PARAGRAPH = 3,
    ACTION_DELETE = 4
  };

  // The row of the `length` code units at `name` (exact comparison), or
  // null. `name` need not be NUL-terminated.
  static ItlStHtmlTagMapEntry const* lookup(unsigned short const* name,
                                            unsigned int length);
  // True when the NUL-terminated lower-case `name` has a row whose action
  // is 1 (field). Null and "" give false.
  static bool isHTMLFieldTag(unsigned short const* name);
  // The rows, for tests.
  static ItlStHtmlTagMapEntry const* getRows();
};

#endif  // ITL_HTML_TAG_TABLE_HPP
