// itl_search_string.cpp: ItlClAlSearchString (itl_search_string.hpp).
#include "itl_search_string.hpp"

#include <cstring>

#include "cos_memmgr.hpp"

namespace {

// The language of a new search string: language and territory unknown.
CosClLanguage unknownLanguage() {
  return CosClLanguage(
      (static_cast<unsigned>(CosClLanguage::CosEnLanguageInvalid) << 16) |
      static_cast<unsigned>(CosClLanguage::CosEnTerritoryInvalid));
}

}  // namespace

CosClLanguage itlUnknownLanguageKeeping(CosClLanguage const& language) {
  return CosClLanguage(
      (static_cast<unsigned>(CosClLanguage::CosEnLanguageInvalid) << 16) |
      (static_cast<unsigned>(language.getTerritory()) & 0xFFFFu));
}

ItlClAlSearchString::ItlClAlSearchString(ItlClErrorInfo& errorInfo)
    : iv_clLanguage(unknownLanguage()),
      iv_pcValue(nullptr),
      iv_uiLength(0),
      iv_uiCapacity(0),
      iv_clCCSID(0u),
      iv_iRespectCase(-1),
      iv_bMasksGiven(false),
      iv_uiSingleLength(0),
      iv_acSingle(),
      iv_uiMultiLength(0),
      iv_acMulti(),
      iv_rclErrorInfo(errorInfo) {}

ItlClAlSearchString::ItlClAlSearchString(ItlClErrorInfo& errorInfo,
                                         char const* value, uint32_t length)
    : ItlClAlSearchString(errorInfo) {
  setValue(value, length);
}

ItlClAlSearchString::~ItlClAlSearchString() {
  CosClMemoryManager::free(iv_pcValue);
}

void ItlClAlSearchString::setValue(char const* value, uint32_t length) {
  if (length > iv_uiCapacity || iv_pcValue == nullptr) {
    char* buffer = static_cast<char*>(CosClMemoryManager::allocate(length));
    CosClMemoryManager::free(iv_pcValue);
    iv_pcValue = buffer;
  }
  iv_uiCapacity = length;
  iv_uiLength = length;
  std::memcpy(iv_pcValue, value, length);
}

void ItlClAlSearchString::assign(ItlClAlSearchString const& other) {
  if (other.iv_uiLength == 0) {
    iv_uiLength = 0;
  } else if (other.iv_uiLength > iv_uiCapacity || iv_pcValue == nullptr) {
    setValue(other.iv_pcValue, other.iv_uiLength);
  } else {
    std::memcpy(iv_pcValue, other.iv_pcValue, other.iv_uiLength);
    iv_uiLength = other.iv_uiLength;
  }
  iv_clLanguage = other.iv_clLanguage;
  iv_clCCSID = other.iv_clCCSID;
  iv_iRespectCase = other.iv_iRespectCase;
  iv_bMasksGiven = other.iv_bMasksGiven;
  if (other.iv_bMasksGiven) {
    iv_uiSingleLength = other.iv_uiSingleLength;
    iv_uiMultiLength = other.iv_uiMultiLength;
    std::memcpy(iv_acSingle, other.iv_acSingle, MAX_MASKS);
    std::memcpy(iv_acMulti, other.iv_acMulti, MAX_MASKS);
  } else {
    iv_uiSingleLength = 0;
    iv_uiMultiLength = 0;
  }
}

ItlEnReasonCode itlSetCCSIDAndLanguage(CosClCCSID& ccsidOut,
                                       CosClLanguage& languageOut,
                                       uint16_t ccsid, char const* language) {
  ccsidOut = CosClCCSID(ccsid);
  languageOut.init(language);
  if (languageOut.getLanguage() == CosClLanguage::CosEnLanguageInvalid ||
      languageOut.getTerritory() == CosClLanguage::CosEnTerritoryInvalid)
    return ItlEnReasonCode_Invalid_language;
  if (!ccsidOut.isValid()) return ItlEnReasonCode_Invalid_ccsid;
  return ItlEnReasonCode_Success;
}

ItlEnReasonCode ItlClAlSearchString::setCCSIDAndLanguage(
    uint16_t ccsid, char const* language) {
  return itlSetCCSIDAndLanguage(iv_clCCSID, iv_clLanguage, ccsid, language);
}

ItlEnReasonCode ItlClAlSearchString::setMasks(char const* single,
                                              uint32_t singleCount,
                                              char const* multi,
                                              uint32_t multiCount) {
  if (single == nullptr || multi == nullptr || singleCount == 0 ||
      multiCount == 0) {
    iv_uiSingleLength = 0;
    iv_uiMultiLength = 0;
  }
  iv_bMasksGiven = true;
  if (singleCount < 1 || singleCount > MAX_MASKS || single == nullptr)
    return ItlEnReasonCode_Invalid_single_character_mask;
  if (multiCount < 1 || multiCount > MAX_MASKS || multi == nullptr)
    return ItlEnReasonCode_Invalid_multiple_character_mask;
  iv_uiSingleLength = singleCount;
  std::memcpy(iv_acSingle, single, singleCount);
  iv_uiMultiLength = multiCount;
  std::memcpy(iv_acMulti, multi, multiCount);
  return ItlEnReasonCode_Success;
}

void ItlClAlSearchString::resetToDefault() {
  CosClMemoryManager::free(iv_pcValue);
  iv_pcValue = nullptr;
  iv_uiLength = 0;
  iv_uiCapacity = 0;
  iv_clLanguage = itlUnknownLanguageKeeping(iv_clLanguage);
  iv_clCCSID = CosClCCSID(0u);
  iv_bMasksGiven = false;
  iv_uiSingleLength = 0;
  iv_uiMultiLength = 0;
}
