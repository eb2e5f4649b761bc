// itl_index_location.hpp: where an index lives.
//
// ItlClIndexLocation holds the index name (the base name of every file of
// the index), the index directory and the working directory (where shadow
// files and working copies of a transaction are written; by default the
// temporary directory). The index object owns it; every index file keeps a
// reference, so a rename or move of the index changes what all its files
// see. Texts that do not fit a path value are cut and marked too long (see
// cos_location.hpp); nothing here throws.
#ifndef ITL_INDEX_LOCATION_HPP
#define ITL_INDEX_LOCATION_HPP

#include <string>

#include "cos_location.hpp"
#include "itl_kept_directory.hpp"

class ItlClIndexLocation {
 public:
  // A null working directory means the temporary directory
  // (cosGetTmpDirectory()).
  ItlClIndexLocation(char const* indexName, char const* indexDirectory,
                     char const* workingDirectory = nullptr);
  ItlClIndexLocation(ItlClIndexLocation const&) = delete;
  ItlClIndexLocation& operator=(ItlClIndexLocation const&) = delete;

  void setIndexName(char const* indexName);
  void setIndexDirectory(char const* directory);
  // Null: the temporary directory.
  void setWorkingDirectory(char const* directory);

  char const* getIndexName() const { return iv_szIndexName; }
  CosClLocation const& getIndexDirectory() const { return iv_clIndexDirectory; }
  CosClLocation const& getWorkingDirectory() const {
    return iv_clWorkingDirectory;
  }

  // The base name of this location's working files: the index name
  // followed by a tag unique to this location object ("-<pid>-<n>"). Two
  // index objects that share a working directory (two indexes of one name
  // in different directories, or a searcher and the updater of one index)
  // thus never open, truncate or remove each other's working files.
  std::string getWorkBaseName() const { return workBaseNameOf(iv_szIndexName); }
  // The same for another index name (a rename in progress).
  std::string workBaseNameOf(char const* indexName) const;

  // Whether the document-number map files of this index were converted to
  // the 64-bit layout in this process (they are converted once per index).
  bool areDocMapFilesConverted() const { return iv_bDocMapFilesConverted; }
  void markDocMapFilesConverted() const { iv_bDocMapFilesConverted = true; }

  // The index directory as its searches keep it open for their shared
  // lock, with the stamps readers check (itl_kept_directory.hpp). A new
  // index directory closes it; a new index name forgets the stamps.
  ItlClKeptDirectory& getKeptDirectory() const { return iv_clKeptDirectory; }

 private:
  char iv_szIndexName[COS_PATH_BUFFER_SIZE];
  CosClLocation iv_clIndexDirectory;
  CosClLocation iv_clWorkingDirectory;
  mutable bool iv_bDocMapFilesConverted;
  char iv_szWorkTag[32];
  mutable ItlClKeptDirectory iv_clKeptDirectory;
};

#endif  // ITL_INDEX_LOCATION_HPP
