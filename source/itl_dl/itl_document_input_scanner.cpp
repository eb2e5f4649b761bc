// itl_document_input_scanner.cpp: converts a caller's document once into
// one UTF-16 buffer (host byte order) for the parsers.
//
// Byte-order marks: a UCS-2 document in host order may start with FE FF
// (then it is read big-endian) and/or FF FE; those bytes are skipped before
// conversion and the length shrinks with them, so that no byte past the
// caller's buffer is read. A mark that survives conversion (U+FEFF at the
// start of UTF-8 text, for instance) is dropped from the converted text;
// both count towards the skipped bytes.
#include "itl_document_input_scanner.hpp"

#include <cstring>

#include "cos_memadvise.hpp"
#include "cos_memmgr.hpp"
#include "itl_cos_interface.hpp"
#include "itl_error.hpp"

namespace {

// Slack added when the buffer grows, so that a run of documents of similar
// size converts without new allocations.
constexpr uint64_t kBufferSlack = 16384;

bool startsWith(char const* p, unsigned int length, unsigned char b0,
                unsigned char b1) {
  return length >= 2 && static_cast<unsigned char>(p[0]) == b0 &&
         static_cast<unsigned char>(p[1]) == b1;
}

// Bytes that a byte-order mark takes in the source encoding.
uint32_t markBytes(CosClCCSID const& ccsid) {
  if (ccsid.isUCS2() || ccsid.isUCS2BigEndian() || ccsid.isUCS2HostEndian())
    return 2;
  if (ccsid == CosClCCSID::CCSID_GB18030) return 4;
  return 3;  // UTF-8 and everything else
}

}  // namespace

ItlClDocumentInputScanner::ItlClDocumentInputScanner()
    : iv_clConverter(CosClCCSID(CosClCCSID::CCSID_UTF8)),
      iv_pcRawBegin(nullptr),
      iv_pcRawEnd(nullptr),
      iv_pcRawCurrent(nullptr),
      iv_pcBuffer(nullptr),
      iv_uiBufferCapacity(0),
      iv_uiConvertedLength(0),
      iv_pusConvertedEnd(nullptr),
      iv_pusReadPosition(nullptr),
      iv_bComplete(true),
      iv_uiSkippedBytes(0) {}

ItlClDocumentInputScanner::~ItlClDocumentInputScanner() {
  CosClMemoryManager::free(iv_pcBuffer);
}

void ItlClDocumentInputScanner::setInputText(CosClMemoryPool&,
                                             void const* data,
                                             unsigned int length,
                                             CosClCCSID const& ccsid) {
  iv_pcRawBegin = static_cast<char const*>(data);
  iv_bComplete = false;
  CosClCCSID used = ccsid;

  // 1. Marks of UCS-2 text in host order: skipped with their bytes.
  if (ccsid.isUCS2HostEndian()) {
    if (startsWith(iv_pcRawBegin, length, 0xFE, 0xFF)) {
      used = CosClCCSID(CosClCCSID::CCSID_UCS2_BIG_ENDIAN);
      iv_pcRawBegin += 2;
      length -= 2;
      iv_uiSkippedBytes += 2;
    }
    if (startsWith(iv_pcRawBegin, length, 0xFF, 0xFE)) {
      used = CosClCCSID(CosClCCSID::CCSID_UCS2_LITTLE_ENDIAN);
      iv_pcRawBegin += 2;
      length -= 2;
      iv_uiSkippedBytes += 2;
    }
  }

  // 2. The converter, re-targeted only when the CCSID changes.
  if (used.getCCSID() != iv_clConverter.getSourceCCSID().getCCSID())
    iv_clConverter.initNewCodePage2Unicode(used);
  if (!iv_clConverter.isSupported()) {
    ItlClException e(ITL_SOURCE("source/itl_dl/itl_document_input_scanner"),
                     ItlEnReasonCode_Ccsid_not_supported);
    e.context(7) << ": " << static_cast<uint32_t>(ccsid.getCCSID());
    e.raise();
  }
  iv_pcRawCurrent = iv_pcRawBegin;
  iv_pcRawEnd = iv_pcRawBegin + length;

  // 3. Room for the whole conversion; the buffer never shrinks.
  uint64_t needed = iv_clConverter.getMaximumSizeForSize(length);
  if (iv_uiBufferCapacity < needed) {
    uint64_t capacity = needed + kBufferSlack;
    if (capacity > UINT32_MAX)
      CosClMemoryManager::outOfMemory(
          ITL_SOURCE("source/itl_dl/itl_document_input_scanner"), UINT32_MAX);
    iv_pcBuffer = static_cast<char*>(CosClMemoryManager::realloc(
        iv_pcBuffer, static_cast<unsigned int>(capacity)));
    iv_uiBufferCapacity = static_cast<uint32_t>(capacity);
    // The conversion below writes the buffer through at once; a large one
    // is better touched in huge pages than in 4 KB faults.
    cosAdviseLargeBlock(iv_pcBuffer, iv_uiBufferCapacity);
  }

  // 4. One conversion of the whole text; a target reported full is an
  // error like any other, never a silent cut.
  uint32_t written = 0;
  if (length != 0) {
    written = iv_clConverter.convertBytes(iv_pcBuffer, iv_uiBufferCapacity,
                                          &iv_pcRawCurrent, length);
    if (iv_clConverter.getError().isError())
      ItlClCosInterface::handleCosError(
          ITL_SOURCE("source/itl_dl/itl_document_input_scanner"),
          iv_clConverter.getError());
  }

  // 5. A mark that came through the conversion is dropped.
  unsigned short* units = reinterpret_cast<unsigned short*>(iv_pcBuffer);
  iv_uiConvertedLength = written / 2;
  iv_pusReadPosition = units;
  if (iv_uiConvertedLength != 0 && (units[0] == 0xFEFF || units[0] == 0xFFFE)) {
    ++iv_pusReadPosition;
    --iv_uiConvertedLength;
    iv_uiSkippedBytes += markBytes(used);
  }
  iv_pusConvertedEnd = iv_pusReadPosition
                           ? iv_pusReadPosition + iv_uiConvertedLength
                           : nullptr;
  iv_bComplete = true;
  iv_pcRawCurrent = iv_pcRawEnd;
}

void ItlClDocumentInputScanner::setInputTextNoConv(void const* data,
                                                   unsigned int length) {
  iv_pcRawBegin = static_cast<char const*>(data);
  iv_pcRawEnd = iv_pcRawBegin + length;
}

void const* ItlClDocumentInputScanner::getInputBuffer(
    unsigned int& length) const {
  length = static_cast<unsigned int>(iv_pcRawEnd - iv_pcRawBegin);
  return iv_pcRawBegin;
}

unsigned short const* ItlClDocumentInputScanner::getNextBuffer(
    unsigned int& length) {
  if (iv_pusReadPosition == nullptr ||
      iv_pusReadPosition >= iv_pusConvertedEnd) {
    length = 0;
    return nullptr;
  }
  unsigned short const* start = iv_pusReadPosition;
  length = static_cast<unsigned int>(iv_pusConvertedEnd - start);
  iv_pusReadPosition = iv_pusConvertedEnd;
  return start;
}

void ItlClDocumentInputScanner::reset() {
  iv_pcRawBegin = iv_pcRawEnd = iv_pcRawCurrent = nullptr;
  iv_uiConvertedLength = 0;
  iv_pusConvertedEnd = nullptr;
  iv_pusReadPosition = nullptr;
  iv_uiSkippedBytes = 0;
  iv_bComplete = true;
}
