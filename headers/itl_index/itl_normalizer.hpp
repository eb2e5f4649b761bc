// itl_normalizer.hpp: the object behind a normalizer handle
// (ItlClNormalizer): text normalised the way an index normalises it, for
// a CCSID and a language, on an index search handle.
//
// The normalisation object fits the index configuration, the CCSID and the
// language it was made for. A call for a language of the other kind (Thai,
// whose text is word-broken, against any other) makes a new object for
// that language; a call of the same kind keeps the current one.
#ifndef ITL_NORMALIZER_HPP
#define ITL_NORMALIZER_HPP

#include <cstdint>

#include "cos_ccsid.hpp"
#include "cos_language.hpp"

class ItlClErrorInfo;
class ItlClIndexSearch;
class ItlClNormalization;

class ItlClNormalizer {
 public:
  // Borrows `search` (it must outlive the object); `language` may be null
  // (no known language: the non-Thai normalisation).
  ItlClNormalizer(ItlClIndexSearch& search, uint16_t ccsid,
                  char const* language);
  // Gives the normalisation object back. Never throws.
  virtual ~ItlClNormalizer();
  ItlClNormalizer(ItlClNormalizer const&) = delete;
  ItlClNormalizer& operator=(ItlClNormalizer const&) = delete;

  // Makes the normalisation object (a failure is an ItlClException or a
  // CosClException).
  void init();

  // A language text that begins with "th" in any case is Thai.
  static bool isThaiLanguage(char const* language);
  // The normalisation for `language`: the current one when it is of the
  // same kind, else a new one made for `language` (which becomes the
  // stored language). REQUIRES: language not null.
  ItlClNormalization& getNormalization(char const* language);
  // Normalises with the normalisation for `language`; returns the units
  // written into `target` (at most `capacity`). `sourceLength` is left
  // with the source units not consumed.
  unsigned int process(char const* language, uint16_t* target,
                       unsigned int capacity, uint16_t const* source,
                       unsigned int& sourceLength);

  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }
  CosClLanguage const& getLanguage() const { return iv_clLanguage; }
  ItlClNormalization const* getCurrent() const { return iv_pclNormalization; }
  bool isThai() const;

 private:
  ItlClNormalization* make() const;

  ItlClIndexSearch& iv_rclSearch;
  ItlClErrorInfo& iv_rclErrorInfo;
  CosClLanguage iv_clLanguage;
  CosClCCSID iv_clCCSID;
  ItlClNormalization* iv_pclNormalization;  // owned
};

#endif  // ITL_NORMALIZER_HPP
