// itl_kernel_interface_doc.cpp: the current document of an update
// (ItlClKernelInterface): its UTF-8 text, boundaries and attribute items,
// and the two engine calls that take it when it ends.
//
// The text buffer (memory manager) lives as long as the object and only
// grows; boundaries, items and the arrays handed to the engine come from
// the update's pool, which the update empties after each document.
#include <cstring>
#include <new>

#include "calls/voz_gtrcreate.hpp"
#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_create.hpp"
#include "files/voz_status.hpp"
#include "itl_cos_interface.hpp"
#include "itl_error.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_managed_object.hpp"
#include "itl_voz_interface.hpp"

namespace {

char const kOrigin[] = "source/itl_index/itl_kernel_interface_doc";
constexpr uint32_t kUcs2 = 13488;

// Memory of the memory manager for one scope.
struct ScratchBuffer {
  explicit ScratchBuffer(uint32_t size)
      : bytes(static_cast<char*>(CosClMemoryManager::allocate(size))) {}
  ~ScratchBuffer() { CosClMemoryManager::free(bytes); }
  ScratchBuffer(ScratchBuffer const&) = delete;
  ScratchBuffer& operator=(ScratchBuffer const&) = delete;
  char* bytes;
};

}  // namespace

#define ITL_KI_POS(line) "source/itl_index/itl_kernel_interface:" #line, line

void ItlClKernelInterface::ensureConverter() {
  if (iv_pclConverter == nullptr) iv_pclConverter =
        itlNewObject<CosClCodePage2UTF8Converter>(CosClCCSID(kUcs2));
}

CosClConverterABase const& ItlClKernelInterface::getConverter() {
  ensureConverter();
  return *iv_pclConverter;
}

CosClMemoryPool& ItlClKernelInterface::getMemoryPool() {
  if (iv_pclPool == nullptr)
    ItlClException(ITL_KI_POS(230), ItlEnReasonCode_Invalid_calling_sequence,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Rollback)
        .raise();
  return *iv_pclPool;
}

void ItlClKernelInterface::addingToDocument(uint64_t number, bool isNew) {
  if (number == 0 || number > MAX_DOCUMENT_NUMBER)
    ItlClException(ITL_KI_POS(246), ItlEnReasonCode_Docmap_invalid_docnumber)
        .raise();
  requireCreateHandle(ITL_KI_POS(248));
  if (iv_ui64Document == number) return;
  if (iv_ui64Document != 0)
    ItlClException(ITL_KI_POS(254), ItlEnReasonCode_Invalid_calling_sequence,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Rollback)
        .raise();
  iv_ui64Document = number;
  iv_uiFill = 0;
  iv_iStartPosition = 0;
  iv_clBoundaries.reset();
  iv_pstItems = nullptr;
  iv_uiItemCount = 0;
  iv_usDocType = isNew ? GTR_DOCTYPE_NEW : GTR_DOCTYPE_UPDATE;
}

void ItlClKernelInterface::growBuffer(uint32_t needed) {
  uint64_t capacity = static_cast<uint64_t>(iv_uiFill) +
                      static_cast<uint64_t>(needed) * 3u / 2u;
  if (capacity > UINT32_MAX)
    CosClMemoryManager::outOfMemory(kOrigin, __LINE__, UINT32_MAX);
  // Allocate, copy, free: a caller's memory manager need not reallocate.
  auto* bigger = static_cast<uint8_t*>(
      CosClMemoryManager::allocate(static_cast<uint32_t>(capacity)));
  if (iv_uiFill != 0) std::memcpy(bigger, iv_pucBuffer, iv_uiFill);
  CosClMemoryManager::free(iv_pucBuffer);
  iv_pucBuffer = bigger;
  iv_uiCapacity = static_cast<uint32_t>(capacity);
}

void ItlClKernelInterface::addDocumentText(unsigned short const* text,
                                           unsigned int units) {
  if (units == 0) return;
  ensureConverter();
  if (units > UINT32_MAX / 2u)
    CosClMemoryManager::outOfMemory(kOrigin, __LINE__, UINT32_MAX);
  uint32_t bytes = units * 2u;
  uint32_t needed = iv_pclConverter->getMaximumSizeForSize(bytes);
  if (iv_pucBuffer == nullptr || iv_uiCapacity - iv_uiFill < needed)
    growBuffer(needed);
  uint32_t written = iv_pclConverter->convertBytes(
      reinterpret_cast<char*>(iv_pucBuffer + iv_uiFill),
      iv_uiCapacity - iv_uiFill, reinterpret_cast<char const*>(text), bytes);
  ItlClCosInterface::handleCosError(ITL_KI_POS(308),
                                    iv_pclConverter->getError());
  iv_uiFill += written;
}

void ItlClKernelInterface::addField(uint16_t field, uint32_t start,
                                    uint32_t end) {
  iv_clBoundaries.addField(getMemoryPool(), field, start, end);
}

void ItlClKernelInterface::addSegmentBoundary(uint16_t delimiter,
                                              uint32_t position) {
  iv_clBoundaries.addSegmentBoundary(getMemoryPool(), delimiter, position);
}

void ItlClKernelInterface::addItemAtFront(REGISTITEM& item) {
  if (item.item_type == 'C' &&
      (item.char_len < 0 || (item.char_len > 0 && item.char_ptr == nullptr)))
    ItlClException(ITL_KI_POS(520), ItlEnReasonCode_Invalid_argument).raise();
  void* memory =
      itlKernelPoolAllocate(getMemoryPool(), sizeof(ItemEntry), kOrigin,
                            __LINE__);
  iv_pstItems = new (memory) ItemEntry{iv_pstItems, &item};
  ++iv_uiItemCount;
}

void ItlClKernelInterface::addNumberItem(uint16_t attribute, double value) {
  void* memory = itlKernelPoolAllocate(getMemoryPool(), sizeof(REGISTITEM),
                                       kOrigin, __LINE__);
  std::memset(memory, 0, sizeof(REGISTITEM));
  auto* item = static_cast<REGISTITEM*>(memory);
  item->item_number = static_cast<int16_t>(attribute);
  item->item_type = 'N';
  item->num_value = value;
  addItemAtFront(*item);
}

void ItlClKernelInterface::addStringItem(uint16_t attribute,
                                         CosClCCSID const& ccsid,
                                         char const* value, uint32_t length) {
  CosClMemoryPool& pool = getMemoryPool();
  // Every source character gives at least one UTF-8 byte from at most four
  // source bytes: a longer value can never fit.
  if (length / 4u > MAX_STRING_ITEM_BYTES)
    ItlClException(ITL_KI_POS(560), ItlEnReasonCode_Invalid_argument).raise();
  if (iv_pclItemConverter == nullptr ||
      iv_pclItemConverter->getSourceCCSID().getCCSID() != ccsid.getCCSID()) {
    itlDeleteObject(iv_pclItemConverter);
    iv_pclItemConverter =
        itlNewObject<CosClCodePage2UTF8Converter>(
            CosClCCSID(ccsid.getCCSID()));
  }
  uint32_t written = 0;
  uint8_t* bytes = nullptr;
  if (length != 0) {
    // Converted outside the pool: the worst-case room of a long value
    // would not fit a pool block, what is kept does.
    uint32_t room = iv_pclItemConverter->getMaximumSizeForSize(length);
    ScratchBuffer scratch(room != 0 ? room : 1);
    written = iv_pclItemConverter->convertBytes(scratch.bytes, room, value,
                                                length);
    ItlClCosInterface::handleCosError("./headers/itl_index/itl_kernel_interface:569",
                                      569, iv_pclItemConverter->getError());
    if (written > MAX_STRING_ITEM_BYTES)
      ItlClException(ITL_KI_POS(572), ItlEnReasonCode_Invalid_argument)
          .raise();
    bytes = static_cast<uint8_t*>(
        itlKernelPoolAllocate(pool, written, kOrigin, __LINE__));
    std::memcpy(bytes, scratch.bytes, written);
  }
  void* memory =
      itlKernelPoolAllocate(pool, sizeof(REGISTITEM), kOrigin, __LINE__);
  std::memset(memory, 0, sizeof(REGISTITEM));
  auto* item = static_cast<REGISTITEM*>(memory);
  item->item_number = static_cast<int16_t>(attribute);
  item->item_type = 'C';
  item->char_ptr = bytes;
  item->char_len = static_cast<int16_t>(written);
  addItemAtFront(*item);
}

void ItlClKernelInterface::rollbackCurrentDocument() {
  iv_ui64Document = 0;
  iv_pstItems = nullptr;
  iv_uiItemCount = 0;
}

void ItlClKernelInterface::endDocument(bool paragraphRecognition) {
  requireCreateHandle(ITL_KI_POS(340));
  if (iv_ui64Document == 0)
    ItlClException(ITL_KI_POS(343), ItlEnReasonCode_Invalid_calling_sequence,
                   ItlEnReturnCode_Error, ItlEnErrorAction_Rollback)
        .raise();
  CosClMemoryPool& pool = getMemoryPool();
  if (paragraphRecognition)
    iv_clBoundaries.addParagraphBoundaries(pool, iv_pucBuffer, iv_uiFill);
  BOUNDARYINFO* boundaries =
      iv_clBoundaries.makeBoundaryInfo(pool, iv_pucBuffer);
  // The items in the order they were set.
  uint32_t count = iv_uiItemCount;
  auto* items = static_cast<REGISTITEM*>(itlKernelPoolAllocate(
      pool, count * static_cast<uint32_t>(sizeof(REGISTITEM)), kOrigin,
      __LINE__));
  uint32_t index = count;
  for (ItemEntry const* entry = iv_pstItems; entry != nullptr && index > 0;
       entry = entry->next)
    items[--index] = *entry->item;

  GTRONEDOCINFO info;
  std::memset(&info, 0, sizeof info);
  info.usDocType = iv_usDocType;
  int32_t number = static_cast<int32_t>(iv_ui64Document);
  GTRSTATUS status{};
  GTRcreateIndexOneDocExt(iv_pvCreateHandle, iv_pucBuffer,
                          static_cast<int32_t>(iv_uiFill), number,
                          &iv_iStartPosition, boundaries, &info,
                          &status);
  if (status.retcode != 0) {
    // The engine cancelled the update and freed its handle.
    dropCreateHandle();
    rollbackCurrentDocument();
  }
  ItlClVozInterface::handleVozError(ITL_KI_POS(352), status);

  GTRcreateItemIndexOneDocExt(iv_pvCreateHandle, number,
                              static_cast<int32_t>(count), items,
                              &info, &status);
  if (status.retcode != 0) dropCreateHandle();
  rollbackCurrentDocument();
  ItlClVozInterface::handleVozError(ITL_KI_POS(366), status);
}
