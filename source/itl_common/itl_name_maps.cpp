// itl_name_maps.cpp: the field-name map and the two attribute-name maps;
// see itl_name_maps.hpp.
#include "itl_name_maps.hpp"

#include <cstring>

#include "itl_index_file.hpp"

namespace {

uint32_t lengthOf(char const* name) {
  return static_cast<uint32_t>(std::strlen(name) + 1);
}

}  // namespace

ItlClFieldNameMap::ItlClFieldNameMap(ItlClIndexLocation const& location,
                                     ItlClErrorInfo& errorInfo)
    : ItlClMapABase(location, "tf", "tf$", errorInfo, 32768, 255, 255) {}

ItlClFieldNameMap::~ItlClFieldNameMap() = default;

ItlEnReturnCode ItlClFieldNameMap::mapFieldNameToNumber(
    char const* name, unsigned short& number) const {
  uint32_t full = 0;
  ItlEnReturnCode rc = mapNameToNumber(name, lengthOf(name), full);
  number = static_cast<unsigned short>(full);
  return rc;
}

void ItlClFieldNameMap::assignFieldNameToNumber(char const* name,
                                                unsigned short& number,
                                                bool& isNew) {
  uint32_t full = 0;
  assignNameToNumber(name, lengthOf(name), full, isNew);
  number = static_cast<unsigned short>(full);
}

ItlClAttributeNameMap::ItlClAttributeNameMap(ItlClIndexLocation const& location,
                                             ItlClErrorInfo& errorInfo)
    : iv_clNumericMap(location, "an", "an$", errorInfo, 32767, 255, 255),
      iv_clStringMap(location, "as", "as$", errorInfo, 254, 63, 63) {}

void ItlClAttributeNameMap::init() {
  iv_clNumericMap.init();
  iv_clStringMap.init();
}

void ItlClAttributeNameMap::registerAtFileMgr(ItlClIndexFileMgr& manager) {
  manager.registerForNotify(iv_clNumericMap);
  manager.registerForNotify(iv_clStringMap);
}

bool ItlClAttributeNameMap::hasMap(ItlEnAttributeType type) {
  return type == ItlEnAttributeType_String ||
         type == ItlEnAttributeType_Number || type == ItlEnAttributeType_Date;
}

ItlEnReturnCode ItlClAttributeNameMap::mapAttributeNameToNumber(
    char const* name, ItlEnAttributeType type, unsigned short& number) const {
  if (!hasMap(type)) return ItlEnReturnCode_Success;
  ItlClMapABase const& map =
      type == ItlEnAttributeType_String ? iv_clStringMap : iv_clNumericMap;
  uint32_t full = 0;
  ItlEnReturnCode rc = map.mapNameToNumber(name, lengthOf(name), full);
  number = static_cast<unsigned short>(full);
  return rc;
}

void ItlClAttributeNameMap::assignAttributeNameToNumber(
    char const* name, ItlEnAttributeType type, unsigned short& number,
    bool& isNew) {
  isNew = false;
  if (!hasMap(type)) return;
  ItlClMapABase& map =
      type == ItlEnAttributeType_String ? iv_clStringMap : iv_clNumericMap;
  uint32_t full = 0;
  map.assignNameToNumber(name, lengthOf(name), full, isNew);
  number = static_cast<unsigned short>(full);
}

bool ItlClAttributeNameMap::refreshForRead(bool directoryUnchanged) {
  bool const numeric = iv_clNumericMap.refreshForRead(directoryUnchanged);
  bool const strings = iv_clStringMap.refreshForRead(directoryUnchanged);
  return numeric && strings;
}
