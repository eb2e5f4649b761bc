// itl_api_cp_converter.cpp: the exported code-page converter functions.
#include "cos_ccsid.hpp"
#include "itl_api_cp_converter.h"
#include "itl_api_frame.hpp"
#include "itl_cp_converter.hpp"

#define ITL_CP_POS ITL_API_POS("itl_api_cp_converter")

namespace {

ItlClCpConverter* objectOf(ItlTyCpConverterHandle handle) {
  return reinterpret_cast<ItlClCpConverter*>(handle);
}

}  // namespace

ItlEnReturnCode itlHandleNewCpConverter(ItlTyContextHandle context,
                                        ItlTyCCSID sourceCcsid,
                                        ItlTyCCSID targetCcsid,
                                        ItlTyCpConverterHandle* converter) {
  ItlClApiTrace trace(ITL_CP_POS);
  trace.dump(CosEnTraceDataType::UINT16, "source CCSID", &sourceCcsid, 2);
  trace.dump(CosEnTraceDataType::UINT16, "target CCSID", &targetCcsid, 2);
  if (context == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClErrorInfo& errorInfo = itlApiContext(context)->getErrorInfo();
  itlApiReset(errorInfo);
  if (converter == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_CP_POS,
                             ItlEnReasonCode_Invalid_handle);
  *converter = nullptr;
  if (!CosClCCSID(sourceCcsid).isValid() || !CosClCCSID(targetCcsid).isValid())
    return itlApiCheckFailed(errorInfo, ITL_CP_POS,
                             ItlEnReasonCode_Invalid_ccsid);
  return itlApiGuarded(errorInfo, ITL_CP_POS, [&] {
    bool supported = false;
    ItlClCpConverter* made = itlApiMake<ItlClCpConverter>(
        [&](ItlClCpConverter& c) {
          supported = c.init(sourceCcsid, targetCcsid);
        },
        errorInfo);
    if (!supported) {
      itlApiDestroy(made);
      itlApiCheckFailed(errorInfo, ITL_CP_POS,
                        ItlEnReasonCode_Operation_not_supported);
      return;
    }
    *converter = reinterpret_cast<ItlTyCpConverterHandle>(made);
  });
}

ItlEnReturnCode itlCpConverterConvert(ItlTyCpConverterHandle converter,
                                      char const* source, uint32_t sourceSize,
                                      char* target, uint32_t* targetSize) {
  ItlClApiTrace trace(ITL_CP_POS);
  trace.uint32("size of source", sourceSize);
  if (targetSize != nullptr) trace.uint32("size of target", *targetSize);
  if (converter == nullptr) return ItlEnReturnCode_Error_Handle;
  ItlClCpConverter& object = *objectOf(converter);
  ItlClErrorInfo& errorInfo = object.getErrorInfo();
  itlApiReset(errorInfo);
  if (source == nullptr || target == nullptr || targetSize == nullptr)
    return itlApiCheckFailed(errorInfo, ITL_CP_POS,
                             ItlEnReasonCode_Invalid_argument);
  return itlApiGuarded(errorInfo, ITL_CP_POS, [&] {
    *targetSize = object.convert(target, *targetSize, source, sourceSize);
    int reason = object.conversionError();
    if (reason != 0)
      errorInfo.setError(ITL_CP_POS, static_cast<ItlEnReasonCode>(reason),
                         ItlEnReturnCode_Error, ItlEnErrorAction_Inform);
  });
}

ItlEnReturnCode itlHandleDeleteCpConverter(ItlTyCpConverterHandle* converter) {
  ItlClApiTrace trace(ITL_CP_POS);
  if (converter == nullptr || *converter == nullptr)
    return ItlEnReturnCode_Error_Handle;
  ItlClCpConverter* object = objectOf(*converter);
  ItlClErrorInfo& errorInfo = object->getErrorInfo();
  itlApiReset(errorInfo);
  return itlApiGuarded(errorInfo, ITL_CP_POS, [&] {
    itlApiDestroy(object);
    *converter = nullptr;
  });
}
