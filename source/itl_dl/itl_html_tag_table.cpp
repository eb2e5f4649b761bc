// itl_html_tag_table.cpp: the 107 tag names of the HTML parser.
#include "itl_html_tag_table.hpp"

#include <unicode/ustring.h>

namespace {

// Sorted by UTF-16 code unit; see the header for the columns.
ItlStHtmlTagMapEntry const gs_tagMapperUTF16[ItlClHtmlTagTable::kRowCount] = {
    {{'!','-','-'}, 0, 0},
    {{'a'}, 1, 1},
    {{'a','b','b','r','e','v'}, 0, 0},
    {{'a','c','r','o','n','y','m'}, 0, 0},
    {{'a','d','d','r','e','s','s'}, 1, 1},
    {{'a','p','p','l','e','t'}, 0, 0},
    {{'a','r','e','a'}, 3, 1},
    {{'a','u'}, 1, 1},
    {{'a','u','t','h','o','r'}, 1, 1},
    {{'b'}, 0, 0},
    {{'b','a','n','n','e','r'}, 0, 0},
    {{'b','a','s','e'}, 0, 0},
    {{'b','a','s','e','f','o','n','t'}, 0, 0},
    {{'b','g','s','o','u','n','d'}, 0, 0},
    {{'b','i','g'}, 0, 0},
    {{'b','l','i','n','k'}, 0, 0},
    {{'b','l','o','c','k','q','u','o','t','e'}, 0, 0},
    {{'b','o','d','y'}, 0, 0},
    {{'b','q'}, 0, 0},
    {{'b','r'}, 0, 0},
    {{'c','a','p','t','i','o','n'}, 0, 0},
    {{'c','e','n','t','e','r'}, 0, 0},
    {{'c','i','t','e'}, 3, 1},
    {{'c','o','d','e'}, 3, 1},
    {{'c','o','l'}, 0, 0},
    {{'c','o','l','g','r','o','u','p'}, 0, 0},
    {{'c','r','e','d','i','t'}, 3, 1},
    {{'d','d'}, 0, 0},
    {{'d','e','l'}, 4, 0},
    {{'d','f','n'}, 3, 1},
    {{'d','i','r'}, 3, 1},
    {{'d','i','v'}, 0, 0},
    {{'d','l'}, 3, 1},
    {{'d','t'}, 0, 0},
    {{'e','m'}, 0, 0},
    {{'e','m','b','e','d'}, 0, 0},
    {{'f','i','g'}, 0, 0},
    {{'f','n'}, 3, 1},
    {{'f','o','n','t'}, 0, 0},
    {{'f','o','r','m'}, 0, 0},
    {{'f','r','a','m','e'}, 3, 1},
    {{'f','r','a','m','e','s','e','t'}, 0, 0},
    {{'h','1'}, 1, 1},
    {{'h','2'}, 1, 1},
    {{'h','3'}, 1, 1},
    {{'h','4'}, 1, 1},
    {{'h','5'}, 1, 1},
    {{'h','6'}, 1, 1},
    {{'h','e','a','d'}, 0, 0},
    {{'h','r'}, 0, 0},
    {{'h','t','m','l'}, 0, 0},
    {{'i'}, 0, 0},
    {{'i','f','r','a','m','e'}, 0, 0},
    {{'i','m','g'}, 0, 0},
    {{'i','n','p','u','t'}, 0, 0},
    {{'i','n','s'}, 0, 0},
    {{'i','s','i','n','d','e','x'}, 0, 0},
    {{'k','b','d'}, 0, 0},
    {{'l','a','n','g'}, 0, 0},
    {{'l','h'}, 0, 0},
    {{'l','i'}, 0, 0},
    {{'l','i','n','k'}, 0, 0},
    {{'l','i','s','t','i','n','g'}, 0, 0},
    {{'m','a','p'}, 0, 0},
    {{'m','a','r','q','u','e','e'}, 0, 0},
    {{'m','a','t','h'}, 0, 0},
    {{'m','e','n','u','e'}, 0, 0},
    {{'m','u','l','t','i','c','o','l'}, 0, 0},
    {{'n','o','b','r'}, 0, 0},
    {{'n','o','f','r','a','m','e','s'}, 0, 0},
    {{'n','o','t','e'}, 3, 1},
    {{'o','l'}, 3, 1},
    {{'o','v','e','r','l','a','y'}, 0, 0},
    {{'p'}, 3, 1},
    {{'p','a','r','a','m'}, 0, 0},
    {{'p','e','r','s','o','n'}, 0, 0},
    {{'p','l','a','i','n','t','e','x','t'}, 0, 0},
    {{'p','r','e'}, 0, 0},
    {{'q'}, 3, 1},
    {{'r','a','n','g','e'}, 0, 0},
    {{'s','a','m','p'}, 3, 1},
    {{'s','c','r','i','p','t'}, 0, 0},
    {{'s','e','l','e','c','t'}, 0, 0},
    {{'s','m','a','l','l'}, 0, 0},
    {{'s','p','a','c','e','r'}, 2, 0},
    {{'s','p','o','t'}, 0, 0},
    {{'s','t','r','i','k','e'}, 0, 0},
    {{'s','t','r','o','n','g'}, 0, 0},
    {{'s','u','b'}, 0, 0},
    {{'s','u','p'}, 0, 0},
    {{'t','a','b'}, 0, 0},
    {{'t','a','b','l','e'}, 3, 1},
    {{'t','b','o','d','y'}, 0, 0},
    {{'t','d'}, 0, 0},
    {{'t','e','x','t','a','r','e','a'}, 0, 0},
    {{'t','e','x','t','f','l','o','w'}, 0, 0},
    {{'t','f','o','o','t'}, 0, 0},
    {{'t','h'}, 0, 0},
    {{'t','h','e','a','d'}, 0, 0},
    {{'t','i','t','l','e'}, 1, 1},
    {{'t','r'}, 0, 0},
    {{'t','t'}, 0, 0},
    {{'u'}, 0, 0},
    {{'u','l'}, 0, 0},
    {{'v','a','r'}, 0, 0},
    {{'w','b','r'}, 0, 0},
    {{'x','m','p'}, 3, 1},
};

// Length of a row's name (10 when the field holds no terminator).
unsigned rowLength(ItlStHtmlTagMapEntry const& row) {
  unsigned n = 0;
  while (n < 10 && row.name[n] != 0) ++n;
  return n;
}

// Code-unit order of the key against a row's name.
int ItlTagMapCompare(unsigned short const* key, unsigned keyLength,
                     ItlStHtmlTagMapEntry const& row) {
  unsigned rowLen = rowLength(row);
  unsigned n = keyLength < rowLen ? keyLength : rowLen;
  for (unsigned i = 0; i < n; ++i) {
    if (key[i] != row.name[i]) return key[i] < row.name[i] ? -1 : 1;
  }
  if (keyLength == rowLen) return 0;
  return keyLength < rowLen ? -1 : 1;
}

}  // namespace

ItlStHtmlTagMapEntry const* ItlClHtmlTagTable::lookup(unsigned short const* name,
                                                     unsigned int length) {
  if (name == nullptr && length != 0) return nullptr;
  unsigned lo = 0, hi = kRowCount;
  while (lo < hi) {
    unsigned mid = lo + (hi - lo) / 2;
    int c = ItlTagMapCompare(name, length, gs_tagMapperUTF16[mid]);
    if (c == 0) return &gs_tagMapperUTF16[mid];
    if (c < 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  return nullptr;
}

bool ItlClHtmlTagTable::isHTMLFieldTag(unsigned short const* name) {
  if (name == nullptr) return false;
  unsigned length = static_cast<unsigned>(
      u_strlen(reinterpret_cast<UChar const*>(name)));
  ItlStHtmlTagMapEntry const* row = lookup(name, length);
  return row != nullptr && row->action == ACTION_FIELD;
}

ItlStHtmlTagMapEntry const* ItlClHtmlTagTable::getRows() {
  return gs_tagMapperUTF16;
}
