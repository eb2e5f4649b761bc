// itl_cp_converter.cpp: code-page converter objects.
#include "itl_cp_converter.hpp"

#include <new>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "itl_cos_interface.hpp"
#include "itl_managed_object.hpp"

ItlClCpConverter::ItlClCpConverter(ItlClErrorInfo& errorInfo)
    : iv_rclErrorInfo(errorInfo), iv_pclConverter(nullptr) {}

ItlClCpConverter::~ItlClCpConverter() { itlDeleteObject(iv_pclConverter); }

bool ItlClCpConverter::init(uint16_t source, uint16_t target) {
  CosClCodePage2CodePageConverter* made =
      itlNewObject<CosClCodePage2CodePageConverter>(CosClCCSID(source),
                                                    CosClCCSID(target));
  if (!made->isSupported()) {
    itlDeleteObject(made);
    return false;
  }
  iv_pclConverter = made;
  return true;
}

uint32_t ItlClCpConverter::convert(char* target, uint32_t capacity,
                                   char const* source,
                                   uint32_t sourceSize) const {
  return iv_pclConverter->convertBytes(target, capacity, source, sourceSize);
}

int ItlClCpConverter::conversionError() const {
  _CosStError const& error = iv_pclConverter->getError();
  if (!error.isError()) return 0;
  return ItlClCosInterface::getItlReasonCodeForCosError(error);
}
