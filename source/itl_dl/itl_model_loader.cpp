// itl_model_loader.cpp: the loader steps shared by the model formats.
#include "itl_model_loader.hpp"

#include <cstring>

#include "itl_documentmodel.hpp"
#include "itl_model_raise.hpp"
#include "itl_model_trace.hpp"

namespace {

char const ITL_UTF8STR_PARAMETER_NAME[] = "name";
char const ITL_UTF8STR_PARAMETER_TYPE[] = "type";
char const ITL_UTF8STR_PARAMETER_EXCLUDE[] = "exclude";

}  // namespace

bool itlModelAcceptRoot(bool& rootSeen, char const* element,
                        ItlStModelVocabulary const& vocabulary,
                        ItlStModelLoaderSites const& sites) {
  if (rootSeen) return false;
  if (std::strcmp(element, vocabulary.root) != 0)
    itlModelRaise(sites.wrongRoot.origin, sites.wrongRoot.line,
                  ItlEnReasonCode_Docmodel_syntax_error, 47, element);
  rootSeen = true;
  return true;
}

bool itlModelIsFieldDefinition(char const* element,
                               ItlStModelVocabulary const& vocabulary,
                               ItlStModelLoaderSites const& sites) {
  if (std::strcmp(element, vocabulary.field) == 0) return true;
  if (std::strcmp(element, vocabulary.attribute) == 0) return false;
  itlModelRaise(sites.wrongElement.origin, sites.wrongElement.line,
                ItlEnReasonCode_Docmodel_syntax_error, 47, element);
}

bool itlModelReadCommonParameter(ItlClDocumentModelItem& item, bool isField,
                                 char const* name, char const* value,
                                 ItlStModelLoaderSites const& sites,
                                 char const* traceFunction) {
  if (std::strcmp(name, ITL_UTF8STR_PARAMETER_NAME) == 0) {
    if (*value == '\0')
      itlModelRaise(sites.emptyName.origin, sites.emptyName.line,
                    ItlEnReasonCode_Docmodel_invalid_parameter_value, 48,
                    nullptr);
    item.setName(value);
    itlModelTraceText(traceFunction, "item name after setName",
                      item.getName());
    return true;
  }
  if (std::strcmp(name, ITL_UTF8STR_PARAMETER_TYPE) == 0) {
    if (isField)
      itlModelRaise(sites.typeInField.origin, sites.typeInField.line,
                    ItlEnReasonCode_Docmodel_invalid_parameter, 50, name);
    if (!item.setTypeFromChars(value))
      itlModelRaise(sites.badType.origin, sites.badType.line,
                    ItlEnReasonCode_Docmodel_invalid_parameter_value, 50, name,
                    51, value);
    return true;
  }
  if (std::strcmp(name, ITL_UTF8STR_PARAMETER_EXCLUDE) == 0) {
    if (!isField)
      itlModelRaise(sites.excludeInAttribute.origin,
                    sites.excludeInAttribute.line,
                    ItlEnReasonCode_Docmodel_invalid_parameter, 50, name);
    bool exclude = false;
    if (!ItlClDocumentModelABase::readYesOrNo(value, exclude))
      itlModelRaise(sites.badExclude.origin, sites.badExclude.line,
                    ItlEnReasonCode_Docmodel_invalid_parameter_value, 50, name,
                    51, value);
    item.setExclude(exclude);
    return true;
  }
  return false;
}

void itlModelRaiseUnknownParameter(char const* name,
                                   ItlStModelLoaderSites const& sites) {
  itlModelRaise(sites.unknownParameter.origin, sites.unknownParameter.line,
                ItlEnReasonCode_Docmodel_invalid_parameter, 50, name);
}

void itlModelCheckName(ItlClDocumentModelItem const& item,
                       ItlStModelLoaderSites const& sites) {
  if (item.getName() == nullptr)
    itlModelRaise(sites.noName.origin, sites.noName.line,
                  ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_NAME);
}

void itlModelCheckType(ItlClDocumentModelItem const& item, bool isField,
                       ItlStModelLoaderSites const& sites) {
  if (!isField && item.isField())
    itlModelRaise(sites.noType.origin, sites.noType.line,
                  ItlEnReasonCode_Docmodel_missing_parameter, 49,
                  ITL_UTF8STR_PARAMETER_TYPE);
}
