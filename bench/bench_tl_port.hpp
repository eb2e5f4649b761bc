// bench_tl_port.hpp: a text-layer index port for benchmarks that converts
// the partitions to UTF-8 (as the kernel interface does) and discards them,
// and a document id that is always new. With `digest` set the port folds
// everything it receives (text bytes, field and segment boundaries, items,
// field and attribute names) into `hash`, for a pass outside the timing
// that shows whether a faster build still gives the same output.
#ifndef BENCH_TL_PORT_HPP
#define BENCH_TL_PORT_HPP

#include <cstdint>
#include <cstring>
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
    uint32_t n = iv_converter.convertBytes(iv_scratch.data(),
                                           static_cast<unsigned>(iv_scratch.size()),
                                           reinterpret_cast<char const*>(text), units * 2);
    if (digest) fold(iv_scratch.data(), n);
    iv_position += n;
  }
  uint32_t getBufferPosition() const override { return iv_position; }
  void addField(unsigned short field, uint32_t start, uint32_t end) override {
    if (digest) fold3('F', field, start, end);
  }
  void addSegmentBoundary(unsigned short indicator, uint32_t position) override {
    if (digest) fold3('S', indicator, position, 0);
  }
  CosClMemoryPool& getMemoryPool() override { return iv_pool; }
  void addItemAtFront(REGISTITEM& item) override {
    ++items;
    if (!digest) return;
    fold3('I', static_cast<uint32_t>(item.item_number),
          static_cast<uint32_t>(item.item_type), 0);
    if (item.item_type == 'N')
      fold(&item.num_value, sizeof item.num_value);
    else if (item.char_ptr != nullptr && item.char_len > 0)
      fold(item.char_ptr, static_cast<size_t>(item.char_len));
  }
  CosClConverterABase const& getConverter() override { return iv_converter; }
  void endDocument(bool) override { iv_pool.deleteAll(); }
  int32_t getUnicodeNormalization() const override { return 0; }
  bool getUmlautNormalization() const override { return false; }
  bool getAccentRemoval() const override { return false; }
  ItlClContext& getContext() override { return iv_context; }
  void assignFieldNameToNumber(char const* name, unsigned short& number, bool& isNew) override {
    number = 1;
    isNew = false;
    if (digest) fold(name, std::strlen(name) + 1);
  }
  void assignAttributeNameToNumber(char const* name, ItlEnAttributeType, unsigned short& number,
                                   bool& isNew) override {
    number = 1;
    isNew = false;
    if (digest) fold(name, std::strlen(name) + 1);
  }
  uint64_t items = 0;
  bool digest = false;
  uint64_t hash = 1469598103934665603ull;  // FNV-1a

 private:
  ItlClErrorInfo iv_errorInfo;
  ItlClContext iv_context;
  CosClUnicode2CodePageConverter iv_converter;
  CosClMemoryPool iv_pool{65536, 65536, 256};
  std::vector<char> iv_scratch;
  uint32_t iv_position = 0;

  void fold(void const* data, size_t n) {
    auto const* p = static_cast<unsigned char const*>(data);
    for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
  }
  void fold3(char kind, uint32_t a, uint32_t b, uint32_t c) {
    uint32_t v[4] = {static_cast<uint32_t>(kind), a, b, c};
    fold(v, sizeof v);
  }
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
