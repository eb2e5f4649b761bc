// itl_index_normalizer.cpp: the normaliser of an index's configuration.
#include "itl_index_normalizer.hpp"

#include "itl_index_config.hpp"
#include "itl_normalization.hpp"

ItlClNormalization* itlCreateNormalizer(ItlClIndexConfig const& config,
                                        CosClCCSID const& ccsid,
                                        CosClLanguage const& language) {
  return ItlClNormalization::createNormalizer(
      config.getUnicodeNormalization(), config.getUmlautNormalization(),
      config.getAccentRemoval(), ccsid, language);
}

ItlClNormalization* itlCreateNormalizer(ItlClIndexConfig const& config,
                                        CosClCCSID const& ccsid,
                                        CosClLanguage const& language,
                                        ItlClNormalization* current) {
  return ItlClNormalization::createNormalizer(
      config.getUnicodeNormalization(), config.getUmlautNormalization(),
      config.getAccentRemoval(), ccsid, language, current);
}
