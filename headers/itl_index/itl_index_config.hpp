// itl_index_config.hpp: the configuration of one index (ItlClIndexConfig).
//
// The configuration lives in the index directory as "<index name>.ini" and
// is one of the index's files: the index's create event copies it from a
// template, init reads it, rename, copy, move and destroy follow the index.
// Its existence is what makes an index exist. writeAsR3File writes the
// settings back in the current layout; loadR1 reads a first-release
// "<index name>.ipa" instead (itl_config_r1.cpp).
//
// The .ini layout (sections, "key<TAB>= value", quoting) is that of the
// services library's ini reader and writer. Sizes of memory pools are KB in
// the file and bytes in memory. Reading overwrites every setting it reads;
// a failure leaves what was read before it.
//
// Failures are ItlClException (return code 8, action Inform): 16 file
// missing or unreadable, 110 section missing, 111 option missing, 112
// invalid option data, 113 version not "4.6", 18 a failed write; reading
// adds the context line "Section: <last selected section>". An unknown
// UnicodeNormalization or StopwordLanguage is a warning (4/112) recorded in
// the error info given at construction.
//
// The hooks are idempotent, so that an interrupted administration can be
// run again: destroying a missing file, or a rename, copy or move whose
// target is already in place and whose source is gone, counts as done.
#ifndef ITL_INDEX_CONFIG_HPP
#define ITL_INDEX_CONFIG_HPP

#include <sys/types.h>

#include <cstdint>
#include <iosfwd>
#include <string>

#include "cos_filename.hpp"
#include "cos_language.hpp"
#include "cos_location.hpp"
#include "itl_codes.hpp"
#include "itl_index_file.hpp"

class CosClIniFile;
class CosClIniFileSave;
class ItlClErrorInfo;
class ItlClIndexLocation;

class ItlClIndexConfig : public ItlClIndexFileBase {
 public:
  // Longest FormatConverterLocation kept (characters).
  static constexpr unsigned FORMAT_CONVERTER_LOCATION_MAX = 4095;
  // Bytes of AdditionalAlphanumCharacters kept.
  static constexpr unsigned ALPHANUM_MAX = 16;

  // The settings' initial values; the location and the error info must
  // outlive the object.
  ItlClIndexConfig(ItlClIndexLocation const& location,
                   ItlClErrorInfo& errorInfo);
  ~ItlClIndexConfig() override;

  // The template the create event copies.
  void setTemplateName(char const* name);
  // The configuration file exists.
  bool isExistent() const;
  void init() {}

  // Index-file events.
  void onIndexFileCreate() override;
  void onIndexFileDestroy() override;
  void onIndexFileRename(char const* newIndexName) override;
  void onIndexFileCopy(char const* targetDirectory) override;
  void onIndexFileMove(char const* targetDirectory) override;
  // Reads the configuration file.
  void onIndexFileInit() override;

  // Replaces the configuration file by the settings in the current layout:
  // a temporary file in the index directory, fsync, rename over the old
  // one, fsync of the directory; the old file's mode is kept. A crash
  // leaves the old or the new file. A line the reader would refuse (more
  // than 1023 characters) gives 112 and the old file stays.
  void writeAsR3File() const;
  // The settings in the current layout into "<index name>.#in" in the
  // index directory (mode of the configuration file, fsynced), for a
  // commit whose mark renames it over the configuration file together with
  // other files (the document-map migration). The configuration file is
  // not touched. Failures as writeAsR3File (nothing left behind).
  void writePrepared() const;
  // The prepared file's suffix and path.
  static constexpr char PREPARED_SUFFIX[] = ".#in";
  std::string preparedPath() const;
  // Removes a prepared file of a commit that never reached its mark.
  void onIndexFileDropPrepared() override;
  // Reads "<index name>.ipa" of the first release (itl_config_r1.cpp).
  void loadR1();

  // In memory only; writeAsR3File takes them to the file.
  void setMaxDocIDLength(unsigned short length) { iv_usMaxDocIdLength = length; }
  void setDocNamesHaveFixSize(bool fix) { iv_bDocIdSizeIsFix = fix; }

  // Settings.
  bool getRespectCase() const { return iv_bRespectCase; }
  bool getDocumentIdMapping() const { return iv_bDocumentIdMapping; }
  unsigned short getMaxDocIDLength() const { return iv_usMaxDocIdLength; }
  bool getDocNamesHaveFixSize() const { return iv_bDocIdSizeIsFix; }
  int32_t getMaskResolutionLimit() const { return iv_iMaskResolutionLimit; }
  bool getUmlautNormalization() const { return iv_bUmlautNormalization; }
  bool getAccentRemoval() const { return iv_bAccentRemoval; }
  ItlEnUnicodeNormalization getUnicodeNormalization() const {
    return iv_enUnicodeNormalization;
  }
  bool getSeparateParagraphs() const { return iv_bSeparateParagraphs; }
  CosClLocation const& getResourceLocation() const {
    return iv_clResourceLocation;
  }
  // "" when none.
  char const* getFormatConverterLocation() const {
    return iv_szFormatConverterLocation;
  }
  int32_t getFormatConverterFallbackFormat() const {
    return iv_iFallbackFormat;
  }
  // Bytes.
  uint32_t getMemoryPoolUpdateInitialSize() const { return iv_auiPools[0]; }
  uint32_t getMemoryPoolUpdateGrowthSize() const { return iv_auiPools[1]; }
  uint32_t getMemoryPoolSearchInitialSize() const { return iv_auiPools[2]; }
  uint32_t getMemoryPoolSearchGrowthSize() const { return iv_auiPools[3]; }
  bool getDeleteStopwords() const { return iv_bDeleteStopwords; }
  // The stop-word language; both parts invalid while it is unset or the
  // text read was unknown (getStopwordLanguageText then holds that text).
  CosClLanguage const& getStopwordLanguage() const {
    return iv_clStopwordLanguage;
  }
  bool isStopwordLanguageKnown() const;
  char const* getStopwordLanguageText() const {
    return iv_szStopwordLanguageText;
  }
  bool getUseAlternateTerritories() const { return iv_bUseAltTerritories; }
  bool getSeparateSentences() const { return iv_bSeparateSentences; }
  bool getTreatNumbersAsWords() const { return iv_bNumbersAsWords; }
  // Not terminated; getAlphanumCount() bytes.
  char const* getAdditionalAlphanumCharacters() const { return iv_acAlphanum; }
  uint32_t getAlphanumCount() const { return iv_uiAlphanumCount; }
  // 0 OFF, 1 ON, 2..500 DYNAMIC with that threshold.
  int32_t getBlockThreshold() const { return iv_iBlockThreshold; }
  // 4, 8 or 16; 0 while block mode is OFF.
  int32_t getBlockSize() const { return iv_iBlockSize; }
  uint32_t getPoolSize() const { return iv_uiPoolSize; }
  uint32_t getPoolSizeDelta() const { return iv_uiPoolSizeDelta; }
  CosClFilename const& getFileName() const { return iv_clFileName; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }

  // Setters of every setting, for writers of configurations (tests, tools)
  // and the first-release reader.
  void setRespectCase(bool v) { iv_bRespectCase = v; }
  void setDocumentIdMapping(bool v) { iv_bDocumentIdMapping = v; }
  void setMaskResolutionLimit(int32_t v) { iv_iMaskResolutionLimit = v; }
  void setUmlautNormalization(bool v) { iv_bUmlautNormalization = v; }
  void setAccentRemoval(bool v) { iv_bAccentRemoval = v; }
  void setUnicodeNormalization(ItlEnUnicodeNormalization v) {
    iv_enUnicodeNormalization = v;
  }
  void setSeparateParagraphs(bool v) { iv_bSeparateParagraphs = v; }
  void setResourceLocation(char const* directory);
  // A text of FORMAT_CONVERTER_LOCATION_MAX characters or more leaves it
  // empty.
  void setFormatConverterLocation(char const* text);
  void setFormatConverterFallbackFormat(int32_t v) { iv_iFallbackFormat = v; }
  // Bytes; index 0..3 as the getters above.
  void setMemoryPool(unsigned index, uint32_t bytes) {
    iv_auiPools[index] = bytes;
  }
  void setDeleteStopwords(bool v) { iv_bDeleteStopwords = v; }
  // A language text; null unsets it. Returns whether the table knows it
  // (an unknown text is kept for writing).
  bool setStopwordLanguage(char const* text);
  void setUseAlternateTerritories(bool v) { iv_bUseAltTerritories = v; }
  void setSeparateSentences(bool v) { iv_bSeparateSentences = v; }
  void setTreatNumbersAsWords(bool v) { iv_bNumbersAsWords = v; }
  // The first ALPHANUM_MAX bytes of `length`.
  void setAdditionalAlphanumCharacters(char const* bytes, uint32_t length);
  void setBlock(int32_t threshold, int32_t size) {
    iv_iBlockThreshold = threshold;
    iv_iBlockSize = size;
  }
  void setPoolSize(uint32_t bytes) { iv_uiPoolSize = bytes; }
  void setPoolSizeDelta(uint32_t bytes) { iv_uiPoolSizeDelta = bytes; }

  // Reader and writer steps (public for the first-release reader).
  // Makes `section` current; missing: 110 Section / name. Remembers it
  // for the context line of a later failure.
  void selectSection(CosClIniFile& ini, char const* section) const;
  // The whole value ignoring case: ON TRUE YES 1 OK true, OFF FALSE NO 0
  // false; anything else 112 Option / key. Missing: the default when
  // optional, else 111.
  bool getOptionBool(CosClIniFile& ini, char const* key, bool defaultValue,
                     bool optional) const;
  // The value as a decimal integer (blanks, sign, digits, as atoi; text
  // without digits is 0); outside minimum..maximum or beyond 32 bits: 112
  // Option / key. Missing: the default when optional, else 111.
  int32_t getOptionInt(CosClIniFile& ini, char const* key,
                       int32_t defaultValue, int32_t minimum, int32_t maximum,
                       bool optional) const;
  // Required BlockSize: SMALL 4, MEDIUM 8, LARGE 16 (any case), else 112.
  int32_t obtainOptionBlockSize(CosClIniFile const& ini) const;
  // Writer helpers: one option line into `out` through `save`'s formats.
  void saveOptionBool(CosClIniFileSave& save, std::ostream& out,
                      char const* key, bool value) const;
  void saveOptionLong(CosClIniFileSave& save, std::ostream& out,
                      char const* key, int32_t value) const;
  // ON and DYNAMIC sizes as SMALL, MEDIUM, LARGE; any other: 112.
  void saveOptionBlockSize(CosClIniFileSave& save, std::ostream& out,
                           int32_t size) const;

  // The whole configuration file as writeAsR3File writes it.
  void formatAsR3(std::ostream& out) const;

 private:
  // Reads the .ini sections; onIndexFileInit adds the section context.
  void readIni(CosClIniFile& ini);
  // Raises `reason` with the context line Option / key.
  [[noreturn]] void raiseOption(char const* origin, unsigned line,
                                ItlEnReasonCode reason, char const* key) const;
  // Records the warning 4/112 Option / key in the error info.
  void warnOption(char const* key) const;
  // Mode bits of the configuration file (0660 when it is missing).
  mode_t fileMode() const;

  ItlClErrorInfo& iv_rclErrorInfo;
  CosClFilename iv_clFileName;      // <index directory><index name>.ini
  CosClFilename iv_clTemplateName;  // empty until setTemplateName
  mutable char const* iv_pszLastSection;  // for the context of a failure

  bool iv_bRespectCase;
  bool iv_bDocumentIdMapping;
  unsigned short iv_usMaxDocIdLength;
  bool iv_bDocIdSizeIsFix;
  int32_t iv_iMaskResolutionLimit;
  bool iv_bUmlautNormalization;
  bool iv_bAccentRemoval;
  ItlEnUnicodeNormalization iv_enUnicodeNormalization;
  bool iv_bSeparateParagraphs;
  CosClLocation iv_clResourceLocation;
  char iv_szFormatConverterLocation[FORMAT_CONVERTER_LOCATION_MAX + 1];
  int32_t iv_iFallbackFormat;
  uint32_t iv_auiPools[4];  // bytes: update initial, growth, search ...
  bool iv_bDeleteStopwords;
  CosClLanguage iv_clStopwordLanguage;
  char iv_szStopwordLanguageText[1024];  // as read; "" when unset
  bool iv_bUseAltTerritories;
  bool iv_bSeparateSentences;
  bool iv_bNumbersAsWords;
  char iv_acAlphanum[ALPHANUM_MAX];
  uint32_t iv_uiAlphanumCount;
  int32_t iv_iBlockThreshold;
  int32_t iv_iBlockSize;
  uint32_t iv_uiPoolSize;       // bytes
  uint32_t iv_uiPoolSizeDelta;  // bytes
};

#endif  // ITL_INDEX_CONFIG_HPP
