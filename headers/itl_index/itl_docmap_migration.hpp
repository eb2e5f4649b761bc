// itl_docmap_migration.hpp: the document-map migration
// (ItlClDocMapMigration): rebuilds both document-number maps of an index
// for a new maximum name length and name layout, with the caller choosing
// each document's new name, and records the new length and layout in the
// index configuration.
//
// Order of use (nothing enforces it):
//   construct -> prepare (the existing maps merged: deleted numbers leave
//   them) -> setCursorToFirst -> (obtainCurrentName, setCurrentName,
//   setCursorToNext, isCursorValid)* -> process -> commit or rollback.
// The cursor walks the (number, name) pairs of the existing number-to-name
// map in its real layout (fixed-size or variable-size names, as the
// configuration says), block by block. It stands on the first entry right
// after setCursorToFirst; the valid flag says something only after
// setCursorToNext. An entry for which no name is set is absent from the
// new maps; the new number-to-name map keeps the old highest number, so
// numbers are never reused.
//
// The new maps are built in the working set of the index (working
// directory, the index object's work base name): ".tdm" the entries in
// cursor order, ".sdm" sorted by name, ".xid"/".xii" and ".xed"/".xei"
// the new maps. Commit is one commit of the index (ItlClIndexCommit): the
// new configuration ("<name>.#in") and the new maps (".#id" ".#ii" ".#ed"
// ".#ei") are prepared, then one mark names all their renames, so that a
// kill at any instant leaves the old configuration with the old maps, or
// the new with the new. The deleted list ".del" stays as it is (empty
// after prepare).
//
// Every failure is an ItlClException (return code 8, action Inform).
// While the migration lives, the index must not be updated or merged (its
// working set is the migration's).
#ifndef ITL_DOCMAP_MIGRATION_HPP
#define ITL_DOCMAP_MIGRATION_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "itl_docmap_dex.hpp"
#include "itl_docmap_dix.hpp"
#include "itl_docmap_sort.hpp"
#include "itl_docname_mapping.hpp"

class ItlClErrorInfo;
class ItlClIndex;
class ItlClIndexConfig;
class ItlClIndexLocation;

class ItlClDocMapMigration : public ItlClDocumentNameMapping {
 public:
  // Longest name a configuration takes (MaxDocumentIDLength).
  static constexpr uint16_t MAX_NAME_LENGTH = 4096;

  // A migration of the maps of the index at `location` whose configuration
  // is `config`, to names of at most `newLength` bytes (exactly that many
  // with `fixed`). `index` (may be null: then only the cursor walk and
  // process work, commit refuses with 4) is the loaded index the commit
  // runs on. The existing maps are read with the configuration's length
  // and layout. 25 for a length of 0 or above MAX_NAME_LENGTH; 4 while the
  // index has an update, merge or name-map transaction open. With an
  // index, an interrupted commit is finished or its leftovers removed
  // first (as at an update start). All must outlive the object.
  ItlClDocMapMigration(ItlClIndex* index, ItlClErrorInfo& errorInfo,
                       ItlClIndexLocation const& location,
                       ItlClIndexConfig& config, uint16_t newLength,
                       bool fixed);
  // Closes the new maps and removes the working set; never throws.
  ~ItlClDocMapMigration() override;

  // Merges deleted numbers out of the existing maps and commits them (a
  // maps-only commit; the configuration does not change).
  void prepare();

  // Opens the existing number-to-name map and puts the cursor on the first
  // entry of its first block. Missing map files: 103; damaged: 300.
  void setCursorToFirst();
  // To the next entry (loading the next block when one is exhausted); the
  // valid flag tells whether the cursor stands on an entry.
  void setCursorToNext();
  bool isCursorValid() const { return iv_bCursorValid; }
  // The entry under the cursor: its name into `buffer` (room for the old
  // maximum length, no terminator) and its length. No entry under the
  // cursor (none yet, past the last, an empty map): length 0.
  void obtainCurrentName(char* buffer, uint16_t& length);
  // The entry under the cursor keeps its number under `name`. A name of
  // length 0, longer than the new maximum, or (fixed names) of another
  // length: 25, nothing recorded. No entry under the cursor: 6.
  void setCurrentName(char const* name, uint16_t const& length);
  // Builds the new maps from the names set. Two entries given the same
  // name: 306 (nothing of the new maps is kept usable; roll back).
  void process();
  // Installs the new maps and configuration (see above). Before process
  // (or after a name set since): 6. Without an index: 4.
  void commit();
  // Drops the new maps; the index's files stay as they were.
  void rollback();

  uint16_t getOldLength() const { return iv_usOldLength; }
  uint16_t getNewLength() const { return iv_usNewLength; }
  bool getNamesHaveFixedSize() const { return iv_bFixed; }
  ItlClErrorInfo& getErrorInfo() const { return iv_rclErrorInfo; }

 private:
  // The current block's entries: count, and the offset of each name
  // (variable layout: of its length field).
  void loadCursorBlock(uint32_t block);
  bool onEntry() const;
  void closeNewMaps();
  // The index's own mapping drops its read access after a commit.
  void refreshLiveMapping();
  void checkNoDuplicates(char const* sortedPath);
  std::string workFile(char const* extension) const;

  ItlClIndex* iv_pclIndex;              // not owned; may be null
  ItlClIndexConfig& iv_rclConfig;
  ItlClErrorInfo& iv_rclErrorInfo;
  bool iv_bFixed;                       // layout of the new maps
  ItlClDix iv_clNewDix;
  ItlClDex iv_clNewDex;
  ItlClDocMapSort iv_clSorter;
  uint16_t iv_usOldLength;              // configuration's at creation
  bool iv_bOldFixed;                    // configuration's at creation
  uint16_t iv_usNewLength;
  bool iv_bCursorValid;
  uint32_t iv_uiCurrentBlock;           // 1-based; 0: none loaded
  uint32_t iv_uiBlockCount;             // data blocks of the existing map
  uint32_t iv_uiEntry;                  // entry of the current block
  std::vector<uint32_t> iv_aNameAt;     // name offsets in the block
  uint64_t iv_ulNamesSet;               // names handed to the new map
  bool iv_bProcessed;                   // the new maps are complete
};

#endif  // ITL_DOCMAP_MIGRATION_HPP
