// itl_htmlmodel.cpp: loading, compiling and searching an HTML model.
#include "itl_htmlmodel.hpp"

#include <unicode/ustring.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "cos_memmgr.hpp"
#include "itl_html_tag_table.hpp"
#include "itl_model_loader.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"

#define HTML_AT(line) ITL_MODEL_ORIGIN("source/itl_dl/itl_htmlmodel", line)

namespace {

char const kLoadItem[] = "source/itl_dl/itl_htmlmodel:loadItem";

char const ITL_UTF8STR_HTML_MODEL_TAG[] = "HTMLModel";
char const ITL_UTF8STR_HTML_FIELD_DEF_TAG[] = "HTMLFieldDefinition";
char const ITL_UTF8STR_HTML_ATTR_DEF_TAG[] = "HTMLAttributeDefinition";
char const ITL_UTF8STR_PARAMETER_TAG[] = "tag";
char const ITL_UTF8STR_PARAMETER_METAQUAL[] = "meta-qualifier";
unsigned short const ITL_META_LOWER[] = {'m', 'e', 't', 'a', 0};

ItlStModelVocabulary const kVocabulary = {ITL_UTF8STR_HTML_MODEL_TAG,
                                          ITL_UTF8STR_HTML_FIELD_DEF_TAG,
                                          ITL_UTF8STR_HTML_ATTR_DEF_TAG};

ItlStModelLoaderSites const kSites = {
    {HTML_AT(212)}, {HTML_AT(234)}, {HTML_AT(253)}, {HTML_AT(266)},
    {HTML_AT(275)}, {HTML_AT(286)}, {HTML_AT(296)}, {HTML_AT(352)},
    {HTML_AT(362)}, {HTML_AT(377)},
};

// The search key of bsearch: units and their number.
struct Key {
  unsigned short const* units;
  unsigned int length;
};

int compareKey(Key const& key, unsigned short const* s) {
  for (unsigned int i = 0; i < key.length; ++i) {
    if (s[i] == 0) return 1;  // the item's string ends first
    if (key.units[i] != s[i]) return key.units[i] < s[i] ? -1 : 1;
  }
  return s[key.length] == 0 ? 0 : -1;
}

int compareStrings(unsigned short const* a, unsigned short const* b) {
  return u_strcmp(reinterpret_cast<UChar const*>(a),
                  reinterpret_cast<UChar const*>(b));
}

ItlClHtmlModelItem const* itemAt(void const* entry) {
  return *static_cast<ItlClHtmlModelItem* const*>(entry);
}

ItlClHtmlModelItem** allocArray(unsigned count) {
  if (count == 0) return nullptr;
  return static_cast<ItlClHtmlModelItem**>(
      CosClMemoryManager::allocate(count * sizeof(ItlClHtmlModelItem*)));
}

char const kSearch[] = "source/itl_dl/itl_htmlmodel:getMatchingItem";

ItlClHtmlModelItem const* search(ItlClHtmlModelItem* const* array,
                                 unsigned count, unsigned short const* name,
                                 unsigned int length, bool bMatchFields,
                                 bool meta,
                                 int (*compare)(void const*, void const*)) {
  if (itlModelTraceOn()) {
    itlModelTraceUInt(kSearch, meta ? "meta name size" : "tag name size",
                      length);
    itlModelTraceUnits(kSearch, meta ? "meta name" : "tag name", name, length);
    itlModelTraceUInt(kSearch, "bMatchFields", bMatchFields ? 1 : 0);
  }
  if (array == nullptr) return nullptr;
  Key key = {name, length};
  void const* found = std::bsearch(&key, array, count, sizeof *array, compare);
  ItlClHtmlModelItem const* item = found ? itemAt(found) : nullptr;
  if (itlModelTraceOn())
    itlModelTraceText(kSearch, item ? "matching item" : "no match",
                      item ? item->getName() : nullptr);
  return item;
}

}  // namespace

extern "C" int itlModelHtmlItemCompareByTag(void const* a, void const* b) {
  return compareStrings(itemAt(a)->getTag(), itemAt(b)->getTag());
}

extern "C" int itlModelHtmlItemCompareByMetaQ(void const* a, void const* b) {
  return compareStrings(itemAt(a)->getMetaQualifier(),
                        itemAt(b)->getMetaQualifier());
}

extern "C" int itlModelHtmlItemCompareStringWithTag(void const* key,
                                                     void const* item) {
  return compareKey(*static_cast<Key const*>(key), itemAt(item)->getTag());
}

extern "C" int itlModelHtmlItemCompareStringWithMetaQ(void const* key,
                                                       void const* item) {
  return compareKey(*static_cast<Key const*>(key),
                    itemAt(item)->getMetaQualifier());
}

// ---------------------------------------------------------------------------
// ItlClHtmlModelItem

ItlClHtmlModelItem::ItlClHtmlModelItem()
    : iv_pusTag(nullptr), iv_pusMetaQualifier(nullptr) {}

ItlClHtmlModelItem::~ItlClHtmlModelItem() {
  CosClMemoryManager::free(iv_pusTag);
  CosClMemoryManager::free(iv_pusMetaQualifier);
}

void ItlClHtmlModelItem::setTag(char const* text) {
  unsigned short* tag = itlModelConvertToUTF16(text);
  for (unsigned short* p = tag; *p != 0; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<unsigned short>(*p + 32);
  CosClMemoryManager::free(iv_pusTag);
  iv_pusTag = tag;
}

void ItlClHtmlModelItem::setMetaQualifier(char const* text) {
  unsigned short* q = itlModelConvertToUTF16(text);
  CosClMemoryManager::free(iv_pusMetaQualifier);
  iv_pusMetaQualifier = q;
}

// ---------------------------------------------------------------------------
// ItlClHtmlModel

ItlClHtmlModel::ItlClHtmlModel(ItlClErrorInfo& errorInfo)
    : ItlClDocumentModelABase(errorInfo, ItlEnDocumentFormat_Html),
      iv_usNumFieldDefs(0),
      iv_usNumAttrDefs(0),
      iv_usNumMetaFieldDefs(0),
      iv_usNumMetaAttrDefs(0),
      iv_ppclFields(nullptr),
      iv_ppclAttributes(nullptr),
      iv_ppclMetaFields(nullptr),
      iv_ppclMetaAttributes(nullptr) {}

ItlClHtmlModel::~ItlClHtmlModel() { freeArrays(); }

void ItlClHtmlModel::freeArrays() {
  CosClMemoryManager::free(iv_ppclFields);
  CosClMemoryManager::free(iv_ppclAttributes);
  CosClMemoryManager::free(iv_ppclMetaFields);
  CosClMemoryManager::free(iv_ppclMetaAttributes);
  iv_ppclFields = iv_ppclAttributes = nullptr;
  iv_ppclMetaFields = iv_ppclMetaAttributes = nullptr;
}

void ItlClHtmlModel::loadItem(char const* element, char const** attributes) {
  if (itlModelAcceptRoot(iv_bRootSeen, element, kVocabulary, kSites)) return;

  std::unique_ptr<ItlClHtmlModelItem> item(new ItlClHtmlModelItem());
  bool isField = itlModelIsFieldDefinition(element, kVocabulary, kSites);
  if (isField) {
    ++iv_usNumFieldDefs;
    itlModelTraceUInt(kLoadItem, "iv_usNumFieldDefs", iv_usNumFieldDefs);
  } else {
    ++iv_usNumAttrDefs;
    itlModelTraceUInt(kLoadItem, "iv_usNumAttrDefs", iv_usNumAttrDefs);
  }

  for (char const** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    char const* name = a[0];
    char const* value = a[1];
    if (itlModelReadCommonParameter(*item, isField, name, value, kSites,
                                    kLoadItem))
      continue;
    if (std::strcmp(name, ITL_UTF8STR_PARAMETER_TAG) == 0) {
      if (std::strlen(value) > kMaxTagBytes)
        itlModelRaise(HTML_AT(311), ItlEnReasonCode_Docmodel_tag_too_long, 50,
                      name, 51, value);
      item->setTag(value);
      if (!ItlClHtmlTagTable::isHTMLFieldTag(item->getTag()) &&
          compareStrings(item->getTag(), ITL_META_LOWER) != 0)
        itlModelRaise(HTML_AT(324),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 50,
                      name, 51, value);
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_METAQUAL) == 0) {
      if (std::strlen(value) > kMaxTagBytes)
        itlModelRaise(HTML_AT(338), ItlEnReasonCode_Docmodel_tag_too_long, 50,
                      name, 51, value);
      item->setMetaQualifier(value);
      if (isField)
        ++iv_usNumMetaFieldDefs;
      else
        ++iv_usNumMetaAttrDefs;
    } else {
      itlModelRaiseUnknownParameter(name, kSites);
    }
  }

  itlModelCheckName(*item, kSites);
  if (item->getTag() == nullptr)
    itlModelRaise(HTML_AT(369), ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_TAG);
  itlModelCheckType(*item, isField, kSites);
  if (item->getMetaQualifier() != nullptr &&
      compareStrings(item->getTag(), ITL_META_LOWER) != 0)
    itlModelRaise(HTML_AT(386), ItlEnReasonCode_Docmodel_invalid_parameter, 50,
                  ITL_UTF8STR_PARAMETER_METAQUAL);

  itlModelTraceText(kLoadItem, "add model item", item->getName());
  addItem(item.get());
  item.release();
}

void ItlClHtmlModel::compileItems() {
  // The four lengths come from the items themselves, so that the arrays
  // always fit what is put into them.
  unsigned counts[4] = {0, 0, 0, 0};  // fields, attrs, meta fields, meta attrs
  auto slot = [](ItlClHtmlModelItem const* item) {
    return (item->isField() ? 0 : 1) + (item->getMetaQualifier() ? 2 : 0);
  };
  for (unsigned short i = 0; i < getItemCount(); ++i)
    ++counts[slot(static_cast<ItlClHtmlModelItem const*>(getItem(i)))];

  freeArrays();
  ItlClHtmlModelItem** arrays[4];
  arrays[0] = iv_ppclFields = allocArray(counts[0]);
  arrays[1] = iv_ppclAttributes = allocArray(counts[1]);
  arrays[2] = iv_ppclMetaFields = allocArray(counts[2]);
  arrays[3] = iv_ppclMetaAttributes = allocArray(counts[3]);
  unsigned filled[4] = {0, 0, 0, 0};
  for (unsigned short i = 0; i < getItemCount(); ++i) {
    ItlClHtmlModelItem* item = static_cast<ItlClHtmlModelItem*>(getItem(i));
    int s = slot(item);
    arrays[s][filled[s]++] = item;
  }
  iv_usNumFieldDefs = static_cast<unsigned short>(counts[0]);
  iv_usNumAttrDefs = static_cast<unsigned short>(counts[1]);
  iv_usNumMetaFieldDefs = static_cast<unsigned short>(counts[2]);
  iv_usNumMetaAttrDefs = static_cast<unsigned short>(counts[3]);

  for (int s = 0; s < 4; ++s) {
    if (arrays[s] == nullptr) continue;
    std::qsort(arrays[s], counts[s], sizeof(ItlClHtmlModelItem*),
               s < 2 ? &itlModelHtmlItemCompareByTag
                     : &itlModelHtmlItemCompareByMetaQ);
  }

  if (itlModelTraceOn()) {
    static char const kCompile[] = "source/itl_dl/itl_htmlmodel:compileItems";
    static char const* const labels[4] = {
        "Fields (not META)", "Attributes (not META)", "Meta fields",
        "Meta attributes"};
    for (int s : {0, 2, 1, 3}) {
      itlModelTraceUInt(kCompile, labels[s], counts[s]);
      for (unsigned i = 0; i < counts[s]; ++i) {
        ItlClHtmlModelItem const* item = arrays[s][i];
        itlModelTraceText(kCompile, "Name", item->getName());
        unsigned short const* key =
            s < 2 ? item->getTag() : item->getMetaQualifier();
        uint32_t n = 0;
        while (key[n] != 0) ++n;
        itlModelTraceUnits(kCompile, s < 2 ? "Tag" : "MetaQ", key, n);
      }
    }
  }
}

ItlClHtmlModelItem const* ItlClHtmlModel::getMatchingItem(
    unsigned short const* name, unsigned int length, bool bMatchFields) const {
  return bMatchFields
             ? search(iv_ppclFields, iv_usNumFieldDefs, name, length, true,
                      false, &itlModelHtmlItemCompareStringWithTag)
             : search(iv_ppclAttributes, iv_usNumAttrDefs, name, length,
                      false, false, &itlModelHtmlItemCompareStringWithTag);
}

ItlClHtmlModelItem const* ItlClHtmlModel::getMatchingMetaItem(
    unsigned short const* name, unsigned int length, bool bMatchFields) const {
  return bMatchFields
             ? search(iv_ppclMetaFields, iv_usNumMetaFieldDefs, name, length,
                      true, true, &itlModelHtmlItemCompareStringWithMetaQ)
             : search(iv_ppclMetaAttributes, iv_usNumMetaAttrDefs, name, length,
                      false, true, &itlModelHtmlItemCompareStringWithMetaQ);
}
