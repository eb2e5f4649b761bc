// itl_search_attribute.hpp: the attribute conditions of a query: a string
// attribute matching a search string (ItlClAlStringAttribute) and a number
// or date attribute in a range (ItlClAlNumericAttributeCondition).
//
// Each holds its own copies (search string, name, value texts) in buffers
// of the cos memory manager and the engine's item record (SEARCHITEM) that
// the query's compilation completes; the string condition's record owns one
// buffer (char_ptr, freed by the condition).
#ifndef ITL_SEARCH_ATTRIBUTE_HPP
#define ITL_SEARCH_ATTRIBUTE_HPP

#include <cstdint>
#include <string>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "files/voz_records.hpp"
#include "itl_codes.hpp"
#include "itl_search_string.hpp"

class ItlClContext;
class ItlClErrorInfo;
class ItlClIndexSearch;

class ItlClAlStringAttribute {
 public:
  // The longest name the 16-bit buffer size holds with its terminator.
  static constexpr size_t MAX_NAME_LENGTH = 65534;

  // REQUIRES: name not null and at most MAX_NAME_LENGTH bytes. Copies the
  // search string and the name; the record is zero.
  ItlClAlStringAttribute(ItlClContext& context,
                         ItlClAlSearchString const& searchString,
                         char const* name);
  ~ItlClAlStringAttribute();
  ItlClAlStringAttribute(ItlClAlStringAttribute const&) = delete;
  ItlClAlStringAttribute& operator=(ItlClAlStringAttribute const&) = delete;

  // Empties the name (buffer kept), frees the record's buffer and zeroes
  // the record; the search string stays.
  void reset();
  // REQUIRES: as the constructor. Reuses the buffer when the name and its
  // terminator fit, else replaces it by a zeroed one of length plus 1.
  void setName(char const* name);
  void setSearchString(ItlClAlSearchString const& searchString) {
    iv_clString.assign(searchString);
  }

  // The condition's record for a query: the value converted from its CCSID
  // (else `ccsid`) to UTF-8 (more than 128 bytes: 33), masks as for terms,
  // the case rule, the attribute numbered by the index's string map. An
  // unknown name (warning 403) gives a record that matches nothing. The
  // value buffer stays the condition's. Body in itl_query_finalize.cpp.
  SEARCHITEM finalize(CosClCCSID const& ccsid, CosClLanguage const& language,
                      ItlClIndexSearch& search);

  ItlClAlSearchString const& getSearchString() const { return iv_clString; }
  char const* getName() const { return iv_pcName; }
  uint16_t getNameBufferSize() const { return iv_usNameSize; }
  SEARCHITEM& getItem() { return iv_stItem; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  ItlClContext& getContext() const { return iv_rclContext; }

 private:
  ItlClAlSearchString iv_clString;
  SEARCHITEM iv_stItem;      // char_ptr owned
  char* iv_pcName;           // owned, terminated
  uint16_t iv_usNameSize;    // bytes of iv_pcName
  ItlClErrorInfo& iv_rclErrorInfo;
  ItlClContext& iv_rclContext;
};

class ItlClAlNumericAttributeCondition {
 public:
  // setNewValues with the arguments; its refusals throw.
  ItlClAlNumericAttributeCondition(char const* name, ItlEnAttributeType type,
                                   char const* lowValue, uint32_t lowLength,
                                   ItlEnAttributeComparison lowComparison,
                                   char const* highValue, uint32_t highLength,
                                   ItlEnAttributeComparison highComparison,
                                   ItlClContext& context);
  ~ItlClAlNumericAttributeCondition();
  ItlClAlNumericAttributeCondition(ItlClAlNumericAttributeCondition const&) =
      delete;
  ItlClAlNumericAttributeCondition& operator=(
      ItlClAlNumericAttributeCondition const&) = delete;

  // REQUIRES: name and values not null. Copies name and both values,
  // clears the record and sets item type 'N'; the lower comparison 0 gives
  // 'X' and 1 'I', else 372 with the lower value as context; the upper
  // comparison 2 gives 'X' and 3 'I', else 373 with the upper value. What
  // was copied before a refusal stays.
  void setNewValues(char const* name, ItlEnAttributeType type,
                    char const* lowValue, uint32_t lowLength,
                    ItlEnAttributeComparison lowComparison,
                    char const* highValue, uint32_t highLength,
                    ItlEnAttributeComparison highComparison);
  // As itlSetCCSIDAndLanguage.
  ItlEnReasonCode setCCSIDAndLanguage(uint16_t ccsid, char const* language) {
    return itlSetCCSIDAndLanguage(iv_clCCSID, iv_clLanguage, ccsid, language);
  }
  // Language unknown (territory kept) and CCSID 0; the rest stays.
  void reset();

  // The condition's record for a query: both values converted from the
  // condition's CCSID (else `ccsid`) and parsed with its language (else
  // `language`), the attribute numbered by the index's number/date map (an
  // unknown name, warning 403, gives a record that matches nothing). Body
  // in itl_query_finalize.cpp.
  SEARCHITEM finalize(CosClCCSID const& ccsid, CosClLanguage const& language,
                      ItlClIndexSearch& search);
  // A value through the context's number callback (else the default one):
  // 32 with the text as context when it is refused or holds no number.
  double parseNumberValue(std::u16string const& text,
                          CosClLanguage const& language) const;
  // A value through the context's date callback (else the default one),
  // coded year * 10000 + month * 100 + day: 31 when refused or not valid.
  double parseDateValue(std::u16string const& text,
                        CosClLanguage const& language) const;

  char const* getName() const { return iv_pcName; }
  ItlEnAttributeType getType() const { return iv_enType; }
  char const* getLowValue() const { return iv_pcLow; }
  uint32_t getLowLength() const { return iv_uiLowLength; }
  char const* getHighValue() const { return iv_pcHigh; }
  uint32_t getHighLength() const { return iv_uiHighLength; }
  CosClCCSID const& getCCSID() const { return iv_clCCSID; }
  CosClLanguage const& getLanguage() const { return iv_clLanguage; }
  SEARCHITEM& getItem() { return iv_stItem; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  ItlClContext& getContext() const { return iv_rclContext; }

 private:
  char* iv_pcName;           // owned, terminated
  ItlEnAttributeType iv_enType;
  char* iv_pcLow;            // owned, iv_uiLowLength bytes
  uint32_t iv_uiLowLength;
  char* iv_pcHigh;           // owned, iv_uiHighLength bytes
  uint32_t iv_uiHighLength;
  CosClCCSID iv_clCCSID;
  CosClLanguage iv_clLanguage;
  SEARCHITEM iv_stItem;
  ItlClErrorInfo& iv_rclErrorInfo;
  ItlClContext& iv_rclContext;
};

#endif  // ITL_SEARCH_ATTRIBUTE_HPP
