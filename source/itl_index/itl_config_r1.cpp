// itl_config_r1.cpp: ItlClIndexConfig::loadR1, the reader of the first
// release's configuration "<index name>.ipa".
//
// The .ipa file is an ini file close to the engine's parameter records:
//   [IndexId]          Version        1 or 2
//   [VozCreateParams]  DisableMode    0..2 (bit 0: case not respected,
//                                     bit 1: sentences not separated)
//                      WordRuleMode   0..1 (0: numbers are words)
//                      BlockThreshold -1..500 (-1 stands for 8)
//                      BlockSize      -1..16 (-1 stands for 4)
//   [VozSysParams]     PoolSize, PoolSizeDelta  8192..134217728 bytes
//   [IndexParams]      DocIdSize      60 or 256 (Version 2 only)
// Every key is required. The settings not held there take fixed values;
// UmlautNormalization, AccentRemoval, FormatConverterFallbackFormat,
// StopwordLanguage and ResourceLocation keep theirs. The .ipa file is
// never changed.
#include "cos_inifile.hpp"
#include "itl_error.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"

#define ITL_R1_POS ITL_SOURCE("source/itl_index/itl_config_r1")

namespace {

constexpr int kMsgConfigFileName = 26;
constexpr int kMsgFileOpenFailed = 30;

}  // namespace

void ItlClIndexConfig::loadR1() {
  CosClFilename name(getIndexLocation().getIndexDirectory(),
                     getIndexLocation().getIndexName(), ".ipa");
  CosClIniFile ini(name);
  if (!ini.isExistent())
    itlRaise(ITL_R1_POS, ItlEnReasonCode_Io_open_error, kMsgConfigFileName,
             name.getAsCString());
  if (!ini.load())
    itlRaise(ITL_R1_POS, ItlEnReasonCode_Io_open_error, kMsgFileOpenFailed,
             name.getAsCString());

  selectSection(ini, "IndexId");
  int32_t version = getOptionInt(ini, "Version", 0, INT32_MIN, INT32_MAX, false);
  if (version != 1 && version != 2)
    itlRaise(ITL_R1_POS, ItlEnReasonCode_Index_ini_file_invalid_version,
             kMsgConfigFileName, name.getAsCString());

  selectSection(ini, "VozCreateParams");
  int32_t disable = getOptionInt(ini, "DisableMode", 0, 0, 2, false);
  int32_t wordRule = getOptionInt(ini, "WordRuleMode", 0, 0, 1, false);
  int32_t threshold = getOptionInt(ini, "BlockThreshold", 0, -1, 500, false);
  int32_t size = getOptionInt(ini, "BlockSize", 0, -1, 16, false);
  if (threshold == -1) threshold = 8;
  if (size == -1) size = 4;
  if (threshold == 0) {
    size = 0;
  } else if (size != 4 && size != 8 && size != 16) {
    // The current layout knows no other size; the reader would refuse it.
    ItlClException e(ITL_R1_POS,
                     ItlEnReasonCode_Index_ini_file_invalid_option_data);
    e.context(20) << ": BlockSize";
    e.raise();
  }

  selectSection(ini, "VozSysParams");
  int32_t pool = getOptionInt(ini, "PoolSize", 0, 8192, 134217728, false);
  int32_t poolDelta =
      getOptionInt(ini, "PoolSizeDelta", 0, 8192, 134217728, false);

  unsigned short docIdSize = 256;
  if (version == 2) {
    selectSection(ini, "IndexParams");
    int32_t v = getOptionInt(ini, "DocIdSize", 0, INT32_MIN, INT32_MAX, false);
    if (v != 60 && v != 256) {
      ItlClException e(ITL_R1_POS,
                       ItlEnReasonCode_Index_ini_file_invalid_option_data);
      e.context(20) << ": DocIdSize";
      e.raise();
    }
    docIdSize = static_cast<unsigned short>(v);
  }

  iv_bRespectCase = (disable & 1) == 0;
  iv_bSeparateSentences = (disable & 2) == 0;
  iv_bNumbersAsWords = wordRule == 0;
  iv_iBlockThreshold = threshold;
  iv_iBlockSize = size;
  iv_uiPoolSize = static_cast<uint32_t>(pool);
  iv_uiPoolSizeDelta = static_cast<uint32_t>(poolDelta);
  iv_usMaxDocIdLength = docIdSize;
  iv_iMaskResolutionLimit = 1000;
  iv_szFormatConverterLocation[0] = '\0';
  iv_bUseAltTerritories = false;
  iv_bDocumentIdMapping = true;
  iv_bDocIdSizeIsFix = false;
  iv_bSeparateParagraphs = true;
  for (uint32_t& pool1k : iv_auiPools) pool1k = 1048576;
  iv_uiAlphanumCount = 0;
  iv_bDeleteStopwords = false;
  iv_enUnicodeNormalization = ItlEnUnicodeNormalization_None;
}
