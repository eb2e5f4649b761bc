// itl_insoparser.cpp: documents through the document-filter libraries.
//
// The filter reads the document through the redirected-input record, whose
// callbacks reach this parser through the record's owner; positions are
// computed as offsets and clamped to the document, so no pointer outside
// it is ever formed. A content element's data size comes from the filter
// and is capped at the content buffer. Whatever leaves the read loop
// (a filter status or an exception of the text document) closes the
// content and the document in the filter first.
#include "itl_insoparser.hpp"

#include <cstring>
#include <string>

#include "cos_memmgr.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_insomodel.hpp"
#include "itl_tl_index_port.hpp"
#include "itl_tldocument.hpp"

#define INSO_AT ITL_SOURCE("source/itl_dl/itl_insoparser")
#define INSO_ORIGIN "source/itl_dl/itl_insoparser:" COS_STRINGIFY(__LINE__)

namespace {

constexpr unsigned kTagIndexSize = 100;
constexpr uint32_t kLastDocumentProperty = 62;
constexpr uint32_t kUnknownProperty = 63;
constexpr int kMessageFileName = 3;

struct StatusName {
  int32_t status;
  char const* name;
};

StatusName const gs_statusNames[] = {
    {0, "DAERR_OK"},           {2, "DAERR_FILTERLOADFAILED"},
    {4, "DAERR_FILTERNOTAVAIL"}, {7, "DAERR_FILEOPENFAILED"},
    {9, "DAERR_BADFILE"},      {10, "DAERR_EMPTYFILE"},
    {11, "DAERR_PROTECTEDFILE"}, {12, "DAERR_SUPFILEOPENFAILS"},
    {15, "DAERR_BADPARAM"},    {18, "DAERR_UNKNOWN"},
    {30, "DAERR_MEMORY"},      {31, "DAERR_EOF"},
    {32, "DAERR_ABORT"},       {33, "DAERR_CHARMAPFAILED"},
    {34, "DAERR_FILECREATE"},  {35, "DAERR_MORE"},
};

std::string libraryName(char const* directory, char const* bare) {
  if (directory == nullptr || *directory == '\0') return bare;
  std::string name = directory;
  if (name.back() != '/') name += '/';
  return name + bare;
}

ItlClParserINSO* ownerOf(void* record) {
  if (record == nullptr) return nullptr;
  return static_cast<ItlClParserINSO*>(
      static_cast<ItlStINSORedirectedIO*>(record)->pOwner);
}

}  // namespace

// ---------------------------------------------------------------------------
// ItlClActiveINSOTagStack

ItlClActiveINSOTagStack::Entry& ItlClActiveINSOTagStack::push(
    _ItlStINSOTagInfo const* row, uint16_t depth) {
  if (iv_usCount >= kMaxEntries)
    ItlClException(INSO_AT, ItlEnReasonCode_Stackoverflow).raise();
  Entry& e = iv_astEntries[iv_usCount++];
  e.row = row;
  e.depth = depth;
  e.fieldStarted = 0;
  e.attributeStarted = 0;
  return e;
}

// ---------------------------------------------------------------------------
// The redirected-input callbacks

extern "C" int32_t itlINSOIORead(void* record, uint8_t* buffer, uint32_t size,
                                 uint32_t* count) {
  ItlClParserINSO* p = ownerOf(record);
  if (p == nullptr || buffer == nullptr || count == nullptr)
    return ITL_INSO_IOERR_BADPARAM;
  *count = 0;
  if (p->iv_pucReadPosition == nullptr ||
      p->iv_pucReadPosition >= p->iv_pucEnd)
    return ITL_INSO_IOERR_EOF;
  size_t left = static_cast<size_t>(p->iv_pucEnd - p->iv_pucReadPosition);
  size_t n = size < left ? size : left;
  std::memcpy(buffer, p->iv_pucReadPosition, n);
  p->iv_pucReadPosition += n;
  *count = static_cast<uint32_t>(n);
  return ITL_INSO_IOERR_OK;
}

extern "C" int32_t itlINSOIOWrite(void*, uint8_t*, uint32_t, uint32_t*) {
  return ITL_INSO_IOERR_OK;
}

extern "C" int32_t itlINSOIOSeek(void* record, uint16_t origin,
                                 int32_t offset) {
  ItlClParserINSO* p = ownerOf(record);
  if (p == nullptr || origin > 2) return ITL_INSO_IOERR_BADPARAM;
  int64_t size = p->iv_pucStart ? p->iv_pucEnd - p->iv_pucStart : 0;
  int64_t here = p->iv_pucStart ? p->iv_pucReadPosition - p->iv_pucStart : 0;
  int64_t base = origin == 0 ? 0 : origin == 1 ? here : size;
  int64_t target = base + offset;
  if (target < 0) target = 0;
  if (target > size) target = size;
  if (p->iv_pucStart != nullptr) p->iv_pucReadPosition = p->iv_pucStart + target;
  return ITL_INSO_IOERR_OK;
}

extern "C" int32_t itlINSOIOTell(void* record, uint32_t* offset) {
  ItlClParserINSO* p = ownerOf(record);
  if (p == nullptr || offset == nullptr) return ITL_INSO_IOERR_BADPARAM;
  *offset = p->iv_pucStart
                ? static_cast<uint32_t>(p->iv_pucReadPosition - p->iv_pucStart)
                : 0;
  return ITL_INSO_IOERR_OK;
}

extern "C" int32_t itlINSOIOGetInfo(void* record, uint32_t id, void*) {
  if (ownerOf(record) == nullptr) return ITL_INSO_IOERR_BADPARAM;
  switch (id) {
    case 3: case 6: case 14: case 15: case 19:
      return ITL_INSO_IOERR_BADPARAM;
    case 4:
      return ITL_INSO_IOERR_UNKNOWNINFO;
    default:
      return ITL_INSO_IOERR_BADINFOID;
  }
}

extern "C" int32_t itlINSOIOClose(void* record) {
  if (record == nullptr) return ITL_INSO_IOERR_BADPARAM;
  if (ItlClParserINSO* p = ownerOf(record)) {
    p->iv_pucReadPosition = nullptr;
    p->iv_pucStart = nullptr;
    p->iv_pucEnd = nullptr;
  }
  return ITL_INSO_IOERR_OK;
}

// ---------------------------------------------------------------------------
// ItlClParserINSO

ItlClParserINSO::ItlClParserINSO(ItlClErrorInfo& errorInfo,
                                 char const* directory,
                                 ItlClDocumentModels const& models)
    : ItlClParserABase(errorInfo, models),
      iv_pucReadPosition(nullptr),
      iv_pucStart(nullptr),
      iv_pucEnd(nullptr),
      iv_pclModel(nullptr),
      iv_clContentAccess(
          CosClFilename(libraryName(directory, "libsc_ca").c_str())),
      iv_clDataAccess(CosClFilename(libraryName(directory, "libsc_da").c_str())),
      iv_pfnCAOpenContent(nullptr),
      iv_pfnCACloseContent(nullptr),
      iv_pfnCAReadFirst(nullptr),
      iv_pfnCAReadNext(nullptr),
      iv_pfnDAInit(nullptr),
      iv_pfnDADeInit(nullptr),
      iv_pfnDAOpenDocument(nullptr),
      iv_pfnDACloseDocument(nullptr),
      iv_pfnDASetOption(nullptr),
      iv_uiDocumentHandle(0),
      iv_uiContentHandle(0),
      iv_uiSpecType(ITL_INSO_SPEC_REDIRECTED_IO),
      iv_uiOpenFlags(0),
      iv_ppstTagIndex(nullptr),
      iv_iNestingDepth(0),
      iv_bInitialised(false) {
  std::memset(&iv_stRedirectedIO, 0, sizeof iv_stRedirectedIO);
  iv_stRedirectedIO.pfnClose = itlINSOIOClose;
  iv_stRedirectedIO.pfnRead = itlINSOIORead;
  iv_stRedirectedIO.pfnWrite = itlINSOIOWrite;
  iv_stRedirectedIO.pfnSeek = itlINSOIOSeek;
  iv_stRedirectedIO.pfnTell = itlINSOIOTell;
  iv_stRedirectedIO.pfnGetInfo = itlINSOIOGetInfo;
  iv_stRedirectedIO.pOwner = this;
}

ItlClParserINSO::~ItlClParserINSO() {
  if (iv_bInitialised && iv_pfnDADeInit != nullptr) {
    int32_t st = iv_pfnDADeInit();
    if (st != 0) {
      try {
        iv_rclErrorInfo.resetContext(mapInsoError(st));
        iv_rclErrorInfo.setError(INSO_ORIGIN, ItlEnReasonCode_INSO_error,
                                 ItlEnReturnCode_Warning,
                                 ItlEnErrorAction_Inform);
      } catch (...) {
        // The warning threshold may throw; a destructor does not.
      }
    }
  }
  CosClMemoryManager::free(iv_ppstTagIndex);
}

char const* ItlClParserINSO::mapInsoError(int32_t status) {
  for (StatusName const& s : gs_statusNames)
    if (s.status == status) return s.name;
  return "unknown INSO error";
}

void ItlClParserINSO::scanHeaderInformationCCSID(char const*, unsigned int,
                                                 unsigned short& ccsid) {
  ccsid = 1208;
}

void ItlClParserINSO::raiseInsoError(char const* origin, unsigned line,
                                     int32_t status) const {
  ItlClException e(origin, line, ItlEnReasonCode_INSO_error);
  e.resetContext(mapInsoError(status));
  e.raise();
}

void ItlClParserINSO::init() {
  // Only what the loader found counts: no separate test of the file.
  if (!iv_clContentAccess.isLoaded()) {
    ItlClException e(INSO_AT, ItlEnReasonCode_Unable_to_load_INSO_library);
    e.resetContext("libsc_ca");
    e.raise();
  }
  if (!iv_clDataAccess.isLoaded()) {
    ItlClException e(INSO_AT, ItlEnReasonCode_Unable_to_load_INSO_library);
    e.resetContext("libsc_da");
    e.raise();
  }
  struct Procedure {
    char const* name;
    void** slot;
  } const procedures[] = {
      {"CAOpenContent", reinterpret_cast<void**>(&iv_pfnCAOpenContent)},
      {"CACloseContent", reinterpret_cast<void**>(&iv_pfnCACloseContent)},
      {"CAReadFirst", reinterpret_cast<void**>(&iv_pfnCAReadFirst)},
      {"CAReadNext", reinterpret_cast<void**>(&iv_pfnCAReadNext)},
      {"DAInit", reinterpret_cast<void**>(&iv_pfnDAInit)},
      {"DADeInit", reinterpret_cast<void**>(&iv_pfnDADeInit)},
      {"DAOpenDocument", reinterpret_cast<void**>(&iv_pfnDAOpenDocument)},
      {"DACloseDocument", reinterpret_cast<void**>(&iv_pfnDACloseDocument)},
      {"DASetOption", reinterpret_cast<void**>(&iv_pfnDASetOption)},
  };
  for (Procedure const& p : procedures) {
    CosClDllProcLoaderFile const& lib =
        p.name[0] == 'C' ? iv_clContentAccess : iv_clDataAccess;
    *p.slot = lib.getProcedure(p.name);
    if (*p.slot == nullptr) {
      ItlClException e(INSO_AT, ItlEnReasonCode_Unable_to_load_procedure);
      std::string text = std::string(p.name) + "\n" +
                         gs_aszMessageStringTable[kMessageFileName] + ": " +
                         lib.getAsCString();
      e.resetContext(text.c_str());
      e.raise();
    }
  }
  int32_t st = iv_pfnDAInit();
  if (st == ITL_INSO_DAERR_MEMORY)
    ItlClException(INSO_AT, ItlEnReasonCode_Out_of_memory).raise();
  if (st != 0) raiseInsoError(INSO_AT, st);
  iv_bInitialised = true;

  if (iv_ppstTagIndex == nullptr) {
    iv_ppstTagIndex = static_cast<_ItlStINSOTagInfo const**>(
        CosClMemoryManager::allocate(kTagIndexSize * sizeof(void*)));
    std::memset(iv_ppstTagIndex, 0, kTagIndexSize * sizeof(void*));
    _ItlStINSOTagInfo const* rows = ItlClInsoTagTable::getRows();
    for (unsigned i = 0; i < ItlClInsoTagTable::kRowCount; ++i)
      if (rows[i].number < kTagIndexSize)
        iv_ppstTagIndex[rows[i].number] = &rows[i];
  }
}

void ItlClParserINSO::startDocument(ItlEnParserModus modus,
                                    ItlClTlDocument* document,
                                    ItlClTextCollector* collector,
                                    ItlClDocumentOffsetMapper* mapper,
                                    char const* modelName) {
  iv_clTagStack.clear();
  iv_iNestingDepth = 0;
  ItlClParserABase::startDocument(modus, document, collector, mapper,
                                  modelName);
  iv_pclModel = static_cast<ItlClInsoModel const*>(
      iv_rclDocumentModels.getDocumentModel(modelName,
                                            ItlEnDocumentFormat_Inso));
}

void ItlClParserINSO::processDocument(ItlClDocumentInputScanner& scanner) {
  // Only index modus has a consumer for what the filter delivers.
  if (iv_enModus != ItlEnParserModus_Index || iv_pclTlDocument == nullptr)
    return;
  unsigned int size = 0;
  uint8_t const* bytes = static_cast<uint8_t const*>(scanner.getInputBuffer(size));
  iv_pucStart = bytes;
  iv_pucReadPosition = bytes;
  iv_pucEnd = bytes != nullptr ? bytes + size : nullptr;
  iv_clTagStack.clear();
  iv_iNestingDepth = 0;

  int32_t st = iv_pfnDAOpenDocument(&iv_uiDocumentHandle, iv_uiSpecType,
                                    &iv_stRedirectedIO, iv_uiOpenFlags);
  if (st != 0) raiseInsoError(INSO_AT, st);

  bool contentOpen = false;
  try {
    uint32_t value = ITL_INSO_OPTION_FILTER_SETTINGS_VALUE;
    st = iv_pfnDASetOption(iv_uiDocumentHandle, ITL_INSO_OPTION_FILTER_SETTINGS,
                           &value, 4);
    if (st != 0) raiseInsoError(INSO_AT, st);
    value = static_cast<uint32_t>(
        iv_pclTlDocument->getPort().getFormatConverterFallbackFormat());
    st = iv_pfnDASetOption(iv_uiDocumentHandle, ITL_INSO_OPTION_FALLBACK_FORMAT,
                           &value, 4);
    if (st != 0) raiseInsoError(INSO_AT, st);
    st = iv_pfnCAOpenContent(iv_uiDocumentHandle, &iv_uiContentHandle);
    if (st != 0) raiseInsoError(INSO_AT, st);
    contentOpen = true;

    ItlStINSOContentElement element;
    std::memset(&element, 0, sizeof element);
    element.uiSize = sizeof element;
    element.uiBufferSize = ITL_INSO_CONTENT_BUFFER_SIZE;
    element.pData = iv_ausContentBuffer;
    st = iv_pfnCAReadFirst(iv_uiContentHandle, &element);
    while (st == 0) {
      handleElement(element);
      st = iv_pfnCAReadNext(iv_uiContentHandle, &element);
    }
    contentOpen = false;
    iv_pfnCACloseContent(iv_uiContentHandle);
    if (st != ITL_INSO_DAERR_EOF) raiseInsoError(INSO_AT, st);
  } catch (...) {
    if (contentOpen) iv_pfnCACloseContent(iv_uiContentHandle);
    iv_pfnDACloseDocument(iv_uiDocumentHandle);
    iv_pucStart = iv_pucReadPosition = iv_pucEnd = nullptr;
    throw;
  }
  iv_pucStart = iv_pucReadPosition = iv_pucEnd = nullptr;
  st = iv_pfnDACloseDocument(iv_uiDocumentHandle);
  if (st != 0) raiseInsoError(INSO_AT, st);
}

void ItlClParserINSO::handleElement(ItlStINSOContentElement const& element) {
  switch (element.uiType) {
    case ITL_INSO_ELEMENT_TEXT: {
      // The filter's size is untrusted: never past the buffer, whole units.
      uint32_t bytes = element.uiDataSize;
      if (bytes > ITL_INSO_CONTENT_BUFFER_SIZE) bytes = ITL_INSO_CONTENT_BUFFER_SIZE;
      unsigned int units = bytes / 2;
      while (units > 0 && iv_ausContentBuffer[units - 1] == 0) --units;
      if (element.uiSubtype == ITL_INSO_TEXT_CHARACTERS) {
        iv_pclTlDocument->addText(iv_ausContentBuffer, units);
      } else if (element.uiSubtype == ITL_INSO_TEXT_BREAK) {
        unsigned short first = bytes >= 2 ? iv_ausContentBuffer[0] : 0;
        if (first == 0x000A || first == 0x000C || first == 0x000D)
          iv_pclTlDocument->nextSegment(1);
        iv_pclTlDocument->addDelimiter();
      }
      break;
    }
    case ITL_INSO_ELEMENT_PROPERTY_BEGIN:
      actionOnTag(element, true);
      break;
    case ITL_INSO_ELEMENT_PROPERTY_END:
      actionOnTag(element, false);
      break;
    default:
      break;
  }
}

void ItlClParserINSO::actionOnTag(ItlStINSOContentElement const& element,
                                  bool begin) {
  uint32_t tag;
  if (element.uiSubtype == ITL_INSO_PROPERTY_DOCUMENT)
    tag = element.uiPropertyId > kLastDocumentProperty ? kUnknownProperty
                                                        : element.uiPropertyId;
  else
    tag = (element.uiSubtype >> 16) + kUnknownProperty;

  if (!begin) {
    if (iv_iNestingDepth > 0) --iv_iNestingDepth;
    if (!iv_clTagStack.isEmpty() &&
        iv_clTagStack.top().depth == iv_iNestingDepth) {
      ItlClActiveINSOTagStack::Entry& e = iv_clTagStack.top();
      if (e.fieldStarted) iv_pclTlDocument->endField();
      if (e.attributeStarted) iv_pclTlDocument->endAttribute();
      iv_clTagStack.pop();
    }
    return;
  }
  int32_t depthBefore = iv_iNestingDepth++;
  if (tag >= kTagIndexSize || iv_ppstTagIndex == nullptr ||
      iv_ppstTagIndex[tag] == nullptr)
    return;
  _ItlStINSOTagInfo const* row = iv_ppstTagIndex[tag];
  uint16_t depth = static_cast<uint16_t>(depthBefore);
  if (iv_pclModel == nullptr) {
    if (!row->defaultField) return;
    ItlClActiveINSOTagStack::Entry& e = iv_clTagStack.push(row, depth);
    e.fieldStarted = 1;
    iv_pclTlDocument->startField(row->name, false);
    return;
  }
  ItlClInsoModelItem const* attribute = iv_pclModel->getMatchingItem(tag, false);
  ItlClInsoModelItem const* field = iv_pclModel->getMatchingItem(tag, true);
  if (attribute == nullptr && field == nullptr) return;
  ItlClActiveINSOTagStack::Entry& e = iv_clTagStack.push(row, depth);
  if (attribute != nullptr) {
    iv_pclTlDocument->startAttribute(attribute->getName(), attribute->getType(),
                                     false);
    e.attributeStarted = 1;
  }
  if (field != nullptr) {
    e.fieldStarted = 1;
    iv_pclTlDocument->startField(field->getName(), field->isExcluded());
  }
}
