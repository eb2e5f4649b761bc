// bench_tl_port.hpp: a text-layer index port for benchmarks that converts
// the partitions to UTF-8 (as the kernel interface does) and discards them,
// and a document id that is always new.
#ifndef BENCH_TL_PORT_HPP
#define BENCH_TL_PORT_HPP

#include <cstdint>
#include <vector>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_create.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_tl_document_id.hpp"
#include "itl_tl_index_port.hpp"

class DiscardingPort : public ItlClTlIndexPort {
 public:
  DiscardingPort() : iv_context(iv_errorInfo), iv_converter(CosClCCSID(1208)) {}
  void addingToDocument(uint64_t, bool) override { iv_position = 0; }
  void addDocumentText(unsigned short const* text, unsigned int units) override {
    if (iv_scratch.size() < units * 3u) iv_scratch.resize(units * 3u);
    iv_position += iv_converter.convertBytes(iv_scratch.data(),
                                             static_cast<unsigned>(iv_scratch.size()),
                                             reinterpret_cast<char const*>(text), units * 2);
  }
  uint32_t getBufferPosition() const override { return iv_position; }
  void addField(unsigned short, uint32_t, uint32_t) override {}
  void addSegmentBoundary(unsigned short, uint32_t) override {}
  CosClMemoryPool& getMemoryPool() override { return iv_pool; }
  void addItemAtFront(REGISTITEM&) override { ++items; }
  CosClConverterABase const& getConverter() override { return iv_converter; }
  void endDocument(bool) override { iv_pool.deleteAll(); }
  int32_t getUnicodeNormalization() const override { return 0; }
  bool getUmlautNormalization() const override { return false; }
  bool getAccentRemoval() const override { return false; }
  ItlClContext& getContext() override { return iv_context; }
  void assignFieldNameToNumber(char const*, unsigned short& number, bool& isNew) override {
    number = 1;
    isNew = false;
  }
  void assignAttributeNameToNumber(char const*, ItlEnAttributeType, unsigned short& number,
                                   bool& isNew) override {
    number = 1;
    isNew = false;
  }
  uint64_t items = 0;

 private:
  ItlClErrorInfo iv_errorInfo;
  ItlClContext iv_context;
  CosClUnicode2CodePageConverter iv_converter;
  CosClMemoryPool iv_pool{65536, 65536, 256};
  std::vector<char> iv_scratch;
  uint32_t iv_position = 0;
};

class NumberedId : public ItlClTlDocumentIdABase {
 public:
  uint64_t getDocumentNumber() const override { return number; }
  bool isNewDocument() const override { return true; }
  char const* getDocumentName(uint16_t& length) const override {
    length = 0;
    return nullptr;
  }
  uint64_t number = 1;
};

#endif  // BENCH_TL_PORT_HPP
