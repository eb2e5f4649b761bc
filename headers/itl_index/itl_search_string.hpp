// itl_search_string.hpp: the caller's text of one search word or phrase
// (ItlClAlSearchString), the value search terms and string attribute
// conditions are made from.
//
// The value is raw bytes in the object's CCSID, 1..128 bytes after a
// successful set (0 and no buffer after a reset), never terminated. CCSID 0
// and the unknown language mean that the query's CCSID and language apply.
// Up to six mask characters of each kind are kept, as raw bytes in the
// value's CCSID. Terms and attribute conditions hold their own copies
// (`assign`), so a search string may be changed or deleted at once.
//
// Buffers are allocated through the cos memory manager; an allocation
// failure throws its out-of-memory CosClException and leaves the object as
// it was. The class records no error itself: the setters return the reason
// a caller records.
#ifndef ITL_SEARCH_STRING_HPP
#define ITL_SEARCH_STRING_HPP

#include <cstdint>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"
#include "itl_codes.hpp"

class ItlClErrorInfo;

class ItlClAlSearchString {
 public:
  static constexpr uint32_t MAX_VALUE_LENGTH = 128;
  static constexpr uint32_t MAX_MASKS = 6;

  // A copy of `length` bytes of `value` (REQUIRES: 1..128, value not null);
  // CCSID 0, language and territory unknown, respect case -1, no masks.
  ItlClAlSearchString(ItlClErrorInfo& errorInfo, char const* value,
                      uint32_t length);
  // An empty search string (no value) whose fields `assign` fills.
  explicit ItlClAlSearchString(ItlClErrorInfo& errorInfo);
  ~ItlClAlSearchString();
  ItlClAlSearchString(ItlClAlSearchString const&) = delete;
  ItlClAlSearchString& operator=(ItlClAlSearchString const&) = delete;

  // Copies every field of `other` but the error info: the value into the
  // own buffer (replaced only when too small), the masks only when masks
  // were given (else both lengths 0).
  void assign(ItlClAlSearchString const& other);

  // REQUIRES: value not null, length 1..128. A buffer too small is freed
  // and one of exactly `length` bytes allocated; the capacity becomes the
  // length either way.
  void setValue(char const* value, uint32_t length);
  // Stores both, then returns Invalid_language (8) for an unknown language
  // or territory, else Invalid_ccsid (10) for an invalid CCSID, else 0.
  ItlEnReasonCode setCCSIDAndLanguage(uint16_t ccsid, char const* language);
  // REQUIRES: 0 or 1.
  void setRespectCase(int32_t respectCase) { iv_iRespectCase = respectCase; }
  // The mask rules of itlSearchStringSetMasks: 0, or 360/361 when a count
  // is outside 1..MAX_MASKS (the masks-given flag is set either way; a null
  // pointer or a zero count first empties both stored masks).
  ItlEnReasonCode setMasks(char const* single, uint32_t singleCount,
                           char const* multi, uint32_t multiCount);
  // Frees the value, language unknown (territory kept), CCSID 0, no masks;
  // respect case is kept. The error info is the caller's to reset.
  void resetToDefault();

  char const* getValue() const { return iv_pcValue; }
  uint32_t getValueLength() const { return iv_uiLength; }
  uint32_t getCapacity() const { return iv_uiCapacity; }
  CosClCCSID const& getCCSID() const { return iv_clCCSID; }
  CosClLanguage const& getLanguage() const { return iv_clLanguage; }
  int32_t getRespectCase() const { return iv_iRespectCase; }
  bool getMasksGiven() const { return iv_bMasksGiven; }
  uint32_t getSingleMaskLength() const { return iv_uiSingleLength; }
  char const* getSingleMasks() const { return iv_acSingle; }
  uint32_t getMultiMaskLength() const { return iv_uiMultiLength; }
  char const* getMultiMasks() const { return iv_acMulti; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }

 private:
  CosClLanguage iv_clLanguage;
  char* iv_pcValue;          // owned; null after a reset
  uint32_t iv_uiLength;      // bytes in use
  uint32_t iv_uiCapacity;    // bytes allocated
  CosClCCSID iv_clCCSID;
  int32_t iv_iRespectCase;   // -1 index default, 0 no, 1 yes
  bool iv_bMasksGiven;
  uint32_t iv_uiSingleLength;
  char iv_acSingle[MAX_MASKS];
  uint32_t iv_uiMultiLength;
  char iv_acMulti[MAX_MASKS];
  ItlClErrorInfo& iv_rclErrorInfo;
};

// The language with an unknown language part and `territory` kept.
CosClLanguage itlUnknownLanguageKeeping(CosClLanguage const& language);

// Stores `ccsid` and the parsed `language` (REQUIRES: not null), then
// returns Invalid_language (8) when the language or the territory is
// unknown, else Invalid_ccsid (10) when the CCSID is not valid, else 0. The
// values stay stored when refused.
ItlEnReasonCode itlSetCCSIDAndLanguage(CosClCCSID& ccsidOut,
                                       CosClLanguage& languageOut,
                                       uint16_t ccsid, char const* language);

#endif  // ITL_SEARCH_STRING_HPP
