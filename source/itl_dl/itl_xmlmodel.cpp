// itl_xmlmodel.cpp: loading an XML model, choosing the item for a node and
// building the item's name for it.
//
// Every refusal of loadItem has its own fixed origin line; a parameter is
// checked when its pair is reached (the first fault in document order is
// reported), the missing-parameter checks run after the last pair. An item
// is appended only once it is complete, so a refused one never reaches the
// model; the alternatives of a split locator are appended one by one.
#include "itl_xmlmodel.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "itl_model_loader.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"
#include "itl_xml_doc_path.hpp"

#define XML_AT(line) ITL_MODEL_ORIGIN("source/itl_dl/itl_xmlmodel", line)

namespace {

char const kLoadItem[] = "source/itl_dl/itl_xmlmodel:77";
char const kGetMatchingItem[] = "source/itl_dl/itl_xmlmodel:294";

char const ITL_UTF8STR_XML_MODEL_TAG[] = "XMLModel";
char const ITL_UTF8STR_XML_FIELD_DEF_TAG[] = "XMLFieldDefinition";
char const ITL_UTF8STR_XML_ATTR_DEF_TAG[] = "XMLAttributeDefinition";
char const ITL_UTF8STR_PARAMETER_LOCATOR[] = "locator";
char const ITL_UTF8STR_PARAMETER_PRIORITY[] = "priority";
char const ITL_UTF8STR_PARAMETER_NAME[] = "name";

char const ITL_UTF8STR_VAR_NAME[] = "(NAME)";
char const ITL_UTF8STR_VAR_LOCALNAME[] = "(LOCALNAME)";
char const ITL_UTF8STR_VAR_PATH[] = "(PATH)";

ItlStModelVocabulary const kVocabulary = {ITL_UTF8STR_XML_MODEL_TAG,
                                          ITL_UTF8STR_XML_FIELD_DEF_TAG,
                                          ITL_UTF8STR_XML_ATTR_DEF_TAG};

ItlStModelLoaderSites const kSites = {
    {XML_AT(92)},  {XML_AT(118)}, {XML_AT(137)}, {XML_AT(151)}, {XML_AT(160)},
    {XML_AT(171)}, {XML_AT(181)}, {XML_AT(212)}, {XML_AT(222)}, {XML_AT(237)},
};

// The first "$" directly followed by "(", or null.
char const* findVariable(char const* name) {
  for (char const* p = std::strchr(name, '$'); p != nullptr;
       p = std::strchr(p + 1, '$'))
    if (p[1] == '(') return p;
  return nullptr;
}

bool startsWith(char const* text, char const* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Reads a priority: a decimal number from -1.0 to 1.0, blanks allowed
// around it. False for any other text (no number, trailing text, NaN, out
// of range).
bool readPriority(char const* text, float& priority) {
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') ++end;
  if (*end != '\0') return false;
  if (std::isnan(value) || value < -1.0 || value > 1.0) return false;
  priority = static_cast<float>(value);
  return true;
}

// Appends `text` (at most `length` bytes) to the buffer at `used`, keeping
// at most `limit` characters in all; returns the new count.
unsigned appendCut(char* buffer, unsigned used, unsigned limit,
                   char const* text, size_t length) {
  if (used >= limit) return used;
  size_t room = limit - used;
  if (length > room) length = room;
  std::memcpy(buffer + used, text, length);
  return used + static_cast<unsigned>(length);
}

}  // namespace

// ---------------------------------------------------------------------------
// ItlClXmlModelItem

ItlClXmlModelItem::~ItlClXmlModelItem() {}

void ItlClXmlModelItem::checkNameSyntax() const {
  char const* name = getName();
  if (name == nullptr) return;
  char const* var = findVariable(name);
  if (var == nullptr) return;
  ++var;
  if (startsWith(var, ITL_UTF8STR_VAR_NAME) ||
      startsWith(var, ITL_UTF8STR_VAR_LOCALNAME) ||
      startsWith(var, ITL_UTF8STR_VAR_PATH))
    return;
  itlModelRaise(XML_AT(479), ItlEnReasonCode_Docmodel_invalid_name, 50,
                ITL_UTF8STR_PARAMETER_NAME, 51, name);
}

// ---------------------------------------------------------------------------
// ItlClXmlModel

ItlClXmlModel::ItlClXmlModel(ItlClErrorInfo& errorInfo)
    : ItlClDocumentModelABase(errorInfo, ItlEnDocumentFormat_Xml),
      iv_usNumFieldDefs(0),
      iv_usNumAttrDefs(0) {
  iv_acNameBuffer[0] = '\0';
}

ItlClXmlModel::~ItlClXmlModel() {}

void ItlClXmlModel::loadItem(char const* element, char const** attributes) {
  CosClTrace trace(ITL_DL_TRACE_DETAIL, ITL_DL_TRACE_COMPONENT, kLoadItem);
  if (itlModelAcceptRoot(iv_bRootSeen, element, kVocabulary, kSites)) return;

  bool isField = itlModelIsFieldDefinition(element, kVocabulary, kSites);
  std::unique_ptr<ItlClXmlModelItem> item(new ItlClXmlModelItem());
  if (isField) {
    ++iv_usNumFieldDefs;
    itlModelTraceUInt(kLoadItem, "number of field definitions",
                      iv_usNumFieldDefs);
  } else {
    ++iv_usNumAttrDefs;
    itlModelTraceUInt(kLoadItem, "number of attribute definitions",
                      iv_usNumAttrDefs);
  }

  bool haveLocator = false;
  bool explicitPriority = false;
  char const* rest = nullptr;
  for (char const** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    char const* name = a[0];
    char const* value = a[1];
    if (itlModelReadCommonParameter(*item, isField, name, value, kSites,
                                    kLoadItem)) {
      if (std::strcmp(name, ITL_UTF8STR_PARAMETER_NAME) == 0)
        item->checkNameSyntax();
      continue;
    }
    if (std::strcmp(name, ITL_UTF8STR_PARAMETER_LOCATOR) == 0) {
      item->getLocator().init(value, rest);
      haveLocator = true;
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_PRIORITY) == 0) {
      float priority = 0.0f;
      if (!readPriority(value, priority))
        itlModelRaise(XML_AT(202),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 50,
                      name, 51, value);
      item->setPriority(priority);
      explicitPriority = true;
    } else {
      itlModelRaiseUnknownParameter(name, kSites);
    }
  }

  itlModelCheckName(*item, kSites);
  if (!haveLocator)
    itlModelRaise(XML_AT(229), ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_LOCATOR);
  itlModelCheckType(*item, isField, kSites);

  if (!explicitPriority) item->setDefaultPriority();
  itlModelTraceText(kLoadItem, "add model item", item->getName());
  ItlClXmlModelItem const* first = item.get();
  addItem(first);
  item.release();

  // Each further alternative gets an item of its own; its locator text
  // lives in the first item's matcher, which the model keeps.
  while (rest != nullptr) {
    std::unique_ptr<ItlClXmlModelItem> next(new ItlClXmlModelItem());
    cloneItemExceptLocator(*next, *first);
    next->getLocator().init(rest, rest);
    if (!explicitPriority) next->setDefaultPriority();
    itlModelTraceText(kLoadItem, "add model item (for split locator)",
                      next->getName());
    addItem(next.get());
    next.release();
  }
}

void ItlClXmlModel::cloneItemExceptLocator(
    ItlClXmlModelItem& target, ItlClXmlModelItem const& source) const {
  if (source.getName() != nullptr) target.setName(source.getName());
  target.iv_enType = source.iv_enType;
  target.setExclude(source.isExcluded());
  target.setPriority(source.getPriority());
}

ItlClXmlModelItem const* ItlClXmlModel::getMatchingItem(
    ItlClXmlDocPath const& path, bool wantField) const {
  CosClTrace trace(ITL_DL_TRACE_DETAIL, ITL_DL_TRACE_COMPONENT,
                   kGetMatchingItem);
  if (itlModelTraceOn()) {
    char text[kNameBufferSize];
    path.printPathToBuffer(text, sizeof text);
    itlModelTraceText(kGetMatchingItem, "path to match", text);
  }
  ItlClXmlModelItem const* winner = nullptr;
  float best = -1.0f;
  for (unsigned short i = 0; i < getItemCount(); ++i) {
    ItlClXmlModelItem const* item = getXmlItem(i);
    if (item->getPriority() < best) continue;
    if (item->isField() != wantField) continue;
    if (!item->getLocator().match(path)) continue;
    winner = item;
    best = item->getPriority();
  }
  if (winner != nullptr)
    itlModelTraceText(kGetMatchingItem, "matching item", winner->getName());
  return winner;
}

char const* ItlClXmlModel::expandItemName(ItlClXmlModelItem const& item,
                                          ItlClXmlDocPath const& path) const {
  char const* name = item.getName();
  if (name == nullptr) {
    iv_acNameBuffer[0] = '\0';
    return iv_acNameBuffer;
  }
  char const* var = findVariable(name);
  if (var == nullptr) return name;

  constexpr unsigned kLimit = kNameBufferSize - 1;
  char* buffer = iv_acNameBuffer;
  unsigned used = appendCut(buffer, 0, kLimit, name,
                            static_cast<size_t>(var - name));
  if (used < kLimit) {
    char const* after = var + 1;
    ItlClXmlDocPathItem const* tail = path.getTail();
    char const* label = tail != nullptr ? tail->getLabel() : nullptr;
    if (label == nullptr) label = "";
    char const* restOfName = nullptr;
    if (startsWith(after, ITL_UTF8STR_VAR_NAME)) {
      used = appendCut(buffer, used, kLimit, label, std::strlen(label));
      restOfName = var + 7;
    } else if (startsWith(after, ITL_UTF8STR_VAR_LOCALNAME)) {
      char const* colon = std::strchr(label, ':');
      char const* local = colon != nullptr ? colon + 1 : label;
      used = appendCut(buffer, used, kLimit, local, std::strlen(local));
      restOfName = var + 12;
    } else if (startsWith(after, ITL_UTF8STR_VAR_PATH)) {
      used += path.printPathToBuffer(buffer + used, kNameBufferSize - used);
      if (used > kLimit) used = kLimit;
      restOfName = var + 7;
    }
    if (restOfName != nullptr)
      used = appendCut(buffer, used, kLimit, restOfName,
                       std::strlen(restOfName));
  }
  buffer[used] = '\0';
  return buffer;
}
