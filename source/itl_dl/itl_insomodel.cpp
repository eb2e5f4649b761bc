// itl_insomodel.cpp: loading and compiling a filter-library model.
#include "itl_insomodel.hpp"

#include <cstring>
#include <memory>

#include "itl_inso_tag_table.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"

#define INSO_AT ITL_SOURCE("source/itl_dl/itl_insomodel")

namespace {

char const kLoadItem[] = "source/itl_dl/itl_insomodel:loadItem";

char const ITL_UTF8STR_INSO_MODEL_TAG[] = "INSOModel";
char const ITL_UTF8STR_INSO_FIELD_DEF_TAG[] = "INSOFieldDefinition";
char const ITL_UTF8STR_INSO_ATTR_DEF_TAG[] = "INSOAttributeDefinition";
char const ITL_UTF8STR_PARAMETER_NAME[] = "name";
char const ITL_UTF8STR_PARAMETER_TYPE[] = "type";
char const ITL_UTF8STR_PARAMETER_EXCLUDE[] = "exclude";
char const ITL_UTF8STR_PARAMETER_TAG[] = "tag";

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
  if (!iv_bRootSeen) {
    if (std::strcmp(element, ITL_UTF8STR_INSO_MODEL_TAG) != 0)
      itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_syntax_error, 47,
                    element);
    iv_bRootSeen = true;
    return;
  }

  std::unique_ptr<ItlClInsoModelItem> item(new ItlClInsoModelItem());
  bool isField;
  if (std::strcmp(element, ITL_UTF8STR_INSO_FIELD_DEF_TAG) == 0) {
    isField = true;
    ++iv_usNumFieldDefs;
  } else if (std::strcmp(element, ITL_UTF8STR_INSO_ATTR_DEF_TAG) == 0) {
    isField = false;
    ++iv_usNumAttrDefs;
  } else {
    itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_syntax_error, 47, element);
  }

  for (char const** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    char const* name = a[0];
    char const* value = a[1];
    if (std::strcmp(name, ITL_UTF8STR_PARAMETER_NAME) == 0) {
      if (*value == '\0')
        itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter_value,
                      48, nullptr);
      item->setName(value);
      itlModelTraceText(kLoadItem, "item name after setName", item->getName());
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_TYPE) == 0) {
      if (isField)
        itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter, 50,
                      name);
      if (!item->setTypeFromChars(value))
        itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter_value,
                      50, name, 51, value);
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_EXCLUDE) == 0) {
      if (!isField)
        itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter, 50,
                      name);
      bool exclude = false;
      if (!readYesOrNo(value, exclude))
        itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter_value,
                      50, name, 51, value);
      item->setExclude(exclude);
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_TAG) == 0) {
      if (std::strlen(value) > kMaxTagChars)
        itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_tag_too_long, 50, name,
                      51, value);
      unsigned int number = ItlClInsoTagTable::getINSOTagNumber(value);
      if (number == 0)
        itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter_value,
                      50, name, 51, value);
      item->setTagNumber(number);
    } else {
      itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_invalid_parameter, 50,
                    name);
    }
  }

  if (item->getName() == nullptr)
    itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_NAME);
  if (item->getTagNumber() == 0)
    itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_TAG);
  if (!isField && item->isField())
    itlModelRaise(INSO_AT, ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_TYPE);

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
