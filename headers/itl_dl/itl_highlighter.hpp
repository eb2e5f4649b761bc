// itl_highlighter.hpp: where the hits of a search lie in a caller's
// document, in bytes of that document, with a window of context around
// each (ItlClHighlighter).
//
// The highlighter extracts the document's indexable text as indexing
// would (same parser and model, same normalisation, excluded fields left
// out) into a text collector, lets the engine find the caller's
// occurrences in it (GTRgetHitinfoExt with the index's creation record, so
// that positions count as the index counted them), carries the hits back
// to characters of the document through an offset mapper, and turns them
// into byte offsets of the caller's bytes (ItlClHighlightList).
//
// Units: the engine reports bytes of the collected UTF-8 text; these become
// normalised characters (each collected character as the normaliser's
// getNormalizedLength counts it); the mapper carries them back to
// characters of the document (a surrogate pair one; a hit that starts or
// ends inside a character that normalised to more covers it whole); the
// last step counts one document character at a time in the caller's UTF-8
// bytes. Only TEXT and XML documents in UTF-8 are highlighted.
//
// The index is reached through ItlClHighlighterIndexPort, which the index
// layer implements. Failures raise ItlClException (return code 8, action
// Inform unless an engine or cos error brings its own): 13 no parser for
// the format, 700 occurrences not ascending, 701 an occurrence with bad
// data or one the engine did not find, 403 an XML field the index does not
// know, 46 a list iterator gone; parser and conversion errors as they come.
#ifndef ITL_HIGHLIGHTER_HPP
#define ITL_HIGHLIGHTER_HPP

#include <cstdint>

#include "cos_memmgr.hpp"
#include "itl_document_format.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_field_num_set.hpp"
#include "itl_occurrence.h"
#include "itl_parser.hpp"

class CosClCCSID;
class ItlClDocumentModels;
class ItlClErrorInfo;
class ItlClFieldNameMap;
class ItlClHighlightList;
class ItlClHitlist;
class ItlClNormalization;
struct GTRHCREATEPARM;

// What the highlighter needs of its index.
class ItlClHighlighterIndexPort {
 public:
  virtual ~ItlClHighlighterIndexPort() = default;
  // Has the index loaded (its maps, models and configuration read).
  virtual void load() = 0;
  virtual ItlClErrorInfo& getErrorInfo() const = 0;
  virtual ItlClFieldNameMap const& getFieldNameMap() const = 0;
  virtual ItlClDocumentModels const& getDocumentModels() const = 0;
  // The engine's creation record of the index (code page, word rule,
  // additional alphanumeric characters).
  virtual void fillCreateParm(GTRHCREATEPARM& record) const = 0;
  // The normaliser of the index's configuration for `ccsid` and no
  // language (null when the configuration names none); the caller frees it
  // with ItlClNormalization::destroyNormalizer.
  virtual ItlClNormalization* createNormalizer(CosClCCSID const& ccsid) const = 0;
  // Sizes of the highlighter's memory pool, in bytes.
  virtual uint32_t getPoolFirstSize() const = 0;
  virtual uint32_t getPoolGrowthSize() const = 0;
};

class ItlClHighlighter {
 public:
  // `truncation`: characters of context wanted on each side of a hit;
  // `maximumTruncation`: the most, reached to complete a word. The port
  // must outlive the highlighter.
  ItlClHighlighter(ItlClHighlighterIndexPort& index, unsigned int truncation,
                   unsigned int maximumTruncation);
  virtual ~ItlClHighlighter();
  ItlClHighlighter(ItlClHighlighter const&) = delete;
  ItlClHighlighter& operator=(ItlClHighlighter const&) = delete;

  // Has the index loaded; then the highlighter is usable.
  void init();
  bool isInitialised() const { return iv_bInitialised; }

  // Restricts highlighting to one more field (and the fields nested in
  // it). A name the index does not know is ignored (the field-name map
  // records warning 403 in the index's error info).
  void addField(char const* name);

  // Highlights `occurrences` (`count`, ascending positions) in the
  // document (`length` bytes, TEXT or XML, CCSID 1208; `modelName` null for
  // the format's default model). The new list goes to `list` before it is
  // filled: the caller owns it from then on, also when the call throws.
  // REQUIRES: init() was called; list == nullptr on entry.
  void processDocument(char const* document, unsigned int length,
                       ItlEnDocumentFormat format, unsigned short ccsid,
                       char const* modelName,
                       ItlStOccurrence const* occurrences, unsigned int count,
                       ItlClHighlightList*& list);

  uint32_t getTruncation() const { return iv_uiTruncation; }
  uint32_t getMaximumTruncation() const { return iv_uiMaximumTruncation; }
  ItlClFieldNumSet const& getFieldSelection() const { return iv_clSelection; }

  // Normalised characters of the collected UTF-8 text before each hit
  // (`hits` byte offsets from the engine) into `target` (part type 0,
  // character offset, character length). A hit the engine did not find
  // (start -1) raises 701. Hits may overlap.
  static void fillTargetHitlist(ItlClNormalization const& normalizer,
                                char const* text, unsigned int bytes,
                                int32_t const* starts, int32_t const* ends,
                                unsigned int count, ItlClHitlist& target);

 private:
  // One parse of the scanner's document in `modus`.
  void runParser(ItlClParserABase& parser, ItlEnParserModus modus,
                 char const* document, unsigned int length,
                 unsigned short ccsid, char const* modelName,
                 ItlClTextCollector* collector,
                 ItlClDocumentOffsetMapper* mapper);
  // Checks the occurrences (700, 701) and has the engine find them in the
  // collected text; fills `hits` in normalised characters.
  void createTargetHitlist(ItlStOccurrence const* occurrences,
                           unsigned int count,
                           ItlClNormalization const& normalizer,
                           char const* text, unsigned int bytes,
                           ItlClHitlist& hits) const;
  // One element per mapped hit that starts inside the document: hit and
  // context in bytes of `document`; `leading` characters of the document
  // lie before the mapper's first one.
  void calculateHighlights(ItlClHighlightList& list, char const* document,
                           unsigned int length, ItlClHitlist const& mapped,
                           uint32_t leading) const;

  ItlClHighlighterIndexPort& iv_rclIndex;
  bool iv_bInitialised;
  uint32_t iv_uiTruncation;         // characters
  uint32_t iv_uiMaximumTruncation;  // characters
  ItlClParserFactory iv_clParserFactory;
  ItlClDocumentInputScanner iv_clScanner;
  CosClMemoryPool iv_clPool;
  ItlClFieldNumSet iv_clSelection;  // empty: every field
};

#endif  // ITL_HIGHLIGHTER_HPP
