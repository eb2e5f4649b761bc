// itl_docid.cpp: a caller's document id on one index.
#include "itl_docid.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_config.hpp"

namespace {

#define ITL_DOCID_ORIGIN "source/itl_index/itl_docid"

// Room for the decimal text of MAX_NUMBER and its NUL.
constexpr uint32_t kNumberTextSize = 11;

}  // namespace

ItlClDocumentID::ItlClDocumentID(ItlClIndex& index)
    : iv_rclIndex(index),
      iv_pcName(nullptr),
      iv_uiCapacity(0),
      iv_usLength(0),
      iv_usMaxLength(0),
      iv_ui64Number(0),
      iv_bHasNumber(false),
      iv_bIsNew(false),
      iv_bDoMap(true) {}

ItlClDocumentID::~ItlClDocumentID() { CosClMemoryManager::free(iv_pcName); }

void ItlClDocumentID::init() {
  iv_rclIndex.load();
  ItlClIndexConfig const& config = iv_rclIndex.getConfig();
  iv_bDoMap = config.getDocumentIdMapping();
  iv_usMaxLength = config.getMaxDocIDLength();
  uint32_t capacity = iv_usMaxLength + 1u;
  if (capacity < kNumberTextSize) capacity = kNumberTextSize;
  iv_pcName = static_cast<char*>(CosClMemoryManager::allocate(capacity));
  iv_uiCapacity = capacity;
  clear();
}

void ItlClDocumentID::clear() {
  iv_usLength = 0;
  if (iv_pcName != nullptr) iv_pcName[0] = '\0';
  iv_ui64Number = 0;
  iv_bHasNumber = false;
  iv_bIsNew = false;
}

void ItlClDocumentID::storeName(char const* name, uint32_t length) {
  // The callers checked the length against MaxDocumentIDLength.
  if (length >= iv_uiCapacity) length = iv_uiCapacity - 1;
  std::memcpy(iv_pcName, name, length);
  iv_pcName[length] = '\0';
  iv_usLength = static_cast<uint16_t>(length);
}

void ItlClDocumentID::setName(char const* name, uint32_t length) {
  storeName(name, length);
  iv_ui64Number = 0;
  iv_bHasNumber = false;
  iv_bIsNew = false;
  if (iv_bDoMap) return;
  // The name is the number's decimal text: digits only (no blank, no
  // sign), never above MAX_NUMBER; a longer text is refused before it
  // could overflow.
  uint64_t number = 0;
  bool valid = iv_usLength > 0;
  for (uint16_t i = 0; valid && i < iv_usLength; ++i) {
    char c = iv_pcName[i];
    if (c < '0' || c > '9') {
      valid = false;
      break;
    }
    number = number * 10 + static_cast<uint64_t>(c - '0');
    if (number > MAX_NUMBER) valid = false;
  }
  if (!valid)
    ItlClException(ITL_SOURCE(ITL_DOCID_ORIGIN),
                   ItlEnReasonCode_Docmap_invalid_docid)
        .raise();
  iv_ui64Number = number;
  iv_bHasNumber = true;
}

void ItlClDocumentID::setNumber(uint64_t number) {
  if (number > MAX_NUMBER)
    ItlClException(ITL_SOURCE(ITL_DOCID_ORIGIN), ItlEnReasonCode_Invalid_docid)
        .raise();
  if (iv_bDoMap) {
    iv_usLength = 0;
    iv_pcName[0] = '\0';
  } else {
    char text[kNumberTextSize + 8];
    int n = std::snprintf(text, sizeof text, "%llu",
                          static_cast<unsigned long long>(number));
    storeName(text, static_cast<uint32_t>(n));
  }
  iv_ui64Number = number;
  iv_bHasNumber = true;
  iv_bIsNew = false;
}

void ItlClDocumentID::obtainName(char const*& name, uint32_t& length) {
  if (iv_usLength == 0) {
    if (!iv_bHasNumber)
      ItlClException(ITL_SOURCE(ITL_DOCID_ORIGIN),
                     ItlEnReasonCode_Docmap_invalid_docid)
          .raise();
    _ItlStDocumentId id{iv_pcName, 0};
    iv_rclIndex.getDocumentNameMapping().mapNumberToDocumentName(
        iv_ui64Number, &id);
    uint16_t got = id.usDocIdLength;
    if (got == 0 || got >= iv_uiCapacity) {
      // A fixed-size layout leaves the length alone: the name fills the
      // configured size.
      got = static_cast<uint16_t>(
          strnlen(iv_pcName, std::min<uint32_t>(iv_usMaxLength,
                                                iv_uiCapacity - 1)));
    }
    iv_pcName[got] = '\0';
    iv_usLength = got;
  }
  name = iv_pcName;
  length = iv_usLength;
}

uint64_t ItlClDocumentID::obtainNumber() {
  if (!iv_bHasNumber) getDocumentNumber();
  return iv_ui64Number;
}

uint64_t ItlClDocumentID::getDocumentNumber() const {
  if (iv_bHasNumber) return iv_ui64Number;
  if (iv_usLength == 0)
    ItlClException("./headers/itl_common/itl_docid:199", 199,
                   ItlEnReasonCode_Docmap_invalid_docid)
        .raise();
  _ItlStDocumentId id{iv_pcName, iv_usLength};
  uint64_t number = 0;
  bool isNew = false;
  iv_rclIndex.getDocumentNameMapping().assignDocumentNameToNumber(
      &id, &number, isNew);
  iv_ui64Number = number;
  iv_bIsNew = isNew;
  iv_bHasNumber = true;
  return number;
}

uint64_t ItlClDocumentID::assignForUpdate() {
  if (iv_bDoMap && iv_usLength > 0) iv_bHasNumber = false;
  return getDocumentNumber();
}

char const* ItlClDocumentID::getDocumentName(uint16_t& length) const {
  length = iv_usLength;
  return iv_usLength == 0 ? nullptr : iv_pcName;
}

void ItlClDocumentID::retrieveByName(char const* name, uint32_t length) {
  storeName(name, length);
  iv_ui64Number = 0;
  iv_bHasNumber = false;
  iv_bIsNew = false;
  if (iv_bDoMap) {
    ItlClDocumentNameMapping& map = iv_rclIndex.getDocumentNameMapping();
    // A lookup never opens the map for update: outside a transaction it
    // reads the index's own set.
    if (!map.isTransactionOpen()) map.access4Read();
    _ItlStDocumentId id{iv_pcName, iv_usLength};
    uint64_t number = 0;
    map.getDex().obtainDocNumber(&id, &number, map.getDeletedDocs());
    if (number != 0) {
      iv_ui64Number = number;
      iv_bHasNumber = true;
      return;
    }
  }
  clear();
  ItlClException(ITL_SOURCE(ITL_DOCID_ORIGIN),
                 ItlEnReasonCode_Docmap_docid_not_found)
      .raise();
}
