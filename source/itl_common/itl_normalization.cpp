// itl_normalization.cpp: the normaliser factory, the plain copy and the
// table folding. Unicode normalisation lives in
// itl_normalization_unicode.cpp, Thai word separation in
// itl_normalization_thai.cpp.
//
// The choice (createNormalizer):
//   1. Thai (language 120) gets the Thai normaliser, whatever the settings.
//   2. The Unicode mode counts only for UCS-2 and UTF-8 text, else it is 0.
//   3. A folding table is built when umlaut normalisation or accent removal
//      is on.
//   4. Mode 0: table or plain copy; 1 (NFC) or 2 (NFKC): Unicode and table,
//      or Unicode; any other mode: none.
#include "itl_normalization.hpp"

#include <cstring>
#include <new>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "cos_memmgr.hpp"
#include "itl_error.hpp"

namespace {

template <class T, class... Args>
ItlClNormalization* make(Args... args) {
  void* memory = CosClMemoryManager::allocate(sizeof(T));
  try {
    return new (memory) T(args...);
  } catch (...) {
    CosClMemoryManager::free(memory);
    throw;
  }
}

// The settings that decide which normaliser is made.
struct Choice {
  int32_t mode;  // after step 2
  bool umlaut;
  bool accentRemoval;
  bool thai;

  bool table() const { return umlaut || accentRemoval; }
  bool known() const { return thai || (mode >= 0 && mode <= 2); }
  uint32_t flags() const {
    uint32_t unicode = mode != 0 ? ItlClNormalization::KIND_UNICODE : 0;
    return unicode | (table() ? ItlClNormalization::KIND_TABLE : 0);
  }
  // `current` is what this choice would make.
  bool fits(ItlClNormalization const& current) const {
    if (thai)
      return (current.getKindFlags() & ItlClNormalization::KIND_THAI) != 0;
    if (current.getKindFlags() != flags() ||
        current.getUnicodeMode() != mode)
      return false;
    ItlClNormalizationTable const* t = current.getTable();
    return t == nullptr || (t->getUmlautNormalization() == umlaut &&
                            t->getAccentRemoval() == accentRemoval);
  }
  ItlClNormalization* create() const {
    if (thai) return make<ItlClNormalizationThai>();
    if (mode == 0)
      return table() ? make<ItlClNormalizationTableBased>(accentRemoval, umlaut)
                     : make<ItlClNormalizationMemcopy>();
    return table() ? make<ItlClNormalizationUnicodeAndTableBased>(
                         mode, accentRemoval, umlaut)
                   : make<ItlClNormalizationUnicode>(mode);
  }
};

Choice choose(int32_t mode, bool umlaut, bool accentRemoval,
              CosClCCSID const& ccsid, CosClLanguage const& language) {
  bool thai = language.getLanguage() == CosClLanguage::CosEnLanguage_th;
  if (!ccsid.isUCS2() && ccsid != CosClCCSID::CCSID_UTF8) mode = 0;
  return Choice{mode, umlaut, accentRemoval, thai};
}

}  // namespace

ItlClNormalization::~ItlClNormalization() = default;

unsigned int ItlClNormalization::utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  if ((lead & 0xFC) == 0xF8) return 5;
  return 1;
}

unsigned int ItlClNormalization::utf8SequenceLength(char const* character) {
  unsigned int length = utf8SequenceLength(static_cast<unsigned char>(*character));
  for (unsigned int i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(character[i]) & 0xC0) != 0x80) return i;
  return length;
}

ItlClNormalization* ItlClNormalization::createNormalizer(
    int32_t mode, bool umlaut, bool accentRemoval, CosClCCSID const& ccsid,
    CosClLanguage const& language) {
  Choice choice = choose(mode, umlaut, accentRemoval, ccsid, language);
  return choice.known() ? choice.create() : nullptr;
}

ItlClNormalization* ItlClNormalization::createNormalizer(
    int32_t mode, bool umlaut, bool accentRemoval, CosClCCSID const& ccsid,
    CosClLanguage const& language, ItlClNormalization* current) {
  Choice choice = choose(mode, umlaut, accentRemoval, ccsid, language);
  if (!choice.known()) return nullptr;
  if (current != nullptr && choice.fits(*current)) return current;
  ItlClNormalization* fresh = choice.create();
  destroyNormalizer(current);
  return fresh;
}

ItlClNormalization* ItlClNormalization::createDefaultNormalizer() {
  return make<ItlClNormalizationMemcopy>();
}

void ItlClNormalization::destroyNormalizer(ItlClNormalization* normalizer) {
  if (normalizer == nullptr) return;
  normalizer->~ItlClNormalization();
  CosClMemoryManager::free(normalizer);
}

// ---------------------------------------------------------------------------
// Plain copy.

unsigned int ItlClNormalizationMemcopy::normalize(
    unsigned short* target, unsigned int capacity,
    unsigned short const* source, unsigned int& sourceLength) const {
  unsigned int count = capacity < sourceLength ? capacity : sourceLength;
  if (count != 0) std::memcpy(target, source, count * sizeof *source);
  sourceLength -= count;
  return count;
}

unsigned int ItlClNormalizationMemcopy::getNormalizedLength(
    char const*, char const* character, unsigned int& byteLength) const {
  byteLength = utf8SequenceLength(character);
  return 1;
}

// ---------------------------------------------------------------------------
// Table folding.

unsigned int ItlClNormalizationTableBased::normalize(
    unsigned short* target, unsigned int capacity,
    unsigned short const* source, unsigned int& sourceLength) const {
  unsigned int written = 0;
  unsigned int used = 0;
  while (used < sourceLength && written < capacity) {
    unsigned short unit = source[used];
    if (!ItlClNormalizationTable::covers(unit)) {
      target[written++] = unit;
    } else if (iv_clTable.second(unit) == 0) {
      target[written++] = iv_clTable.first(unit);
    } else {
      if (capacity - written < 2) break;  // the unit stays unconsumed
      target[written++] = iv_clTable.first(unit);
      target[written++] = iv_clTable.second(unit);
    }
    ++used;
  }
  sourceLength -= used;
  return written;
}

unsigned int ItlClNormalizationTableBased::getNormalizedLength(
    char const*, char const* character, unsigned int& byteLength) const {
  unsigned char lead = static_cast<unsigned char>(*character);
  byteLength = utf8SequenceLength(character);
  bool two = iv_clTable.getUmlautNormalization() && lead >= 0x80 &&
             byteLength == utf8SequenceLength(lead) &&
             iv_clTable.utf8CharResultsInTwoCodePointsImp(character);
  return two ? 2 : 1;
}
