// itl_map_abase.hpp: a persistent map from names to numbers, stored as one
// file of an index (the field-name map "tf", the attribute-name maps "an"
// and "as").
//
// Numbers: 1 is the reserved entry (no name; also the answer of a failed
// lookup); names get 2, 3, ... in the order they are first assigned. A
// number never changes and is never reused; a deleted name keeps its number
// with an empty record. Names are byte strings given with their length,
// which counts the terminating NUL; at most MAX_NAME_LENGTH bytes.
//
// The map file, "ITL-MAPFILE-1.00" (all integers big-endian, no padding):
//   off   size  field
//     0     16  "ITL-MAPFILE-1.00", no terminator
//    16      4  count: records that follow = highest number in use
//    20      *  count records in number order 1, 2, ...
// Record:
//     0      4  L: name bytes with the NUL; 0 for the reserved entry and
//               for deleted names
//     4      L  the name with its NUL
//   4+L      4  the number (written; ignored when read: records are
//               numbered in file order)
//   8+L      4  hash of the name (itlMapHash; a deleted name keeps its old
//               hash, the reserved entry has 0)
//
// Transactions (the index announces them through ItlClIndexFileMgr):
//   state        event                  effect
//   -            init / start           load the map file once (start: again
//                                       when a commit replaced it since);
//                                       remove a leftover shadow or commit
//                                       copy
//   assigning    end                    write the whole map to the shadow
//                                       file "<index>.<ext>$" in the working
//                                       directory and fsync it
//   shadow       commit                 rename the shadow over the map file
//                                       (another file system: copy it to
//                                       "<index>.<ext>~" beside the map,
//                                       fsync, rename); fsync the directory
//   shadow       rollback               drop the shadow; the next init
//                                       reloads the map file
//   shadow       prepare (the index's   copy the shadow to the prepared
//                one commit)            "<index>.#<ext>" beside the map,
//                                       fsynced; step: rename it over the
//                                       map file (run by the index after
//                                       its mark)
//   prepared     commit                 only forget the shadow
//   prepared     drop                   remove the prepared file
//   assigning    rollback               nothing (names stay in memory)
// A reader outside a transaction (refreshForRead) reads the map file again
// when a commit has replaced it since it was read (itlFileIdentity), so a
// long-lived index object learns names that later commits added.
// Invariants:
//   1. the map file is only ever replaced by a rename of a complete,
//      fsynced file, never deleted first: at every instant the map file
//      holds the last committed map (or the one being committed);
//   2. a shadow or commit copy left by a crash is removed at the next init;
//   3. every name in memory is short enough for the loader, so a saved map
//      always loads.
#ifndef ITL_MAP_ABASE_HPP
#define ITL_MAP_ABASE_HPP

#include <cstdint>
#include <cstdio>

#include "itl_codes.hpp"
#include "itl_file_identity.hpp"
#include "itl_index_file.hpp"
#include "itl_map_htab.hpp"

class CosClFilename;
class ItlClErrorInfo;

class ItlClMapABase : public ItlClIndexFileBase {
 public:
  // Longest name, in bytes with its NUL.
  static constexpr uint32_t MAX_NAME_LENGTH = 32767;

  // `mapName`, `shadowName`: file extensions (literals: "tf", "tf$");
  // `maxNumber`: highest number; `growth`: initial size and growth step of
  // the array; `buckets`: hash buckets. Nothing is allocated until init().
  ItlClMapABase(ItlClIndexLocation const& location, char const* mapName,
                char const* shadowName, ItlClErrorInfo& errorInfo,
                uint32_t maxNumber, uint32_t growth, uint32_t buckets);
  ~ItlClMapABase() override;

  // Allocates the buckets and creates the reserved entry (number 1).
  void init();

  // The number of a name. Unknown: the error info gets the context line
  // "Field or attribute name to be mapped: <name>" and the warning 403
  // (which counts towards the warning threshold and may throw), `number`
  // becomes 1 and 4 is returned; else 0.
  ItlEnReturnCode mapNameToNumber(char const* name, uint32_t length,
                                  uint32_t& number) const;
  // The number of a name, creating it when new (`isNew` true). A full map
  // raises 404; a length of 0 or above MAX_NAME_LENGTH raises 402.
  void assignNameToNumber(char const* name, uint32_t length, uint32_t& number,
                          bool& isNew);
  // A known name loses its entry's name; its number stays used.
  void deleteName(char const* name, uint32_t length);
  // "elementNumber elementName\n", then per entry "%13u  %s " when it has a
  // name, and "\n" in any case.
  void display(FILE* out) const;

  // Writes the map to `name` (mode 0660) and fsyncs it. Failure: reason 18,
  // the file removed.
  void saveToIndexFile(CosClFilename const& name) const;
  // Replaces the entries by those of the file. Failure (open, short read,
  // wrong magic, bad length): reason 17; the map then holds only the
  // reserved entry and is not loaded.
  void loadFromIndexFile(CosClFilename const& name);
  // Empties array and hash index; not loaded.
  void clearEntries();

  // Writes "<map file>.64" in the 64-bit layout (see itl_map_convert.cpp)
  // and converts the index's document-number map files once per index.
  void convert32To64();
  void convert32To64docmapfiles();

  void onIndexFileInit() override;
  void onIndexFileStartTransaction() override;
  void onIndexFileEndTransaction() override;
  void onIndexFileCommitTransaction() override;
  void onIndexFileRollbackTransaction() override;
  void onIndexFileClear() override;
  void onIndexFileDestroy() override;
  void onIndexFileRename(char const* newIndexName) override;
  void onIndexFileCopy(char const* targetDirectory) override;
  void onIndexFileMove(char const* targetDirectory) override;
  void onIndexFilePrepareCommit(bool merge,
                                std::vector<ItlStIndexFileStep>& steps) override;
  void onIndexFileDropPrepared() override;

  // Outside a transaction of this object: reads the map file again when
  // another commit has replaced it since it was loaded. Run under the
  // index's shared commit lock. `directoryUnchanged`: the caller knows
  // that no file of the index directory was replaced since this map's last
  // check, which then needs no look at the file. True when the map was
  // checked against its file (false: not loaded yet, or this object's own
  // transaction).
  bool refreshForRead(bool directoryUnchanged = false);

  bool isLoaded() const { return iv_bLoaded; }
  bool isShadowWritten() const { return iv_bShadowWritten; }
  char const* getMapName() const { return iv_pszMapName; }
  // Highest number in use (the reserved entry included).
  uint32_t getEntryCount() const { return iv_clArray.getNextNumber() - 1; }
  // REQUIRES: 1 <= number <= getEntryCount().
  ItlStMapEntry const& getEntry(uint32_t number) const {
    return iv_clArray.getEntry(number);
  }
  // "<index directory>/<index name>.<map name>" and the shadow
  // "<working directory>/<index name>.<shadow name>".
  CosClFilename getMapFileName() const;
  CosClFilename getShadowFileName() const;
  // "<index directory>/<index name>.#<map name>": the map prepared for the
  // index's commit.
  CosClFilename getPreparedFileName() const;

 private:
  void createReservedEntry();
  // Reads the map file when not loaded; removes leftover transaction files.
  void loadOnce();
  // Back to the reserved entry; removes the shadow and the map file.
  void removeAll();
  // Puts the shadow in place of the map file (invariant 1).
  void commitShadow();
  void readRecords(FILE* file, char const* fileName);

  ItlClMapArray iv_clArray;
  ItlClMapHashtable iv_clHash;
  char const* iv_pszMapName;     // extension, literal
  char const* iv_pszShadowName;  // extension, literal
  ItlClErrorInfo& iv_rclErrorInfo;
  bool iv_bLoaded;
  bool iv_bShadowWritten;
  bool iv_bPrepared;  // the index's commit holds the prepared map
  bool iv_bInTransaction;  // between start and commit or rollback
  ItlStFileIdentity iv_stReadIdentity;  // of the map file when it was read
};

#endif  // ITL_MAP_ABASE_HPP
