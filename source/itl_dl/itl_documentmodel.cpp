// itl_documentmodel.cpp: the document-model base (items, the parse of a
// definition text with Expat, error context) and the model item.
#include "itl_documentmodel.hpp"

#include <strings.h>

#include <climits>
#include <cstring>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "itl_cos_interface.hpp"
#include "itl_error.hpp"
#include "itl_xmlp_interface.hpp"

namespace {

struct AttributeTypeRow {
  char const* name;
  ItlEnAttributeType type;
};

// Searched in this order.
AttributeTypeRow const gs_attributeTypeMap[] = {
    {"DATE", ItlEnAttributeType_Date},
    {"NUMBER", ItlEnAttributeType_Number},
    {"STRING", ItlEnAttributeType_String},
};

char const ITL_UTF8STR_UTF8[] = "UTF-8";
char const ITL_UTF8STR_PARAVALUE_UC_YES[] = "YES";
char const ITL_UTF8STR_PARAVALUE_UC_NO[] = "NO";

// A copy of `text` from the memory manager.
char* copyString(char const* text) {
  size_t n = std::strlen(text);
  char* copy = static_cast<char*>(
      CosClMemoryManager::allocate(static_cast<unsigned int>(n + 1)));
  std::memcpy(copy, text, n + 1);
  return copy;
}

// Item array growth: first 31 entries, then 16 more each time.
constexpr unsigned kFirstCapacity = 31;
constexpr unsigned kGrowth = 16;

}  // namespace

// ---------------------------------------------------------------------------
// ItlClDocumentModelItem

ItlClDocumentModelItem::ItlClDocumentModelItem()
    : iv_pszName(nullptr), iv_enType(ITL_MODEL_ITEM_FIELD), iv_bExclude(false) {}

void* ItlClDocumentModelItem::operator new(size_t size) {
  return CosClMemoryManager::allocate(static_cast<unsigned int>(size));
}

void ItlClDocumentModelItem::operator delete(void* p) {
  CosClMemoryManager::free(p);
}

ItlClDocumentModelItem::~ItlClDocumentModelItem() {
  CosClMemoryManager::free(iv_pszName);
}

bool ItlClDocumentModelItem::setTypeFromChars(char const* text) {
  if (text == nullptr) return false;
  for (AttributeTypeRow const& row : gs_attributeTypeMap) {
    if (strcasecmp(text, row.name) == 0) {
      iv_enType = row.type;
      return true;
    }
  }
  return false;
}

void ItlClDocumentModelItem::setName(char const* name) {
  char* copy = copyString(name);
  CosClMemoryManager::free(iv_pszName);
  iv_pszName = copy;
}

unsigned short* itlModelConvertToUTF16(char const* text) {
  unsigned int bytes = static_cast<unsigned int>(std::strlen(text));
  CosClCodePage2UnicodeConverter converter{
      CosClCCSID(CosClCCSID::CCSID_UTF8)};
  unsigned int size = converter.getMaximumSizeForSize(bytes) + 2;
  char* buffer =
      static_cast<char*>(CosClMemoryManager::allocate(size));
  unsigned int written = converter.convertBytes(buffer, size, text, bytes);
  if (converter.getError().isError()) {
    CosClMemoryManager::free(buffer);
    ItlClCosInterface::handleCosError("./headers/itl_dl/itl_documentmodel:444",
                                      444, converter.getError());
  }
  written &= ~1u;
  buffer[written] = 0;
  buffer[written + 1] = 0;
  return reinterpret_cast<unsigned short*>(buffer);
}

// ---------------------------------------------------------------------------
// ItlClDocumentModelABase

ItlClDocumentModelABase::ItlClDocumentModelABase(ItlClErrorInfo& errorInfo,
                                                 ItlEnDocumentFormat format)
    : iv_bRootSeen(false),
      iv_usTablePosition(0),
      iv_rclErrorInfo(errorInfo),
      iv_enFormat(format),
      iv_pszName(nullptr),
      iv_ppclItems(nullptr),
      iv_pXmlParser(nullptr),
      iv_pclGuard(nullptr),
      iv_usItemArrayCapacity(0),
      iv_usItemCount(0),
      iv_bLoaded(false) {}

ItlClDocumentModelABase::~ItlClDocumentModelABase() {
  freeParser();
  freeArray();
  CosClMemoryManager::free(iv_pszName);
}

void ItlClDocumentModelABase::setName(char const* name) {
  char* copy = copyString(name);
  CosClMemoryManager::free(iv_pszName);
  iv_pszName = copy;
}

void ItlClDocumentModelABase::freeParser() {
  if (iv_pXmlParser != nullptr) {
    XML_ParserFree(iv_pXmlParser);
    iv_pXmlParser = nullptr;
  }
}

void ItlClDocumentModelABase::loadFromBuffer(char const* text,
                                             unsigned int length) {
  freeParser();  // the parser of an earlier failed parse
  iv_pXmlParser = itlExpatCreateParser(ITL_UTF8STR_UTF8);
  if (iv_pXmlParser == nullptr)
    itlRaise(ITL_SOURCE("source/itl_dl/itl_documentmodel"),
             ItlEnReasonCode_Xmlparser_can_not_create_expat);

  ItlClExpatGuard guard(iv_pXmlParser);
  XML_SetUserData(iv_pXmlParser, this);
  XML_SetElementHandler(iv_pXmlParser, &itlModelParserStartElement, nullptr);
  iv_bRootSeen = false;
  iv_bLoaded = false;

  // One final call, in slices when the text passes Expat's int length.
  iv_pclGuard = &guard;
  XML_Status status = XML_STATUS_OK;
  do {
    unsigned int slice = length > INT_MAX / 2 ? INT_MAX / 2 : length;
    status = XML_Parse(iv_pXmlParser, text, static_cast<int>(slice),
                       slice == length);
    text += slice;
    length -= slice;
  } while (status == XML_STATUS_OK && length != 0);
  iv_pclGuard = nullptr;

  // A failure of loadItem first: Expat would only report "aborted".
  guard.rethrowIfFailed();
  if (status != XML_STATUS_OK)
    itlRaise(ITL_SOURCE("source/itl_dl/itl_documentmodel"),
             ItlClXmlPInterface::getItlReasonCodeForXmlPRc(
                 XML_GetErrorCode(iv_pXmlParser)));

  freeParser();
  iv_bLoaded = true;
  compileItems();
}

void ItlClDocumentModelABase::startElement(char const* element,
                                           char const** attributes) {
  loadItem(element, attributes);
}

void itlModelParserStartElement(void* userData, char const* element,
                                char const** attributes) {
  ItlClDocumentModelABase* model =
      static_cast<ItlClDocumentModelABase*>(userData);
  model->iv_pclGuard->run(
      [&] { model->startElement(element, attributes); });
}

void ItlClDocumentModelABase::addItem(ItlClDocumentModelItem const* item) {
  if (iv_usItemCount >= iv_usItemArrayCapacity) enlargeArray();
  iv_ppclItems[iv_usItemCount++] = const_cast<ItlClDocumentModelItem*>(item);
}

ItlClDocumentModelItem* ItlClDocumentModelABase::getItem(
    unsigned short index) const {
  return iv_ppclItems[index];
}

void ItlClDocumentModelABase::enlargeArray() {
  if (iv_usItemArrayCapacity == 0) {
    iv_ppclItems = static_cast<ItlClDocumentModelItem**>(
        CosClMemoryManager::allocate(kFirstCapacity * sizeof(void*)));
    iv_usItemArrayCapacity = kFirstCapacity;
    return;
  }
  if (iv_usItemArrayCapacity > kMaxItems - kGrowth) {
    freeArray();
    itlRaise(ITL_SOURCE("source/itl_dl/itl_documentmodel"),
             ItlEnReasonCode_Docmodel_item_overflow);
  }
  unsigned capacity = iv_usItemArrayCapacity + kGrowth;
  iv_ppclItems = static_cast<ItlClDocumentModelItem**>(
      CosClMemoryManager::realloc(iv_ppclItems, capacity * sizeof(void*)));
  iv_usItemArrayCapacity = static_cast<unsigned short>(capacity);
}

void ItlClDocumentModelABase::freeArray() {
  for (unsigned i = 0; i < iv_usItemCount; ++i) delete iv_ppclItems[i];
  CosClMemoryManager::free(iv_ppclItems);
  iv_ppclItems = nullptr;
  iv_usItemCount = 0;
  iv_usItemArrayCapacity = 0;
}

void ItlClDocumentModelABase::addParsingContext(ItlClException& e) const {
  e.context(10) << ": " << (iv_pszName ? iv_pszName : "***");
  if (iv_pXmlParser != nullptr) {
    e.context(46) << ": ("
                  << static_cast<long>(XML_GetCurrentLineNumber(iv_pXmlParser))
                  << ","
                  << static_cast<long>(
                         XML_GetCurrentColumnNumber(iv_pXmlParser))
                  << ")";
  }
}

bool ItlClDocumentModelABase::readYesOrNo(char const* text, bool& flag) {
  if (text == nullptr) return false;
  if (strcasecmp(text, ITL_UTF8STR_PARAVALUE_UC_YES) == 0) {
    flag = true;
    return true;
  }
  if (strcasecmp(text, ITL_UTF8STR_PARAVALUE_UC_NO) == 0) {
    flag = false;
    return true;
  }
  return false;
}
