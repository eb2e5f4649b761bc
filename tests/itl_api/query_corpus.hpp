// The documents the query tests search, and the oracle that answers their
// queries from the table alone.
//
// corpus() is a fixed table: 20 documents in the three formats (TEXT
// without fields; HTML with "title" and "body"; XML with the elements
// "chapter" and "para" as fields), most with a NUMBER "price", a DATE
// "published" and a STRING "color", and 50 more TEXT documents "bulk<k>"
// that all hold "common". Words are lower-case and none is part of
// another, so that a word matches exactly where the table has it.
//
// addCorpus() puts the table into an index in one committed update, and
// nameOf() maps an engine document number back to its name. Both go
// through the index's parts (document-name map, name maps, kernel
// interface): the HTML and XML documents are given as text with their
// field boundaries, as the parsers would hand them on.
// TODO(issue 49): switch both bodies to the update and document-id
// functions once they exist; the oracle does not depend on how documents
// got in.
#ifndef TESTS_ITL_API_QUERY_CORPUS_HPP
#define TESTS_ITL_API_QUERY_CORPUS_HPP

#include <fnmatch.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cos_ccsid.hpp"
#include "cos_memmgr.hpp"
#include "itl_api.h"
#include "itl_api_index.hpp"
#include "itl_attribute.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_index.hpp"
#include "itl_index_commit.hpp"
#include "itl_index_file.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_name_maps.hpp"

namespace qc {

enum class Format { Text, Html, Xml };

// Text of one field ("" = outside any field).
struct Piece {
  std::string field;
  std::string text;
};

struct Doc {
  std::string name;
  Format format;
  std::vector<Piece> pieces;
  bool hasAttributes;
  double price;          // NUMBER "price"
  int year, month, day;  // DATE "published"
  std::string color;     // STRING "color"
};

inline std::vector<std::string> const& vocabulary() {
  static std::vector<std::string> const words = {
      "apple", "appendix", "banana", "cherry", "damson", "elder",
      "fig",   "grape",    "honey",  "iris",   "juniper", "kiwi",
      "lemon", "mango",    "olive",  "quince", "x",       "y"};
  return words;
}

inline std::vector<std::string> const& fieldNames() {
  static std::vector<std::string> const names = {"title", "body", "chapter",
                                                 "para"};
  return names;
}

// The table; fixed (its generator's seed is constant).
inline std::vector<Doc> const& corpus() {
  static std::vector<Doc> const docs = [] {
    std::vector<Doc> all;
    uint32_t state = 12345;
    auto next = [&state](uint32_t bound) {
      state = state * 1103515245u + 12345u;
      return (state >> 16) % bound;
    };
    auto words = [&](int count) {
      std::string text;
      for (int i = 0; i < count; ++i) {
        if (!text.empty()) text += ' ';
        text += vocabulary()[next(vocabulary().size())];
      }
      return text;
    };
    char const* colors[] = {"red", "green", "blue"};
    for (int i = 0; i < 20; ++i) {
      Doc d;
      d.name = "doc" + std::to_string(i);
      d.format = static_cast<Format>(i % 3);
      switch (d.format) {
        case Format::Text:
          d.pieces = {{"", words(6)}};
          break;
        case Format::Html:
          d.pieces = {{"title", words(2)}, {"body", words(5)}};
          break;
        case Format::Xml:
          d.pieces = {{"chapter", words(3)}, {"para", words(4)}};
          break;
      }
      d.hasAttributes = i % 5 != 4;
      d.price = (i * 7) % 30;
      d.year = 2008 + i % 4;
      d.month = 1 + (i * 5) % 12;
      d.day = 1 + (i * 3) % 28;
      d.color = colors[i % 3];
      all.push_back(d);
    }
    // Fixed words for the hand-checked rows: proximity and the case rule.
    all[0].pieces[0].text = "lemon kiwi fig grape honey iris juniper mango";
    all[1].pieces[1].text = "Apple banana cherry";
    for (int k = 0; k < 50; ++k) {
      Doc d;
      d.name = "bulk" + std::to_string(k);
      d.format = Format::Text;
      d.pieces = {{"", "common quince"}};
      d.hasAttributes = false;
      d.price = 0;
      d.year = d.month = d.day = 0;
      all.push_back(d);
    }
    return all;
  }();
  return docs;
}

inline std::u16string toU16(std::string const& s) {
  return std::u16string(s.begin(), s.end());  // the table is ASCII
}

// Adds `docs` to `index` in one committed update.
inline void addCorpus(ItlClIndex& index, std::vector<Doc> const& docs) {
  index.load();
  CosClMemoryPool pool{65536, 65536, 256};
  ItlClKernelInterface& kernel = index.getKernelInterface();
  ItlClIndexFileMgr& files = index.getIndexFileMgr();
  files.notifyStartTransaction();
  kernel.openForUpdate(pool, index.getErrorInfo(), false, nullptr);
  for (Doc const& d : docs) {
    _ItlStDocumentId id{d.name.data(), static_cast<uint16_t>(d.name.size())};
    uint64_t number = 0;
    bool isNew = false;
    index.getDocumentNameMapping().assignDocumentNameToNumber(&id, &number,
                                                              isNew);
    pool.deleteAll();
    kernel.addingToDocument(number, isNew);
    for (Piece const& p : d.pieces) {
      std::u16string text = toU16(p.text + " ");
      uint32_t start = kernel.getBufferPosition();
      kernel.addDocumentText(reinterpret_cast<unsigned short const*>(text.data()),
                             static_cast<unsigned>(text.size() - 1));
      uint32_t end = kernel.getBufferPosition();
      if (!p.field.empty()) {
        unsigned short field = 0;
        bool fresh = false;
        index.getFieldNameMap().assignFieldNameToNumber(p.field.c_str(),
                                                        field, fresh);
        kernel.addField(field, start, end);
      }
      kernel.addDocumentText(
          reinterpret_cast<unsigned short const*>(text.data() + text.size() - 1),
          1);
    }
    if (d.hasAttributes) {
      unsigned short price = 0, published = 0, color = 0;
      bool fresh = false;
      ItlClAttributeNameMap& attributes = index.getAttributeNameMap();
      attributes.assignAttributeNameToNumber("price", ItlEnAttributeType_Number,
                                             price, fresh);
      attributes.assignAttributeNameToNumber(
          "published", ItlEnAttributeType_Date, published, fresh);
      attributes.assignAttributeNameToNumber("color", ItlEnAttributeType_String,
                                             color, fresh);
      kernel.addNumberItem(price, d.price);
      kernel.addNumberItem(published,
                           ItlClAttributeParserDate::codeDate(
                               static_cast<unsigned short>(d.day),
                               static_cast<unsigned short>(d.month),
                               static_cast<unsigned short>(d.year)));
      kernel.addStringItem(color, CosClCCSID(1208), d.color.data(),
                           static_cast<uint32_t>(d.color.size()));
    }
    kernel.endDocument(false);
  }
  kernel.processUpdate();
  files.notifyEndTransaction();
  ItlClIndexCommit(index).commitUpdate();
}

// The name of engine document `number` of `index`.
inline std::string nameOf(ItlClIndex& index, uint64_t number) {
  char buffer[4097] = {0};
  _ItlStDocumentId id{buffer, 0};
  index.getDocumentNameMapping().mapNumberToDocumentName(number, &id);
  return id.usDocIdLength != 0 ? std::string(buffer, id.usDocIdLength)
                               : std::string(buffer);
}

// A document id handle of the index, which
// itlQueryResultElementObtainData sets, and the name it then holds.
class DocumentId {
 public:
  explicit DocumentId(ItlTyIndexHandle index) {
    itlHandleNewDocumentID(index, &iv_hId);
  }
  ~DocumentId() { itlHandleDeleteDocumentID(&iv_hId); }
  DocumentId(DocumentId const&) = delete;
  DocumentId& operator=(DocumentId const&) = delete;
  ItlTyDocumentIDHandle handle() { return iv_hId; }
  uint64_t number() const {
    uint64_t n = 0;
    itlDocumentIDObtainNumber(iv_hId, &n);
    return n;
  }
  std::string name() const {
    char const* text = nullptr;
    uint32_t length = 0;
    if (itlDocumentIDObtainName(iv_hId, &text, &length) >= 8 ||
        text == nullptr)
      return "";
    return std::string(text, length);
  }

 private:
  ItlTyDocumentIDHandle iv_hId = nullptr;
};

// ---- the oracle

using Names = std::set<std::string>;

inline std::vector<std::string> split(std::string const& text) {
  std::vector<std::string> out;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ') {
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return out;
}

inline std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Documents holding a word that `pattern` (fnmatch, lower-case unless
// `respectCase`) matches, in one of `fields` (none: anywhere).
inline Names withWord(std::string const& pattern,
                      std::vector<std::string> const& fields = {},
                      bool respectCase = false) {
  Names out;
  for (Doc const& d : corpus())
    for (Piece const& p : d.pieces) {
      if (!fields.empty() &&
          std::find(fields.begin(), fields.end(), p.field) == fields.end())
        continue;
      for (std::string const& w : split(p.text)) {
        std::string word = respectCase ? w : lower(w);
        std::string pat = respectCase ? pattern : lower(pattern);
        if (fnmatch(pat.c_str(), word.c_str(), 0) == 0) out.insert(d.name);
      }
    }
  return out;
}

inline Names where(std::function<bool(Doc const&)> const& test) {
  Names out;
  for (Doc const& d : corpus())
    if (d.hasAttributes && test(d)) out.insert(d.name);
  return out;
}

inline double codedDate(Doc const& d) {
  return d.year * 10000.0 + d.month * 100.0 + d.day;
}

inline Names all() {
  Names out;
  for (Doc const& d : corpus()) out.insert(d.name);
  return out;
}

inline Names both(Names const& a, Names const& b) {
  Names out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(),
                        std::inserter(out, out.end()));
  return out;
}
inline Names either(Names const& a, Names const& b) {
  Names out = a;
  out.insert(b.begin(), b.end());
  return out;
}
inline Names without(Names const& a, Names const& b) {
  Names out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(),
                      std::inserter(out, out.end()));
  return out;
}

}  // namespace qc

#endif  // TESTS_ITL_API_QUERY_CORPUS_HPP
