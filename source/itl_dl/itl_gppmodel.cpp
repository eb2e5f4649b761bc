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
#include "itl_model_loader.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"

#define GPP_AT(line) ITL_MODEL_ORIGIN("source/itl_dl/itl_gppmodel", line)

namespace {

char const kLoadItem[] = "source/itl_dl/itl_gppmodel:loadItem";

char const ITL_UTF8STR_GPP_MODEL_TAG[] = "GPPModel";
char const ITL_UTF8STR_GPP_FIELD_DEF_TAG[] = "GPPFieldDefinition";
char const ITL_UTF8STR_GPP_ATTR_DEF_TAG[] = "GPPAttributeDefinition";
char const ITL_UTF8STR_PARAMETER_START[] = "start";
char const ITL_UTF8STR_PARAMETER_END[] = "end";

ItlStModelVocabulary const kVocabulary = {ITL_UTF8STR_GPP_MODEL_TAG,
                                          ITL_UTF8STR_GPP_FIELD_DEF_TAG,
                                          ITL_UTF8STR_GPP_ATTR_DEF_TAG};

ItlStModelLoaderSites const kSites = {
    {GPP_AT(79)},  {GPP_AT(96)},  {GPP_AT(115)}, {GPP_AT(128)}, {GPP_AT(137)},
    {GPP_AT(148)}, {GPP_AT(158)}, {GPP_AT(215)}, {GPP_AT(225)}, {GPP_AT(240)},
};

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
  if (itlModelAcceptRoot(iv_bRootSeen, element, kVocabulary, kSites)) return;

  std::unique_ptr<ItlClGppModelItem> item(new ItlClGppModelItem());
  bool isField = itlModelIsFieldDefinition(element, kVocabulary, kSites);

  for (char const** a = attributes; a != nullptr && a[0] != nullptr; a += 2) {
    char const* name = a[0];
    char const* value = a[1];
    if (itlModelReadCommonParameter(*item, isField, name, value, kSites,
                                    kLoadItem))
      continue;
    bool start = std::strcmp(name, ITL_UTF8STR_PARAMETER_START) == 0;
    if (!start && std::strcmp(name, ITL_UTF8STR_PARAMETER_END) != 0)
      itlModelRaiseUnknownParameter(name, kSites);
    if (*value == '\0') {
      if (start)
        itlModelRaise(GPP_AT(172),
                      ItlEnReasonCode_Docmodel_invalid_parameter_value, 50,
                      name, 51, value);
      itlModelRaise(GPP_AT(196),
                    ItlEnReasonCode_Docmodel_invalid_parameter_value, 50, name,
                    51, value);
    }
    if (std::strlen(value) > kMaxTagBytes) {
      if (start)
        itlModelRaise(GPP_AT(182), ItlEnReasonCode_Docmodel_tag_too_long, 50,
                      name, 51, value);
      itlModelRaise(GPP_AT(206), ItlEnReasonCode_Docmodel_tag_too_long, 50,
                    name, 51, value);
    }
    if (start)
      item->setStartString(value);
    else
      item->setEndString(value);
  }

  itlModelCheckName(*item, kSites);
  if (item->getStartString() == nullptr)
    itlModelRaise(GPP_AT(232), ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_START);
  itlModelCheckType(*item, isField, kSites);

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
