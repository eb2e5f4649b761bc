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

#include "cos_location.hpp"

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

  // Whether the document-number map files of this index were converted to
  // the 64-bit layout in this process (they are converted once per index).
  bool areDocMapFilesConverted() const { return iv_bDocMapFilesConverted; }
  void markDocMapFilesConverted() const { iv_bDocMapFilesConverted = true; }

 private:
  char iv_szIndexName[COS_PATH_BUFFER_SIZE];
  CosClLocation iv_clIndexDirectory;
  CosClLocation iv_clWorkingDirectory;
  mutable bool iv_bDocMapFilesConverted;
};

#endif  // ITL_INDEX_LOCATION_HPP
