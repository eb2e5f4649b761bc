// itl_text_collector.hpp: the output of a parser in highlight modus.
//
// The collector receives a document's text, delimiters and field brackets
// and keeps the text normalised with the index's normaliser and converted
// to UTF-8, as one buffer that the highlighter searches. A delimiter is
// one blank; fields only change the collector's own nesting and exclusion
// flag. Text inside an excluded field is left out, delimiters are not, as
// the text document leaves them out of the index: the collected text counts
// positions as the index does.
//
// Both buffers grow as needed: a normaliser that expands text (umlaut
// folding, NFKC, Thai blanks) never loses text and never fails for want of
// room. Buffers come from the cos memory manager.
#ifndef ITL_TEXT_COLLECTOR_HPP
#define ITL_TEXT_COLLECTOR_HPP

#include "cos_converter.hpp"
#include "itl_tldocument.hpp"

class ItlClFieldNameMap;
class ItlClNormalization;

class ItlClTextCollector {
 public:
  // Keeps both references; converts to CCSID 1208; no buffers yet.
  ItlClTextCollector(ItlClFieldNameMap const& fieldNameMap,
                     ItlClNormalization const& normalizer);
  virtual ~ItlClTextCollector();
  ItlClTextCollector(ItlClTextCollector const&) = delete;
  ItlClTextCollector& operator=(ItlClTextCollector const&) = delete;

  // Prepares for a document of `size` bytes: the output buffer gets that
  // many bytes (at least one), the normalisation buffer 4096 units times
  // the normaliser's factor. Nothing collected.
  void init(unsigned int size);
  // Normalises `units` units of text and appends them in UTF-8 (nothing
  // while an excluded field is innermost). A conversion failure raises (the
  // cos error mapped); what was collected before stays.
  void addText(unsigned short const* text, unsigned int units);
  // Appends one blank, normalised like text.
  void addDelimiter();
  // Opens a field: "" opens one without a number and without a look-up;
  // an unknown name records warning 403 in the map's error info and opens
  // field 1. The 513th open field raises reason 39.
  void startField(char const* name, bool exclude);
  // Closes the innermost field; with none open only clears the flag.
  void endField();

  char const* getOutputBuffer() const { return iv_pcOutput; }
  unsigned int getBytesUsed() const { return iv_uiOutputUsed; }
  unsigned int getOutputSize() const { return iv_uiOutputSize; }
  bool isExcluding() const { return iv_bExclusion; }
  ItlClFieldStack const& getFieldStack() const { return iv_clFieldStack; }

 private:
  // addText without the exclusion test.
  void append(unsigned short const* text, unsigned int units);
  void growNormalizationBuffer(unsigned int units);
  void ensureOutputRoom(unsigned int bytes);

  ItlClFieldNameMap const& iv_rclFieldNameMap;
  ItlClNormalization const& iv_rclNormalizer;
  CosClUnicode2CodePageConverter iv_clConverter;
  unsigned short* iv_pusNormBuffer;  // owned
  unsigned int iv_uiNormCapacity;    // in units
  char* iv_pcOutput;                 // owned
  unsigned int iv_uiOutputSize;
  unsigned int iv_uiOutputUsed;
  ItlClFieldStack iv_clFieldStack;
  bool iv_bExclusion;
};

#endif  // ITL_TEXT_COLLECTOR_HPP
