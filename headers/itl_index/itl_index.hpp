// itl_index.hpp: one text index as the index library sees it (ItlClIndex).
//
// The index object holds the index's location (name, directory, working
// directory), the caller's context and the parts that own the index's
// files: the index-file manager, the configuration, the kernel interface
// (the engine's side; no index file), the stop-word file, the field- and
// attribute-name maps, the document-name map and the document models.
// Index files hear the events in that registration order. Nothing is read
// from disk before `load`, which broadcasts the init event once.
//
// Administration (create, destroy, clear, rename, copy, move) survives a
// kill. Each operation first writes a mark "<name>.#ad" where the index
// lives afterwards (a temporary "<name>.#ad~", fsync, rename, directory
// fsync); its steps skip what is already done; the mark goes last:
//
//   mark        lives in            means
//   create      index directory     the index does not exist yet
//   copy        target directory    the copy does not exist yet
//   destroy     index directory     the index is gone; `init` finishes it
//   clear       index directory     `init` finishes the clear
//   rename OLD  under the new name  the ".ini" moves first; `init` of the
//                                   new name finishes the rename, or drops
//                                   the mark when the new ".ini" is missing
//
// An index exists when its ".ini" does and no create, copy or destroy mark
// is pending. A create or copy first removes every file of its name in its
// directory (engine index included). A move is a copy, then a destroy of
// the source. Destroy removes the working directory only when
// `setWorkingDirectory` made it ("TMP_<name>").
//
// Every failure is an ItlClException (return code 8, action Inform unless
// given otherwise).
#ifndef ITL_INDEX_HPP
#define ITL_INDEX_HPP

#include <cstdint>
#include <string>

#include "cos_trace.hpp"
#include "itl_codes.hpp"
#include "itl_document_format.hpp"
#include "itl_index_location.hpp"

class ItlClAttributeNameMap;
class ItlClContext;
class ItlClDocumentModels;
class ItlClDocumentNameMapping;
class ItlClErrorInfo;
class ItlClFieldNameMap;
class ItlClIndexConfig;
class ItlClIndexFileMgr;
class ItlClIndexTlPort;
class ItlClKernelInterface;
class ItlClStopWordFile;

class ItlClIndex {
 public:
  // Longest index name (bytes): the name with its longest suffix must fit
  // one file-name component.
  static constexpr unsigned MAX_NAME_LENGTH = 240;

  // Stores name, directory and context; the working directory is the
  // temporary directory. Creates no part.
  ItlClIndex(char const* name, char const* directory, ItlClContext& context);
  // Frees the parts. Never throws.
  virtual ~ItlClIndex();
  ItlClIndex(ItlClIndex const&) = delete;
  ItlClIndex& operator=(ItlClIndex const&) = delete;

  // Creates the parts and registers the index files, then finishes an
  // administration that a kill interrupted (pending destroy, clear or
  // rename of this name).
  void init();

  // Not null, not empty, no '/', no '.', at most MAX_NAME_LENGTH bytes.
  static bool isValidIndexName(char const* name);
  // The directory exists.
  static bool isValidDirectoryName(char const* directory);

  // The ".ini" exists and no create, copy or destroy is pending.
  bool isExistent() const;
  // 100 with the context reset to the index name when it does not exist.
  void throwIfNotExistent() const;
  // throwIfNotExistent; the init broadcast once; the name layout of the
  // document-name map from the configuration.
  void load() const;

  // The documents of the index: those the document-name map's
  // name-to-number file holds; without name mapping (DocumentIDMapping
  // OFF), where that map stays empty, the engine's live documents.
  void obtainNumberOfDocuments(uint64_t& count) const;
  // isMergeRecommended of the engine's two counts and the deleted
  // documents the document-name map records.
  void obtainMergeIsRecommended(bool& recommended) const;
  // c1 > 2 c0, or deleted > 30 * (c0 / 100) (integer division first).
  static bool isMergeRecommended(uint64_t count0, uint64_t count1,
                                 uint64_t deleted);
  // Working directory dir/TMP_<name> (made). Null: 25; missing: 26 with
  // "Directory: <dir>"; a document-map transaction open: 4. A refused call
  // changes nothing.
  void setWorkingDirectory(char const* directory);

  void addDocumentModel(char const* name, char const* text,
                        unsigned int length);
  void setDefaultDocumentModel(ItlEnDocumentFormat format, char const* name);

  // Index-level attribute callbacks are not used: the context's callbacks
  // serve attribute parsing.
  void setHighPerfMode(bool on);
  void setDisplayLog(bool on);

  // Administration (see above).
  void adminCreate(char const* templateName);
  void adminDestroy();
  void adminClear();
  void adminRename(char const* newName);
  void adminCopy(char const* targetDirectory) const;
  void adminMove(char const* targetDirectory);

  void reInitKey();

  char const* getName() const { return iv_clLocation.getIndexName(); }
  char const* getDirectory() const {
    return iv_clLocation.getIndexDirectory().getAsCString();
  }
  char const* getWorkingDirectory() const {
    return iv_clLocation.getWorkingDirectory().getAsCString();
  }
  char const* getKey() const { return iv_clKey.getAsCString(); }
  ItlClIndexLocation const& getLocation() const { return iv_clLocation; }
  ItlClContext& getContext() const { return iv_rclContext; }
  ItlClErrorInfo& getErrorInfo() const;

  // Parts; REQUIRES: init ran.
  ItlClIndexFileMgr& getIndexFileMgr() const { return *iv_pclFileMgr; }
  ItlClIndexConfig& getConfig() const { return *iv_pclConfig; }
  ItlClKernelInterface& getKernelInterface() const { return *iv_pclKernel; }
  ItlClStopWordFile& getStopWordFile() const { return *iv_pclStopWords; }
  ItlClFieldNameMap& getFieldNameMap() const { return *iv_pclFieldMap; }
  ItlClAttributeNameMap& getAttributeNameMap() const {
    return *iv_pclAttributeMap;
  }
  ItlClDocumentNameMapping& getDocumentNameMapping() const {
    return *iv_pclDocNames;
  }
  ItlClDocumentModels& getDocumentModels() const { return *iv_pclModels; }
  // The text layer's port of this index (kernel document operations, the
  // normaliser settings, the context and the name maps).
  ItlClIndexTlPort& getTlPort() const { return *iv_pclTlPort; }

 private:
  void createParts();
  void freeParts();
  // Parts made again for the current location (after rename and move).
  void rebuildParts();
  void recoverAdministration();
  // The steps of destroy and clear after their mark (they end by removing
  // it); removes `workingDirectory` when it is "TMP_<name>".
  void finishDestroy(std::string const& workingDirectory);
  void finishClear();
  // The steps of a rename after its mark under `newName` in the index
  // directory: ".ini", engine index, the other files; the mark goes.
  void finishRename(char const* oldName, char const* newName);
  // A marked copy into `target` (a directory text ending in '/').
  void copyTo(std::string const& target) const;
  // 102 (with origin) for a missing target, 104 for an index there.
  void checkTarget(char const* targetDirectory, char const* origin,
                   unsigned line) const;

  ItlClContext& iv_rclContext;
  ItlClIndexLocation iv_clLocation;
  CosClResourceKeyABase iv_clKey;
  mutable bool iv_bFilesInitialised;
  bool iv_bWorkDirMade;  // setWorkingDirectory made the working directory
  bool iv_bHighPerf;
  bool iv_bDisplayLog;

  ItlClIndexFileMgr* iv_pclFileMgr;
  ItlClFieldNameMap* iv_pclFieldMap;
  ItlClAttributeNameMap* iv_pclAttributeMap;
  ItlClDocumentNameMapping* iv_pclDocNames;
  ItlClDocumentModels* iv_pclModels;
  ItlClIndexConfig* iv_pclConfig;
  ItlClStopWordFile* iv_pclStopWords;
  ItlClKernelInterface* iv_pclKernel;
  ItlClIndexTlPort* iv_pclTlPort;
};

#endif  // ITL_INDEX_HPP
