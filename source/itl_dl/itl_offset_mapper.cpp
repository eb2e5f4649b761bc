// itl_offset_mapper.cpp: the offset mappers of TEXT and XML documents; see
// itl_offset_mapper.hpp for what the parsers report and how each hit is
// placed.
//
// XML mapping keeps two counters in step with the parser: the byte index
// reached in the document's UTF-16 text (the prolog the parser fed ahead
// of it not counted) and the characters before it; the base keeps the
// extracted characters handed over so far and places the hits of each
// piece.
#include "itl_offset_mapper.hpp"

#include "itl_error.hpp"
#include "itl_field_num_set.hpp"
#include "itl_name_maps.hpp"

// ---------------------------------------------------------------------------
// TEXT.

ItlClDocumentOffsetMapperText::ItlClDocumentOffsetMapperText(
    ItlClHitlist const& hits)
    : ItlClDocumentOffsetMapper(hits), iv_uiSourceCharOffset(0) {}

ItlClDocumentOffsetMapperText::~ItlClDocumentOffsetMapperText() = default;

void ItlClDocumentOffsetMapperText::processText(unsigned int, unsigned int,
                                                unsigned short const* text,
                                                unsigned int textBytes) {
  if (text == nullptr) return;
  if (!allHandled())
    mapPiece(text, textBytes / 2, iv_uiSourceCharOffset, kInText, 0,
             ItlEnDocPartType_Text, true);
  iv_uiSourceCharOffset += getCharCount(text, textBytes);
}

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
      iv_bExcluded(0),
      iv_usHighlightedLevel(0) {}

ItlClDocumentOffsetMapperXml::~ItlClDocumentOffsetMapperXml() = default;

void ItlClDocumentOffsetMapperXml::startElement(unsigned int, unsigned int,
                                                char const*, char const**) {
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
  // Byte indexes count the prolog fed ahead of the source buffer.
  if (sourceByteIndex < iv_uiPrologBytes) return;
  uint32_t index = sourceByteIndex - iv_uiPrologBytes;
  if (index == 0 || index <= iv_uiSourceByteIndex) return;
  uint32_t step = index - iv_uiSourceByteIndex;
  // Never past the buffer: the rest of the text is all there is.
  uint32_t done = static_cast<uint32_t>(iv_pusSourceCurrent - iv_pusSource) * 2;
  uint32_t left = iv_uiSourceBytes > done ? iv_uiSourceBytes - done : 0;
  if (step > left) step = left;
  step &= ~1u;
  iv_uiSourceCharOffset += getCharCount(iv_pusSourceCurrent, step);
  iv_pusSourceCurrent += step / 2;
  iv_uiSourceByteIndex = index;
}

uint32_t ItlClDocumentOffsetMapperXml::constructChars(
    unsigned int sourceByteCount) const {
  uint32_t done = static_cast<uint32_t>(iv_pusSourceCurrent - iv_pusSource) * 2;
  uint32_t left = iv_uiSourceBytes > done ? iv_uiSourceBytes - done : 0;
  return getCharCount(iv_pusSourceCurrent,
                      sourceByteCount < left ? sourceByteCount : left);
}

void ItlClDocumentOffsetMapperXml::processText(unsigned int sourceByteIndex,
                                               unsigned int sourceByteCount,
                                               unsigned short const* text,
                                               unsigned int textBytes) {
  if (allHandled() || text == nullptr) return;
  proceedInSource(sourceByteIndex);
  iv_bInEntity = iv_pusSourceCurrent != nullptr &&
                 iv_pusSourceCurrent < iv_pusSource + iv_uiSourceBytes / 2 &&
                 *iv_pusSourceCurrent == '&';
  if (iv_bExcluded) return;
  if (iv_bInEntity)
    mapPiece(text, textBytes / 2, iv_uiSourceCharOffset, kWhole,
             constructChars(sourceByteCount), ItlEnDocPartType_Text, true);
  else
    mapPiece(text, textBytes / 2, iv_uiSourceCharOffset, kInText, 0,
             ItlEnDocPartType_Text, true);
}

void ItlClDocumentOffsetMapperXml::processOther(unsigned int sourceByteIndex,
                                                unsigned int sourceByteCount,
                                                unsigned short const* text,
                                                unsigned int textBytes) {
  iv_bInEntity = false;
  if (allHandled() || text == nullptr) return;
  proceedInSource(sourceByteIndex);
  // Text inside an excluded field is collected nowhere, like the index.
  if (iv_bExcluded) return;
  ItlEnDocPartType type = iv_enPartType;
  if (type == ItlEnDocPartType_Comment)
    mapPiece(text, textBytes / 2, iv_uiSourceCharOffset, kInComment, 0, type,
             false);
  else
    mapPiece(text, textBytes / 2, iv_uiSourceCharOffset, kWhole,
             constructChars(sourceByteCount), type, false);
}

void ItlClDocumentOffsetMapperXml::startField(char const* name, bool exclude) {
  unsigned short number = 0;
  if (name != nullptr && name[0] != '\0') {
    iv_rclFieldNames.mapFieldNameToNumber(name, number);
    if (number == 1) {
      ItlClException e(ITL_SOURCE("source/itl_dl/itl_offset_mapper"),
                       ItlEnReasonCode_Map_name_not_found);
      e.context(78) << ": " << name;
      e.raise();
    }
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
