// itl_index_config_write.cpp: ItlClIndexConfig::writeAsR3File, the writer
// of the ".ini" file in the current layout, as a commit.
//
// The file is formatted in memory first (formatAsR3) through the services
// library's ini writer, so that every line can be checked against the
// reader's limit (1023 characters) before anything reaches the disk. Then:
//   1. "<name>.ini.tmp" in the index directory is removed when left over,
//      created exclusively, written, given the old file's mode (0660 when
//      there is none) and fsynced;
//   2. it is renamed over "<name>.ini";
//   3. the index directory is fsynced.
// A crash before step 2 leaves the old file (and a temporary that the next
// write removes); after it, the new one. writePrepared does step 1 alone
// into "<name>.#in", for a commit whose mark renames it with other files. Every step asks the file-operation
// test hook first (itl_file_util.hpp).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "cos_inifile.hpp"
#include "cos_inifilesave.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"

#define ITL_CONFIG_WRITE_POS \
  ITL_SOURCE("source/itl_index/itl_index_config_write")

namespace {

constexpr int kMsgFileName = 3;
constexpr int kMsgOption = 20;

[[noreturn]] void raiseWrite(char const* origin, unsigned line,
                             char const* file, char const* key) {
  ItlClException e(origin, line, ItlEnReasonCode_Io_write_error);
  e.context(kMsgFileName) << ": " << file;
  if (key != nullptr) e.context(kMsgOption) << ": " << key;
  e.raise();
}

// Writes all of `data`; false on failure.
bool writeAll(int fd, char const* data, size_t size) {
  while (size > 0) {
    ssize_t done = write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

}  // namespace

void ItlClIndexConfig::saveOptionBool(CosClIniFileSave& save,
                                      std::ostream& out, char const* key,
                                      bool value) const {
  if (!save.saveOptionBool(out, key, value))
    raiseWrite(ITL_CONFIG_WRITE_POS, iv_clFileName, key);
}

void ItlClIndexConfig::saveOptionLong(CosClIniFileSave& save,
                                      std::ostream& out, char const* key,
                                      int32_t value) const {
  if (!save.saveOption(out, key, static_cast<int>(value)))
    raiseWrite(ITL_CONFIG_WRITE_POS, iv_clFileName, key);
}

void ItlClIndexConfig::saveOptionBlockSize(CosClIniFileSave& save,
                                           std::ostream& out,
                                           int32_t size) const {
  char const* text = size == 4    ? "SMALL"
                     : size == 8  ? "MEDIUM"
                     : size == 16 ? "LARGE"
                                  : nullptr;
  if (text == nullptr) {
    ItlClException e(ITL_CONFIG_WRITE_POS,
                     ItlEnReasonCode_Index_ini_file_invalid_option_data);
    e.context(kMsgOption) << ": BlockSize";
    e.raise();
  }
  save.saveOption(out, "BlockSize", text);
}

void ItlClIndexConfig::formatAsR3(std::ostream& out) const {
  static char const kPools[4][28] = {
      "MemoryPoolUpdateInitialSize", "MemoryPoolUpdateGrowthSize",
      "MemoryPoolSearchInitialSize", "MemoryPoolSearchGrowthSize"};
  CosClIniFileSave save(iv_clFileName);  // formats only; writes into `out`
  auto text = [&](char const* key, char const* value) {
    if (value != nullptr && *value != '\0') save.saveOption(out, key, value);
  };
  save.saveSection(out, "IndexId");
  save.saveOption(out, "Version", "4.6");

  save.saveSection(out, "Index");
  saveOptionBool(save, out, "RespectCase", iv_bRespectCase);
  saveOptionBool(save, out, "DocumentIDMapping", iv_bDocumentIdMapping);
  saveOptionLong(save, out, "MaxDocumentIDLength", iv_usMaxDocIdLength);
  saveOptionLong(save, out, "DocumentIDSizeIsFix", iv_bDocIdSizeIsFix ? 1 : 0);
  saveOptionLong(save, out, "MaskResolutionLimit", iv_iMaskResolutionLimit);
  saveOptionBool(save, out, "UmlautNormalization", iv_bUmlautNormalization);
  saveOptionBool(save, out, "AccentRemoval", iv_bAccentRemoval);
  switch (iv_enUnicodeNormalization) {
    case ItlEnUnicodeNormalization_None: text("UnicodeNormalization", "NONE"); break;
    case ItlEnUnicodeNormalization_NFC: text("UnicodeNormalization", "NFC"); break;
    case ItlEnUnicodeNormalization_NFKC: text("UnicodeNormalization", "NFKC"); break;
  }
  saveOptionBool(save, out, "SeparateParagraphs", iv_bSeparateParagraphs);
  text("ResourceLocation", iv_clResourceLocation.getAsCString());
  text("FormatConverterLocation", iv_szFormatConverterLocation);
  // 0 (never set, as after loadR1) writes no line, so 4004 applies.
  if (iv_iFallbackFormat >= 1000 && iv_iFallbackFormat <= 5015)
    saveOptionLong(save, out, "FormatConverterFallbackFormat",
                   iv_iFallbackFormat);
  for (unsigned i = 0; i < 4; ++i)
    saveOptionLong(save, out, kPools[i],
                   static_cast<int32_t>(iv_auiPools[i] / 1024u));

  save.saveSection(out, "IndexV4");
  saveOptionBool(save, out, "DeleteStopwords", iv_bDeleteStopwords);
  saveOptionBool(save, out, "UseAlternateTerritoriesForStopwordFiles",
                 iv_bUseAltTerritories);
  if (isStopwordLanguageKnown()) {
    char code[CosClLanguage::EXTRACT_BUFFER_SIZE];
    text("StopwordLanguage", iv_clStopwordLanguage.extractShortCode(code));
  } else {
    text("StopwordLanguage", iv_szStopwordLanguageText);  // as read
  }
  saveOptionBool(save, out, "SeparateSentences", iv_bSeparateSentences);
  saveOptionBool(save, out, "TreatNumbersAsWords", iv_bNumbersAsWords);
  std::string alphanum(iv_acAlphanum, iv_uiAlphanumCount);
  text("AdditionalAlphanumCharacters", alphanum.c_str());
  if (iv_iBlockThreshold == 0) {
    save.saveOption(out, "BlockMode", "OFF");
    save.saveOption(out, "BlockThreshold", 0,
                    "special value: never use block pos. index");
    save.saveOption(out, "BlockSize", static_cast<int>(iv_iBlockSize),
                    "ignored since block mode is off");
  } else {
    save.saveOption(out, "BlockMode", iv_iBlockThreshold == 1 ? "ON" : "DYNAMIC");
    if (iv_iBlockThreshold == 1)
      save.saveOption(out, "BlockThreshold", 1,
                      "special value: always use block pos. index");
    else
      saveOptionLong(save, out, "BlockThreshold", iv_iBlockThreshold);
    saveOptionBlockSize(save, out, iv_iBlockSize);
  }
  saveOptionLong(save, out, "PoolSize",
                 static_cast<int32_t>(iv_uiPoolSize / 1024u));
  saveOptionLong(save, out, "PoolSizeDelta",
                 static_cast<int32_t>(iv_uiPoolSizeDelta / 1024u));
  out.flush();
}

namespace {

// The settings as writeAsR3File writes them; 112 for a line the reader
// would refuse (more than COS_INIFILE_LINE_MAX characters).
std::string formatChecked(ItlClIndexConfig const& config) {
  std::ostringstream formatted;
  config.formatAsR3(formatted);
  std::string content = formatted.str();
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    if (end - start > COS_INIFILE_LINE_MAX) {
      std::string line = content.substr(start, end - start);
      std::string key = line.substr(0, line.find('\t'));
      ItlClException e(ITL_CONFIG_WRITE_POS,
                       ItlEnReasonCode_Index_ini_file_invalid_option_data);
      e.context(kMsgOption) << ": " << key;
      e.raise();
    }
    start = end + 1;
  }
  return content;
}

// Writes `content` to `path` (created exclusively: the caller removed a
// leftover), gives it `mode` and fsyncs it. False on failure, with nothing
// left at `path`.
bool writeSynced(std::string const& content, std::string const& path,
                 mode_t mode) {
  if (itlFileOpRefused("write", path.c_str())) return false;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = writeAll(fd, content.data(), content.size()) &&
            fchmod(fd, mode) == 0 &&
            !itlFileOpRefused("fsync", path.c_str()) && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (!ok) unlink(path.c_str());
  return ok;
}

}  // namespace

mode_t ItlClIndexConfig::fileMode() const {
  struct stat old;
  if (stat(iv_clFileName.getAsCString(), &old) == 0) return old.st_mode & 07777;
  return 0660;
}

void ItlClIndexConfig::writeAsR3File() const {
  std::string content = formatChecked(*this);
  char const* name = iv_clFileName.getAsCString();
  std::string temporary = std::string(name) + ".tmp";
  if (!itlFileOpRefused("unlink", temporary.c_str()))
    unlink(temporary.c_str());  // a leftover of an interrupted write
  if (!writeSynced(content, temporary, fileMode()))
    raiseWrite(ITL_CONFIG_WRITE_POS, name, nullptr);
  if (itlFileOpRefused("rename", name) ||
      std::rename(temporary.c_str(), name) != 0) {
    unlink(temporary.c_str());
    raiseWrite(ITL_CONFIG_WRITE_POS, name, nullptr);
  }
  if (!itlSyncParentDirectory(name))
    raiseWrite(ITL_CONFIG_WRITE_POS, name, nullptr);
}

std::string ItlClIndexConfig::preparedPath() const {
  return CosClFilename(getIndexLocation().getIndexDirectory(),
                       getIndexLocation().getIndexName(), PREPARED_SUFFIX)
      .getAsCString();
}

void ItlClIndexConfig::writePrepared() const {
  std::string content = formatChecked(*this);
  std::string path = preparedPath();
  unlink(path.c_str());  // a leftover of a commit that never happened
  if (!writeSynced(content, path, fileMode()))
    raiseWrite(ITL_CONFIG_WRITE_POS, path.c_str(), nullptr);
}

void ItlClIndexConfig::onIndexFileDropPrepared() {
  unlink(preparedPath().c_str());
}
