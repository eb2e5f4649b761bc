// itl_htmlparser.cpp: the HTML parser (see the header).
#include "itl_htmlparser.hpp"

#include <cstring>

#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_html_entity_table.hpp"
#include "itl_html_tag_table.hpp"
#include "itl_htmlmodel.hpp"
#include "itl_tldocument.hpp"

#define ITL_HTMLP_ORIGIN \
  "source/itl_dl/itl_htmlparser:" COS_STRINGIFY(__LINE__)

namespace {

constexpr int kMsgEntity = 22;
constexpr unsigned short kReplacement = 0xFFFD;

inline bool isBlank(unsigned short c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
inline bool isQuote(unsigned short c) { return c == '"' || c == '\''; }
inline bool isHigh(unsigned short c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool isLow(unsigned short c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

ItlStHtmlEncoding const castHTMLEncodingMap[5] = {
    {"iso-8859-1", "\x89\xA2\x96\x60\xF8\xF8\xF5\xF9\x60\xF1", 819},
    {"iso-8859-2", "\x89\xA2\x96\x60\xF8\xF8\xF5\xF9\x60\xF2", 912},
    {"iso-8859-5", "\x89\xA2\x96\x60\xF8\xF8\xF5\xF9\x60\xF5", 915},
    {"iso-8859-6", "\x89\xA2\x96\x60\xF8\xF8\xF5\xF9\x60\xF6", 1089},
    {"iso-8859-7", "\x89\xA2\x96\x60\xF8\xF8\xF5\xF9\x60\xF7", 813},
};

ItlStHtmlEntityMapEntry const* ItlClHtmlEntityTable::lookup(
    unsigned short const* reference, unsigned int length) {
  if (length > 16) return nullptr;
  ItlStHtmlEntityMapEntry const* rows = getRows();
  unsigned lo = 0, hi = kRowCount;
  while (lo < hi) {
    unsigned mid = (lo + hi) / 2;
    char16_t const* name = rows[mid].name;
    int cmp = 0;
    for (unsigned i = 0; i < 16; ++i) {
      unsigned a = i < length ? reference[i] : 0;
      unsigned b = name[i];
      if (a != b) {
        cmp = a < b ? -1 : 1;
        break;
      }
      if (a == 0) break;
    }
    if (cmp == 0) return &rows[mid];
    if (cmp < 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  return nullptr;
}

ItlClParserHTML::ItlClParserHTML(ItlClErrorInfo& errorInfo,
                                 ItlClDocumentModels const& models)
    : ItlClParserABase(errorInfo, models),
      iv_uiState(TEXT),
      iv_bFieldOpen(false),
      iv_bAttributeOpen(false),
      iv_pclModel(nullptr),
      iv_ausTag(),
      iv_uiTagLength(0),
      iv_ausMeta(),
      iv_uiMetaLength(0),
      iv_ausEntity(),
      iv_uiEntityLength(0) {}

ItlClParserHTML::~ItlClParserHTML() = default;

bool ItlClParserHTML::isHTMLFieldTag(unsigned short const* name) {
  return ItlClHtmlTagTable::isHTMLFieldTag(name);
}

void ItlClParserHTML::startDocument(ItlEnParserModus modus,
                                    ItlClTlDocument* document,
                                    ItlClTextCollector* collector,
                                    ItlClDocumentOffsetMapper* mapper,
                                    char const* modelName) {
  ItlClParserABase::startDocument(modus, document, collector, mapper,
                                  modelName);
  iv_pclModel = static_cast<ItlClHtmlModel const*>(
      iv_rclDocumentModels.getDocumentModel(modelName,
                                            ItlEnDocumentFormat_Html));
  iv_uiState = TEXT;
  iv_bFieldOpen = iv_bAttributeOpen = false;
  iv_uiTagLength = iv_uiMetaLength = iv_uiEntityLength = 0;
}

void ItlClParserHTML::endDocument() {
  iv_pclModel = nullptr;
  ItlClParserABase::endDocument();
}

void ItlClParserHTML::addText(unsigned short const* text, unsigned int units) {
  if (units != 0) iv_pclTlDocument->addText(text, units);
}

void ItlClParserHTML::warn(char const* origin, int reason,
                           unsigned short const* text, unsigned int units) {
  iv_rclErrorInfo.resetContext(nullptr);
  if (text != nullptr) {
    char value[64];
    unsigned n = 0;
    for (unsigned i = 0; i < units && n + 1 < sizeof value; ++i)
      value[n++] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    value[n] = 0;
    iv_rclErrorInfo.context(kMsgEntity) << ": " << value;
  }
  iv_rclErrorInfo.setError(origin, static_cast<ItlEnReasonCode>(reason),
                           ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
}

void ItlClParserHTML::closeFieldAndAttribute() {
  if (iv_bFieldOpen) {
    iv_pclTlDocument->endField();
    iv_bFieldOpen = false;
  }
  if (iv_bAttributeOpen) {
    iv_pclTlDocument->endAttribute();
    iv_bAttributeOpen = false;
  }
}

// ---------------------------------------------------------------------------
// The pass over the text.

void ItlClParserHTML::processDocument(ItlClDocumentInputScanner& scanner) {
  unsigned int length = 0;
  unsigned short const* text = scanner.getNextBuffer(length);
  // Only indexing produces anything; other modes read the text and stop.
  if (text == nullptr || iv_enModus != ItlEnParserModus_Index) return;
  unsigned short const* const end = text + length;
  unsigned short const* p = text;
  while (p < end) {
    if (iv_uiState == TEXT) {
      if (*p == '<') {
        iv_ausTag[0] = '<';
        iv_uiTagLength = 1;
        iv_uiState = TAG;
        ++p;
      } else if (*p == '&') {
        iv_ausEntity[0] = '&';
        iv_uiEntityLength = 1;
        iv_uiState = ENTITY;
        ++p;
      } else {
        unsigned short const* run = p;
        while (p < end && *p != '<' && *p != '&') ++p;
        addText(run, static_cast<unsigned>(p - run));
      }
      continue;
    }
    // One character: a surrogate pair only when both halves are there.
    unsigned int n = (isHigh(*p) && p + 1 < end && isLow(p[1])) ? 2 : 1;
    unsigned short c = *p;
    if (iv_uiState == TAG) {
      if (n == 2 || iv_uiTagLength >= kTagMax) {
        addText(iv_ausTag, iv_uiTagLength);
        addText(p, n);
        iv_uiTagLength = 0;
        iv_uiState = TEXT;
      } else if (c == ' ' && iv_uiTagLength == 5 &&
                 (std::memcmp(iv_ausTag + 1, u"meta", 8) == 0 ||
                  std::memcmp(iv_ausTag + 1, u"META", 8) == 0)) {
        iv_uiMetaLength = 0;
        iv_uiState = META;
      } else if (c == '>') {
        iv_ausTag[iv_uiTagLength++] = c;
        iv_ausTag[iv_uiTagLength] = 0;
        iv_uiState = TEXT;
        unsigned int tagLength = iv_uiTagLength;
        iv_uiTagLength = 0;
        actionOnTag(iv_ausTag, tagLength);
      } else {
        iv_ausTag[iv_uiTagLength++] = c;
      }
    } else if (iv_uiState == META) {
      if (iv_uiMetaLength + n > kMetaMax) {
        addText(iv_ausTag, iv_uiTagLength);
        iv_pclTlDocument->addDelimiter();
        addText(iv_ausMeta, iv_uiMetaLength);
        addText(p, n);
        iv_uiTagLength = iv_uiMetaLength = 0;
        iv_uiState = TEXT;
      } else if (c == '>') {
        iv_ausMeta[iv_uiMetaLength] = 0;
        unsigned int metaLength = iv_uiMetaLength;
        iv_uiTagLength = iv_uiMetaLength = 0;
        iv_uiState = TEXT;
        actionOnMeta(iv_ausMeta, metaLength);
      } else {
        for (unsigned i = 0; i < n; ++i) iv_ausMeta[iv_uiMetaLength++] = p[i];
      }
    } else {  // ENTITY
      if (c == '<') {
        // A bare "&" never swallows a tag.
        addText(iv_ausEntity, iv_uiEntityLength);
        iv_uiEntityLength = 0;
        iv_ausTag[0] = '<';
        iv_uiTagLength = 1;
        iv_uiState = TAG;
      } else if (n == 2 || iv_uiEntityLength >= kEntityMax) {
        addText(iv_ausEntity, iv_uiEntityLength);
        addText(p, n);
        iv_uiEntityLength = 0;
        iv_uiState = TEXT;
      } else if (c == ';') {
        iv_ausEntity[iv_uiEntityLength++] = c;
        unsigned int entityLength = iv_uiEntityLength;
        iv_uiEntityLength = 0;
        iv_uiState = TEXT;
        actionOnEntity(iv_ausEntity, entityLength);
      } else {
        iv_ausEntity[iv_uiEntityLength++] = c;
      }
    }
    p += n;
  }
  flushOpenConstruct();
}

void ItlClParserHTML::flushOpenConstruct() {
  switch (iv_uiState) {
    case TAG:
      addText(iv_ausTag, iv_uiTagLength);
      break;
    case META:
      addText(iv_ausTag, iv_uiTagLength);
      iv_pclTlDocument->addDelimiter();
      addText(iv_ausMeta, iv_uiMetaLength);
      break;
    case ENTITY:
      addText(iv_ausEntity, iv_uiEntityLength);
      break;
    default:
      break;
  }
  iv_uiTagLength = iv_uiMetaLength = iv_uiEntityLength = 0;
  iv_uiState = TEXT;
}

// ---------------------------------------------------------------------------
// Tags.

void ItlClParserHTML::actionOnTag(unsigned short const* tag,
                                  unsigned int length) {
  if (length < 3) {
    addText(tag, length);
    return;
  }
  unsigned short name[ItlClParserHTML::kTagMax + 1];
  unsigned int from = 1;
  unsigned int to = length - 1;  // ">" excluded
  bool isEnd = tag[from] == '/';
  if (isEnd) ++from;
  while (from < to && isBlank(tag[from])) ++from;
  unsigned int n = 0;
  while (from + n < to && !isBlank(tag[from + n])) {
    unsigned short c = tag[from + n];
    name[n++] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned short>(c + 32) : c;
  }
  name[n] = 0;
  ItlStHtmlTagMapEntry const* row = ItlClHtmlTagTable::lookup(name, n);
  if (row == nullptr) return;  // unknown tags vanish
  if (row->boundary == 1 && !isEnd) closeFieldAndAttribute();
  switch (row->action) {
    case ItlClHtmlTagTable::ACTION_WHITESPACE:
      iv_pclTlDocument->addDelimiter();
      break;
    case ItlClHtmlTagTable::ACTION_PARAGRAPH:
      iv_pclTlDocument->nextSegment(1);
      break;
    case ItlClHtmlTagTable::ACTION_FIELD:
      iv_pclTlDocument->addDelimiter();
      closeFieldAndAttribute();
      if (isEnd) break;
      if (iv_pclModel == nullptr) {
        char ascii[16];
        for (unsigned i = 0; i <= n && i < sizeof ascii; ++i)
          ascii[i] = static_cast<char>(name[i]);
        ascii[sizeof ascii - 1] = 0;
        iv_pclTlDocument->startField(ascii, false);
        iv_bFieldOpen = true;
      } else {
        ItlClHtmlModelItem const* field =
            iv_pclModel->getMatchingItem(name, n, true);
        if (field != nullptr && field->getName() != nullptr) {
          iv_pclTlDocument->startField(field->getName(), field->isExcluded());
          iv_bFieldOpen = true;
        }
        ItlClHtmlModelItem const* attribute =
            iv_pclModel->getMatchingItem(name, n, false);
        if (attribute != nullptr && attribute->getName() != nullptr) {
          iv_pclTlDocument->startAttribute(attribute->getName(),
                                           attribute->getType(), false);
          iv_bAttributeOpen = true;
        }
      }
      break;
    case ItlClHtmlTagTable::ACTION_DELETE:
      iv_pclTlDocument->addDelimiter();
      if (isEnd) {
        if (iv_bFieldOpen) {
          iv_pclTlDocument->endField();
          iv_bFieldOpen = false;
        }
      } else {
        iv_pclTlDocument->startField("", true);
        iv_bFieldOpen = true;
      }
      break;
    default:  // removed
      break;
  }
}

// ---------------------------------------------------------------------------
// META statements.

void ItlClParserHTML::actionOnMeta(unsigned short const* text,
                                   unsigned int length) {
  for (unsigned i = 0; i < length; ++i) {
    if (text[i] == 0) {
      addText(text, i);
      return;
    }
  }
  unsigned i = 0;
  // The first attribute's value is the name, the second's the content.
  unsigned short const* value[2] = {nullptr, nullptr};
  unsigned int valueLength[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    while (i < length && text[i] != '=') ++i;  // states 0 and 4
    if (i == length) break;
    ++i;
    while (i < length && isBlank(text[i])) ++i;  // states 1 and 5
    if (i == length) break;
    unsigned start;
    if (isQuote(text[i])) {  // states 2 and 6
      start = ++i;
      while (i < length && !isQuote(text[i])) ++i;
      if (i == length) break;
      value[k] = text + start;
      valueLength[k] = i - start;
      ++i;
    } else {  // states 3 and 7
      start = i;
      while (i < length && !isBlank(text[i])) ++i;
      if (i == length && k == 0) break;  // a name at the end: no content
      value[k] = text + start;
      valueLength[k] = i - start;
    }
  }
  if (value[1] == nullptr) {
    warn(ITL_HTMLP_ORIGIN, ItlEnReasonCode_Htmlparser_invalid_meta_statement,
         nullptr, 0);
    return;
  }
  storeMetaText(value[0], valueLength[0], value[1], valueLength[1]);
}

void ItlClParserHTML::storeMetaText(unsigned short const* name,
                                    unsigned int nameLength,
                                    unsigned short const* content,
                                    unsigned int contentLength) {
  if (iv_pclModel == nullptr) {
    addText(name, nameLength);
    iv_pclTlDocument->addDelimiter();
    addText(content, contentLength);
    iv_pclTlDocument->addDelimiter();
    return;
  }
  if (nameLength > 1024)
    warn(ITL_HTMLP_ORIGIN, ItlEnReasonCode_Docmodel_tag_too_long, name, 16);
  ItlClHtmlModelItem const* field =
      iv_pclModel->getMatchingMetaItem(name, nameLength, true);
  if (field != nullptr && field->getName() != nullptr) {
    iv_pclTlDocument->startField(field->getName(), field->isExcluded());
    iv_bFieldOpen = true;
  }
  ItlClHtmlModelItem const* attribute =
      iv_pclModel->getMatchingMetaItem(name, nameLength, false);
  if (attribute != nullptr && attribute->getName() != nullptr) {
    iv_pclTlDocument->startAttribute(attribute->getName(), attribute->getType(),
                                     false);
    iv_bAttributeOpen = true;
  }
  // The content with its references resolved.
  unsigned int emitted = 0;  // first unit not yet passed on
  unsigned int i = 0;
  while (i < contentLength) {
    if (content[i] != '&') {
      ++i;
      continue;
    }
    unsigned int amp = i;
    unsigned int j = i + 1;
    while (j < contentLength && content[j] != ';' && j - amp + 1 < kEntityMax)
      ++j;
    if (j < contentLength && content[j] == ';') {
      addText(content + emitted, amp - emitted);
      actionOnEntity(content + amp, j - amp + 1);
      emitted = i = j + 1;
    } else if (j < contentLength) {
      // Seventeen units without ";": passed on as written.
      addText(content + emitted, j + 1 - emitted);
      emitted = i = j + 1;
    } else {
      break;
    }
  }
  addText(content + emitted, contentLength - emitted);
  iv_pclTlDocument->addDelimiter();
  closeFieldAndAttribute();
}

// ---------------------------------------------------------------------------
// Entity references.

void ItlClParserHTML::actionOnEntity(unsigned short const* reference,
                                     unsigned int length) {
  for (unsigned i = 0; i < length; ++i) {
    if (reference[i] == 0) {
      addText(reference, i);
      return;
    }
  }
  if (length < 2 || reference[1] != '#') {
    ItlStHtmlEntityMapEntry const* row =
        ItlClHtmlEntityTable::lookup(reference, length);
    if (row != nullptr) {
      unsigned short unit = row->value;
      addText(&unit, 1);
      return;
    }
    warn(ITL_HTMLP_ORIGIN, ItlEnReasonCode_Htmlparser_undefined_entity,
         reference, length < 16 ? length : 16);
    addText(reference, length);
    return;
  }
  uint32_t value = 0;
  for (unsigned i = 2; i < length && reference[i] != ';'; ++i) {
    unsigned short c = reference[i];
    if (c < '0' || c > '9') {
      warn(ITL_HTMLP_ORIGIN, ItlEnReasonCode_Htmlparser_undefined_entity,
           reference + 2, i - 1);
      value = 0;
      break;
    }
    value = value * 10 + (c - '0');
    if (value > 0x110000) value = 0x110000;  // beyond Unicode: stays beyond
  }
  if (value == 0) {
    addText(reference, length);
  } else if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    addText(&kReplacement, 1);
  } else if (value > 0xFFFF) {
    unsigned short pair[2] = {
        static_cast<unsigned short>(0xD800 + ((value - 0x10000) >> 10)),
        static_cast<unsigned short>(0xDC00 + ((value - 0x10000) & 0x3FF))};
    addText(pair, 2);
  } else {
    unsigned short unit = static_cast<unsigned short>(value);
    addText(&unit, 1);
  }
}

// ---------------------------------------------------------------------------
// The charset of a META statement in the first bytes.

namespace {

// The CCSID named after "charset=" in the first "<meta" of `buffer`, or 0.
// `charset` and the marks are in the scan's code page.
unsigned short scanCharset(char* buffer, char const* meta, char const* charset,
                           char gt, char quote, bool ebcdic) {
  char* at = std::strstr(buffer, meta);
  if (at == nullptr) return 0;
  char* close = std::strchr(at, gt);
  if (close == nullptr) return 0;
  if (close > at && close[-1] == quote) --close;
  *close = 0;
  char* cs = std::strstr(at, charset);
  if (cs == nullptr) return 0;
  cs += std::strlen(charset);
  for (ItlStHtmlEncoding const& row : castHTMLEncodingMap)
    if (std::strcmp(cs, ebcdic ? row.ebcdic : row.ascii) == 0) return row.ccsid;
  return 0;
}

}  // namespace

void ItlClParserHTML::scanHeaderInformationCCSID(char const* data,
                                                 unsigned int length,
                                                 unsigned short& ccsid) {
  char buffer[kHeaderScan + 1];
  unsigned n = length < kHeaderScan ? length : kHeaderScan;
  if (n != 0) std::memcpy(buffer, data, n);
  buffer[n] = 0;
  unsigned short found = 0;
  if (std::strstr(buffer, "<meta") != nullptr) {
    found = scanCharset(buffer, "<meta", "charset=", '>', '"', false);
  } else {
    // "<meta" and "charset=" in CCSID 500.
    found = scanCharset(buffer, "\x4C\x94\x85\xA3\x81",
                        "\x83\x88\x81\x99\xA2\x85\xA3\x7E", '\x6E', '\x7F',
                        true);
  }
  if (found != 0) {
    ccsid = found;
    return;
  }
  ItlClParserABase::scanHeaderInformationCCSID(data, length, ccsid);
}
