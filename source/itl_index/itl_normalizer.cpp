// itl_normalizer.cpp: normalizer objects on an index search handle.
#include "itl_normalizer.hpp"

#include <cctype>

#include "itl_error.hpp"
#include "itl_index.hpp"
#include "itl_index_normalizer.hpp"
#include "itl_normalization.hpp"
#include "itl_search_handle.hpp"

#define ITL_NORMALIZER_ORIGIN "source/itl_index/itl_normalizer"

ItlClNormalizer::ItlClNormalizer(ItlClIndexSearch& search, uint16_t ccsid,
                                 char const* language)
    : iv_rclSearch(search),
      iv_rclErrorInfo(search.getErrorInfo()),
      iv_clLanguage(language),
      iv_clCCSID(ccsid),
      iv_pclNormalization(nullptr) {}

ItlClNormalizer::~ItlClNormalizer() {
  ItlClNormalization::destroyNormalizer(iv_pclNormalization);
}

void ItlClNormalizer::init() { iv_pclNormalization = make(); }

ItlClNormalization* ItlClNormalizer::make() const {
  ItlClNormalization* made = itlCreateNormalizer(
      iv_rclSearch.getIndex().getConfig(), iv_clCCSID, iv_clLanguage);
  if (made == nullptr)  // a Unicode mode that no normaliser serves
    ItlClException(ITL_SOURCE(ITL_NORMALIZER_ORIGIN),
                   ItlEnReasonCode_Function_not_supported)
        .raise();
  return made;
}

bool ItlClNormalizer::isThaiLanguage(char const* language) {
  return language != nullptr &&
         std::tolower(static_cast<unsigned char>(language[0])) == 't' &&
         std::tolower(static_cast<unsigned char>(language[1])) == 'h';
}

bool ItlClNormalizer::isThai() const {
  return iv_pclNormalization != nullptr &&
         (iv_pclNormalization->getKindFlags() &
          ItlClNormalization::KIND_THAI) != 0;
}

ItlClNormalization& ItlClNormalizer::getNormalization(char const* language) {
  if (iv_pclNormalization == nullptr || isThaiLanguage(language) != isThai()) {
    // The new object is made first: a failure keeps the current one and
    // the stored language.
    CosClLanguage previous = iv_clLanguage;
    iv_clLanguage.init(language);
    ItlClNormalization* made = nullptr;
    try {
      made = make();
    } catch (...) {
      iv_clLanguage = previous;
      throw;
    }
    ItlClNormalization::destroyNormalizer(iv_pclNormalization);
    iv_pclNormalization = made;
  }
  return *iv_pclNormalization;
}

unsigned int ItlClNormalizer::process(char const* language, uint16_t* target,
                                      unsigned int capacity,
                                      uint16_t const* source,
                                      unsigned int& sourceLength) {
  return getNormalization(language).normalize(target, capacity, source,
                                              sourceLength);
}
