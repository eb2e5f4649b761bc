// itl_map_abase.cpp: names and numbers of a name map, its display and its
// part in the events of the index. The file format and the commit live in
// itl_map_file.cpp, the 64-bit conversion in itl_map_convert.cpp.
#include "itl_map_abase.hpp"

#include <cstring>
#include <ostream>

#include <unistd.h>

#include "cos_filename.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"
#include "itl_map_private.hpp"

ItlClMapABase::ItlClMapABase(ItlClIndexLocation const& location,
                             char const* mapName, char const* shadowName,
                             ItlClErrorInfo& errorInfo, uint32_t maxNumber,
                             uint32_t growth, uint32_t buckets)
    : ItlClIndexFileBase(location),
      iv_clArray(growth, maxNumber),
      iv_clHash(buckets),
      iv_pszMapName(mapName),
      iv_pszShadowName(shadowName),
      iv_rclErrorInfo(errorInfo),
      iv_bLoaded(false),
      iv_bShadowWritten(false),
      iv_bPrepared(false),
      iv_bInTransaction(false) {}

ItlClMapABase::~ItlClMapABase() = default;

void ItlClMapABase::init() {
  iv_clHash.init();
  iv_clArray.clearArray();
  createReservedEntry();
}

void ItlClMapABase::createReservedEntry() {
  ItlStMapEntry* entry;
  iv_clArray.createNewEntry(nullptr, 0, &entry);
}

void itlMapWriteName(std::ostream& out, char const* name, uint32_t length) {
  if (name == nullptr) return;
  size_t shown = 0;
  while (shown < length && name[shown] != '\0') ++shown;
  out.write(name, static_cast<std::streamsize>(shown));
}

ItlEnReturnCode ItlClMapABase::mapNameToNumber(char const* name,
                                               uint32_t length,
                                               uint32_t& number) const {
  uint32_t found = iv_clHash.queryEntry(iv_clArray, name, length);
  if (found != 0) {
    number = found;
    return ItlEnReturnCode_Success;
  }
  iv_rclErrorInfo.resetContext(nullptr);
  itlMapWriteName(iv_rclErrorInfo.context(78) << ": ", name, length);
  iv_rclErrorInfo.setError("source/itl_common/itl_map_abase:370",
                           ItlEnReasonCode_Map_name_not_found,
                           ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  number = 1;
  return ItlEnReturnCode_Warning;
}

void ItlClMapABase::assignNameToNumber(char const* name, uint32_t length,
                                       uint32_t& number, bool& isNew) {
  isNew = false;
  if (length == 0 || length > MAX_NAME_LENGTH) {
    // The loader refuses such a record: it would make the map unreadable.
    ItlClException e(ITL_SOURCE("source/itl_common/itl_map_abase"),
                     ItlEnReasonCode_Map_invalid_name);
    itlMapWriteName(e.context(78) << ": ", name, length);
    e.raise();
  }
  uint32_t found = iv_clHash.queryEntry(iv_clArray, name, length);
  if (found != 0) {
    number = found;
    return;
  }
  ItlStMapEntry* entry;
  iv_clArray.createNewEntry(name, length, &entry);
  iv_clHash.addNewEntry(*entry, true);
  number = entry->iv_tyNumber;
  isNew = true;
}

void ItlClMapABase::deleteName(char const* name, uint32_t length) {
  uint32_t found = iv_clHash.queryEntry(iv_clArray, name, length);
  if (found != 0) iv_clArray.invalidateEntry(found);
}

void ItlClMapABase::display(FILE* out) const {
  std::fputs("elementNumber elementName\n", out);
  for (uint32_t n = 1; n <= getEntryCount(); ++n) {
    ItlStMapEntry const& entry = iv_clArray.getEntry(n);
    if (entry.iv_pacName != nullptr)
      std::fprintf(out, "%13u  %s ", n, entry.iv_pacName);
    std::fputc('\n', out);
  }
}

void ItlClMapABase::clearEntries() {
  iv_clArray.clearArray();
  iv_clHash.clearHashtable();
  iv_bLoaded = false;
}

CosClFilename ItlClMapABase::getMapFileName() const {
  return CosClFilename(iv_rclLocation.getIndexDirectory(),
                       iv_rclLocation.getIndexName(), iv_pszMapName);
}

CosClFilename ItlClMapABase::getShadowFileName() const {
  return CosClFilename(iv_rclLocation.getWorkingDirectory(),
                       iv_rclLocation.getWorkBaseName().c_str(),
                       iv_pszShadowName);
}

// ---------------------------------------------------------------------------
// Events of the index.

void ItlClMapABase::loadOnce() {
  if (!iv_bLoaded) {
    // The map file holds the committed map; without one it is empty.
    CosClFilename map = getMapFileName();
    iv_stReadIdentity = itlFileIdentity(map);
    if (map.isExistent()) {
      loadFromIndexFile(map);
    } else {
      clearEntries();
      createReservedEntry();
    }
    iv_bLoaded = true;
  }
  CosClFilename shadow = getShadowFileName();
  if (shadow.isExistent()) indexFileDelete(shadow);
  iv_bShadowWritten = false;
  CosClFilename copy = itlMapCommitCopyName(*this);
  if (copy.isExistent()) indexFileDelete(copy);
}

void ItlClMapABase::onIndexFileInit() { loadOnce(); }

void ItlClMapABase::onIndexFileStartTransaction() {
  // Names another handle committed since this one read the map stay (the
  // new names of this transaction get numbers after theirs).
  refreshForRead();
  loadOnce();
  iv_bInTransaction = true;
}

bool ItlClMapABase::refreshForRead(bool directoryUnchanged) {
  if (!iv_bLoaded || iv_bInTransaction || iv_bShadowWritten || iv_bPrepared)
    return false;  // not read yet, or this object's own transaction
  if (directoryUnchanged) return true;
  CosClFilename map = getMapFileName();
  ItlStFileIdentity now = itlFileIdentity(map);
  if (now == iv_stReadIdentity) return true;
  iv_stReadIdentity = now;
  if (now.inode != 0) {
    loadFromIndexFile(map);
  } else {
    clearEntries();
    createReservedEntry();
    iv_bLoaded = true;
  }
  return true;
}

void ItlClMapABase::onIndexFileEndTransaction() {
  iv_bLoaded = true;
  saveToIndexFile(getShadowFileName());
  iv_bShadowWritten = true;
}

void ItlClMapABase::onIndexFileCommitTransaction() {
  if (iv_bPrepared) {
    // The index's commit has put the prepared map in place; the shadow
    // is spent (a leftover goes at the next init).
    iv_bPrepared = false;
    iv_bShadowWritten = false;
    iv_bLoaded = true;
    iv_bInTransaction = false;
    iv_stReadIdentity = itlFileIdentity(getMapFileName());
    CosClFilename shadow = getShadowFileName();
    if (!itlFileOpRefused("unlink", shadow)) unlink(shadow);
    return;
  }
  commitShadow();
  iv_bShadowWritten = false;
  iv_bLoaded = true;
  iv_bInTransaction = false;
  iv_stReadIdentity = itlFileIdentity(getMapFileName());
}

void ItlClMapABase::onIndexFileRollbackTransaction() {
  iv_bPrepared = false;
  iv_bInTransaction = false;
  if (!iv_bShadowWritten) return;  // names assigned in memory stay
  iv_bLoaded = false;               // the next init reloads the map file
  iv_bShadowWritten = false;
  CosClFilename shadow = getShadowFileName();
  if (shadow.isExistent()) indexFileDelete(shadow);
}

void ItlClMapABase::removeAll() {
  clearEntries();
  iv_stReadIdentity = ItlStFileIdentity();
  createReservedEntry();
  iv_bLoaded = true;
  iv_bShadowWritten = false;
  CosClFilename shadow = getShadowFileName();
  if (shadow.isExistent()) indexFileDelete(shadow);
  CosClFilename map = getMapFileName();
  if (map.isExistent()) indexFileDelete(map);
}

void ItlClMapABase::onIndexFileClear() { removeAll(); }

void ItlClMapABase::onIndexFileDestroy() { removeAll(); }

void ItlClMapABase::onIndexFileRename(char const* newIndexName) {
  CosClFilename map = getMapFileName();
  if (!map.isExistent()) return;
  indexFileRename(map, CosClFilename(iv_rclLocation.getIndexDirectory(),
                                     newIndexName, iv_pszMapName));
}

void ItlClMapABase::onIndexFileCopy(char const* targetDirectory) {
  CosClFilename map = getMapFileName();
  if (!map.isExistent()) return;
  indexFileCopy(map, CosClFilename(CosClLocation(targetDirectory),
                                   iv_rclLocation.getIndexName(),
                                   iv_pszMapName));
}

void ItlClMapABase::onIndexFileMove(char const* targetDirectory) {
  CosClFilename map = getMapFileName();
  if (!map.isExistent()) return;
  indexFileMove(map, CosClFilename(CosClLocation(targetDirectory),
                                   iv_rclLocation.getIndexName(),
                                   iv_pszMapName));
}
