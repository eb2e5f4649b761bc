// itl_offset_mapper.cpp: the offset mappers of TEXT and XML documents; see
// itl_offset_mapper.hpp for what the XML parser reports and how each hit is
// placed.
//
// XML mapping keeps three counters in step with the parser: the byte index
// reached in the document's UTF-16 text, the characters before it, and the
// characters of extracted text handed over so far. A text piece of n
// characters covers the extracted offsets t..t+n-1. A hit starts in the
// piece that holds its offset and ends in the piece that holds its end
// (offset + length); its state lives in the per-hit arrays until both are
// known, and finished hits move into the mapped list in source order.
#include "itl_offset_mapper.hpp"

#include <new>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"
#include "itl_field_num_set.hpp"
#include "itl_name_maps.hpp"

namespace {

bool isHighSurrogate(unsigned short u) { return (u & 0xFC00) == 0xD800; }
bool isLowSurrogate(unsigned short u) { return (u & 0xFC00) == 0xDC00; }

template <class T>
T* allocateArray(uint32_t count) {
  if (count == 0) return nullptr;
  T* array = static_cast<T*>(CosClMemoryManager::allocate(sizeof(T) * count));
  for (uint32_t i = 0; i < count; ++i) array[i] = T();
  return array;
}

}  // namespace

// ---------------------------------------------------------------------------
// Base.

ItlClDocumentOffsetMapper::ItlClDocumentOffsetMapper(ItlClHitlist const& hits)
    : iv_rclSourceHits(hits),
      iv_clHitCursor(hits),
      iv_clMappedHits(hits.getCount()),
      iv_pusSource(nullptr),
      iv_uiSourceBytes(0),
      iv_pusSourceCurrent(nullptr) {}

ItlClDocumentOffsetMapper::~ItlClDocumentOffsetMapper() = default;

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

// ---------------------------------------------------------------------------
// TEXT.

ItlClDocumentOffsetMapperText::ItlClDocumentOffsetMapperText(
    ItlClHitlist const& hits)
    : ItlClDocumentOffsetMapper(hits) {
  for (; !iv_clHitCursor.isAtEnd(); iv_clHitCursor.next()) {
    ItlClHitinfo const& hit = iv_clHitCursor.current();
    iv_clMappedHits.add(ItlEnDocPartType_Text, hit.getOffset(),
                        hit.getLength());
  }
}

ItlClDocumentOffsetMapperText::~ItlClDocumentOffsetMapperText() = default;

// ---------------------------------------------------------------------------
// XML.

ItlClDocumentOffsetMapperXml::ItlClDocumentOffsetMapperXml(
    ItlClHitlist const& hits, ItlClFieldNameMap const& fieldNames,
    ItlClFieldNumSet const& selection)
    : ItlClDocumentOffsetMapper(hits),
      iv_rclFieldNames(fieldNames),
      iv_rclSelection(selection),
      iv_enPartType(ItlEnDocPartType_None),
      iv_bInEntity(false),
      iv_uiSourceByteIndex(0),
      iv_uiSourceCharOffset(0),
      iv_uiExtractedOffset(0),
      iv_bExcluded(0),
      iv_uiPrologCorrection(0),
      iv_usHighlightedLevel(0),
      iv_pucState(nullptr),
      iv_puiStart(nullptr),
      iv_puiEnd(nullptr),
      iv_puiType(nullptr),
      iv_uiFirstOpen(0) {
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

ItlClDocumentOffsetMapperXml::~ItlClDocumentOffsetMapperXml() {
  CosClMemoryManager::free(iv_pucState);
  CosClMemoryManager::free(iv_puiStart);
  CosClMemoryManager::free(iv_puiEnd);
  CosClMemoryManager::free(iv_puiType);
}

void ItlClDocumentOffsetMapperXml::startElement(unsigned int, unsigned int,
                                                char const*,
                                                char const* const*) {
  iv_enPartType = ItlEnDocPartType_ElementMarkup;
}

void ItlClDocumentOffsetMapperXml::endElement(unsigned int, unsigned int,
                                              char const*) {
  iv_enPartType = ItlEnDocPartType_None;
}

void ItlClDocumentOffsetMapperXml::characterData(unsigned int, unsigned int,
                                                 char const*, int) {
  iv_enPartType = ItlEnDocPartType_Text;
}

void ItlClDocumentOffsetMapperXml::comment(unsigned int, unsigned int,
                                           char const*) {
  iv_enPartType = ItlEnDocPartType_Comment;
}

void ItlClDocumentOffsetMapperXml::processingInstruction(unsigned int,
                                                         unsigned int,
                                                         char const*,
                                                         char const*) {
  iv_enPartType = ItlEnDocPartType_ProcessingInstruction;
}

void ItlClDocumentOffsetMapperXml::addDelimiter() { ++iv_uiExtractedOffset; }

bool ItlClDocumentOffsetMapperXml::recording() const {
  return iv_rclSelection.getCount() == 0 || iv_usHighlightedLevel != 0;
}

void ItlClDocumentOffsetMapperXml::proceedInSource(
    unsigned int sourceByteIndex) {
  if (sourceByteIndex == 0 || sourceByteIndex <= iv_uiSourceByteIndex) return;
  uint32_t step = sourceByteIndex - iv_uiSourceByteIndex;
  // Never past the buffer: the rest of the text is all there is.
  uint32_t done = static_cast<uint32_t>(iv_pusSourceCurrent - iv_pusSource) * 2;
  uint32_t left = iv_uiSourceBytes > done ? iv_uiSourceBytes - done : 0;
  if (step > left) step = left;
  step &= ~1u;
  iv_uiSourceCharOffset += getCharCount(iv_pusSourceCurrent, step);
  iv_pusSourceCurrent += step / 2;
  iv_uiSourceByteIndex = sourceByteIndex;
}

uint32_t ItlClDocumentOffsetMapperXml::constructChars(
    unsigned int sourceByteCount) const {
  uint32_t done = static_cast<uint32_t>(iv_pusSourceCurrent - iv_pusSource) * 2;
  uint32_t left = iv_uiSourceBytes > done ? iv_uiSourceBytes - done : 0;
  return getCharCount(iv_pusSourceCurrent,
                      sourceByteCount < left ? sourceByteCount : left);
}

void ItlClDocumentOffsetMapperXml::finishHit(uint32_t i, uint32_t end,
                                             ItlEnDocPartType type) {
  if (!recording()) {
    iv_pucState[i] = kDropped;
    return;
  }
  iv_pucState[i] = kDone;
  iv_puiEnd[i] = end > iv_puiStart[i] ? end : iv_puiStart[i];
  iv_puiType[i] = static_cast<uint32_t>(type);
}

void ItlClDocumentOffsetMapperXml::emitFinished() {
  uint32_t reached = iv_clHitCursor.getIndex();
  while (iv_uiFirstOpen < reached) {
    uint32_t i = iv_uiFirstOpen;
    if (iv_pucState[i] == kStarted) break;
    if (iv_pucState[i] == kDone) {
      uint32_t start = corrected(iv_puiStart[i]);
      uint32_t end = corrected(iv_puiEnd[i]);
      iv_clMappedHits.add(static_cast<ItlEnDocPartType>(iv_puiType[i]), start,
                          end - start);
    }
    ++iv_uiFirstOpen;
  }
}

void ItlClDocumentOffsetMapperXml::finishPass() {
  for (uint32_t i = iv_uiFirstOpen; i < iv_clHitCursor.getIndex(); ++i)
    if (iv_pucState[i] == kStarted) iv_pucState[i] = kDropped;
  emitFinished();
}

void ItlClDocumentOffsetMapperXml::processText(unsigned int sourceByteIndex,
                                               unsigned int sourceByteCount,
                                               unsigned short const* text,
                                               unsigned int textBytes) {
  if (iv_uiFirstOpen >= iv_rclSourceHits.getCount()) return;
  proceedInSource(sourceByteIndex);
  iv_bInEntity = iv_pusSourceCurrent != nullptr &&
                 iv_pusSourceCurrent < iv_pusSource + iv_uiSourceBytes / 2 &&
                 *iv_pusSourceCurrent == '&';
  if (iv_bExcluded) return;
  uint32_t n = getCharCount(text, textBytes);
  uint32_t t = iv_uiExtractedOffset;
  uint64_t limit = static_cast<uint64_t>(t) + n;
  uint32_t source = iv_uiSourceCharOffset;
  uint32_t whole = iv_bInEntity ? constructChars(sourceByteCount) : 0;
  // Where extracted offset x (t <= x <= t + n) lies in the source.
  auto place = [&](uint64_t x, bool isEnd) -> uint32_t {
    if (iv_bInEntity) return isEnd ? source + whole : source;
    return source + static_cast<uint32_t>(x > t ? x - t : 0);
  };

  // Hits started in earlier pieces that end in this one.
  for (uint32_t i = iv_uiFirstOpen; i < iv_clHitCursor.getIndex(); ++i) {
    if (iv_pucState[i] != kStarted) continue;
    ItlClHitinfo const& hit = iv_rclSourceHits.get(i);
    uint64_t end = static_cast<uint64_t>(hit.getOffset()) + hit.getLength();
    if (end <= limit) finishHit(i, place(end, true), ItlEnDocPartType_Text);
  }
  // Hits that start where no text was handed over (delimiters, excluded
  // text) are passed over.
  for (; !iv_clHitCursor.isAtEnd() && iv_clHitCursor.current().getOffset() < t;
       iv_clHitCursor.next())
    iv_pucState[iv_clHitCursor.getIndex()] = kDropped;
  // Hits that start here.
  for (; !iv_clHitCursor.isAtEnd() && iv_clHitCursor.current().getOffset() < limit;
       iv_clHitCursor.next()) {
    uint32_t i = iv_clHitCursor.getIndex();
    ItlClHitinfo const& hit = iv_clHitCursor.current();
    iv_pucState[i] = kStarted;
    iv_puiStart[i] = place(hit.getOffset(), false);
    uint64_t end = static_cast<uint64_t>(hit.getOffset()) + hit.getLength();
    if (end <= limit) finishHit(i, place(end, true), ItlEnDocPartType_Text);
  }
  iv_uiExtractedOffset = static_cast<uint32_t>(limit);
  emitFinished();
}

void ItlClDocumentOffsetMapperXml::processOther(unsigned int sourceByteIndex,
                                                unsigned int sourceByteCount,
                                                unsigned short const* text,
                                                unsigned int textBytes) {
  iv_bInEntity = false;
  if (iv_uiFirstOpen >= iv_rclSourceHits.getCount()) return;
  proceedInSource(sourceByteIndex);
  uint32_t n = getCharCount(text, textBytes);
  uint32_t t = iv_uiExtractedOffset;
  uint64_t limit = static_cast<uint64_t>(t) + n;
  uint32_t source = iv_uiSourceCharOffset;
  ItlEnDocPartType type = iv_enPartType;
  bool isComment = type == ItlEnDocPartType_Comment;
  uint32_t whole = isComment ? 0 : constructChars(sourceByteCount);
  // A comment's text follows its 4 opening characters "<!--"; other
  // constructs are highlighted whole.
  auto placeStart = [&](uint64_t x) -> uint32_t {
    return isComment ? source + 4 + static_cast<uint32_t>(x > t ? x - t : 0)
                     : source;
  };

  for (uint32_t i = iv_uiFirstOpen; i < iv_clHitCursor.getIndex(); ++i) {
    if (iv_pucState[i] != kStarted) continue;
    ItlClHitinfo const& hit = iv_rclSourceHits.get(i);
    uint64_t end = static_cast<uint64_t>(hit.getOffset()) + hit.getLength();
    if (end <= limit)
      finishHit(i, isComment ? placeStart(end) : source + whole, type);
  }
  for (; !iv_clHitCursor.isAtEnd() && iv_clHitCursor.current().getOffset() < t;
       iv_clHitCursor.next())
    iv_pucState[iv_clHitCursor.getIndex()] = kDropped;
  for (; !iv_clHitCursor.isAtEnd() && iv_clHitCursor.current().getOffset() < limit;
       iv_clHitCursor.next()) {
    uint32_t i = iv_clHitCursor.getIndex();
    ItlClHitinfo const& hit = iv_clHitCursor.current();
    iv_pucState[i] = kStarted;
    iv_puiStart[i] = placeStart(hit.getOffset());
    finishHit(i,
              isComment ? iv_puiStart[i] + hit.getLength() : source + whole,
              type);
  }
  iv_uiExtractedOffset = static_cast<uint32_t>(limit);
  emitFinished();
}

void ItlClDocumentOffsetMapperXml::startField(char const* name, bool exclude) {
  unsigned short number = 0;
  if (name != nullptr && name[0] != '\0') {
    iv_rclFieldNames.mapFieldNameToNumber(name, number);
    if (number == 1)
      ItlClException(ITL_SOURCE("source/itl_dl/itl_offset_mapper"),
                     ItlEnReasonCode_Map_name_not_found)
          .raise();
  }
  iv_clFieldStack.push(0, number, exclude);
  iv_bExcluded = exclude ? 1 : 0;
  if (iv_rclSelection.getCount() != 0 && iv_usHighlightedLevel == 0 &&
      number != 0 && iv_rclSelection.contains(number))
    iv_usHighlightedLevel = iv_clFieldStack.getDepth();
}

void ItlClDocumentOffsetMapperXml::endField() {
  if (iv_clFieldStack.getDepth() == 0) return;
  if (iv_clFieldStack.getDepth() == iv_usHighlightedLevel)
    iv_usHighlightedLevel = 0;
  iv_clFieldStack.pop();
  ItlClFieldStack::Entry const* top = iv_clFieldStack.top();
  iv_bExcluded = top != nullptr && top->exclude ? 1 : 0;
}
