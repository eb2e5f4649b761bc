// itl_index_normalizer.hpp: the normaliser that fits an index's
// configuration (its UnicodeNormalization, UmlautNormalization and
// AccentRemoval settings) for a CCSID and a language: forwarders to
// ItlClNormalization::createNormalizer, which takes the settings as values.
#ifndef ITL_INDEX_NORMALIZER_HPP
#define ITL_INDEX_NORMALIZER_HPP

class CosClCCSID;
class CosClLanguage;
class ItlClIndexConfig;
class ItlClNormalization;

// Free the result with ItlClNormalization::destroyNormalizer.
ItlClNormalization* itlCreateNormalizer(ItlClIndexConfig const& config,
                                        CosClCCSID const& ccsid,
                                        CosClLanguage const& language);
// Keeps `current` when it already fits (see ItlClNormalization).
ItlClNormalization* itlCreateNormalizer(ItlClIndexConfig const& config,
                                        CosClCCSID const& ccsid,
                                        CosClLanguage const& language,
                                        ItlClNormalization* current);

#endif  // ITL_INDEX_NORMALIZER_HPP
