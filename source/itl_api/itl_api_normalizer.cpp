// itl_api_normalizer.cpp: the exported normalizer-handle functions.
#include "itl_api_frame.hpp"
#include "itl_api_normalizer.h"
#include "itl_api_search_handle.hpp"
#include "itl_normalizer.hpp"

#define ITL_NZ_POS ITL_API_POS("itl_api_normalizer")

namespace {

ItlClNormalizer* objectOf(ItlTyNormalizerHandle handle) {
  return reinterpret_cast<ItlClNormalizer*>(handle);
}

}  // namespace

ItlEnReturnCode itlHandleNewNormalizer(ItlTyIndexSearchHandle search,
                                       ItlTyCCSID ccsid, char const* language,
                                       ItlTyNormalizerHandle* normalizer) {
  ItlClApiTrace trace(ITL_NZ_POS);
  trace.dump(CosEnTraceDataType::UINT16, "ItlTyCCSID", &ccsid, 2);
  trace.text("language", language);
  if (search == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClIndexSearch& object = *itlApiIndexSearch(search);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (normalizer == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_NZ_POS,
                             ItlEnReasonCode_Invalid_handle);
  *normalizer = nullptr;
  return itlApiGuarded(errorInfo, ITL_NZ_POS, [&] {
    ItlClNormalizer* made = itlApiMake<ItlClNormalizer>(
        [](ItlClNormalizer& n) { n.init(); }, object, ccsid, language);
    *normalizer = reinterpret_cast<ItlTyNormalizerHandle>(made);
  });
}

ItlEnReturnCode itlNormalizerProcess(ItlTyNormalizerHandle normalizer,
                                     char const* language,
                                     ItlTyUTF16Unit const* source,
                                     uint32_t sourceLength,
                                     ItlTyUTF16Unit* target,
                                     uint32_t* targetLength) {
  ItlClApiTrace trace(ITL_NZ_POS);
  trace.text("language", language);
  trace.uint32("source length", sourceLength);
  if (targetLength != nullptr) trace.uint32("target length", *targetLength);
  if (normalizer == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClNormalizer& object = *objectOf(normalizer);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  // Every check comes before the language switch: a refused call changes
  // nothing.
  if (language == nullptr || source == nullptr || target == nullptr ||
      targetLength == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_NZ_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_NZ_POS, [&] {
    unsigned int rest = sourceLength;
    *targetLength =
        object.process(language, target, *targetLength, source, rest);
  });
}

ItlEnReturnCode itlHandleDeleteNormalizer(ItlTyNormalizerHandle* normalizer) {
  ItlClApiTrace trace(ITL_NZ_POS);
  if (normalizer == nullptr || *normalizer == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClNormalizer* object = objectOf(*normalizer);
  ItlClErrorInfo& errorInfo = object->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_NZ_POS, [&] {
    itlApiDestroy(object);
    *normalizer = nullptr;
  });
}
