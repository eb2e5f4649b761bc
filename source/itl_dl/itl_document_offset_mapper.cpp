// itl_document_offset_mapper.cpp: the base of the offset mappers: source
// and mapped hits, character counting and the piece mapping that the TEXT
// and XML mappers share (see itl_document_offset_mapper.hpp).
//
// A piece of n original characters covers W normalised characters, W the
// sum of the characters' widths. measurePiece keeps the widths as prefix
// sums cum[0..n] (cum[0] = 0, cum[n] = W), so that a normalised offset x
// inside the piece lies in the character k with cum[k] <= x < cum[k + 1].
// A hit's state lives in the per-hit arrays from the piece that holds its
// start until the piece that holds its end; finished hits move into the
// mapped list in source order.
#include "itl_document_offset_mapper.hpp"

#include <new>

#include "cos_memmgr.hpp"
#include "itl_normalization.hpp"

namespace {

enum HitState : uint8_t { kWaiting = 0, kStarted, kDone, kDropped };

bool isHighSurrogate(unsigned short u) { return (u & 0xFC00) == 0xD800; }
bool isLowSurrogate(unsigned short u) { return (u & 0xFC00) == 0xDC00; }

template <class T>
T* allocateArray(uint32_t count) {
  if (count == 0) return nullptr;
  T* array = static_cast<T*>(CosClMemoryManager::allocate(sizeof(T) * count));
  for (uint32_t i = 0; i < count; ++i) array[i] = T();
  return array;
}

// Writes code point `c` in UTF-8 at `out`; returns the bytes written.
uint32_t putUtf8(char* out, uint32_t c) {
  unsigned char* u = reinterpret_cast<unsigned char*>(out);
  if (c < 0x80) {
    u[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    u[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    u[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    u[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    u[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    u[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  u[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
  u[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  u[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  u[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

}  // namespace

ItlClDocumentOffsetMapper::ItlClDocumentOffsetMapper(ItlClHitlist const& hits)
    : iv_rclSourceHits(hits),
      iv_clHitCursor(hits),
      iv_clMappedHits(hits.getCount()),
      iv_pusSource(nullptr),
      iv_uiSourceBytes(0),
      iv_pusSourceCurrent(nullptr),
      iv_uiPrologBytes(0),
      iv_uiExtractedOffset(0),
      iv_pclNormalizer(nullptr),
      iv_pucState(nullptr),
      iv_puiStart(nullptr),
      iv_puiEnd(nullptr),
      iv_puiType(nullptr),
      iv_uiFirstOpen(0),
      iv_puiWidths(nullptr),
      iv_uiWidthsCapacity(0),
      iv_pcUtf8(nullptr),
      iv_uiUtf8Capacity(0),
      iv_puiUtf8At(nullptr),
      iv_uiUtf8AtCapacity(0) {
  uint32_t count = hits.getCount();
  try {
    iv_pucState = allocateArray<uint8_t>(count);
    iv_puiStart = allocateArray<uint32_t>(count);
    iv_puiEnd = allocateArray<uint32_t>(count);
    iv_puiType = allocateArray<uint32_t>(count);
  } catch (...) {
    CosClMemoryManager::free(iv_pucState);
    CosClMemoryManager::free(iv_puiStart);
    CosClMemoryManager::free(iv_puiEnd);
    throw;
  }
}

ItlClDocumentOffsetMapper::~ItlClDocumentOffsetMapper() {
  CosClMemoryManager::free(iv_pucState);
  CosClMemoryManager::free(iv_puiStart);
  CosClMemoryManager::free(iv_puiEnd);
  CosClMemoryManager::free(iv_puiType);
  CosClMemoryManager::free(iv_puiWidths);
  CosClMemoryManager::free(iv_pcUtf8);
  CosClMemoryManager::free(iv_puiUtf8At);
}

void ItlClDocumentOffsetMapper::setSourceBuffer(char const* buffer,
                                                unsigned int byteLength) {
  iv_pusSource = reinterpret_cast<unsigned short const*>(buffer);
  iv_uiSourceBytes = buffer == nullptr ? 0 : byteLength;
  iv_pusSourceCurrent = iv_pusSource;
}

unsigned int ItlClDocumentOffsetMapper::getCharCount(unsigned short const* text,
                                                     unsigned int bytes) {
  unsigned int units = bytes / 2;
  unsigned int chars = 0;
  for (unsigned int i = 0; i < units; ++chars) {
    if (isHighSurrogate(text[i]) && i + 1 < units &&
        isLowSurrogate(text[i + 1]))
      i += 2;
    else
      i += 1;
  }
  return chars;
}

unsigned int ItlClDocumentOffsetMapper::findCharOffset(
    unsigned short const* text, unsigned int available, unsigned int wanted) {
  unsigned int units = available / 2;
  if (units == 0 || wanted == 0) return 0;
  unsigned int chars = 0;
  unsigned int i = 0;
  do {
    if (isHighSurrogate(text[i]) && i + 1 < units &&
        isLowSurrogate(text[i + 1]))
      i += 2;
    else
      i += 1;
    ++chars;
  } while (i < units && i * 2 < wanted);
  return chars;
}

template <class T>
void ItlClDocumentOffsetMapper::grow(T*& array, uint32_t& capacity,
                                     uint32_t wanted) {
  if (wanted <= capacity) return;
  uint32_t size = capacity < 64 ? 64 : capacity;
  while (size < wanted) size = size > 0x7FFFFFFF / 2 ? wanted : size * 2;
  array = static_cast<T*>(
      CosClMemoryManager::realloc(array, static_cast<unsigned int>(
                                             sizeof(T) * size)));
  capacity = size;
}

uint32_t ItlClDocumentOffsetMapper::measurePiece(unsigned short const* text,
                                                 unsigned int units) {
  grow(iv_puiWidths, iv_uiWidthsCapacity, units + 1);
  iv_puiWidths[0] = 0;
  bool plain = iv_pclNormalizer == nullptr ||
               iv_pclNormalizer->getKindFlags() == 0;
  uint32_t chars = 0;
  if (plain) {
    chars = getCharCount(text, units * 2);
    for (uint32_t k = 1; k <= chars; ++k) iv_puiWidths[k] = k;
    return chars;
  }
  // The normaliser measures UTF-8: the piece is copied once, its
  // characters' offsets kept, and each is measured in its context (a mark
  // may join the character before it, never one of another piece).
  grow(iv_pcUtf8, iv_uiUtf8Capacity, units * 3 + 1);
  grow(iv_puiUtf8At, iv_uiUtf8AtCapacity, units + 1);
  uint32_t bytes = 0;
  for (uint32_t i = 0; i < units; ++chars) {
    uint32_t c = text[i];
    if (isHighSurrogate(text[i]) && i + 1 < units &&
        isLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      i += 2;
    } else {
      if ((c & 0xF800) == 0xD800) c = 0xFFFD;  // a lone surrogate
      i += 1;
    }
    iv_puiUtf8At[chars] = bytes;
    bytes += putUtf8(iv_pcUtf8 + bytes, c);
  }
  iv_pcUtf8[bytes] = '\0';
  for (uint32_t k = 0; k < chars; ++k) {
    unsigned int length = 0;
    unsigned int width = iv_pclNormalizer->getNormalizedLength(
        iv_pcUtf8, iv_pcUtf8 + iv_puiUtf8At[k], length);
    iv_puiWidths[k + 1] = iv_puiWidths[k] + width;
  }
  return chars;
}

uint32_t ItlClDocumentOffsetMapper::charAtStart(uint32_t x,
                                                uint32_t chars) const {
  // The smallest k with cum[k + 1] > x.
  uint32_t lo = 0, hi = chars;
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (iv_puiWidths[mid + 1] > x)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo < chars ? lo : chars;
}

uint32_t ItlClDocumentOffsetMapper::charAtEnd(uint32_t x,
                                              uint32_t chars) const {
  // The smallest k with cum[k] >= x, then over the marks that follow.
  uint32_t lo = 0, hi = chars;
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (iv_puiWidths[mid] >= x)
      hi = mid;
    else
      lo = mid + 1;
  }
  while (lo < chars && iv_puiWidths[lo + 1] == iv_puiWidths[lo]) ++lo;
  return lo;
}

void ItlClDocumentOffsetMapper::finishHit(uint32_t i, uint32_t end,
                                          ItlEnDocPartType) {
  if (!recording()) {
    iv_pucState[i] = kDropped;
    return;
  }
  iv_pucState[i] = kDone;
  iv_puiEnd[i] = end > iv_puiStart[i] ? end : iv_puiStart[i];
}

void ItlClDocumentOffsetMapper::emitFinished() {
  uint32_t reached = iv_clHitCursor.getIndex();
  while (iv_uiFirstOpen < reached) {
    uint32_t i = iv_uiFirstOpen;
    if (iv_pucState[i] == kStarted) break;
    if (iv_pucState[i] == kDone)
      iv_clMappedHits.add(static_cast<ItlEnDocPartType>(iv_puiType[i]),
                          iv_puiStart[i], iv_puiEnd[i] - iv_puiStart[i]);
    ++iv_uiFirstOpen;
  }
}

void ItlClDocumentOffsetMapper::finishPass() {
  for (uint32_t i = iv_uiFirstOpen; i < iv_clHitCursor.getIndex(); ++i)
    if (iv_pucState[i] == kStarted) iv_pucState[i] = kDropped;
  emitFinished();
}

void ItlClDocumentOffsetMapper::mapPiece(unsigned short const* text,
                                         unsigned int units,
                                         uint32_t sourceChars,
                                         Placement placement,
                                         uint32_t wholeChars,
                                         ItlEnDocPartType type,
                                         bool mayContinue) {
  uint32_t chars = measurePiece(text, units);
  uint32_t t = iv_uiExtractedOffset;
  uint64_t limit = static_cast<uint64_t>(t) + iv_puiWidths[chars];
  uint32_t skip = placement == kInComment ? 4 : 0;
  auto placeStart = [&](uint64_t x) -> uint32_t {
    if (placement == kWhole) return sourceChars;
    return sourceChars + skip +
           charAtStart(static_cast<uint32_t>(x - t), chars);
  };
  auto placeEnd = [&](uint64_t x) -> uint32_t {
    if (placement == kWhole) return sourceChars + wholeChars;
    return sourceChars + skip + charAtEnd(static_cast<uint32_t>(x - t), chars);
  };
  auto endOf = [](ItlClHitinfo const& hit) {
    return static_cast<uint64_t>(hit.getOffset()) + hit.getLength();
  };

  // Hits started in earlier pieces that end in this one.
  for (uint32_t i = iv_uiFirstOpen; i < iv_clHitCursor.getIndex(); ++i) {
    if (iv_pucState[i] != kStarted) continue;
    uint64_t end = endOf(iv_rclSourceHits.get(i));
    if (end <= limit) finishHit(i, placeEnd(end > t ? end : t), type);
  }
  // Hits that start where no text was handed over (delimiters, excluded
  // text) are passed over.
  for (; !iv_clHitCursor.isAtEnd() && iv_clHitCursor.current().getOffset() < t;
       iv_clHitCursor.next())
    iv_pucState[iv_clHitCursor.getIndex()] = kDropped;
  // Hits that start here.
  for (; !iv_clHitCursor.isAtEnd() &&
         iv_clHitCursor.current().getOffset() < limit;
       iv_clHitCursor.next()) {
    uint32_t i = iv_clHitCursor.getIndex();
    ItlClHitinfo const& hit = iv_clHitCursor.current();
    iv_pucState[i] = kStarted;
    iv_puiStart[i] = placeStart(hit.getOffset());
    iv_puiType[i] = static_cast<uint32_t>(type);
    uint64_t end = endOf(hit);
    if (end <= limit)
      finishHit(i, placeEnd(end), type);
    else if (!mayContinue)
      finishHit(i, placeEnd(limit), type);
  }
  iv_uiExtractedOffset = static_cast<uint32_t>(limit);
  emitFinished();
}
