// A recording index port for the text layer's tests and fuzz targets: it
// keeps the document text (converted to UTF-8 as an index of code page
// 1208 would), the boundaries, the items and every call in a readable log, and numbers
// field and attribute names as the name maps do (from 1, per map).
#ifndef TESTS_COMMON_TI_TL_PORT_HPP
#define TESTS_COMMON_TI_TL_PORT_HPP

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "files/voz_records_create.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"
#include "itl_tl_document_id.hpp"
#include "itl_tl_index_port.hpp"

struct RecordedItem {
  int number;
  char type;
  double value;       // 'N'
  std::string bytes;  // 'C'
};

struct RecordedField {
  unsigned short field;
  uint32_t start, end;
  bool operator==(RecordedField const& o) const {
    return field == o.field && start == o.start && end == o.end;
  }
};

class RecordingPort : public ItlClTlIndexPort {
 public:
  // A pool of `poolBytes` first and later blocks.
  explicit RecordingPort(unsigned int poolBytes = 16384)
      : context(errorInfo),
        converter(CosClCCSID(1208)),
        pool(new CosClMemoryPool(poolBytes, poolBytes, 256)) {}

  void addingToDocument(uint64_t number, bool isNew) override {
    log.push_back("open " + std::to_string(number) + (isNew ? " new" : ""));
    open = true;
    text.clear();
  }
  void addDocumentText(unsigned short const* units, unsigned int count) override {
    std::string bytes(count * 3 + 1, '\0');
    unsigned int n = converter.convertBytes(&bytes[0], static_cast<unsigned>(bytes.size()),
                                            reinterpret_cast<char const*>(units), count * 2);
    bytes.resize(n);
    text += bytes;
    partitions.push_back(std::u16string(reinterpret_cast<char16_t const*>(units), count));
    log.push_back("text " + bytes);
  }
  uint32_t getBufferPosition() const override {
    return static_cast<uint32_t>(text.size());
  }
  void addField(unsigned short field, uint32_t start, uint32_t end) override {
    fields.push_back({field, start, end});
    log.push_back("field " + std::to_string(field) + " " + std::to_string(start) +
                  " " + std::to_string(end));
  }
  void addSegmentBoundary(unsigned short indicator, uint32_t position) override {
    log.push_back("segment " + std::to_string(indicator) + " " + std::to_string(position));
  }
  CosClMemoryPool& getMemoryPool() override { return *pool; }
  void addItemAtFront(REGISTITEM& item) override {
    misaligned |= reinterpret_cast<uintptr_t>(&item) % alignof(REGISTITEM) != 0;
    RecordedItem r{item.item_number, item.item_type, 0, ""};
    if (item.item_type == 'N') r.value = item.num_value;
    else r.bytes.assign(reinterpret_cast<char const*>(item.char_ptr),
                        static_cast<size_t>(item.char_len));
    items.insert(items.begin(), r);  // the front of the list
    char line[64];
    std::snprintf(line, sizeof line, "item %d %c %.17g", r.number, r.type, r.value);
    log.push_back(line + (r.type == 'C' ? " " + r.bytes : std::string()));
  }
  CosClConverterABase const& getConverter() override { return converter; }
  void endDocument(bool paragraphs) override {
    log.push_back(std::string("end") + (paragraphs ? " paragraphs" : ""));
    open = false;
  }
  int32_t getUnicodeNormalization() const override { return unicodeMode; }
  bool getUmlautNormalization() const override { return umlaut; }
  bool getAccentRemoval() const override { return accentRemoval; }
  ItlClContext& getContext() override { return context; }
  void assignFieldNameToNumber(char const* name, unsigned short& number,
                               bool& isNew) override {
    assign(fieldMap, name, number, isNew);
    log.push_back(std::string("map field ") + name);
  }
  void assignAttributeNameToNumber(char const* name, ItlEnAttributeType type,
                                   unsigned short& number, bool& isNew) override {
    assign(type == ItlEnAttributeType_String ? stringMap : numericMap, name, number,
           isNew);
  }

  ItlClErrorInfo errorInfo;
  ItlClContext context;
  CosClUnicode2CodePageConverter converter;
  std::unique_ptr<CosClMemoryPool> pool;
  int32_t unicodeMode = 0;
  bool umlaut = false, accentRemoval = false;
  bool open = false, misaligned = false;
  std::string text;                        // the document text, UTF-8
  std::vector<std::u16string> partitions;  // each addDocumentText
  std::vector<RecordedField> fields;
  std::vector<RecordedItem> items;         // front of the list first
  std::vector<std::string> log;
  std::map<std::string, unsigned short> fieldMap, numericMap, stringMap;

 private:
  static void assign(std::map<std::string, unsigned short>& map, char const* name,
                     unsigned short& number, bool& isNew) {
    auto it = map.find(name);
    isNew = it == map.end();
    if (isNew) it = map.emplace(name, static_cast<unsigned short>(map.size() + 1)).first;
    number = it->second;
  }
};

// A document id: a name, a number or both; counts its mappings.
class TestDocumentId : public ItlClTlDocumentIdABase {
 public:
  TestDocumentId(std::string name, uint64_t number, uint64_t assigned = 7)
      : iv_name(std::move(name)), iv_number(number), iv_assigned(assigned) {}
  uint64_t getDocumentNumber() const override {
    if (iv_number == 0) {
      if (iv_name.empty())
        ItlClException("./headers/itl_common/itl_docid:199", 199,
                       ItlEnReasonCode_Docmap_invalid_docid).raise();
      ++mappings;
      iv_number = iv_assigned;
      iv_new = true;
    }
    return iv_number;
  }
  bool isNewDocument() const override { return iv_new; }
  char const* getDocumentName(uint16_t& length) const override {
    length = static_cast<uint16_t>(iv_name.size());
    return iv_name.empty() ? nullptr : iv_name.data();
  }
  mutable int mappings = 0;

 private:
  std::string iv_name;
  mutable uint64_t iv_number;
  uint64_t iv_assigned;
  mutable bool iv_new = false;
};

#endif  // TESTS_COMMON_TI_TL_PORT_HPP
