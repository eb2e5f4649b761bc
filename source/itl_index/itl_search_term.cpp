// itl_search_term.cpp: ItlClFieldName, ItlClFieldWeight, ItlClFieldList and
// ItlClAlSearchTerm (itl_search_term.hpp).
#include "itl_search_term.hpp"

#include <cstring>
#include <new>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"
#include "itl_normalization.hpp"

namespace {

// The term's header, where the refusal of an add before a set is raised.
constexpr char kOriginAddField[] = "./headers/itl_index/itl_search_term:155";
constexpr char kOriginAddWeight[] = "./headers/itl_index/itl_search_term:189";

[[noreturn]] void raiseAddBeforeSet(char const* origin, unsigned line,
                                    char const* name) {
  ItlClException e(origin, line, ItlEnReasonCode_Invalid_call_to_add_field_name);
  e.resetContext(name);
  e.raise();
}

}  // namespace

ItlClFieldName::ItlClFieldName() : iv_pcName(nullptr), iv_uiSize(0) {}

ItlClFieldName::~ItlClFieldName() { CosClMemoryManager::free(iv_pcName); }

void ItlClFieldName::reset2Default() {
  if (iv_pcName != nullptr) std::memset(iv_pcName, 0, iv_uiSize);
}

void ItlClFieldName::setName(char const* name) {
  size_t length = std::strlen(name);
  if (length + 1 > iv_uiSize || iv_pcName == nullptr) {
    if (length + 1 > 0xFFFFFFFFu)
      CosClMemoryManager::outOfMemory(COS_MEMMGR_HEADER_POSITION,
                                      COS_MEMMGR_HEADER_LINE, 0xFFFFFFFFu);
    char* buffer = static_cast<char*>(
        CosClMemoryManager::allocate(static_cast<unsigned>(length + 1)));
    CosClMemoryManager::free(iv_pcName);
    iv_pcName = buffer;
    iv_uiSize = static_cast<uint32_t>(length + 1);
  }
  std::memset(iv_pcName, 0, iv_uiSize);
  std::memcpy(iv_pcName, name, length);
}

void ItlClFieldWeight::reset2Default() {
  ItlClFieldName::reset2Default();
  iv_sWeight = DEFAULT_WEIGHT;
}

template <class T>
ItlClFieldList<T>::ItlClFieldList()
    : iv_ppEntries(nullptr), iv_uiCapacity(0), iv_uiCount(0) {
  iv_ppEntries = static_cast<T**>(
      CosClMemoryManager::allocate(GROWTH * sizeof(T*)));
  std::memset(iv_ppEntries, 0, GROWTH * sizeof(T*));
  iv_uiCapacity = GROWTH;
}

template <class T>
ItlClFieldList<T>::~ItlClFieldList() {
  for (uint32_t i = 0; i < iv_uiCapacity; ++i) delete iv_ppEntries[i];
  CosClMemoryManager::free(iv_ppEntries);
}

template <class T>
void ItlClFieldList<T>::reset() {
  for (uint32_t i = 0; i < iv_uiCapacity; ++i)
    if (iv_ppEntries[i] != nullptr) iv_ppEntries[i]->reset2Default();
  iv_uiCount = 0;
}

template <class T>
T& ItlClFieldList<T>::append() {
  if (iv_uiCount == iv_uiCapacity) {
    uint32_t capacity = iv_uiCapacity + GROWTH;
    T** entries = static_cast<T**>(
        CosClMemoryManager::allocate(capacity * sizeof(T*)));
    std::memset(entries, 0, capacity * sizeof(T*));
    std::memcpy(entries, iv_ppEntries, iv_uiCapacity * sizeof(T*));
    CosClMemoryManager::free(iv_ppEntries);
    iv_ppEntries = entries;
    iv_uiCapacity = capacity;
  }
  if (iv_ppEntries[iv_uiCount] == nullptr) iv_ppEntries[iv_uiCount] = new T();
  return *iv_ppEntries[iv_uiCount++];
}

template class ItlClFieldList<ItlClFieldName>;
template class ItlClFieldList<ItlClFieldWeight>;

ItlClAlSearchTerm::ItlClAlSearchTerm(ItlClErrorInfo& errorInfo,
                                     ItlClAlSearchString const& searchString)
    : iv_pclFieldNames(nullptr),
      iv_pclFieldWeights(nullptr),
      iv_clString(errorInfo),
      iv_iCaseRule(searchString.getRespectCase()),
      iv_pvThaiBreakIterator(nullptr),
      iv_stWord(),
      iv_rclErrorInfo(errorInfo) {
  iv_clString.assign(searchString);
  iv_stWord.type = TERM_TYPE_WORD;
  iv_stWord.precision = DEFAULT_PRECISION;
}

ItlClAlSearchTerm::~ItlClAlSearchTerm() {
  delete iv_pclFieldNames;
  delete iv_pclFieldWeights;
  freeWordBuffers();
  itlThaiDestroyBreakIterator(iv_pvThaiBreakIterator);
}

void ItlClAlSearchTerm::setSearchString(ItlClAlSearchString const& searchString) {
  iv_clString.assign(searchString);
  iv_iCaseRule = searchString.getRespectCase();
}

void ItlClAlSearchTerm::setField(char const* name) {
  if (iv_pclFieldNames == nullptr)
    iv_pclFieldNames = new ItlClFieldList<ItlClFieldName>();
  else
    iv_pclFieldNames->reset();
  iv_pclFieldNames->append().setName(name);
}

void ItlClAlSearchTerm::addField(char const* name) {
  if (iv_pclFieldNames == nullptr) raiseAddBeforeSet(kOriginAddField, 155, name);
  iv_pclFieldNames->append().setName(name);
}

void ItlClAlSearchTerm::setFieldWeight(char const* name, ItlTyRankWeight weight) {
  if (iv_pclFieldWeights == nullptr)
    iv_pclFieldWeights = new ItlClFieldList<ItlClFieldWeight>();
  else
    iv_pclFieldWeights->reset();
  ItlClFieldWeight& entry = iv_pclFieldWeights->append();
  entry.setName(name);
  entry.setWeight(weight);
}

void ItlClAlSearchTerm::addFieldWeight(char const* name, ItlTyRankWeight weight) {
  if (iv_pclFieldWeights == nullptr)
    raiseAddBeforeSet(kOriginAddWeight, 189, name);
  ItlClFieldWeight& entry = iv_pclFieldWeights->append();
  entry.setName(name);
  entry.setWeight(weight);
}

void ItlClAlSearchTerm::freeWordBuffers() {
  CosClMemoryManager::free(iv_stWord.wordp);
  CosClMemoryManager::free(iv_stWord.pFieldRange);
  CosClMemoryManager::free(iv_stWord.pFieldWeight);
  iv_stWord.wordp = nullptr;
  iv_stWord.pFieldRange = nullptr;
  iv_stWord.pFieldWeight = nullptr;
}

void ItlClAlSearchTerm::resetToDefault() {
  if (iv_pclFieldNames != nullptr) iv_pclFieldNames->reset();
  if (iv_pclFieldWeights != nullptr) iv_pclFieldWeights->reset();
  iv_iCaseRule = -1;
  freeWordBuffers();
  iv_stWord = RTRVWORD();
  iv_sTermWeight = 0;
  iv_stWord.type = TERM_TYPE_WORD;
  iv_stWord.precision = DEFAULT_PRECISION;
}
