// itl_index_tl_port.cpp: the text layer's port of an index.
#include "itl_index_tl_port.hpp"

#include "itl_index.hpp"
#include "itl_index_config.hpp"
#include "itl_name_maps.hpp"

ItlClIndexTlPort::ItlClIndexTlPort(ItlClIndex& index)
    : ItlClKernelInterfacePortABase(index.getKernelInterface()),
      iv_rclIndex(index) {}

int32_t ItlClIndexTlPort::getUnicodeNormalization() const {
  return static_cast<int32_t>(
      iv_rclIndex.getConfig().getUnicodeNormalization());
}

bool ItlClIndexTlPort::getUmlautNormalization() const {
  return iv_rclIndex.getConfig().getUmlautNormalization();
}

bool ItlClIndexTlPort::getAccentRemoval() const {
  return iv_rclIndex.getConfig().getAccentRemoval();
}

ItlClContext& ItlClIndexTlPort::getContext() {
  return iv_rclIndex.getContext();
}

void ItlClIndexTlPort::assignFieldNameToNumber(char const* name,
                                               unsigned short& number,
                                               bool& isNew) {
  iv_rclIndex.getFieldNameMap().assignFieldNameToNumber(name, number, isNew);
}

void ItlClIndexTlPort::assignAttributeNameToNumber(char const* name,
                                                   ItlEnAttributeType type,
                                                   unsigned short& number,
                                                   bool& isNew) {
  iv_rclIndex.getAttributeNameMap().assignAttributeNameToNumber(name, type,
                                                                number, isNew);
}
