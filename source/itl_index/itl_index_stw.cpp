// itl_index_stw.cpp: the stop-word converter (ItlClIndexStwLoader) and the
// index's stop-word file (ItlClStopWordFile); formats in itl_index_stw.hpp.
#include "itl_index_stw.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_config.hpp"
#include "itl_index_location.hpp"

namespace {

constexpr int kMsgFileName = 3;
constexpr int kMsgInvalidLanguage = 63;

// Origins of the stop-word warnings and the language check; callers and
// tests rely on them.
char const kOriginNotFound[] = "source/itl_index/itl_index_stw:142";
char const kOriginEmpty[] = "source/itl_index/itl_index_stw:150";
char const kOriginLanguage[] = "source/itl_index/itl_index_stw:282";

bool isFile(char const* path) {
  struct stat st;
  return stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

// Appends the UTF-8 form of `units` to `out`; a lone surrogate becomes
// U+FFFD.
void appendUtf8(std::vector<UChar> const& units, std::string& out) {
  if (units.empty()) return;
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(nullptr, 0, &length, units.data(),
                     static_cast<int32_t>(units.size()), 0xFFFD, nullptr,
                     &status);
  size_t at = out.size();
  out.resize(at + static_cast<size_t>(length));
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(&out[at], length, &length, units.data(),
                     static_cast<int32_t>(units.size()), 0xFFFD, nullptr,
                     &status);
}

// Writes `content` to `name` (created or truncated, mode 0660) and fsyncs
// it; raises 18 on failure.
void writeSynced(char const* name, std::string const& content) {
  bool ok = !itlFileOpRefused("write", name);
  int fd = ok ? open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0660) : -1;
  ok = fd >= 0;
  for (size_t done = 0; ok && done < content.size();) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  if (ok) ok = !itlFileOpRefused("fsync", name) && fsync(fd) == 0;
  if (fd >= 0 && close(fd) != 0) ok = false;
  if (ok) ok = itlSyncParentDirectory(name);
  if (!ok)
    itlRaise(ITL_SOURCE("source/itl_index/itl_index_stw"),
             ItlEnReasonCode_Io_write_error, kMsgFileName, name);
}

// A rename, copy or move to `target` is done when the source is the target
// or when the source is gone and the target is in place.
bool alreadyDone(CosClFilename const& source, CosClFilename const& target) {
  if (std::strcmp(source.getAsCString(), target.getAsCString()) == 0)
    return true;
  return !isFile(source.getAsCString()) && isFile(target.getAsCString());
}

}  // namespace

// ---------------------------------------------------------------------------
// ItlClIndexStwLoader

ItlClIndexStwLoader::ItlClIndexStwLoader(CosClLocation const& resourceLocation)
    : iv_rclResources(resourceLocation), iv_uiWordCount(0) {}

bool ItlClIndexStwLoader::createFilenameForLanguage(
    CosClLanguage const& language, bool alternates,
    CosClLocation const& resources, CosClFilename& name) const {
  CosClLanguage::CosEnLanguage lang = language.getLanguage();
  CosClLanguage::CosEnTerritory territory = language.getTerritory();
  if (lang == CosClLanguage::CosEnLanguageUnspecified ||
      lang == CosClLanguage::CosEnLanguageInvalid ||
      territory == CosClLanguage::CosEnTerritoryUnspecified ||
      territory == CosClLanguage::CosEnTerritoryInvalid) {
    ItlClException e(kOriginLanguage, 282, ItlEnReasonCode_Invalid_language);
    e.context(kMsgInvalidLanguage);
    e.raise();
  }
  std::string code = CosClLanguage::getLanguageCode(lang);
  std::string region = CosClLanguage::getTerritoryCodeShort(territory);
  for (char& c : region) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string base = code + "-" + region;
  std::string const candidates[] = {base, code + "_" + region, code};
  for (std::string const& candidate : candidates) {
    name = CosClFilename(resources, candidate.c_str(), getFilenameExtension());
    if (isFile(name.getAsCString())) return true;
  }
  if (!alternates) return false;
  // The first "<code>*.tsw" that is no directory, in byte order of names.
  std::vector<std::string> matches;
  if (DIR* dir = opendir(resources.getAsCString())) {
    while (dirent* entry = readdir(dir)) {
      std::string file = entry->d_name;
      if (file.size() >= code.size() + 4 && file.compare(0, code.size(), code) == 0 &&
          file.compare(file.size() - 4, 4, getFilenameExtension()) == 0 &&
          isFile((std::string(resources.getAsCString()) + file).c_str()))
        matches.push_back(file);
    }
    closedir(dir);
  }
  if (matches.empty()) return false;
  std::sort(matches.begin(), matches.end());
  CosClFilename found;
  found.setNew(resources, matches.front().c_str());
  name = found;
  return true;
}

bool ItlClIndexStwLoader::convertStwList(CosClLanguage const& language,
                                         bool alternates,
                                         CosClFilename const& target) {
  iv_uiWordCount = 0;
  if (!createFilenameForLanguage(language, alternates, iv_rclResources,
                                 iv_clSource))
    return false;
  return convertTo(target);
}

uint32_t ItlClIndexStwLoader::convertBytes(uint8_t const* bytes,
                                           uint32_t size, std::string& out) {
  size &= ~1u;  // an odd last byte is ignored
  bool bigEndian = false;
  uint32_t at = 0;
  if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    bigEndian = true;
    at = 2;
  } else if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    at = 2;
  }
  uint32_t words = 0;
  std::vector<UChar> word;
  for (;; at += 2) {
    bool end = at >= size;
    UChar unit = 0;
    if (!end)
      unit = bigEndian ? static_cast<UChar>(bytes[at] << 8 | bytes[at + 1])
                       : static_cast<UChar>(bytes[at + 1] << 8 | bytes[at]);
    if (end || u_charType(unit) == U_CONTROL_CHAR) {
      if (!word.empty()) {
        appendUtf8(word, out);
        out += '\n';
        ++words;
        word.clear();
      }
      if (end) break;
    } else {
      word.push_back(unit);
    }
  }
  return words;
}

bool ItlClIndexStwLoader::convertTo(CosClFilename const& target) {
  iv_uiWordCount = 0;
  ItlClByteBuffer content;
  if (!itlReadWholeFile(iv_clSource, content)) return false;
  std::string text;
  iv_uiWordCount = convertBytes(content.data(), content.size(), text);
  writeSynced(target, text);
  return true;
}

// ---------------------------------------------------------------------------
// ItlClStopWordFile

ItlClStopWordFile::ItlClStopWordFile(ItlClIndexLocation const& location,
                                     ItlClErrorInfo& errorInfo,
                                     ItlClIndexConfig& config)
    : ItlClIndexFileBase(location),
      iv_rclErrorInfo(errorInfo),
      iv_rclConfig(config),
      iv_clFileName(location.getIndexDirectory(), location.getIndexName(),
                    ".stw"),
      iv_bStopWordsPresent(false) {}

ItlClStopWordFile::~ItlClStopWordFile() = default;

void ItlClStopWordFile::onIndexFileCreate() {
  iv_rclConfig.onIndexFileInit();
  if (!iv_rclConfig.getDeleteStopwords()) return;
  ItlClIndexStwLoader loader(iv_rclConfig.getResourceLocation());
  if (!loader.convertStwList(iv_rclConfig.getStopwordLanguage(),
                             iv_rclConfig.getUseAlternateTerritories(),
                             iv_clFileName)) {
    iv_bStopWordsPresent = false;
    iv_rclErrorInfo.resetContext(loader.getSourceName().getAsCString());
    iv_rclErrorInfo.setError(kOriginNotFound,
                             ItlEnReasonCode_Stopwordfile_not_found,
                             ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
    return;
  }
  iv_bStopWordsPresent = true;
  if (loader.getWordCount() == 0) {
    iv_rclErrorInfo.resetContext(loader.getSourceName().getAsCString());
    iv_rclErrorInfo.setError(kOriginEmpty, ItlEnReasonCode_Stopwordfile_empty,
                             ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  }
}

void ItlClStopWordFile::onIndexFileInit() {
  iv_bStopWordsPresent = isFile(iv_clFileName.getAsCString());
}

void ItlClStopWordFile::onIndexFileDestroy() {
  if (!isFile(iv_clFileName.getAsCString())) return;
  if (itlFileOpRefused("unlink", iv_clFileName) ||
      unlink(iv_clFileName.getAsCString()) != 0)
    itlRaise(ITL_SOURCE("source/itl_index/itl_index_stw"),
             ItlEnReasonCode_Io_remove_error, kMsgFileName,
             iv_clFileName.getAsCString());
  itlSyncParentDirectory(iv_clFileName);
}

void ItlClStopWordFile::onIndexFileRename(char const* newIndexName) {
  CosClFilename target(getIndexLocation().getIndexDirectory(), newIndexName,
                       ".stw");
  if (!alreadyDone(iv_clFileName, target) &&
      isFile(iv_clFileName.getAsCString()))
    indexFileRename(iv_clFileName, target);
  iv_clFileName = target;
}

void ItlClStopWordFile::onIndexFileCopy(char const* targetDirectory) {
  CosClFilename target(iv_clFileName);
  target.setNewPath(targetDirectory);
  if (alreadyDone(iv_clFileName, target) || isFile(target.getAsCString()) ||
      !isFile(iv_clFileName.getAsCString()))
    return;
  indexFileCopy(iv_clFileName, target);
}

void ItlClStopWordFile::onIndexFileMove(char const* targetDirectory) {
  CosClFilename target(iv_clFileName);
  target.setNewPath(targetDirectory);
  if (!alreadyDone(iv_clFileName, target) &&
      isFile(iv_clFileName.getAsCString()))
    indexFileMove(iv_clFileName, target);
  iv_clFileName = target;
}
