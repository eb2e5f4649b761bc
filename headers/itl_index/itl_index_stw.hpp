// itl_index_stw.hpp: the stop-word file of an index.
//
// When an index is configured to delete stop words (DeleteStopwords), its
// creation converts the stop-word list of the configured language from the
// resource location ("<language>-<TERRITORY>.tsw", "<language>_<TERRITORY>
// .tsw", "<language>.tsw" and, with alternate territories, the first
// "<language>*.tsw" in byte order of names) into "<index>.stw" in the index
// directory, which the engine reads when an update opens.
//
// Source (.tsw): UTF-16, little-endian unless a byte-order mark FE FF says
// big-endian (FF FE, little-endian, is skipped too); an odd last byte is
// ignored. Words are the runs of code units that are not control
// characters (Unicode class Cc, which holds line ends and tabs).
// Target (.stw): each word in UTF-8 followed by "\n", in source order,
// duplicates kept; a lone surrogate becomes U+FFFD. A word of any length is
// written whole.
#ifndef ITL_INDEX_STW_HPP
#define ITL_INDEX_STW_HPP

#include <cstdint>
#include <string>

#include "cos_filename.hpp"
#include "cos_language.hpp"
#include "cos_location.hpp"
#include "itl_index_file.hpp"

class ItlClErrorInfo;
class ItlClIndexConfig;
class ItlClIndexLocation;

class ItlClIndexStwLoader {
 public:
  // Keeps the reference; it must outlive the loader.
  explicit ItlClIndexStwLoader(CosClLocation const& resourceLocation);
  ItlClIndexStwLoader(ItlClIndexStwLoader const&) = delete;
  ItlClIndexStwLoader& operator=(ItlClIndexStwLoader const&) = delete;

  static char const* getFilenameExtension() { return ".tsw"; }

  // Finds the source for `language` and converts it into `target`. False
  // (nothing written) when no source exists; getSourceName() then names
  // the last candidate tried. Raises 8 for an unknown language or
  // territory, 18 when the target cannot be written.
  bool convertStwList(CosClLanguage const& language, bool alternates,
                      CosClFilename const& target);
  // The source candidate in `resources` (see the header comment): the
  // first that exists, else the last tried; returns whether it exists.
  // Raises 8 (context "Invalid language specified for stopword file") for
  // language 0 or an unknown language or territory.
  bool createFilenameForLanguage(CosClLanguage const& language,
                                 bool alternates,
                                 CosClLocation const& resources,
                                 CosClFilename& name) const;
  // Converts the source found last into `target` (created or truncated,
  // fsynced). False when the source cannot be opened; 18 when the target
  // cannot be written.
  bool convertTo(CosClFilename const& target);
  // Converts UTF-16 `bytes` (.tsw layout) into .stw text; returns the
  // number of words. For convertTo and the tests.
  static uint32_t convertBytes(uint8_t const* bytes, uint32_t size,
                               std::string& out);

  CosClFilename const& getSourceName() const { return iv_clSource; }
  uint32_t getWordCount() const { return iv_uiWordCount; }

 private:
  CosClLocation const& iv_rclResources;
  CosClFilename iv_clSource;
  uint32_t iv_uiWordCount;
};

// The index file "<index>.stw".
class ItlClStopWordFile : public ItlClIndexFileBase {
 public:
  // Keeps the references; they must outlive the object.
  ItlClStopWordFile(ItlClIndexLocation const& location,
                    ItlClErrorInfo& errorInfo, ItlClIndexConfig& config);
  ~ItlClStopWordFile() override;

  // Reads the configuration; with DeleteStopwords converts the list.
  // No source: warning 48, no stop words; an empty list: warning 49 (each
  // with the source's name as context).
  void onIndexFileCreate() override;
  // Removes the file when it exists.
  void onIndexFileDestroy() override;
  // Each when the file exists, and idempotent.
  void onIndexFileRename(char const* newIndexName) override;
  void onIndexFileCopy(char const* targetDirectory) override;
  void onIndexFileMove(char const* targetDirectory) override;
  // Notes whether the file exists.
  void onIndexFileInit() override;

  bool hasStopWords() const { return iv_bStopWordsPresent; }
  CosClFilename const& getFileName() const { return iv_clFileName; }

 private:
  ItlClErrorInfo& iv_rclErrorInfo;
  ItlClIndexConfig& iv_rclConfig;
  CosClFilename iv_clFileName;
  bool iv_bStopWordsPresent;
};

#endif  // ITL_INDEX_STW_HPP
