// itl_attribute_string.cpp: STRING attribute values. The whole value,
// converted to the index code page (UTF-8), becomes one character item of
// at most MAX_VALUE_BYTES bytes, cut at a whole character.
#include <cstring>
#include <new>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_create.hpp"
#include "itl_attribute.hpp"
#include "itl_cos_interface.hpp"
#include "itl_tl_index_port.hpp"

namespace {

char const kOriginCut[] = "source/itl_tl/itl_attribute_string:62";

}  // namespace

uint32_t ItlClAttributeParserString::keptValueBytes(char const* value,
                                                    uint32_t length,
                                                    bool& cut) {
  cut = length > MAX_VALUE_BYTES;
  if (!cut) return length;
  uint32_t end = MAX_VALUE_BYTES;
  // Back to the lead byte of the character that does not fit whole.
  while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
    --end;
  return end;
}

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
  bool cut = false;
  uint32_t kept = keptValueBytes(static_cast<char const*>(target), written, cut);
  REGISTITEM* item = new (memory) REGISTITEM();
  item->item_number = static_cast<int16_t>(iv_usNumber);
  item->item_type = 'C';
  item->char_ptr = static_cast<uint8_t*>(target);
  item->char_len = static_cast<int16_t>(kept);
  iv_rclPort.addItemAtFront(*item);
  // A value already cut at its 128th unit has had its warning.
  if (!cut || iv_bTruncated) return;
  char value[MAX_VALUE_BYTES + 1];
  std::memcpy(value, target, kept);
  value[kept] = '\0';
  recordTruncated(kOriginCut, value);
}
