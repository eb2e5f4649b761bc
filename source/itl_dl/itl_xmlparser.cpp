// itl_xmlparser.cpp: Expat's events of an XML document as fields,
// attributes, text and delimiters.
//
// The element path holds the root, one item per open element (memory
// manager, owned by the parser while on the path) and at most one local
// item of a callback (attribute, comment or processing instruction) at the
// tail, which the callback takes off again however it leaves. Every
// callback body runs through the Expat guard: an exception stops Expat and
// is rethrown by processDocument after the path is emptied and the Expat
// parser freed.
#include "itl_xmlparser.hpp"

#include <cstring>
#include <new>

#include "cos_memmgr.hpp"
#include "itl_cos_interface.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_document_offset_mapper.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_text_collector.hpp"
#include "itl_tldocument.hpp"
#include "itl_xmlmodel.hpp"

#define XMLP_AT ITL_SOURCE("source/itl_dl/itl_xmlparser")
#define XMLP_ORIGIN "source/itl_dl/itl_xmlparser:" COS_STRINGIFY(__LINE__)

namespace {

// "<?xml version="1.0"?> " in UTF-16, fed before a document without one.
char16_t const kProlog[] = u"<?xml version=\"1.0\"?> ";
static_assert(sizeof kProlog / 2 - 1 == ItlClParserXML::kPrologUnits,
              "prolog length");

constexpr unsigned kFirstWorkBufferSize = 1024;
constexpr unsigned kHeaderScanBytes = 512;
constexpr int kMessageContext = 1;

ItlClParserXML::EncodingRow const gs_castXMLEncodingMap[] = {
    {"ibm-737", 737},       {"737", 737},
    {"ibm-813", 813},       {"iso-8859-7", 813},
    {"Latin-1", 819},       {"ibm-819", 819},
    {"819", 819},           {"iso-8859-1", 819},
    {"ibm-850", 850},       {"850", 850},
    {"ibm-874", 874},       {"874", 874},
    {"ibm-912", 912},       {"912", 912},
    {"iso-8859-2", 912},    {"iso-8859-5", 915},
    {"ibm-915", 915},       {"915", 915},
    {"iso-8859-8i", 916},   {"ibm-916", 916},
    {"916", 916},           {"iso-8859-9", 920},
    {"ibm-920", 920},       {"920", 920},
    {"ibm-921", 921},       {"921", 921},
    {"ibm-922", 922},       {"922", 922},
    {"ibm-1046", 1046},     {"1046", 1046},
    {"ibm-1089", 1089},     {"1089", 1089},
    {"ibm-1124", 1124},     {"1124", 1124},
    {"ibm-1163", 1163},     {"1163", 1163},
    {"ibm-1208", 1208},     {"1208", 1208},
    {"utf8", 1208},         {"utf-8", 1208},
    {"utf_8", 1208},        {"UTF_8", 1208},
    {"UTF-8", 1208},        {"UTF8", 1208},
    {"ibm-1250", 1250},     {"1250", 1250},
    {"ibm-1251", 1251},     {"1251", 1251},
    {"ibm-1252", 1252},     {"1252", 1252},
    {"ibm-1253", 1253},     {"1253", 1253},
    {"ibm-1254", 1254},     {"1254", 1254},
    {"ibm-1255", 1255},     {"1255", 1255},
    {"ibm-1256", 1256},     {"1256", 1256},
    {"ibm-1258", 1258},     {"1258", 1258},
};
static_assert(sizeof gs_castXMLEncodingMap / sizeof gs_castXMLEncodingMap[0] ==
                  ItlClParserXML::kEncodingCount,
              "encoding table size");

bool isBlankUnit(unsigned short u) {
  return u == 0x20 || u == 0x09 || u == 0x0A || u == 0x0D;
}

ItlClXmlDocPathItem* newPathItem(ItlEnXmlDocPathItemKind kind,
                                 char const* label) {
  void* memory = CosClMemoryManager::allocate(sizeof(ItlClXmlDocPathItem));
  ItlClXmlDocPathItem* item = new (memory) ItlClXmlDocPathItem();
  item->setKind(kind);
  try {
    item->setLabel(label);
  } catch (...) {
    item->~ItlClXmlDocPathItem();
    CosClMemoryManager::free(memory);
    throw;
  }
  return item;
}

void deletePathItem(ItlClXmlDocPathItem* item) {
  item->~ItlClXmlDocPathItem();
  CosClMemoryManager::free(item);
}

bool isLocalKind(ItlEnXmlDocPathItemKind kind) {
  return kind != ItlEnXmlDocPathItemKind_Root &&
         kind != ItlEnXmlDocPathItemKind_Element;
}

// The C callbacks: Expat's user data is the parser.
extern "C" void itlXmlStartElement(void* user, XML_Char const* name,
                                   XML_Char const** attributes) {
  static_cast<ItlClParserXML*>(user)->startElement(name, attributes);
}
extern "C" void itlXmlEndElement(void* user, XML_Char const* name) {
  static_cast<ItlClParserXML*>(user)->endElement(name);
}
extern "C" void itlXmlCharacterData(void* user, XML_Char const* text,
                                    int length) {
  static_cast<ItlClParserXML*>(user)->characterData(text, length);
}
extern "C" void itlXmlProcessingInstruction(void* user, XML_Char const* target,
                                            XML_Char const* data) {
  static_cast<ItlClParserXML*>(user)->processingInstruction(target, data);
}
extern "C" void itlXmlComment(void* user, XML_Char const* text) {
  static_cast<ItlClParserXML*>(user)->comment(text);
}

}  // namespace

// A callback's own path item (attribute, comment, processing instruction):
// on the path for the callback's duration, taken off however it leaves.
class ItlClParserXML::LocalItem {
 public:
  LocalItem(ItlClXmlDocPath& path, ItlEnXmlDocPathItemKind kind,
            char const* label)
      : iv_rclPath(path) {
    iv_clItem.setKind(kind);
    iv_clItem.setLabel(label);
    iv_rclPath.enqueue(iv_clItem);
  }
  ~LocalItem() {
    if (iv_rclPath.getTail() == &iv_clItem) iv_rclPath.dequeue();
  }
  LocalItem(LocalItem const&) = delete;
  LocalItem& operator=(LocalItem const&) = delete;
  ItlClXmlDocPathItem& item() { return iv_clItem; }

 private:
  ItlClXmlDocPath& iv_rclPath;
  ItlClXmlDocPathItem iv_clItem;
};

ItlClParserXML::ItlClParserXML(ItlClErrorInfo& errorInfo,
                               ItlClDocumentModels const& models)
    : ItlClParserABase(errorInfo, models),
      iv_pclModel(nullptr),
      iv_pXmlParser(nullptr),
      iv_pusWorkBuffer(nullptr),
      iv_uiWorkBufferSize(0),
      iv_clConverter(CosClCCSID(CosClCCSID::CCSID_UTF8)),
      iv_bAttributeOpen(false) {}

ItlClParserXML::~ItlClParserXML() {
  deleteDocPathItemQueue();
  freeParser();
  CosClMemoryManager::free(iv_pusWorkBuffer);
}

ItlClParserXML::EncodingRow const* ItlClParserXML::getEncodingMap() {
  return gs_castXMLEncodingMap;
}

void ItlClParserXML::startDocument(ItlEnParserModus modus,
                                   ItlClTlDocument* document,
                                   ItlClTextCollector* collector,
                                   ItlClDocumentOffsetMapper* mapper,
                                   char const* modelName) {
  if (iv_pusWorkBuffer == nullptr) ensureWorkBuffer(kFirstWorkBufferSize);
  ItlClParserABase::startDocument(modus, document, collector, mapper,
                                  modelName);
  iv_bAttributeOpen = false;
  iv_pclModel = static_cast<ItlClXmlModel const*>(
      iv_rclDocumentModels.getDocumentModel(modelName,
                                            ItlEnDocumentFormat_Xml));
}

void ItlClParserXML::endDocument() {
  iv_pclModel = nullptr;
  ItlClParserABase::endDocument();
}

bool ItlClParserXML::hasProlog(unsigned short const* text, unsigned int units) {
  if (text == nullptr) return false;
  unsigned int i = 0;
  while (i < units && isBlankUnit(text[i])) ++i;
  static char const kDecl[] = "<?xml";
  if (units - i < 5) return false;
  for (unsigned int k = 0; k < 5; ++k)
    if (text[i + k] != static_cast<unsigned char>(kDecl[k])) return false;
  return true;
}

void ItlClParserXML::scanHeaderInformationCCSID(char const* data,
                                                unsigned int length,
                                                unsigned short& ccsid) {
  unsigned char const* u = reinterpret_cast<unsigned char const*>(data);
  if (data != nullptr && length >= 3 && u[0] == 0xEF && u[1] == 0xBB &&
      u[2] == 0xBF) {
    ccsid = 1208;
    return;
  }
  if (data != nullptr && length >= 2 &&
      ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) {
    ccsid = 1200;
    return;
  }
  char header[kHeaderScanBytes + 1];
  unsigned int n = length < kHeaderScanBytes ? length : kHeaderScanBytes;
  if (n != 0) std::memcpy(header, data, n);
  header[n] = '\0';
  char const* decl = std::strstr(header, "<?xml");
  char const* encoding = decl ? std::strstr(decl, "encoding") : nullptr;
  char const* close = std::strchr(header, '>');
  char const* q1 = encoding ? std::strchr(encoding, '"') : nullptr;
  char const* q2 = q1 ? std::strchr(q1 + 1, '"') : nullptr;
  if (close != nullptr && q2 != nullptr && encoding < close && q1 < close &&
      q1 + 1 < close) {
    size_t valueLength = static_cast<size_t>(q2 - q1 - 1);
    for (EncodingRow const& row : gs_castXMLEncodingMap) {
      if (std::strlen(row.name) == valueLength &&
          std::memcmp(row.name, q1 + 1, valueLength) == 0) {
        ccsid = row.ccsid;
        return;
      }
    }
  }
  ItlClParserABase::scanHeaderInformationCCSID(data, length, ccsid);
}

void ItlClParserXML::freeParser() {
  if (iv_pXmlParser != nullptr) {
    XML_ParserFree(iv_pXmlParser);
    iv_pXmlParser = nullptr;
  }
  iv_clGuard.setParser(nullptr);
}

void ItlClParserXML::deleteDocPathItemQueue() {
  while (ItlClXmlDocPathItem* item = iv_clPath.dequeue()) {
    if (!isLocalKind(item->getKind())) deletePathItem(item);
  }
}

void ItlClParserXML::processDocument(ItlClDocumentInputScanner& scanner) {
  freeParser();
  deleteDocPathItemQueue();
  iv_bAttributeOpen = false;
  iv_clPath.enqueue(*newPathItem(ItlEnXmlDocPathItemKind_Root, nullptr));

  iv_pXmlParser = itlExpatCreateParser("UTF-16");
  if (iv_pXmlParser == nullptr) {
    deleteDocPathItemQueue();
    ItlClException(XMLP_AT, ItlEnReasonCode_Xmlparser_can_not_create_expat,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Rollback)
        .raise();
  }
  iv_clGuard.setParser(iv_pXmlParser);
  XML_SetUserData(iv_pXmlParser, this);
  XML_SetElementHandler(iv_pXmlParser, itlXmlStartElement, itlXmlEndElement);
  XML_SetCharacterDataHandler(iv_pXmlParser, itlXmlCharacterData);
  XML_SetProcessingInstructionHandler(iv_pXmlParser,
                                      itlXmlProcessingInstruction);
  XML_SetCommentHandler(iv_pXmlParser, itlXmlComment);

  bool ok = true;
  try {
    unsigned int units = 0;
    unsigned short const* buffer = scanner.getNextBuffer(units);
    // A byte-order mark still heading the text is no character of it.
    if (buffer != nullptr && units != 0 && buffer[0] == 0xFEFF) {
      ++buffer;
      --units;
    }
    if (!hasProlog(buffer, units)) {
      ok = XML_Parse(iv_pXmlParser, reinterpret_cast<char const*>(kProlog),
                     static_cast<int>(kPrologUnits * 2),
                     XML_FALSE) != XML_STATUS_ERROR;
      iv_clGuard.rethrowIfFailed();
      if (iv_enModus == ItlEnParserModus_OffsetMapping &&
          iv_pclOffsetMapper != nullptr)
        iv_pclOffsetMapper->setPrologLength(kPrologUnits);
    }
    while (ok && buffer != nullptr && units != 0) {
      if (iv_enModus == ItlEnParserModus_OffsetMapping &&
          iv_pclOffsetMapper != nullptr)
        iv_pclOffsetMapper->setSourceBuffer(
            reinterpret_cast<char const*>(buffer), units * 2);
      ok = XML_Parse(iv_pXmlParser, reinterpret_cast<char const*>(buffer),
                     static_cast<int>(units * 2),
                     XML_FALSE) != XML_STATUS_ERROR;
      iv_clGuard.rethrowIfFailed();
      buffer = scanner.getNextBuffer(units);
    }
    if (ok) {
      ok = XML_Parse(iv_pXmlParser, "", 0, XML_TRUE) != XML_STATUS_ERROR;
      iv_clGuard.rethrowIfFailed();
    }
    if (!ok) {
      XML_Error code = XML_GetErrorCode(iv_pXmlParser);
      iv_rclErrorInfo.resetContext(nullptr);
      addContext(iv_pXmlParser);
      iv_rclErrorInfo.setError(XMLP_ORIGIN,
                               ItlClXmlPInterface::getItlReasonCodeForXmlPRc(code),
                               ItlClXmlPInterface::getItlReturnCodeForXmlP(code),
                               ItlClXmlPInterface::getItlActionForXmlP(code));
    }
  } catch (...) {
    deleteDocPathItemQueue();
    freeParser();
    iv_bAttributeOpen = false;
    throw;
  }
  deleteDocPathItemQueue();
  freeParser();
  iv_bAttributeOpen = false;
}

void ItlClParserXML::addContext(XML_Parser parser) {
  iv_rclErrorInfo.context(kMessageContext)
      << ": (" << XML_GetCurrentLineNumber(parser) << ","
      << XML_GetCurrentColumnNumber(parser) << ")";
}

unsigned int ItlClParserXML::byteIndex() const {
  return static_cast<unsigned int>(XML_GetCurrentByteIndex(iv_pXmlParser));
}

unsigned int ItlClParserXML::byteCount() const {
  return static_cast<unsigned int>(XML_GetCurrentByteCount(iv_pXmlParser));
}

void ItlClParserXML::ensureWorkBuffer(unsigned int bytes) {
  if (iv_pusWorkBuffer != nullptr && iv_uiWorkBufferSize >= bytes) return;
  void* grown = CosClMemoryManager::realloc(iv_pusWorkBuffer, bytes);
  iv_pusWorkBuffer = static_cast<unsigned short*>(grown);
  iv_uiWorkBufferSize = bytes;
}

unsigned int ItlClParserXML::convert(char const* text, unsigned int length) {
  // A UTF-8 byte never yields more than one UTF-16 unit.
  unsigned int need = 2 * length;
  if (need < 2) need = 2;
  ensureWorkBuffer(need);
  char const* source = text;
  unsigned int bytes = iv_clConverter.convertBytes(
      reinterpret_cast<char*>(iv_pusWorkBuffer), iv_uiWorkBufferSize, &source,
      length);
  if (iv_clConverter.getError().isError())
    ItlClCosInterface::handleCosError(XMLP_AT, iv_clConverter.getError());
  return bytes & ~1u;
}

void ItlClParserXML::startField(char const* name, bool exclude) {
  switch (iv_enModus) {
    case ItlEnParserModus_Index:
      iv_pclTlDocument->startField(name, exclude);
      break;
    case ItlEnParserModus_Highlight:
      iv_pclTextCollector->startField(name, exclude);
      break;
    case ItlEnParserModus_OffsetMapping:
      iv_pclOffsetMapper->startField(name, exclude);
      break;
    default:
      break;
  }
}

void ItlClParserXML::endField() {
  switch (iv_enModus) {
    case ItlEnParserModus_Index:
      iv_pclTlDocument->endField();
      break;
    case ItlEnParserModus_Highlight:
      iv_pclTextCollector->endField();
      break;
    case ItlEnParserModus_OffsetMapping:
      iv_pclOffsetMapper->endField();
      break;
    default:
      break;
  }
}

void ItlClParserXML::addDelimiter() {
  switch (iv_enModus) {
    case ItlEnParserModus_Index:
      iv_pclTlDocument->addDelimiter();
      break;
    case ItlEnParserModus_Highlight:
      iv_pclTextCollector->addDelimiter();
      break;
    case ItlEnParserModus_OffsetMapping:
      iv_pclOffsetMapper->addDelimiter();
      break;
    default:
      break;
  }
}

char const* ItlClParserXML::fieldNameForTail(bool& exclude) {
  exclude = false;
  if (iv_pclModel == nullptr) {
    iv_clPath.printPathToBuffer(reinterpret_cast<char*>(iv_pusWorkBuffer),
                                iv_uiWorkBufferSize);
    return reinterpret_cast<char const*>(iv_pusWorkBuffer);
  }
  ItlClXmlModelItem const* item = iv_pclModel->getMatchingItem(iv_clPath, true);
  if (item == nullptr) return nullptr;
  exclude = item->isExcluded();
  char const* name = iv_pclModel->expandItemName(*item, iv_clPath);
  // An empty name ("$(NAME)" on a comment) makes no field.
  return name != nullptr && *name != '\0' ? name : nullptr;
}

void ItlClParserXML::startAttributeForTail(ItlClXmlDocPathItem& pathItem) {
  if (iv_pclModel == nullptr) return;
  ItlClXmlModelItem const* item =
      iv_pclModel->getMatchingItem(iv_clPath, false);
  if (item == nullptr) return;
  char const* name = iv_pclModel->expandItemName(*item, iv_clPath);
  if (name == nullptr || *name == '\0') return;
  if (iv_bAttributeOpen) {
    iv_rclErrorInfo.resetContext(name);
    iv_rclErrorInfo.setError(XMLP_ORIGIN,
                             ItlEnReasonCode_Docmodel_nested_attributes,
                             ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
    return;
  }
  if (iv_enModus == ItlEnParserModus_Index)
    iv_pclTlDocument->startAttribute(name, item->getType(), false);
  pathItem.setAttributeStarted(true);
  iv_bAttributeOpen = true;
}

void ItlClParserXML::startElement(char const* name, char const** attributes) {
  iv_clGuard.run([&] {
    if (iv_enModus == ItlEnParserModus_OffsetMapping)
      iv_pclOffsetMapper->startElement(byteIndex(), byteCount(), name,
                                       attributes);
    ItlClXmlDocPathItem* item =
        newPathItem(ItlEnXmlDocPathItemKind_Element, name);
    iv_clPath.enqueue(*item);

    bool exclude = false;
    if (char const* field = fieldNameForTail(exclude)) {
      startField(field, exclude);
      item->setFieldStarted(true);
    }
    addDelimiter();
    startAttributeForTail(*item);

    for (char const** a = attributes; a != nullptr && a[0] != nullptr;
         a += 2) {
      if (a[1] == nullptr || a[1][0] == '\0') continue;
      LocalItem local(iv_clPath, ItlEnXmlDocPathItemKind_Attribute, a[0]);
      insertTextOrAttribute(local.item(), a[1]);
    }
  });
}

void ItlClParserXML::insertTextOrAttribute(ItlClXmlDocPathItem& item,
                                           char const* text) {
  bool exclude = false;
  // The field brackets the text in every modus: the highlighter must skip
  // the text of an excluded field as the index does, and its field
  // selection must see the field.
  if (char const* field = fieldNameForTail(exclude)) {
    startField(field, exclude);
    item.setFieldStarted(true);
  }
  startAttributeForTail(item);
  addDelimiter();

  unsigned int bytes =
      convert(text, static_cast<unsigned int>(std::strlen(text)));
  switch (iv_enModus) {
    case ItlEnParserModus_Index:
      iv_pclTlDocument->addText(iv_pusWorkBuffer, bytes / 2);
      break;
    case ItlEnParserModus_Highlight:
      iv_pclTextCollector->addText(iv_pusWorkBuffer, bytes / 2);
      break;
    case ItlEnParserModus_OffsetMapping:
      iv_pclOffsetMapper->processOther(byteIndex(), byteCount(),
                                       iv_pusWorkBuffer, bytes);
      break;
    default:
      break;
  }
  addDelimiter();

  if (item.isAttributeStarted()) {
    if (iv_enModus == ItlEnParserModus_Index) iv_pclTlDocument->endAttribute();
    iv_bAttributeOpen = false;
    item.setAttributeStarted(false);
  }
  if (item.isFieldStarted()) {
    endField();
    item.setFieldStarted(false);
  }
}

void ItlClParserXML::endElement(char const* name) {
  iv_clGuard.run([&] {
    if (iv_enModus == ItlEnParserModus_OffsetMapping)
      iv_pclOffsetMapper->endElement(byteIndex(), byteCount(), name);
    // Only element items are on the path between callbacks, below the root.
    ItlClXmlDocPathItem const* tail = iv_clPath.getTail();
    if (tail == nullptr || tail->getKind() != ItlEnXmlDocPathItemKind_Element) {
      addDelimiter();
      return;
    }
    ItlClXmlDocPathItem* item = iv_clPath.dequeue();
    struct Free {
      ItlClXmlDocPathItem* item;
      ~Free() { deletePathItem(item); }
    } freeItem{item};
    if (item->isAttributeStarted()) {
      if (iv_enModus == ItlEnParserModus_Index)
        iv_pclTlDocument->endAttribute();
      iv_bAttributeOpen = false;
    }
    addDelimiter();
    if (item->isFieldStarted()) endField();
  });
}

void ItlClParserXML::characterData(char const* text, int length) {
  iv_clGuard.run([&] {
    if (length <= 0) return;
    unsigned int bytes = convert(text, static_cast<unsigned int>(length));
    switch (iv_enModus) {
      case ItlEnParserModus_Index:
        iv_pclTlDocument->addText(iv_pusWorkBuffer, bytes / 2);
        break;
      case ItlEnParserModus_Highlight:
        iv_pclTextCollector->addText(iv_pusWorkBuffer, bytes / 2);
        break;
      case ItlEnParserModus_OffsetMapping:
        iv_pclOffsetMapper->characterData(byteIndex(), byteCount(), text,
                                          length);
        iv_pclOffsetMapper->processText(byteIndex(), byteCount(),
                                        iv_pusWorkBuffer, bytes);
        break;
      default:
        break;
    }
  });
}

void ItlClParserXML::processingInstruction(char const* target,
                                           char const* data) {
  iv_clGuard.run([&] {
    if (data == nullptr || *data == '\0') return;
    if (iv_enModus == ItlEnParserModus_OffsetMapping)
      iv_pclOffsetMapper->processingInstruction(byteIndex(), byteCount(),
                                                target, data);
    LocalItem local(iv_clPath, ItlEnXmlDocPathItemKind_ProcessingInstruction,
                    target);
    insertTextOrAttribute(local.item(), data);
  });
}

void ItlClParserXML::comment(char const* text) {
  iv_clGuard.run([&] {
    if (text == nullptr || *text == '\0') return;
    if (iv_enModus == ItlEnParserModus_OffsetMapping)
      iv_pclOffsetMapper->comment(byteIndex(), byteCount(), text);
    LocalItem local(iv_clPath, ItlEnXmlDocPathItemKind_Comment, nullptr);
    insertTextOrAttribute(local.item(), text);
  });
}
