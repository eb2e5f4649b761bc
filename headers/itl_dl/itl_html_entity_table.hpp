// itl_html_entity_table.hpp: the HTML parser's table of character entity
// references: 252 rows {code unit, "&name;" in UTF-16
// zero-padded to 16 units}, in rising code-unit order of the reference.
#ifndef ITL_HTML_ENTITY_TABLE_HPP
#define ITL_HTML_ENTITY_TABLE_HPP

struct ItlStHtmlEntityMapEntry {
  char16_t value;
  char16_t name[16];
};

class ItlClHtmlEntityTable {
 public:
  static constexpr unsigned kRowCount = 252;
  static ItlStHtmlEntityMapEntry const* getRows();
  // The row whose reference equals the `length` units at `reference`
  // ("&" name ";", compared exactly), or null.
  static ItlStHtmlEntityMapEntry const* lookup(unsigned short const* reference,
                                               unsigned int length);
};

#endif  // ITL_HTML_ENTITY_TABLE_HPP
