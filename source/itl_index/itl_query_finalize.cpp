// itl_query_finalize.cpp: the finalisers of the three operand kinds: a
// search term into its RTRVWORD, a string attribute condition and a number
// or date condition into their SEARCHITEMs, with the query's CCSID,
// language and normaliser and the index's name maps and configuration.
//
// An operand restricted to a name the index does not know (a field of a
// term, the attribute of a condition) is made to match nothing: the name
// map records warning 403, and the record gets a field or an empty range
// no document holds. It is never searched as number 1, the number the map
// answers for unknown names.
#include <cstring>
#include <string>
#include <vector>

#include "cos_converter.hpp"
#include "cos_memmgr.hpp"
#include "itl_attribute.hpp"
#include "itl_attribute_callbacks.h"
#include "itl_context.hpp"
#include "itl_cos_interface.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_config.hpp"
#include "itl_name_maps.hpp"
#include "itl_normalization.hpp"
#include "itl_search_attribute.hpp"
#include "itl_search_handle.hpp"
#include "itl_search_term.hpp"

namespace {

#define kOrigin "source/itl_search/itl_qc_operand"
// A field number no index assigns (the engine's field numbers are signed
// 16-bit; name maps number from 1 upwards): restricts a term to nothing.
constexpr uint16_t kNoField = 32767;
// The attribute of an impossible numeric range: matches nothing.
constexpr uint16_t kNoItem = 32767;
// A longer value can equal no stored one: none is kept longer.
constexpr uint32_t kMaxStringValue =
    ItlClAttributeParserString::MAX_VALUE_BYTES;

[[noreturn]] void raiseWithText(char const* source, unsigned line,
                                ItlEnReasonCode reason,
                                std::string const& text) {
  ItlClException e(source, line, reason);
  e.resetContext(text.c_str());
  e.raise();
}

// The CCSID of an operand: its own when valid, else the query's.
CosClCCSID const& chooseCCSID(CosClCCSID const& own,
                              CosClCCSID const& query) {
  return own.isValid() ? own : query;
}
CosClLanguage const& chooseLanguage(CosClLanguage const& own,
                                    CosClLanguage const& query) {
  return own.getLanguage() != CosClLanguage::CosEnLanguageInvalid ? own
                                                                  : query;
}

// `length` bytes in `ccsid` as UTF-16 units.
std::u16string toUtf16(CosClCCSID const& ccsid, char const* value,
                       uint32_t length) {
  CosClCodePage2UnicodeConverter converter(ccsid);
  if (!converter.isSupported())
    raiseWithText(ITL_SOURCE(kOrigin), ItlEnReasonCode_Ccsid_not_supported,
                  ccsid.getName() != nullptr ? ccsid.getName() : "");
  if (length == 0) return std::u16string();
  unsigned size = converter.getMaximumSizeForSize(length) + 2;
  std::vector<char> target(size);
  unsigned written = converter.convertBytes(target.data(), size, value, length);
  ItlClCosInterface::handleCosError(ITL_SOURCE(kOrigin), converter.getError());
  std::u16string units(written / 2, u'\0');
  std::memcpy(&units[0], target.data(), units.size() * 2);
  return units;
}

// UTF-16 units as UTF-8 (unpaired surrogates as U+FFFD).
std::string toUtf8(std::u16string const& units) {
  std::string out;
  out.reserve(units.size() * 3);
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() &&
        units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// `length` bytes in `ccsid` as UTF-8.
std::string toUtf8(CosClCCSID const& ccsid, char const* value,
                   uint32_t length) {
  return toUtf8(toUtf16(ccsid, value, length));
}

// The UTF-8 bytes of the masks of one kind: each must be one byte (else
// `reason` with the mask as context). Returns the first, or 0.
char convertMasks(CosClCCSID const& ccsid, char const* masks, uint32_t count,
                  ItlEnReasonCode reason, std::string& all) {
  all.clear();
  for (uint32_t i = 0; i < count; ++i) {
    std::string mask = toUtf8(ccsid, masks + i, 1);
    if (mask.size() != 1)
      raiseWithText(ITL_SOURCE(kOrigin), reason, std::string(masks + i, 1));
    all += mask[0];
  }
  return all.empty() ? '\0' : all[0];
}

// Writes every mask of `all` as its first one (the engine's record holds
// one mask character of each kind).
void unifyMasks(std::string& word, std::string const& all) {
  if (all.size() < 2) return;
  for (char& c : word)
    if (all.find(c, 1) != std::string::npos) c = all[0];
}

// The case rule of an operand (-1 the index's, 1 respect case, else not);
// a request the index cannot meet records warning 369.
char caseRule(int32_t rule, bool indexRespectsCase, ItlClErrorInfo& errors) {
  if (rule == -1) return indexRespectsCase ? 'C' : 'N';
  if (rule == 1) {
    if (indexRespectsCase) return 'C';
    errors.setError(kOrigin, ItlEnReasonCode_Index_compliance_rule_restored,
                    ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  }
  return 'N';
}

// The number of a field name, or false for a name the index lacks (the
// map has then recorded warning 403).
bool mapField(ItlClIndex& index, char const* name, uint16_t& number) {
  unsigned short found = 0;
  if (index.getFieldNameMap().mapFieldNameToNumber(name, found) !=
      ItlEnReturnCode_Success)
    return false;
  number = found;
  return true;
}

bool mapAttribute(ItlClIndex& index, char const* name,
                  ItlEnAttributeType type, uint16_t& number) {
  unsigned short found = 0;
  if (index.getAttributeNameMap().mapAttributeNameToNumber(name, type,
                                                           found) !=
      ItlEnReturnCode_Success)
    return false;
  number = found;
  return true;
}

// A numeric condition no document meets.
void makeEmptyRange(SEARCHITEM& item) {
  std::memset(&item, 0, sizeof item);
  item.item_number = kNoItem;
  item.item_type = 'N';
  item.num_min_value = 0.0;
  item.num_max_value = 0.0;
  item.num_min_equal = 'X';
  item.num_max_equal = 'X';
}

template <class T>
T* allocateArray(uint32_t count) {
  size_t bytes = sizeof(T) * (count > 0 ? count : 1);
  void* memory = CosClMemoryManager::allocate(static_cast<unsigned>(bytes));
  std::memset(memory, 0, bytes);
  return static_cast<T*>(memory);
}

}  // namespace

// ---- search terms

RTRVWORD const& ItlClAlSearchTerm::finalize(CosClCCSID const& queryCCSID,
                                            CosClLanguage const& queryLanguage,
                                            ItlClNormalization& normalizer,
                                            ItlClIndexSearch& search) {
  ItlClAlSearchString const& string = iv_clString;
  CosClCCSID const& ccsid = chooseCCSID(string.getCCSID(), queryCCSID);
  CosClLanguage const& language =
      chooseLanguage(string.getLanguage(), queryLanguage);
  std::u16string units =
      toUtf16(ccsid, string.getValue(), string.getValueLength());
  bool masks = string.getMasksGiven() && (string.getSingleMaskLength() > 0 ||
                                          string.getMultiMaskLength() > 0);
  if (language.getLanguage() == CosClLanguage::CosEnLanguage_th && masks)
    raiseWithText(ITL_SOURCE(kOrigin), ItlEnReasonCode_Masking_not_supported,
                  std::string(string.getSingleMasks(),
                              string.getSingleMaskLength()));

  // Normalise in pieces: the normaliser leaves what does not fit.
  std::u16string normalized;
  unsigned factor = normalizer.getNormalizeUnicodeFactor();
  std::vector<unsigned short> buffer(units.size() * factor + 32);
  unsigned short const* source =
      reinterpret_cast<unsigned short const*>(units.data());
  unsigned remaining = static_cast<unsigned>(units.size());
  while (remaining > 0) {
    unsigned before = remaining;
    unsigned written = normalizer.normalize(
        buffer.data(), static_cast<unsigned>(buffer.size()), source,
        remaining);
    normalized.append(reinterpret_cast<char16_t const*>(buffer.data()),
                      written);
    source += before - remaining;
    if (remaining == before) buffer.resize(buffer.size() * 2);
  }
  std::string word = toUtf8(normalized);

  freeWordBuffers();
  RTRVWORD& w = iv_stWord;
  w.mask[0] = 0;
  w.mask[1] = 0;
  if (masks) {
    std::string single, multi;
    w.mask[1] = convertMasks(ccsid, string.getSingleMasks(),
                             string.getSingleMaskLength(),
                             ItlEnReasonCode_Invalid_single_character_mask,
                             single);
    w.mask[0] = convertMasks(ccsid, string.getMultiMasks(),
                             string.getMultiMaskLength(),
                             ItlEnReasonCode_Invalid_multiple_character_mask,
                             multi);
    unifyMasks(word, single);
    unifyMasks(word, multi);
  }
  if (word.size() > 32767) word.resize(32767);
  w.wordp = allocateArray<uint8_t>(static_cast<uint32_t>(word.size()));
  std::memcpy(w.wordp, word.data(), word.size());
  w.wordlen = static_cast<int16_t>(word.size());

  // Fields, read from the start of the list each time: a term added again
  // keeps its restriction. Unknown names restrict to no field.
  ItlClIndex& index = search.getIndex();
  w.fld_number = 0;
  if (iv_pclFieldNames != nullptr && iv_pclFieldNames->getCount() > 0) {
    std::vector<uint16_t> numbers;
    for (uint32_t i = 0; i < iv_pclFieldNames->getCount(); ++i) {
      uint16_t number = 0;
      if (mapField(index, iv_pclFieldNames->at(i).getName(), number))
        numbers.push_back(number);
    }
    if (numbers.empty()) numbers.push_back(kNoField);
    if (numbers.size() == 1 && iv_pclFieldNames->getCount() == 1) {
      w.fld_number = static_cast<int16_t>(numbers[0]);
    } else {
      w.fld_number = static_cast<int16_t>(numbers.size());
      w.pFieldRange =
          allocateArray<GTRFIELDRANGE>(static_cast<uint32_t>(numbers.size()));
      for (size_t i = 0; i < numbers.size(); ++i) {
        w.pFieldRange[i].fld_start_num = numbers[i];
        w.pFieldRange[i].fld_end_num = numbers[i];
      }
    }
  }

  // Field weights: an entry (0, 0, term weight) when the term has a
  // weight, then one per named field the index knows.
  if (iv_pclFieldWeights != nullptr && iv_pclFieldWeights->getCount() > 0) {
    int16_t termWeight = iv_sTermWeight;
    std::vector<GTRFIELDWEIGHT> entries;
    if (termWeight > 0) {
      GTRFIELDWEIGHT e{};
      e.weight = termWeight;
      entries.push_back(e);
    }
    for (uint32_t i = 0; i < iv_pclFieldWeights->getCount(); ++i) {
      uint16_t number = 0;
      if (!mapField(index, iv_pclFieldWeights->at(i).getName(), number))
        continue;
      GTRFIELDWEIGHT e{};
      e.fld_start_num = number;
      e.fld_end_num = number;
      e.weight = iv_pclFieldWeights->at(i).getWeight();
      entries.push_back(e);
    }
    if (!entries.empty()) {
      w.pFieldWeight = allocateArray<GTRFIELDWEIGHT>(
          static_cast<uint32_t>(entries.size()));
      std::memcpy(w.pFieldWeight, entries.data(),
                  entries.size() * sizeof(GTRFIELDWEIGHT));
      w.weight = static_cast<int16_t>(entries.size());
    } else {
      w.weight = termWeight;
    }
  } else {
    w.weight = iv_sTermWeight;
  }

  w.casesens = caseRule(iv_iCaseRule, index.getConfig().getRespectCase(),
                        iv_rclErrorInfo);
  return w;
}

// ---- string attribute conditions

SEARCHITEM ItlClAlStringAttribute::finalize(
    CosClCCSID const& queryCCSID, CosClLanguage const& /*queryLanguage*/,
    ItlClIndexSearch& search) {
  ItlClAlSearchString const& string = iv_clString;
  CosClCCSID const& ccsid = chooseCCSID(string.getCCSID(), queryCCSID);
  std::string value =
      toUtf8(ccsid, string.getValue(), string.getValueLength());
  if (value.size() > kMaxStringValue) {
    ItlClException e(ITL_SOURCE(kOrigin),
                     ItlEnReasonCode_Invalid_string_attribute);
    e.context(65) << ": " << value;
    e.raise();
  }
  char single = 0, multi = 0;
  if (string.getMasksGiven()) {
    std::string singles, multis;
    single = convertMasks(ccsid, string.getSingleMasks(),
                          string.getSingleMaskLength(),
                          ItlEnReasonCode_Invalid_single_character_mask,
                          singles);
    multi = convertMasks(ccsid, string.getMultiMasks(),
                         string.getMultiMaskLength(),
                         ItlEnReasonCode_Invalid_multiple_character_mask,
                         multis);
    unifyMasks(value, singles);
    unifyMasks(value, multis);
  }
  ItlClIndex& index = search.getIndex();
  char casesens = caseRule(string.getRespectCase(),
                           index.getConfig().getRespectCase(),
                           iv_rclErrorInfo);
  CosClMemoryManager::free(iv_stItem.char_ptr);
  std::memset(&iv_stItem, 0, sizeof iv_stItem);
  uint16_t number = 0;
  if (!mapAttribute(index, iv_pcName, ItlEnAttributeType_String, number)) {
    SEARCHITEM nothing;
    makeEmptyRange(nothing);
    return nothing;
  }
  iv_stItem.item_number = number;
  iv_stItem.item_type = 'C';
  iv_stItem.char_ptr =
      allocateArray<uint8_t>(static_cast<uint32_t>(value.size()));
  std::memcpy(iv_stItem.char_ptr, value.data(), value.size());
  iv_stItem.char_len = static_cast<int16_t>(value.size());
  iv_stItem.char_mask[0] = multi;
  iv_stItem.char_mask[1] = single;
  iv_stItem.char_precision = 100;
  iv_stItem.char_casesens = casesens;
  return iv_stItem;
}

// ---- number and date conditions

double ItlClAlNumericAttributeCondition::parseNumberValue(
    std::u16string const& text, CosClLanguage const& language) const {
  ItlTyNumberCallback callback = iv_rclContext.getNumberCallback();
  void* user = iv_rclContext.getNumberUserData();
  if (callback == nullptr) {
    callback = itlAttributeNumberDefaultCallback;
    user = nullptr;
  }
  char languageCode[CosClLanguage::EXTRACT_BUFFER_SIZE] = "";
  std::strncpy(languageCode,
               CosClLanguage::getLanguageCode(language.getLanguage()),
               sizeof languageCode - 1);
  double value = 0.0;
  bool valid = false;
  unsigned consumed = 0;
  bool ok = callback(reinterpret_cast<unsigned short const*>(text.data()),
                     static_cast<unsigned>(text.size()), languageCode,
                     CosClLanguage::getTerritoryCodeShort(
                         language.getTerritory()),
                     user, &value, &valid, &consumed);
  if (!ok || !valid)
    raiseWithText(ITL_SOURCE(kOrigin),
                  ItlEnReasonCode_Invalid_number_attribute, toUtf8(text));
  return value;
}

double ItlClAlNumericAttributeCondition::parseDateValue(
    std::u16string const& text, CosClLanguage const& language) const {
  ItlTyDateCallback callback = iv_rclContext.getDateCallback();
  void* user = iv_rclContext.getDateUserData();
  if (callback == nullptr) {
    callback = itlAttributeDateDefaultCallback;
    user = nullptr;
  }
  char languageCode[CosClLanguage::EXTRACT_BUFFER_SIZE] = "";
  std::strncpy(languageCode,
               CosClLanguage::getLanguageCode(language.getLanguage()),
               sizeof languageCode - 1);
  unsigned short day = 0, month = 0, year = 0;
  bool valid = false;
  unsigned consumed = 0;
  bool ok = callback(reinterpret_cast<unsigned short const*>(text.data()),
                     static_cast<unsigned>(text.size()), languageCode,
                     CosClLanguage::getTerritoryCodeShort(
                         language.getTerritory()),
                     user, &day, &month, &year, &valid, &consumed);
  if (!ok || !valid)
    raiseWithText(ITL_SOURCE(kOrigin), ItlEnReasonCode_Invalid_date_attribute,
                  toUtf8(text));
  return ItlClAttributeParserDate::codeDate(day, month, year);
}

SEARCHITEM ItlClAlNumericAttributeCondition::finalize(
    CosClCCSID const& queryCCSID, CosClLanguage const& queryLanguage,
    ItlClIndexSearch& search) {
  CosClCCSID const& ccsid = chooseCCSID(iv_clCCSID, queryCCSID);
  CosClLanguage const& language =
      chooseLanguage(iv_clLanguage, queryLanguage);
  std::u16string low = toUtf16(ccsid, iv_pcLow, iv_uiLowLength);
  std::u16string high = toUtf16(ccsid, iv_pcHigh, iv_uiHighLength);
  bool date = iv_enType == ItlEnAttributeType_Date;
  double lowValue = date ? parseDateValue(low, language)
                         : parseNumberValue(low, language);
  double highValue = date ? parseDateValue(high, language)
                          : parseNumberValue(high, language);
  SEARCHITEM item = iv_stItem;  // the bounds setNewValues chose
  uint16_t number = 0;
  if (!mapAttribute(search.getIndex(), iv_pcName, iv_enType, number)) {
    makeEmptyRange(item);
    return item;
  }
  item.item_type = 'N';
  item.item_number = number;
  item.num_min_value = lowValue;
  item.num_max_value = highValue;
  return item;
}
