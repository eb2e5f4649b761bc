// itl_attribute_string.cpp: STRING attribute values. The whole value,
// converted to the index code page, becomes one character item.
#include <cstring>
#include <new>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_create.hpp"
#include "itl_attribute.hpp"
#include "itl_cos_interface.hpp"
#include "itl_tl_index_port.hpp"

void ItlClAttributeParserString::parseAttributeAndAdd() {
  CosClConverterABase const& converter = iv_rclPort.getConverter();
  CosClMemoryPool& pool = iv_rclPort.getMemoryPool();
  unsigned int bytes = iv_uiLength * 2;
  unsigned int room = converter.getMaximumSizeForSize(bytes);
  unsigned int block = 0;
  void* target = pool.allocate(room, block);
  void* memory = pool.allocate(sizeof(REGISTITEM), block);
  if (target == nullptr || memory == nullptr)
    CosClMemoryManager::outOfMemory("source/itl_tl/itl_attribute_string",
                                    __LINE__, room);
  unsigned int written = converter.convertBytes(
      static_cast<char*>(target), room,
      reinterpret_cast<char const*>(iv_pusBuffer), bytes);
  ItlClCosInterface::handleCosError(
      "./headers/itl_index/itl_kernel_interface:569", 569,
      converter.getError());
  REGISTITEM* item = new (memory) REGISTITEM();
  item->item_number = static_cast<int16_t>(iv_usNumber);
  item->item_type = 'C';
  item->char_ptr = static_cast<uint8_t*>(target);
  item->char_len = static_cast<int16_t>(written);
  iv_rclPort.addItemAtFront(*item);
}
