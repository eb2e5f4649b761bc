// itl_map_file.cpp: the "ITL-MAPFILE-1.00" file of a name map (layout in
// itl_map_abase.hpp): save, load and the commit that puts the shadow file
// in place of the map file.
//
// Loading never trusts the file: every length is checked against what is
// left and against the longest name, every name must end with its NUL and
// the count must fit the map; any failure is reason 17 and leaves the map
// with its reserved entry only.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/voz_bigendian.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"
#include "itl_map_abase.hpp"
#include "itl_map_private.hpp"

CosClFilename itlMapCommitCopyName(ItlClMapABase const& map) {
  char extension[32];
  std::snprintf(extension, sizeof extension, "%s~", map.getMapName());
  ItlClIndexLocation const& location = map.getIndexLocation();
  return CosClFilename(location.getIndexDirectory(), location.getIndexName(),
                       extension);
}

void itlMapRaiseFileError(int reason, char const* name) {
  ItlClException e(ITL_MAP_FILE_ORIGIN, ITL_MAP_FILE_LINE,
                   static_cast<ItlEnReasonCode>(reason));
  e.resetContext(name);
  e.raise();
}

namespace {

bool put32(FILE* file, uint32_t value) {
  uint8_t bytes[4];
  voz_putBE32(bytes, value);
  return std::fwrite(bytes, 1, 4, file) == 4;
}

bool get32(FILE* file, uint32_t& value) {
  uint8_t bytes[4];
  if (std::fread(bytes, 1, 4, file) != 4) return false;
  value = voz_getBE32(bytes);
  return true;
}

}  // namespace

void ItlClMapABase::saveToIndexFile(CosClFilename const& name) const {
  if (itlFileOpRefused("write", name)) itlMapRaiseFileError(18, name);
  ItlClStdioFile file(name, "wb");
  if (file.get() == nullptr) itlMapRaiseFileError(18, name);
  bool ok = fchmod(fileno(file.get()), 0660) == 0 &&
            std::fwrite(ITL_MAP_MAGIC, 1, ITL_MAP_MAGIC_SIZE, file.get()) ==
                ITL_MAP_MAGIC_SIZE &&
            put32(file.get(), getEntryCount());
  for (uint32_t n = 1; ok && n <= getEntryCount(); ++n) {
    ItlStMapEntry const& entry = iv_clArray.getEntry(n);
    ok = put32(file.get(), entry.iv_uiNameLength) &&
         (entry.iv_uiNameLength == 0 ||
          std::fwrite(entry.iv_pacName, 1, entry.iv_uiNameLength,
                      file.get()) == entry.iv_uiNameLength) &&
         put32(file.get(), entry.iv_tyNumber) &&
         put32(file.get(), entry.iv_ulHashValue);
  }
  if (!ok || !file.syncAndClose()) {
    unlink(name);
    itlMapRaiseFileError(18, name);
  }
}

void ItlClMapABase::readRecords(FILE* file, char const* fileName) {
  char magic[ITL_MAP_MAGIC_SIZE];
  uint32_t count;
  if (std::fread(magic, 1, sizeof magic, file) != sizeof magic ||
      std::memcmp(magic, ITL_MAP_MAGIC, sizeof magic) != 0 ||
      !get32(file, count) || count > iv_clArray.getMaxSize())
    itlMapRaiseFileError(17, fileName);
  ItlClByteBuffer name;
  name.resize(MAX_NAME_LENGTH);
  for (uint32_t n = 1; n <= count; ++n) {
    uint32_t length, number, hash;
    if (!get32(file, length) || length > MAX_NAME_LENGTH ||
        std::fread(name.data(), 1, length, file) != length ||
        (length != 0 && name.data()[length - 1] != '\0') ||
        !get32(file, number) || !get32(file, hash))
      itlMapRaiseFileError(17, fileName);
    ItlStMapEntry* entry;
    iv_clArray.createNewEntry(reinterpret_cast<char const*>(name.data()),
                              length, &entry);
    entry->iv_ulHashValue = hash;
    iv_clHash.addNewEntry(*entry, false);
  }
}

void ItlClMapABase::loadFromIndexFile(CosClFilename const& name) {
  ItlClStdioFile file(name, "rb");
  clearEntries();
  try {
    if (file.get() == nullptr) itlMapRaiseFileError(17, name);
    readRecords(file.get(), name);
  } catch (...) {
    clearEntries();
    createReservedEntry();
    throw;
  }
  // A map always has its reserved entry, so that names start at 2.
  if (getEntryCount() == 0) createReservedEntry();
  iv_bLoaded = true;
}

// Puts the fsynced shadow in place of the map file by a rename, so that the
// map file holds the old or the new map at every instant (the map file is
// never removed first). Across file systems the shadow is first copied to
// a name beside the map file and fsynced. Last, the directory entry is made
// durable.
void ItlClMapABase::commitShadow() {
  CosClFilename shadow = getShadowFileName();
  CosClFilename map = getMapFileName();
  if (!shadow.isExistent())
    itlRaise(ITL_SOURCE("source/itl_common/itl_map_file"),
             ItlEnReasonCode_Io_open_error, 3, shadow);
  if (itlFileOpRefused("rename", map) || std::rename(shadow, map) != 0) {
    if (errno != EXDEV)
      itlRaise(ITL_SOURCE("source/itl_common/itl_map_file"),
               ItlEnReasonCode_Io_rename_error, 3, shadow);
    CosClFilename copy = itlMapCommitCopyName(*this);
    if (!itlCopyFileSynced(shadow, copy, 0660))
      itlRaise(ITL_SOURCE("source/itl_common/itl_map_file"),
               ItlEnReasonCode_Io_write_error, 3, copy);
    if (itlFileOpRefused("rename", map) || std::rename(copy, map) != 0) {
      unlink(copy);
      itlRaise(ITL_SOURCE("source/itl_common/itl_map_file"),
               ItlEnReasonCode_Io_rename_error, 3, copy);
    }
    if (!itlFileOpRefused("unlink", shadow))
      unlink(shadow);  // committed; a leftover goes at the next init
  }
  if (!itlSyncParentDirectory(map))
    itlRaise(ITL_SOURCE("source/itl_common/itl_map_file"),
             ItlEnReasonCode_Io_write_error, 3, map);
}

// The prepared map "<index directory>/<index name>.#<map name>".
CosClFilename ItlClMapABase::getPreparedFileName() const {
  std::string extension = std::string("#") + iv_pszMapName;
  return CosClFilename(iv_rclLocation.getIndexDirectory(),
                       iv_rclLocation.getIndexName(), extension.c_str());
}

// The first half of the index's commit: the shadow copied beside the map
// file under its prepared name and fsynced; the map file is untouched.
void ItlClMapABase::onIndexFilePrepareCommit(
    bool merge, std::vector<ItlStIndexFileStep>& steps) {
  if (merge || !iv_bShadowWritten) return;
  CosClFilename prepared = getPreparedFileName();
  if (!itlCopyFileSynced(getShadowFileName(), prepared, 0660))
    itlRaise(ITL_SOURCE("source/itl_common/itl_map_file"),
             ItlEnReasonCode_Io_write_error, 3, prepared);
  iv_bPrepared = true;
  steps.push_back({std::string(".#") + iv_pszMapName,
                   std::string(".") + iv_pszMapName});
}

void ItlClMapABase::onIndexFileDropPrepared() {
  iv_bPrepared = false;
  CosClFilename prepared = getPreparedFileName();
  unlink(prepared);
}
