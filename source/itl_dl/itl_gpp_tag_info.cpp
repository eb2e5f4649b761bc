// itl_gpp_tag_info.cpp: the field and attribute items of one start string,
// and the check that both wait for the same end string.
#include <unicode/ustring.h>

#include "cos_memmgr.hpp"
#include "itl_dl_text.hpp"
#include "itl_error.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_gppmodel.hpp"

std::string itlUtf16ToUtf8(unsigned short const* s) {
  if (s == nullptr) return std::string();
  UChar const* u = reinterpret_cast<UChar const*>(s);
  UErrorCode st = U_ZERO_ERROR;
  int32_t n = 0;
  u_strToUTF8WithSub(nullptr, 0, &n, u, -1, 0xFFFD, nullptr, &st);
  std::string out(static_cast<size_t>(n), '\0');
  st = U_ZERO_ERROR;
  u_strToUTF8WithSub(&out[0], n, &n, u, -1, 0xFFFD, nullptr, &st);
  return out;
}

namespace {

// Both end strings absent, or both present and equal unit for unit.
bool sameEnd(unsigned short const* a, unsigned short const* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return u_strcmp(reinterpret_cast<UChar const*>(a),
                  reinterpret_cast<UChar const*>(b)) == 0;
}

// Reason 652: the end strings of the new and the other item differ.
[[noreturn]] void raiseEndConflict(char const* origin, unsigned line,
                                   ItlClGppModelItem const& item,
                                   ItlClGppModelItem const& other) {
  ItlClException e(origin, line, ItlEnReasonCode_Gpp_end_tags_conflict);
  unsigned short const* mine = item.getEndString();
  unsigned short const* theirs = other.getEndString();
  std::ostream& os = e.context(21);
  if (mine != nullptr && theirs != nullptr)
    os << ": " << itlUtf16ToUtf8(mine) << ": " << itlUtf16ToUtf8(theirs);
  else
    os << ": " << itlUtf16ToUtf8(mine ? mine : theirs);
  e.raise();
}

}  // namespace

void* ItlClGppTagInfo::operator new(size_t size) {
  return CosClMemoryManager::allocate(static_cast<unsigned int>(size));
}

void ItlClGppTagInfo::operator delete(void* p) { CosClMemoryManager::free(p); }

void ItlClGppTagInfo::setFieldItem(ItlClGppModelItem const& item) {
  if (iv_pclAttributeItem != nullptr &&
      !sameEnd(item.getEndString(), iv_pclAttributeItem->getEndString()))
    raiseEndConflict("source/itl_dl/itl_gpp_tag_info:106", 106, item,
                     *iv_pclAttributeItem);
  iv_pclFieldItem = &item;
}

void ItlClGppTagInfo::setAttributeItem(ItlClGppModelItem const& item) {
  if (iv_pclFieldItem != nullptr &&
      !sameEnd(item.getEndString(), iv_pclFieldItem->getEndString()))
    raiseEndConflict("source/itl_dl/itl_gpp_tag_info:163", 163, item,
                     *iv_pclFieldItem);
  iv_pclAttributeItem = &item;
}
