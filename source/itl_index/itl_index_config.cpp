// itl_index_config.cpp: ItlClIndexConfig: settings, index-file events and
// the reader of the ".ini" file. The writer is itl_index_config_write.cpp,
// the first-release reader itl_config_r1.cpp.
#include "itl_index_config.hpp"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "cos_inifile.hpp"
#include "cos_trace.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"

// Origin of a raise on the line where it stands.
#define ITL_CONFIG_POS ITL_SOURCE("source/itl_index/itl_index_config")

namespace {

// A rename, copy or move to `target` is done when the source is the target
// or when the source is gone and the target is in place.
bool alreadyDone(CosClFilename const& source, CosClFilename const& target) {
  if (std::strcmp(source.getAsCString(), target.getAsCString()) == 0)
    return true;
  return !CosClFile(source).isExistent() && CosClFile(target).isExistent();
}

// Context line numbers of the message table.
constexpr int kMsgFileName = 3;
constexpr int kMsgSection = 19;
constexpr int kMsgOption = 20;
constexpr int kMsgFileOpenFailed = 30;

constexpr char kVersion[] = "4.6";
constexpr char kEnUs[] = "en_us";

// The reader's number syntax: blanks, sign, digits; no digits reads 0.
// False when the number does not fit 32 bits.
bool parseInt32(char const* text, int32_t& value) {
  char const* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

ItlClIndexConfig::ItlClIndexConfig(ItlClIndexLocation const& location,
                                   ItlClErrorInfo& errorInfo)
    : ItlClIndexFileBase(location),
      iv_rclErrorInfo(errorInfo),
      iv_clFileName(location.getIndexDirectory(), location.getIndexName(),
                    ".ini"),
      iv_pszLastSection(nullptr),
      iv_bRespectCase(true),
      iv_bDocumentIdMapping(true),
      iv_usMaxDocIdLength(0),
      iv_bDocIdSizeIsFix(false),
      iv_iMaskResolutionLimit(0),
      iv_bUmlautNormalization(false),
      iv_bAccentRemoval(false),
      iv_enUnicodeNormalization(ItlEnUnicodeNormalization_None),
      iv_bSeparateParagraphs(true),
      iv_clResourceLocation(location.getIndexDirectory()),
      iv_iFallbackFormat(0),
      iv_auiPools{0, 0, 0, 0},
      iv_bDeleteStopwords(false),
      iv_clStopwordLanguage(static_cast<char const*>(nullptr)),
      iv_bUseAltTerritories(false),
      iv_bSeparateSentences(false),
      iv_bNumbersAsWords(false),
      iv_acAlphanum{},
      iv_uiAlphanumCount(0),
      iv_iBlockThreshold(0),
      iv_iBlockSize(0),
      iv_uiPoolSize(0),
      iv_uiPoolSizeDelta(0) {
  iv_szFormatConverterLocation[0] = '\0';
  iv_szStopwordLanguageText[0] = '\0';
}

ItlClIndexConfig::~ItlClIndexConfig() = default;

void ItlClIndexConfig::setTemplateName(char const* name) {
  iv_clTemplateName = CosClFilename(name != nullptr ? name : "");
}

bool ItlClIndexConfig::isExistent() const {
  return CosClFile(iv_clFileName).isExistent();
}

bool ItlClIndexConfig::isStopwordLanguageKnown() const {
  CosClLanguage::CosEnLanguage language = iv_clStopwordLanguage.getLanguage();
  return language != CosClLanguage::CosEnLanguageInvalid &&
         language != CosClLanguage::CosEnLanguageUnspecified &&
         iv_clStopwordLanguage.getTerritory() !=
             CosClLanguage::CosEnTerritoryInvalid;
}

bool ItlClIndexConfig::setStopwordLanguage(char const* text) {
  iv_clStopwordLanguage = CosClLanguage(static_cast<char const*>(nullptr));
  iv_szStopwordLanguageText[0] = '\0';
  if (text == nullptr) return false;
  std::strncpy(iv_szStopwordLanguageText, text,
               sizeof iv_szStopwordLanguageText - 1);
  iv_szStopwordLanguageText[sizeof iv_szStopwordLanguageText - 1] = '\0';
  iv_clStopwordLanguage.init(text);
  return isStopwordLanguageKnown();
}

void ItlClIndexConfig::setResourceLocation(char const* directory) {
  iv_clResourceLocation = directory != nullptr ? directory : "";
}

void ItlClIndexConfig::setFormatConverterLocation(char const* text) {
  iv_szFormatConverterLocation[0] = '\0';
  if (text != nullptr && std::strlen(text) < FORMAT_CONVERTER_LOCATION_MAX + 1)
    std::strcpy(iv_szFormatConverterLocation, text);
}

void ItlClIndexConfig::setAdditionalAlphanumCharacters(char const* bytes,
                                                       uint32_t length) {
  iv_uiAlphanumCount = length < ALPHANUM_MAX ? length : ALPHANUM_MAX;
  if (iv_uiAlphanumCount != 0)
    std::memcpy(iv_acAlphanum, bytes, iv_uiAlphanumCount);
}

// ---------------------------------------------------------------------------
// Index-file events. Each is idempotent (see the header).

void ItlClIndexConfig::onIndexFileCreate() {
  CosClFile source(iv_clTemplateName);
  if (iv_clTemplateName.getAsCString()[0] == '\0' || !source.isExistent())
    itlRaise(ITL_CONFIG_POS,
             ItlEnReasonCode_Io_open_error, kMsgFileOpenFailed,
             iv_clTemplateName.getAsCString());
  // A copy that reaches the disk, then read-only (0440). An existing
  // read-only file from an interrupted create is replaced.
  if (!itlCopyFileSynced(iv_clTemplateName, iv_clFileName, 0440)) {
    CosClFile(iv_clFileName).remove();
    if (!itlCopyFileSynced(iv_clTemplateName, iv_clFileName, 0440))
      itlRaise(ITL_CONFIG_POS,
               ItlEnReasonCode_Io_write_error, kMsgFileName,
               iv_clFileName.getAsCString());
  }
  itlSyncParentDirectory(iv_clFileName);
}

void ItlClIndexConfig::onIndexFileDestroy() {
  onIndexFileDropPrepared();
  CosClFile file(iv_clFileName);
  if (!file.isExistent()) return;  // already gone
  if (itlFileOpRefused("unlink", iv_clFileName) || !file.remove())
    itlRaise(ITL_CONFIG_POS,
             ItlEnReasonCode_Io_access_denied, kMsgFileName,
             iv_clFileName.getAsCString());
  itlSyncParentDirectory(iv_clFileName);
}

void ItlClIndexConfig::onIndexFileRename(char const* newIndexName) {
  CosClFilename target(getIndexLocation().getIndexDirectory(), newIndexName,
                       ".ini");
  if (!alreadyDone(iv_clFileName, target))
    indexFileRename(iv_clFileName, target);
  iv_clFileName = target;
}

void ItlClIndexConfig::onIndexFileCopy(char const* targetDirectory) {
  CosClFilename target(iv_clFileName);
  target.setNewPath(targetDirectory);
  if (std::strcmp(iv_clFileName.getAsCString(), target.getAsCString()) == 0 ||
      CosClFile(target).isExistent())
    return;  // copied before
  indexFileCopy(iv_clFileName, target);
}

void ItlClIndexConfig::onIndexFileMove(char const* targetDirectory) {
  CosClFilename target(iv_clFileName);
  target.setNewPath(targetDirectory);
  if (!alreadyDone(iv_clFileName, target))
    indexFileMove(iv_clFileName, target);
  iv_clFileName = target;
}

// ---------------------------------------------------------------------------
// Reading.

void ItlClIndexConfig::raiseOption(char const* origin, unsigned line,
                                   ItlEnReasonCode reason,
                                   char const* key) const {
  ItlClException e(origin, line, reason);
  e.context(kMsgOption) << ": " << key;
  e.raise();
}

void ItlClIndexConfig::warnOption(char const* key) const {
  iv_rclErrorInfo.resetContext(nullptr);
  iv_rclErrorInfo.context(kMsgOption) << ": " << key;
  iv_rclErrorInfo.setError(
      "source/itl_index/itl_index_config:" COS_STRINGIFY(__LINE__),
      ItlEnReasonCode_Index_ini_file_invalid_option_data,
      ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
}

void ItlClIndexConfig::selectSection(CosClIniFile& ini,
                                     char const* section) const {
  if (!ini.getSection(section))
    itlRaise(ITL_CONFIG_POS,
             ItlEnReasonCode_Index_ini_file_missing_section, kMsgSection,
             section);
  iv_pszLastSection = section;
}

bool ItlClIndexConfig::getOptionBool(CosClIniFile& ini, char const* key,
                                     bool defaultValue, bool optional) const {
  char const* value = nullptr;
  if (!ini.getOption(key, value)) {
    if (!optional)
      raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_missing_option, key);
    return defaultValue;
  }
  if (CosClIniFile::isTrueToken(value)) return true;
  for (char const* no : {"OFF", "FALSE", "NO", "0"})
    if (strcasecmp(value, no) == 0) return false;
  raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_invalid_option_data, key);
}

int32_t ItlClIndexConfig::getOptionInt(CosClIniFile& ini, char const* key,
                                       int32_t defaultValue, int32_t minimum,
                                       int32_t maximum, bool optional) const {
  char const* text = nullptr;
  if (!ini.getOption(key, text)) {
    if (!optional)
      raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_missing_option, key);
    return defaultValue;
  }
  int32_t value = 0;
  if (!parseInt32(text, value) || value < minimum || value > maximum)
    raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_invalid_option_data, key);
  return value;
}

int32_t ItlClIndexConfig::obtainOptionBlockSize(CosClIniFile const& ini) const {
  char const* text = nullptr;
  if (!ini.getOption("BlockSize", text))
    raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_missing_option, "BlockSize");
  if (strcasecmp(text, "SMALL") == 0) return 4;
  if (strcasecmp(text, "MEDIUM") == 0) return 8;
  if (strcasecmp(text, "LARGE") == 0) return 16;
  raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_invalid_option_data, "BlockSize");
}

void ItlClIndexConfig::onIndexFileInit() {
  CosClIniFile ini(iv_clFileName);
  iv_pszLastSection = nullptr;
  if (!ini.load())
    itlRaise(ITL_CONFIG_POS,
             ItlEnReasonCode_Io_open_error, kMsgFileOpenFailed,
             iv_clFileName.getAsCString());
  try {
    readIni(ini);
  } catch (ItlClException& e) {
    if (iv_pszLastSection != nullptr)
      e.context(kMsgSection) << ": " << iv_pszLastSection;
    throw;
  }
}

void ItlClIndexConfig::readIni(CosClIniFile& ini) {
  static char const kPools[4][28] = {
      "MemoryPoolUpdateInitialSize", "MemoryPoolUpdateGrowthSize",
      "MemoryPoolSearchInitialSize", "MemoryPoolSearchGrowthSize"};
  selectSection(ini, "IndexId");
  char const* version = nullptr;
  if (!ini.getOption("Version", version))
    raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_missing_option, "Version");
  if (std::strcmp(version, kVersion) != 0)
    raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_invalid_version, version);

  selectSection(ini, "Index");
  iv_bRespectCase = getOptionBool(ini, "RespectCase", true, false);
  iv_bDocumentIdMapping = getOptionBool(ini, "DocumentIDMapping", true, true);
  iv_usMaxDocIdLength = static_cast<unsigned short>(
      getOptionInt(ini, "MaxDocumentIDLength", 256, 1, 4096, true));
  iv_bDocIdSizeIsFix = getOptionBool(ini, "DocumentIDSizeIsFix", false, true);
  iv_iMaskResolutionLimit =
      getOptionInt(ini, "MaskResolutionLimit", 1000, 2, 10000, true);
  iv_bUmlautNormalization =
      getOptionBool(ini, "UmlautNormalization", false, true);
  iv_bAccentRemoval = getOptionBool(ini, "AccentRemoval", false, true);
  char const* text = nullptr;
  if (ini.getOption("UnicodeNormalization", text)) {
    if (strcasecmp(text, "NFKC") == 0)
      iv_enUnicodeNormalization = ItlEnUnicodeNormalization_NFKC;
    else if (strcasecmp(text, "NFC") == 0)
      iv_enUnicodeNormalization = ItlEnUnicodeNormalization_NFC;
    else if (strcasecmp(text, "NONE") == 0)
      iv_enUnicodeNormalization = ItlEnUnicodeNormalization_None;
    else
      warnOption("UnicodeNormalization");
  }
  iv_bSeparateParagraphs =
      getOptionBool(ini, "SeparateParagraphs", false, true);
  // An empty value counts as missing: the writer leaves empty texts out.
  if (ini.getOption("ResourceLocation", text) && *text != '\0')
    setResourceLocation(text);
  else
    iv_clResourceLocation = getIndexLocation().getIndexDirectory();
  iv_szFormatConverterLocation[0] = '\0';
  if (ini.getOption("FormatConverterLocation", text))
    setFormatConverterLocation(text);
  iv_iFallbackFormat =
      getOptionInt(ini, "FormatConverterFallbackFormat", 4004, 1000, 5015, true);
  for (unsigned i = 0; i < 4; ++i)
    iv_auiPools[i] =
        static_cast<uint32_t>(getOptionInt(ini, kPools[i], 1024, 64, 262144,
                                           true)) * 1024u;

  selectSection(ini, "IndexV4");
  iv_bDeleteStopwords = getOptionBool(ini, "DeleteStopwords", false, true);
  if (ini.getOption("StopwordLanguage", text) && *text != '\0') {
    if (!setStopwordLanguage(text)) warnOption("StopwordLanguage");
  } else if (iv_bDeleteStopwords) {
    raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_missing_option, "StopwordLanguage");
  } else {
    setStopwordLanguage(kEnUs);
  }
  iv_bUseAltTerritories = getOptionBool(
      ini, "UseAlternateTerritoriesForStopwordFiles", true, true);
  iv_bSeparateSentences = getOptionBool(ini, "SeparateSentences", false, true);
  iv_bNumbersAsWords = getOptionBool(ini, "TreatNumbersAsWords", false, true);
  if (ini.getOption("AdditionalAlphanumCharacters", text))
    setAdditionalAlphanumCharacters(text,
                                    static_cast<uint32_t>(std::strlen(text)));
  else
    iv_uiAlphanumCount = 0;

  if (!ini.getOption("BlockMode", text))
    raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_missing_option, "BlockMode");
  if (strcasecmp(text, "OFF") == 0) {
    iv_iBlockThreshold = 0;
    iv_iBlockSize = 0;
  } else if (strcasecmp(text, "DYNAMIC") == 0) {
    iv_iBlockThreshold = getOptionInt(ini, "BlockThreshold", 0, 2, 500, false);
    iv_iBlockSize = obtainOptionBlockSize(ini);
  } else if (strcasecmp(text, "ON") == 0) {
    iv_iBlockThreshold = 1;
    iv_iBlockSize = obtainOptionBlockSize(ini);
  } else {
    raiseOption(ITL_CONFIG_POS, ItlEnReasonCode_Index_ini_file_invalid_option_data, "BlockMode");
  }
  iv_uiPoolSize =
      static_cast<uint32_t>(getOptionInt(ini, "PoolSize", 8096, 8, 131072,
                                         true)) * 1024u;
  iv_uiPoolSizeDelta =
      static_cast<uint32_t>(getOptionInt(ini, "PoolSizeDelta", 1024, 8, 131072,
                                         true)) * 1024u;
}
