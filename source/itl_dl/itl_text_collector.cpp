// itl_text_collector.cpp: the text collector (see the header).
#include "itl_text_collector.hpp"

#include <cstdint>

#include "cos_memmgr.hpp"
#include "itl_cos_interface.hpp"
#include "itl_name_maps.hpp"
#include "itl_normalization.hpp"

namespace {
constexpr unsigned int kNormUnits = 4096;
constexpr unsigned int kMaxBuffer = 0x7FFFFFFF;
}  // namespace

ItlClTextCollector::ItlClTextCollector(ItlClFieldNameMap const& fieldNameMap,
                                       ItlClNormalization const& normalizer)
    : iv_rclFieldNameMap(fieldNameMap),
      iv_rclNormalizer(normalizer),
      iv_clConverter(CosClCCSID(1208)),
      iv_pusNormBuffer(nullptr),
      iv_uiNormCapacity(0),
      iv_pcOutput(nullptr),
      iv_uiOutputSize(0),
      iv_uiOutputUsed(0),
      iv_bExclusion(false) {}

ItlClTextCollector::~ItlClTextCollector() {
  CosClMemoryManager::free(iv_pcOutput);
  CosClMemoryManager::free(iv_pusNormBuffer);
}

void ItlClTextCollector::init(unsigned int size) {
  unsigned int factor = iv_rclNormalizer.getNormalizeUnicodeFactor();
  if (factor == 0) factor = 1;
  growNormalizationBuffer(kNormUnits * factor);
  if (size == 0) size = 1;
  char* output = static_cast<char*>(CosClMemoryManager::realloc(iv_pcOutput, size));
  iv_pcOutput = output;
  iv_uiOutputSize = size;
  iv_uiOutputUsed = 0;
}

void ItlClTextCollector::growNormalizationBuffer(unsigned int units) {
  if (units <= iv_uiNormCapacity) return;
  if (units > kMaxBuffer / 2) CosClMemoryManager::outOfMemory(
      COS_MEMMGR_HEADER_POSITION, COS_MEMMGR_HEADER_LINE, units);
  iv_pusNormBuffer = static_cast<unsigned short*>(
      CosClMemoryManager::realloc(iv_pusNormBuffer, units * 2));
  iv_uiNormCapacity = units;
}

void ItlClTextCollector::ensureOutputRoom(unsigned int bytes) {
  uint64_t need = static_cast<uint64_t>(iv_uiOutputUsed) + bytes;
  if (need <= iv_uiOutputSize) return;
  uint64_t grown = static_cast<uint64_t>(iv_uiOutputSize) * 2;
  if (grown < need) grown = need;
  if (grown > kMaxBuffer) grown = kMaxBuffer;
  if (grown < need)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION, COS_MEMMGR_HEADER_LINE,
                                    static_cast<unsigned int>(bytes));
  iv_pcOutput = static_cast<char*>(CosClMemoryManager::realloc(
      iv_pcOutput, static_cast<unsigned int>(grown)));
  iv_uiOutputSize = static_cast<unsigned int>(grown);
}

void ItlClTextCollector::addText(unsigned short const* text,
                                 unsigned int units) {
  // Excluded text is not indexed: positions must not count it here either.
  if (!iv_bExclusion) append(text, units);
}

void ItlClTextCollector::append(unsigned short const* text,
                                unsigned int units) {
  if (iv_uiNormCapacity == 0) {
    unsigned int factor = iv_rclNormalizer.getNormalizeUnicodeFactor();
    growNormalizationBuffer(factor == 0 ? 1 : factor);
  }
  while (units != 0) {
    unsigned int left = units;
    unsigned int written =
        iv_rclNormalizer.normalize(iv_pusNormBuffer, iv_uiNormCapacity, text,
                                   left);
    unsigned int consumed = units - left;
    if (consumed == 0 && written == 0) {
      // Not even one character fits: more room, then again.
      growNormalizationBuffer(iv_uiNormCapacity * 2);
      continue;
    }
    if (written != 0) {
      // UTF-8 takes at most three bytes for one UTF-16 unit.
      ensureOutputRoom(written * 3);
      unsigned int bytes = iv_clConverter.convertBytes(
          iv_pcOutput + iv_uiOutputUsed, iv_uiOutputSize - iv_uiOutputUsed,
          reinterpret_cast<char const*>(iv_pusNormBuffer), written * 2);
      ItlClCosInterface::handleCosError("source/itl_dl/itl_text_collector:106",
                                        106, iv_clConverter.getError());
      iv_uiOutputUsed += bytes;
    }
    text += consumed;
    units = left;
  }
}

void ItlClTextCollector::addDelimiter() {
  // A delimiter counts also inside an excluded field, as in the index.
  static unsigned short const kBlank = 0x0020;
  append(&kBlank, 1);
}

void ItlClTextCollector::startField(char const* name, bool exclude) {
  unsigned short number = 0;
  if (name != nullptr && *name != '\0')
    iv_rclFieldNameMap.mapFieldNameToNumber(name, number);
  iv_clFieldStack.push(0, number, exclude);
  iv_bExclusion = exclude;
}

void ItlClTextCollector::endField() {
  if (iv_clFieldStack.getDepth() != 0) iv_clFieldStack.pop();
  ItlClFieldStack::Entry const* top = iv_clFieldStack.top();
  iv_bExclusion = top != nullptr && top->exclude;
}
