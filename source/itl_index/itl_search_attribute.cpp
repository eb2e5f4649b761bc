// itl_search_attribute.cpp: ItlClAlStringAttribute and
// ItlClAlNumericAttributeCondition (itl_search_attribute.hpp).
#include "itl_search_attribute.hpp"

#include <cstring>
#include <string>

#include "cos_memmgr.hpp"
#include "itl_context.hpp"
#include "itl_error.hpp"

namespace {

// A copy of `length` bytes in a new buffer (plus a terminator).
char* copyBytes(char const* bytes, size_t length) {
  if (length + 1 > 0xFFFFFFFFu)
    CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                    COS_MEMMGR_HEADER_LINE, 0xFFFFFFFFu);
  char* buffer = static_cast<char*>(
      CosClMemoryManager::allocate(static_cast<unsigned>(length + 1)));
  std::memcpy(buffer, bytes, length);
  buffer[length] = '\0';
  return buffer;
}

// Raises `reason` with the value text as context.
[[noreturn]] void raiseComparison(char const* origin, unsigned line,
                                  ItlEnReasonCode reason, char const* value,
                                  uint32_t length) {
  ItlClException e(origin, line, reason);
  e.resetContext(std::string(value, length).c_str());
  e.raise();
}

}  // namespace

// ---- string attribute condition --------------------------------------------

ItlClAlStringAttribute::ItlClAlStringAttribute(
    ItlClContext& context, ItlClAlSearchString const& searchString,
    char const* name)
    : iv_clString(context.getErrorInfo()),
      iv_stItem(),
      iv_pcName(nullptr),
      iv_usNameSize(0),
      iv_rclErrorInfo(context.getErrorInfo()),
      iv_rclContext(context) {
  iv_clString.assign(searchString);
  setName(name);
}

ItlClAlStringAttribute::~ItlClAlStringAttribute() {
  CosClMemoryManager::free(iv_pcName);
  CosClMemoryManager::free(iv_stItem.char_ptr);
}

void ItlClAlStringAttribute::reset() {
  if (iv_pcName != nullptr) std::memset(iv_pcName, 0, iv_usNameSize);
  CosClMemoryManager::free(iv_stItem.char_ptr);
  iv_stItem = SEARCHITEM();
}

void ItlClAlStringAttribute::setName(char const* name) {
  size_t length = std::strlen(name);
  if (iv_pcName == nullptr || length + 1 > iv_usNameSize) {
    char* buffer = static_cast<char*>(
        CosClMemoryManager::allocate(static_cast<unsigned>(length + 1)));
    CosClMemoryManager::free(iv_pcName);
    iv_pcName = buffer;
    iv_usNameSize = static_cast<uint16_t>(length + 1);
  }
  std::memset(iv_pcName, 0, iv_usNameSize);
  std::memcpy(iv_pcName, name, length);
}

// ---- numeric and date condition ---------------------------------------------

ItlClAlNumericAttributeCondition::ItlClAlNumericAttributeCondition(
    char const* name, ItlEnAttributeType type, char const* lowValue,
    uint32_t lowLength, ItlEnAttributeComparison lowComparison,
    char const* highValue, uint32_t highLength,
    ItlEnAttributeComparison highComparison, ItlClContext& context)
    : iv_pcName(nullptr),
      iv_enType(type),
      iv_pcLow(nullptr),
      iv_uiLowLength(0),
      iv_pcHigh(nullptr),
      iv_uiHighLength(0),
      iv_clCCSID(0u),
      iv_clLanguage(nullptr),
      iv_stItem(),
      iv_rclErrorInfo(context.getErrorInfo()),
      iv_rclContext(context) {
  // A refused comparison throws after the copies were stored; no
  // destructor runs for a constructor that throws, so they are freed here.
  try {
    setNewValues(name, type, lowValue, lowLength, lowComparison, highValue,
                 highLength, highComparison);
  } catch (...) {
    CosClMemoryManager::free(iv_pcName);
    CosClMemoryManager::free(iv_pcLow);
    CosClMemoryManager::free(iv_pcHigh);
    throw;
  }
}

ItlClAlNumericAttributeCondition::~ItlClAlNumericAttributeCondition() {
  CosClMemoryManager::free(iv_pcName);
  CosClMemoryManager::free(iv_pcLow);
  CosClMemoryManager::free(iv_pcHigh);
}

void ItlClAlNumericAttributeCondition::setNewValues(
    char const* name, ItlEnAttributeType type, char const* lowValue,
    uint32_t lowLength, ItlEnAttributeComparison lowComparison,
    char const* highValue, uint32_t highLength,
    ItlEnAttributeComparison highComparison) {
  // All three copies are made before any is replaced, so a failed
  // allocation leaves the condition as it was.
  char* newName = copyBytes(name, std::strlen(name));
  char* newLow = nullptr;
  char* newHigh = nullptr;
  try {
    newLow = copyBytes(lowValue, lowLength);
    newHigh = copyBytes(highValue, highLength);
  } catch (...) {
    CosClMemoryManager::free(newName);
    CosClMemoryManager::free(newLow);
    throw;
  }
  CosClMemoryManager::free(iv_pcName);
  CosClMemoryManager::free(iv_pcLow);
  CosClMemoryManager::free(iv_pcHigh);
  iv_pcName = newName;
  iv_pcLow = newLow;
  iv_uiLowLength = lowLength;
  iv_pcHigh = newHigh;
  iv_uiHighLength = highLength;
  iv_enType = type;
  iv_stItem = SEARCHITEM();
  iv_stItem.item_type = 'N';
  switch (lowComparison) {
    case ItlEnAttributeComparison_GreaterThan: iv_stItem.num_min_equal = 'X'; break;
    case ItlEnAttributeComparison_GreaterOrEqual: iv_stItem.num_min_equal = 'I'; break;
    default:
      raiseComparison(ITL_SOURCE("source/itl_index/itl_search_attribute"),
                      ItlEnReasonCode_Invalid_min_comparison, lowValue,
                      lowLength);
  }
  switch (highComparison) {
    case ItlEnAttributeComparison_LessThan: iv_stItem.num_max_equal = 'X'; break;
    case ItlEnAttributeComparison_LessOrEqual: iv_stItem.num_max_equal = 'I'; break;
    default:
      raiseComparison(ITL_SOURCE("source/itl_index/itl_search_attribute"),
                      ItlEnReasonCode_Invalid_max_comparison, highValue,
                      highLength);
  }
}

void ItlClAlNumericAttributeCondition::reset() {
  iv_clLanguage = itlUnknownLanguageKeeping(iv_clLanguage);
  iv_clCCSID = CosClCCSID(0u);
}
