// itl_normalization_unicode.cpp: Unicode normalisation (NFC, NFKC) of
// UTF-16 text in caller buffers, alone or followed by table folding.
//
// The source is cut into pieces at normalisation boundaries (a code point
// with a boundary before it starts a new piece); each piece is normalised
// on its own, which gives exactly the normalisation of the whole text. A
// piece whose result does not fit the room left stays unconsumed, so a
// caller that loops on what is left gets the same units as one call over
// the whole text. Already normalised stretches (ICU's quick check) are
// copied without normalising them piece by piece.
//
// Folding (the Unicode-and-table normaliser) applies to pieces that
// normalise to exactly one unit in U+00C0..U+0233.
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <cstring>

#include "cos_converter.hpp"
#include "itl_cos_interface.hpp"
#include "itl_normalization.hpp"

namespace {

// ICU failures travel the cos route: mapped to a cos error record, raised
// as ItlClException with the cos reason.
void checkIcu(UErrorCode status, char const* origin, unsigned line) {
  if (U_SUCCESS(status)) return;
  _CosStError error;
  CosClIcuInterface::mapIcuError(error, status);
  ItlClCosInterface::handleCosError(origin, line, error);
}

#define ITL_NORM_SOURCE "source/itl_common/itl_normalization_unicode"

UNormalizer2 const* instanceFor(int32_t mode) {
  UErrorCode status = U_ZERO_ERROR;
  UNormalizer2 const* normalizer = nullptr;
  if (mode == ItlEnUnicodeNormalization_NFC)
    normalizer = unorm2_getNFCInstance(&status);
  else if (mode == ItlEnUnicodeNormalization_NFKC)
    normalizer = unorm2_getNFKCInstance(&status);
  checkIcu(status, ITL_NORM_SOURCE ":" COS_STRINGIFY(__LINE__), __LINE__);
  return normalizer;
}

// The code point of the UTF-8 character that ends right before `character`,
// read from no earlier than `textStart`; false when there is none.
bool previousCodePoint(char const* textStart, char const* character,
                       UChar32& c) {
  if (character <= textStart) return false;
  char const* p = character - 1;
  while (p > textStart && (static_cast<unsigned char>(*p) & 0xC0) == 0x80) --p;
  // A sequence that does not end at `character` is not a whole character.
  unsigned length =
      ItlClNormalization::utf8SequenceLength(static_cast<unsigned char>(*p));
  if (p + length != character) return false;
  c = static_cast<UChar32>(CosClConverterABase::convertUtf8CharToUtf32(p));
  return true;
}

}  // namespace

ItlClNormalizationUnicode::ItlClNormalizationUnicode(int32_t mode)
    : ItlClNormalizationUnicode(mode, mode == 1 || mode == 2 ? KIND_UNICODE : 0) {}

ItlClNormalizationUnicode::ItlClNormalizationUnicode(int32_t mode,
                                                     uint32_t kindFlags)
    : ItlClNormalization(kindFlags),
      iv_iMode(mode),
      iv_pNormalizer(instanceFor(mode)) {}

unsigned int ItlClNormalizationUnicode::normalizedSpan(
    unsigned short const* source, unsigned int length) const {
  if (iv_pNormalizer == nullptr || length == 0) return 0;
  UErrorCode status = U_ZERO_ERROR;
  int32_t span = unorm2_spanQuickCheckYes(
      iv_pNormalizer, reinterpret_cast<UChar const*>(source),
      static_cast<int32_t>(length), &status);
  checkIcu(status, ITL_NORM_SOURCE ":" COS_STRINGIFY(__LINE__), __LINE__);
  return static_cast<unsigned int>(span);
}

bool ItlClNormalizationUnicode::hasBoundaryBefore(uint32_t c) const {
  return iv_pNormalizer == nullptr ||
         unorm2_hasBoundaryBefore(iv_pNormalizer, static_cast<UChar32>(c));
}

unsigned int ItlClNormalizationUnicode::pieceEnd(unsigned short const* source,
                                                 unsigned int at,
                                                 unsigned int length) const {
  UChar32 c;
  U16_NEXT(source, at, length, c);
  if (iv_pNormalizer == nullptr) return at;
  while (at < length) {
    unsigned int next = at;
    U16_NEXT(source, next, length, c);
    if (unorm2_hasBoundaryBefore(iv_pNormalizer, c)) break;
    at = next;
  }
  return at;
}

unsigned int ItlClNormalizationUnicode::normalizePiece(
    unsigned short const* piece, unsigned int length, unsigned short* out,
    unsigned int capacity) const {
  if (iv_pNormalizer == nullptr) {
    if (length <= capacity) std::memcpy(out, piece, length * sizeof *piece);
    return length;
  }
  UErrorCode status = U_ZERO_ERROR;
  int32_t need = unorm2_normalize(
      iv_pNormalizer, reinterpret_cast<UChar const*>(piece),
      static_cast<int32_t>(length), reinterpret_cast<UChar*>(out),
      static_cast<int32_t>(capacity), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) return capacity + 1;
  checkIcu(status, ITL_NORM_SOURCE ":" COS_STRINGIFY(__LINE__), __LINE__);
  return static_cast<unsigned int>(need);
}

unsigned int ItlClNormalizationUnicode::normalize(
    unsigned short* target, unsigned int capacity,
    unsigned short const* source, unsigned int& sourceLength) const {
  unsigned int length = sourceLength;
  unsigned int at = 0;
  unsigned int written = 0;
  while (at < length && written < capacity) {
    // A normalised stretch ends at a boundary; it is copied as it is, as
    // far as it fits (never splitting a surrogate pair).
    unsigned int span = normalizedSpan(source + at, length - at);
    unsigned int take = span < capacity - written ? span : capacity - written;
    if (take < span && take > 0 && U16_IS_LEAD(source[at + take - 1])) --take;
    std::memcpy(target + written, source + at, take * sizeof *source);
    written += take;
    at += take;
    if (take < span || at >= length) break;
    unsigned int end = pieceEnd(source, at, length);
    unsigned int need =
        normalizePiece(source + at, end - at, target + written,
                       capacity - written);
    if (need > capacity - written) break;  // the piece stays unconsumed
    written += need;
    at = end;
  }
  sourceLength -= at;
  return written;
}

unsigned int ItlClNormalizationUnicode::unicodeLength(
    char const* textStart, char const* character, unsigned int& byteLength,
    unsigned short& single) const {
  single = 0;
  byteLength = utf8SequenceLength(character);
  // A single byte, or a truncated sequence that is no character to decode.
  if (byteLength == 1 ||
      byteLength != utf8SequenceLength(static_cast<unsigned char>(*character)))
    return 1;
  UChar32 c =
      static_cast<UChar32>(CosClConverterABase::convertUtf8CharToUtf32(character));
  if (c > 0xFFFF) return 1;
  unsigned short text[4];
  unsigned short out[32];
  unsigned int count = 0;
  UChar32 before;
  int8_t type = u_charType(c);
  bool mark = type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK ||
              type == U_COMBINING_SPACING_MARK;
  unsigned int alone = 0;  // units of the previous character by itself
  if (mark && previousCodePoint(textStart, character, before)) {
    U16_APPEND_UNSAFE(text, count, before);
    alone = normalizePiece(text, count, out, sizeof out / sizeof *out);
  }
  text[count++] = static_cast<unsigned short>(c);
  unsigned int units = normalizePiece(text, count, out, sizeof out / sizeof *out);
  if (units == 1) single = out[0];
  return units > alone ? units - alone : 0;
}

unsigned int ItlClNormalizationUnicode::getNormalizedLength(
    char const* textStart, char const* character,
    unsigned int& byteLength) const {
  unsigned short single;
  return unicodeLength(textStart, character, byteLength, single);
}

// ---------------------------------------------------------------------------
// Unicode and table.

unsigned int ItlClNormalizationUnicodeAndTableBased::normalize(
    unsigned short* target, unsigned int capacity,
    unsigned short const* source, unsigned int& sourceLength) const {
  unsigned int length = sourceLength;
  unsigned int at = 0;
  unsigned int written = 0;
  while (at < length && written < capacity) {
    unsigned int spanEnd = at + normalizedSpan(source + at, length - at);
    foldSpan(target, capacity, written, source, length, at, spanEnd);
    if (at < spanEnd || at >= length) break;
    unsigned int end = pieceEnd(source, at, length);
    unsigned int room = capacity - written;
    unsigned int need = normalizePiece(source + at, end - at, target + written,
                                       room);
    if (need > room) break;
    unsigned short unit = target[written];
    if (need == 1 && ItlClNormalizationTable::covers(unit)) {
      unsigned short second = iv_clTable.second(unit);
      if (second != 0 && room < 2) break;  // the piece stays unconsumed
      target[written] = iv_clTable.first(unit);
      if (second != 0) target[++written] = second;
    }
    written += need;
    at = end;
  }
  sourceLength -= at;
  return written;
}

void ItlClNormalizationUnicodeAndTableBased::foldSpan(
    unsigned short* target, unsigned int capacity, unsigned int& written,
    unsigned short const* source, unsigned int length, unsigned int& at,
    unsigned int end) const {
  while (at < end && written < capacity) {
    unsigned short unit = source[at];
    if (U16_IS_LEAD(unit) && at + 1 < end && U16_IS_TRAIL(source[at + 1])) {
      if (capacity - written < 2) return;
      target[written++] = unit;
      target[written++] = source[at + 1];
      at += 2;
      continue;
    }
    // A unit is a piece of its own when it starts one and the next unit of
    // the text (not only of the stretch) starts another.
    bool alone = ItlClNormalizationTable::covers(unit) &&
                 hasBoundaryBefore(unit);
    if (alone && at + 1 < length) {
      unsigned int next = at + 1;
      UChar32 c;
      U16_NEXT(source, next, length, c);
      alone = hasBoundaryBefore(static_cast<uint32_t>(c));
    }
    if (alone && iv_clTable.second(unit) != 0) {
      if (capacity - written < 2) return;  // the unit stays unconsumed
      target[written++] = iv_clTable.first(unit);
      target[written++] = iv_clTable.second(unit);
    } else {
      target[written++] = alone ? iv_clTable.first(unit) : unit;
    }
    ++at;
  }
}

unsigned int ItlClNormalizationUnicodeAndTableBased::getNormalizedLength(
    char const* textStart, char const* character,
    unsigned int& byteLength) const {
  unsigned short single;
  unsigned int units = unicodeLength(textStart, character, byteLength, single);
  if (single != 0 && iv_clTable.utf16CharResultsInTwoCodePoints(single))
    ++units;
  return units;
}
