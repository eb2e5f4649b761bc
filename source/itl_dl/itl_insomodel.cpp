// itl_insomodel.cpp: loading and compiling a filter-library model.
#include "itl_insomodel.hpp"

#include <cstring>
#include <memory>

#include "itl_inso_tag_table.hpp"
#include "itl_model_loader.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"

#define INSO_AT ITL_SOURCE("source/itl_dl/itl_insomodel")

namespace {

char const kLoadItem[] = "source/itl_dl/itl_insomodel:loadItem";

char const ITL_UTF8STR_INSO_MODEL_TAG[] = "INSOModel";
char const ITL_UTF8STR_INSO_FIELD_DEF_TAG[] = "INSOFieldDefinition";
char const ITL_UTF8STR_INSO_ATTR_DEF_TAG[] = "INSOAttributeDefinition";
char const ITL_UTF8STR_PARAMETER_TAG[] = "tag";

ItlStModelVocabulary const kVocabulary = {ITL_UTF8STR_INSO_MODEL_TAG,
                                          ITL_UTF8STR_INSO_FIELD_DEF_TAG,
                                          ITL_UTF8STR_INSO_ATTR_DEF_TAG};

// One line of this file per failing place.
ItlStModelLoaderSites const kSites = {
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
    {INSO_AT},
};

}  // namespace

ItlClInsoModelItem::~ItlClInsoModelItem() {}

ItlClInsoModel::ItlClInsoModel(ItlClErrorInfo& errorInfo)
    : ItlClDocumentModelABase(errorInfo, ItlEnDocumentFormat_Inso),
      iv_usNumFieldDefs(0),
      iv_usNumAttrDefs(0) {
  std::memset(iv_apclFields, 0, sizeof iv_apclFields);
  std::memset(iv_apclAttributes, 0, sizeof iv_apclAttributes);
}

ItlClInsoModel::~ItlClInsoModel() {}

void ItlClInsoModel::loadItem(char const* element, char const** attributes) {
  if (itlModelAcceptRoot(iv_bRootSeen, element, kVocabulary, kSites)) return;

  std::unique_ptr<ItlClInsoModelItem> item(new ItlClInsoModelItem());
  bool isField = itlModelIsFieldDefinition(element, kVocabulary, kSites);
  if (isField)
    ++iv_usNumFieldDefs;
  else
    ++iv_usNumAttrDefs;

  for (char const** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    char const* name = a[0];
    char const* value = a[1];
    if (itlModelReadCommonParameter(*item, isField, name, value, kSites,
                                    kLoadItem))
      continue;
    if (std::strcmp(name, ITL_UTF8STR_PARAMETER_TAG) != 0)
      itlModelRaiseUnknownParameter(name, kSites);
    if (std::strlen(value) > kMaxTagChars)
      itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_tag_too_long, 50, name,
                    51, value);
    unsigned int number = ItlClInsoTagTable::getINSOTagNumber(value);
    if (number == 0)
      itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter_value,
                    50, name, 51, value);
    item->setTagNumber(number);
  }

  itlModelCheckName(*item, kSites);
  if (item->getTagNumber() == 0)
    itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_TAG);
  itlModelCheckType(*item, isField, kSites);

  itlModelTraceText(kLoadItem, "add model item", item->getName());
  addItem(item.get());
  item.release();
}

void ItlClInsoModel::compileItems() {
  std::memset(iv_apclFields, 0, sizeof iv_apclFields);
  std::memset(iv_apclAttributes, 0, sizeof iv_apclAttributes);
  for (unsigned short i = 0; i < getItemCount(); ++i) {
    ItlClInsoModelItem* item = static_cast<ItlClInsoModelItem*>(getItem(i));
    uint32_t t = item->getTagNumber();
    if (t == 0 || t > kTableSize) continue;  // loadItem never lets one in
    bool field = item->isField();
    ItlClInsoModelItem*& entry =
        field ? iv_apclFields[t - 1] : iv_apclAttributes[t - 1];
    if (entry != nullptr) {
      char const* tag = ItlClInsoTagTable::getINSOTagForNumber(t);
      itlModelRaise(INSO_AT,
                    field ? ItlEnReasonCode_Docmodel_duplicate_field_definition
                          : ItlEnReasonCode_Docmodel_duplicate_attr_definition,
                    54, tag ? tag : "");
    }
    entry = item;
  }
}

ItlClInsoModelItem const* ItlClInsoModel::getMatchingItem(
    unsigned int tagNumber, bool wantField) const {
  if (tagNumber == 0 || tagNumber > kTableSize) return nullptr;
  return wantField ? iv_apclFields[tagNumber - 1]
                   : iv_apclAttributes[tagNumber - 1];
}
