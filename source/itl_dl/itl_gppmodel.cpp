// itl_gppmodel.cpp: loading and checking a structured-document model.
//
// Every failure of loadItem has its own fixed origin line; the checks of a
// parameter run when its pair is reached (so the first fault in document
// order is reported), the missing-parameter checks after the last pair.
#include "itl_gppmodel.hpp"

#include <cstring>
#include <memory>

#include "cos_memmgr.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"

#define GPP_AT(line) ITL_MODEL_ORIGIN("source/itl_dl/itl_gppmodel", line)

namespace {

char const kLoadItem[] = "source/itl_dl/itl_gppmodel:loadItem";

char const ITL_UTF8STR_GPP_MODEL_TAG[] = "GPPModel";
char const ITL_UTF8STR_GPP_FIELD_DEF_TAG[] = "GPPFieldDefinition";
char const ITL_UTF8STR_GPP_ATTR_DEF_TAG[] = "GPPAttributeDefinition";
char const ITL_UTF8STR_PARAMETER_NAME[] = "name";
char const ITL_UTF8STR_PARAMETER_TYPE[] = "type";
char const ITL_UTF8STR_PARAMETER_EXCLUDE[] = "exclude";
char const ITL_UTF8STR_PARAMETER_START[] = "start";
char const ITL_UTF8STR_PARAMETER_END[] = "end";

}  // namespace

// ---------------------------------------------------------------------------
// ItlClGppModelItem

ItlClGppModelItem::ItlClGppModelItem() : iv_pusStart(nullptr), iv_pusEnd(nullptr) {}

ItlClGppModelItem::~ItlClGppModelItem() {
  CosClMemoryManager::free(iv_pusStart);
  CosClMemoryManager::free(iv_pusEnd);
}

void ItlClGppModelItem::setStartString(char const* utf8) {
  unsigned short* s = itlModelConvertToUTF16(utf8);
  CosClMemoryManager::free(iv_pusStart);
  iv_pusStart = s;
}

void ItlClGppModelItem::setEndString(char const* utf8) {
  unsigned short* s = itlModelConvertToUTF16(utf8);
  CosClMemoryManager::free(iv_pusEnd);
  iv_pusEnd = s;
}

// ---------------------------------------------------------------------------
// ItlClGppModel

ItlClGppModel::ItlClGppModel(ItlClErrorInfo& errorInfo)
    : ItlClDocumentModelABase(errorInfo, ItlEnDocumentFormat_Structured) {}

ItlClGppModel::~ItlClGppModel() {}

void ItlClGppModel::loadItem(char const* element, char const** attributes) {
  if (!iv_bRootSeen) {
    if (std::strcmp(element, ITL_UTF8STR_GPP_MODEL_TAG) != 0)
      itlModelRaise(GPP_AT(79), ItlEnReasonCode_Docmodel_syntax_error, 47,
                    element);
    iv_bRootSeen = true;
    return;
  }

  std::unique_ptr<ItlClGppModelItem> item(new ItlClGppModelItem());
  bool isField;
  if (std::strcmp(element, ITL_UTF8STR_GPP_FIELD_DEF_TAG) == 0)
    isField = true;
  else if (std::strcmp(element, ITL_UTF8STR_GPP_ATTR_DEF_TAG) == 0)
    isField = false;
  else
    itlModelRaise(GPP_AT(96), ItlEnReasonCode_Docmodel_syntax_error, 47,
                  element);

  for (char const** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    char const* name = a[0];
    char const* value = a[1];
    if (std::strcmp(name, ITL_UTF8STR_PARAMETER_NAME) == 0) {
      if (*value == '\0')
        itlModelRaise(GPP_AT(115),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 48,
                      nullptr);
      item->setName(value);
      itlModelTraceText(kLoadItem, "item name after setName", item->getName());
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_TYPE) == 0) {
      if (isField)
        itlModelRaise(GPP_AT(128), ItlEnReasonCode_Docmodel_invalid_parameter,
                      50, name);
      if (!item->setTypeFromChars(value))
        itlModelRaise(GPP_AT(137),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 50,
                      name, 51, value);
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_EXCLUDE) == 0) {
      if (!isField)
        itlModelRaise(GPP_AT(148), ItlEnReasonCode_Docmodel_invalid_parameter,
                      50, name);
      bool exclude = false;
      if (!readYesOrNo(value, exclude))
        itlModelRaise(GPP_AT(158),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 50,
                      name, 51, value);
      item->setExclude(exclude);
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_START) == 0) {
      if (*value == '\0')
        itlModelRaise(GPP_AT(172),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 50,
                      name, 51, value);
      if (std::strlen(value) > kMaxTagBytes)
        itlModelRaise(GPP_AT(182), ItlEnReasonCode_Docmodel_tag_too_long, 50,
                      name, 51, value);
      item->setStartString(value);
    } else if (std::strcmp(name, ITL_UTF8STR_PARAMETER_END) == 0) {
      if (*value == '\0')
        itlModelRaise(GPP_AT(196),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 50,
                      name, 51, value);
      if (std::strlen(value) > kMaxTagBytes)
        itlModelRaise(GPP_AT(206), ItlEnReasonCode_Docmodel_tag_too_long, 50,
                      name, 51, value);
      item->setEndString(value);
    } else {
      itlModelRaise(GPP_AT(215), ItlEnReasonCode_Docmodel_invalid_parameter,
                    50, name);
    }
  }

  if (item->getName() == nullptr)
    itlModelRaise(GPP_AT(225), ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_NAME);
  if (item->getStartString() == nullptr)
    itlModelRaise(GPP_AT(232), ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_START);
  if (!isField && item->isField())
    itlModelRaise(GPP_AT(240), ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_TYPE);

  itlModelTraceText(kLoadItem, "add model item", item->getName());
  addItem(item.get());
  item.release();
}

void ItlClGppModel::compileItems() { checkConsistency(); }

void ItlClGppModel::checkConsistency() const {
  ItlClGppTagFinder finder;
  for (unsigned short i = 0; i < getItemCount(); ++i)
    finder.registerTag(*getGppItem(i));
}
