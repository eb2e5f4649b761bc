// itl_text_analysis_buffer.cpp: the normalised-text buffer of a document
// and its partitions.
//
// Layout of the chunk (UTF-16 units):
//   [0]              a blank, so that a backward scan for a word start
//                    always stops
//   [1 .. capacity]  the text area: iv_pusText .. iv_pusWrite is buffered
// Invariant: iv_uiFree == capacity - buffered().
#include <cstring>

#include "cos_memmgr.hpp"
#include "cos_trace.hpp"
#include "itl_normalization.hpp"
#include "itl_text_analysis.hpp"
#include "itl_tl_index_port.hpp"

ItlClTextAnalysisBuffer::ItlClTextAnalysisBuffer(
    ItlClTextAnalysisUpdateABase& owner, ItlClTlIndexPort& port)
    : iv_rclOwner(owner),
      iv_rclPort(port),
      iv_pclNormalizer(ItlClNormalization::createDefaultNormalizer()),
      iv_uiFactor(1),
      iv_pusStart(nullptr),
      iv_pusText(nullptr),
      iv_pusWrite(nullptr),
      iv_pusMark(nullptr),
      iv_uiCapacity(0),
      iv_uiFree(0) {}

ItlClTextAnalysisBuffer::~ItlClTextAnalysisBuffer() {
  ItlClNormalization::destroyNormalizer(iv_pclNormalizer);
}

void ItlClTextAnalysisBuffer::startDocument(CosClMemoryPool& pool,
                                            CosClCCSID const& ccsid,
                                            CosClLanguage const& language) {
  unsigned int chunk = pool.getLargestPossibleChunk();
  chunk &= ~(COS_MEMPOOL_ALIGNMENT - 1);  // a size the pool need not round
  if (chunk < MIN_CHUNK) chunk = MIN_CHUNK;
  unsigned int block = 0;
  void* memory = pool.allocate(chunk, block);
  if (memory == nullptr)
    CosClMemoryManager::outOfMemory("source/itl_tl/itl_text_analysis_buffer",
                                    __LINE__, chunk);
  iv_pusStart = static_cast<unsigned short*>(memory);
  iv_pusStart[0] = 0x20;
  iv_pusText = iv_pusStart + 1;
  iv_uiCapacity = chunk / 2 - 1;
  // Another mode than 0, 1 or 2 gives no normaliser: keep the current one.
  ItlClNormalization* chosen = ItlClNormalization::createNormalizer(
      iv_rclPort.getUnicodeNormalization(), iv_rclPort.getUmlautNormalization(),
      iv_rclPort.getAccentRemoval(), ccsid, language, iv_pclNormalizer);
  if (chosen != nullptr) iv_pclNormalizer = chosen;
  iv_uiFactor = iv_pclNormalizer->getNormalizeUnicodeFactor();
  iv_pusWrite = iv_pusText;
  iv_pusMark = nullptr;
  iv_uiFree = iv_uiCapacity;
  if (gs_pclCosTraceInstance != nullptr) {
    uint32_t values[2] = {static_cast<uint32_t>(ccsid.getCCSID()), iv_uiCapacity + 1};
    cosTraceDump(CosEnTraceDetail::HIGH, 3, CosEnTraceDataType::UINT32,
                 "source/itl_tl/itl_text_analysis_buffer", "original CCSID",
                 &values[0], sizeof values[0]);
    cosTraceDump(CosEnTraceDetail::HIGH, 3, CosEnTraceDataType::UINT32,
                 "source/itl_tl/itl_text_analysis_buffer", "TA buffer size",
                 &values[1], sizeof values[1]);
  }
}

unsigned int ItlClTextAnalysisBuffer::getPartitionLength() {
  if (iv_pusMark != nullptr) {
    unsigned int length = static_cast<unsigned int>(iv_pusMark - iv_pusText);
    iv_pusMark = nullptr;
    return length;
  }
  unsigned int all = buffered();
  if (all == 0 || iv_pusWrite[-1] <= 0x20) return all;
  // Back over the unfinished word; the blank at iv_pusStart stops the scan.
  unsigned short* word = iv_pusWrite;
  while (word[-1] > 0x20) --word;
  // The partition ends before the blank or control unit ahead of the word.
  if (word - 1 > iv_pusText)
    return static_cast<unsigned int>(word - 1 - iv_pusText);
  // One word fills the buffer: hand it all, but never the first unit of a
  // surrogate pair without the second, which the next text brings.
  if (all > 1 && iv_pusWrite[-1] >= 0xD800 && iv_pusWrite[-1] <= 0xDBFF)
    return all - 1;
  return all;
}

bool ItlClTextAnalysisBuffer::holdsOneUnfinishedWord() const {
  if (iv_pusMark != nullptr || buffered() == 0 || iv_pusWrite[-1] <= 0x20)
    return false;
  unsigned short const* word = iv_pusWrite;
  while (word[-1] > 0x20) --word;
  return word - 1 <= iv_pusText;
}

void ItlClTextAnalysisBuffer::makeRoom() {
  // A word that fills the buffer is cut only when not one more unit fits:
  // until then it may still end and go out whole.
  if (iv_uiFree >= iv_uiFactor && holdsOneUnfinishedWord()) return;
  unsigned int length = getPartitionLength();
  if (length != 0)
    iv_rclOwner.setProcessingState(iv_rclOwner.processDocument(
        iv_pusText, length, iv_rclOwner.getProcessingState()));
  unsigned int keep = buffered() - length;
  if (keep != 0 && length != 0)
    std::memmove(iv_pusText, iv_pusText + length, keep * sizeof *iv_pusText);
  iv_pusWrite = iv_pusText + keep;
  iv_uiFree = iv_uiCapacity - keep;
}

void ItlClTextAnalysisBuffer::flushBuffer() {
  if (buffered() != 0)
    iv_rclOwner.setProcessingState(iv_rclOwner.processDocument(
        iv_pusText, buffered(), iv_rclOwner.getProcessingState()));
  iv_pusWrite = iv_pusText;
  iv_uiFree = iv_uiCapacity;
  iv_pusMark = nullptr;
}

unsigned int ItlClTextAnalysisBuffer::addText(unsigned short const* text,
                                              unsigned int length) {
  unsigned int total = 0;
  while (length != 0) {
    if (iv_uiFree < static_cast<uint64_t>(iv_uiFactor) * length &&
        buffered() != 0)
      makeRoom();
    unsigned int rest = length;
    unsigned int written =
        iv_pclNormalizer->normalize(iv_pusWrite, iv_uiFree, text, rest);
    iv_pusWrite += written;
    iv_uiFree -= written;
    total += written;
    text += length - rest;
    if (rest == length && written == 0) {
      // Nothing fitted. With text in the buffer, hand a partition over
      // (all of it when no partition frees anything); in an empty buffer
      // (a piece longer than the whole buffer) copy one unit as it stands,
      // so that no text is lost and the loop ends.
      if (buffered() != 0) {
        unsigned int before = buffered();
        makeRoom();
        if (buffered() == before) flushBuffer();
        continue;
      }
      *iv_pusWrite++ = *text++;
      --iv_uiFree;
      ++total;
      --rest;
    }
    length = rest;
  }
  return total;
}

unsigned int ItlClTextAnalysisBuffer::addDelimiter() {
  iv_pusMark = iv_pusWrite;
  if (iv_uiFree < iv_uiFactor && buffered() != 0) makeRoom();
  unsigned short const blank = 0x20;
  return addText(&blank, 1);
}
