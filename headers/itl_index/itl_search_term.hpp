// itl_search_term.hpp: one search term of a query (ItlClAlSearchTerm) with
// the fields it is restricted to (ItlClFieldName) and the weights given per
// field (ItlClFieldWeight).
//
// A term holds its own copy of the search string it was made from and the
// engine's search-word record (RTRVWORD) that the query's compilation
// completes. The setters of the exported functions fill type, start option,
// stem comparison, precision, weight and the prefer-masks flag
// (search_flag); compilation hangs three buffers on the record (wordp,
// pFieldRange, pFieldWeight), allocated through the cos memory manager and
// freed by the term.
//
// Field lists start with room for 10 entries and grow by 10; a list is
// started by a set (which empties it) and extended by adds. Entries keep
// their name buffers across resets (reset2Default zeroes them).
#ifndef ITL_SEARCH_TERM_HPP
#define ITL_SEARCH_TERM_HPP

#include <cstdint>

#include "itl_codes.hpp"
#include "itl_search_string.hpp"
#include "files/voz_records.hpp"

class ItlClErrorInfo;
class ItlClIndexSearch;
class ItlClNormalization;

// A field name: an owned, terminated name buffer and its size in bytes.
class ItlClFieldName {
 public:
  ItlClFieldName();
  virtual ~ItlClFieldName();
  ItlClFieldName(ItlClFieldName const&) = delete;
  ItlClFieldName& operator=(ItlClFieldName const&) = delete;

  // Zeroes the buffer and keeps it.
  virtual void reset2Default();
  // Reuses the buffer when the name and its terminator fit, else replaces
  // it by one of the name's length plus 1.
  void setName(char const* name);
  // The name; "" while none is set.
  char const* getName() const { return iv_pcName != nullptr ? iv_pcName : ""; }

 private:
  char* iv_pcName;       // owned, terminated
  uint32_t iv_uiSize;    // bytes of iv_pcName
};

// A field name with a rank weight (100 at first and after reset2Default).
class ItlClFieldWeight : public ItlClFieldName {
 public:
  static constexpr ItlTyRankWeight DEFAULT_WEIGHT = 100;

  ItlClFieldWeight() : iv_sWeight(DEFAULT_WEIGHT) {}
  void reset2Default() override;
  void setWeight(ItlTyRankWeight weight) { iv_sWeight = weight; }
  ItlTyRankWeight getWeight() const { return iv_sWeight; }

 private:
  ItlTyRankWeight iv_sWeight;
};

// An array of field entries (T is ItlClFieldName or ItlClFieldWeight) with
// a capacity that starts at 10 and grows by 10; entries beyond the count
// are kept (reset) for reuse.
template <class T>
class ItlClFieldList {
 public:
  static constexpr uint32_t GROWTH = 10;

  ItlClFieldList();
  ~ItlClFieldList();
  ItlClFieldList(ItlClFieldList const&) = delete;
  ItlClFieldList& operator=(ItlClFieldList const&) = delete;

  // Resets every entry (through the virtual slot) and empties the list.
  void reset();
  // Appends an entry (growing when full) and returns it.
  T& append();
  uint32_t getCount() const { return iv_uiCount; }
  uint32_t getCapacity() const { return iv_uiCapacity; }
  T const& at(uint32_t i) const { return *iv_ppEntries[i]; }

 private:
  T** iv_ppEntries;       // iv_uiCapacity slots, made entries non-null
  uint32_t iv_uiCapacity;
  uint32_t iv_uiCount;
};

class ItlClAlSearchTerm {
 public:
  static constexpr char TERM_TYPE_WORD = 0x57;   // 'W'
  static constexpr char START_OPTION_KOREAN = 0x53;  // 'S'
  static constexpr int16_t DEFAULT_PRECISION = 100;

  // A copy of `searchString`; record zeroed, type W, precision 100; case
  // rule the search string's respect-case value.
  ItlClAlSearchTerm(ItlClErrorInfo& errorInfo,
                    ItlClAlSearchString const& searchString);
  ~ItlClAlSearchTerm();
  ItlClAlSearchTerm(ItlClAlSearchTerm const&) = delete;
  ItlClAlSearchTerm& operator=(ItlClAlSearchTerm const&) = delete;

  // Copies the search string as at creation; the error info stays.
  void setSearchString(ItlClAlSearchString const& searchString);

  void setKoreanWordBoundary(bool on) {
    iv_stWord.start_option = on ? START_OPTION_KOREAN : 0;
  }
  void setStemming(bool on) { iv_stWord.stemming = on ? 1 : 0; }
  void setPreferMasks(bool on) { iv_stWord.search_flag = on ? 1 : 0; }
  // REQUIRES: 1..100.
  void setPrecision(ItlTyPrecision precision) {
    iv_stWord.precision = static_cast<int16_t>(precision);
  }
  // REQUIRES: 0 or more.
  void setWeight(ItlTyRankWeight weight) {
    iv_sTermWeight = weight;
    iv_stWord.weight = weight;
  }
  ItlTyRankWeight getTermWeight() const { return iv_sTermWeight; }

  // Starts the field-name list with `name` as its only entry.
  void setField(char const* name);
  // Appends to the field-name list; without a list: 368 with the name as
  // context (origin the term's header, line 155), term unchanged.
  void addField(char const* name);
  void setFieldWeight(char const* name, ItlTyRankWeight weight);
  // As addField for the field-weight list (line 189).
  void addFieldWeight(char const* name, ItlTyRankWeight weight);

  // Both lists reset and emptied (kept), case rule -1, the record's buffers
  // freed and the record zeroed, type W, precision 100. The search-string
  // copy stays; the caller resets the error info.
  void resetToDefault();

  // Completes the record for a query: the search string converted from its
  // CCSID (else `ccsid`), normalised by `normalizer` and written as UTF-8;
  // masks (one UTF-8 byte each, else 360/361; none for Thai, 370); fields
  // and field weights numbered by the index's field map, read from the
  // start of their lists every time (unknown names: warning 403, the term
  // then matches no field); the case rule against the index's RespectCase
  // (369 when it cannot be met). The record's buffers stay the term's.
  // Unsupported CCSID: 11. Body in itl_query_finalize.cpp.
  RTRVWORD const& finalize(CosClCCSID const& ccsid,
                           CosClLanguage const& language,
                           ItlClNormalization& normalizer,
                           ItlClIndexSearch& search);


  ItlClAlSearchString const& getSearchString() const { return iv_clString; }
  int32_t getCaseRule() const { return iv_iCaseRule; }
  RTRVWORD& getWord() { return iv_stWord; }
  RTRVWORD const& getWord() const { return iv_stWord; }
  // Null until the first set call of the list.
  ItlClFieldList<ItlClFieldName> const* getFieldNames() const {
    return iv_pclFieldNames;
  }
  ItlClFieldList<ItlClFieldWeight> const* getFieldWeights() const {
    return iv_pclFieldWeights;
  }
  // The Thai break iterator that compilation makes; the term destroys it.
  void*& thaiBreakIterator() { return iv_pvThaiBreakIterator; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }

 private:
  // Frees wordp, pFieldRange and pFieldWeight of the record.
  void freeWordBuffers();

  ItlClFieldList<ItlClFieldName>* iv_pclFieldNames;
  ItlClFieldList<ItlClFieldWeight>* iv_pclFieldWeights;
  ItlClAlSearchString iv_clString;
  int32_t iv_iCaseRule;  // -1 index default, 0, 1
  void* iv_pvThaiBreakIterator;
  RTRVWORD iv_stWord;
  ItlTyRankWeight iv_sTermWeight = 0;  // the caller's; the record's weight
                                       // counts field weights once finalised
  ItlClErrorInfo& iv_rclErrorInfo;
};

#endif  // ITL_SEARCH_TERM_HPP
