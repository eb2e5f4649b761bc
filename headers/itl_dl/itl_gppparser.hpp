// itl_gppparser.hpp: the parser of structured documents (format
// STRUCTURED, 100003).
//
// A structured document is plain text in which the start and end strings
// of a structured-document model (ItlClGppModel) bracket fields and
// attributes. Outside a field every start string of the model is looked
// for with the model's tag finder (a trie walked one character at a time,
// backtracking over at most one candidate); inside a field or attribute
// only its end string is. Fields do not nest; a definition without an end
// string lasts until the next start string. The start and end strings
// themselves are not indexed; each one ends the run of text before it with
// a delimiter. Text is handed on as ranges of the scanner's buffer.
//
// Only modus 3 (index) produces anything; the other modes read the text
// and drop it.
//
// Findings are warnings in the caller's error info: 654 no model (the
// document is one run of text), 653 an end string still pending at the end
// of the text (context "Tag: <end string>"). Failures of startDocument: an
// unknown model name (202) and conflicting start strings (650, 651, 652).
//
// Characters: a high surrogate followed by a low one is one character;
// any other surrogate is a character alone (and a high one at the end of
// the text is never joined with what lies beyond).
//
// Between documents the parser keeps its tag finder while the model stays
// the same object of the same name, and its spender while the longest
// start string stays the same length. The finder refers to the model's
// items, so it is rebuilt for a model object the store reloaded.
#ifndef ITL_GPPPARSER_HPP
#define ITL_GPPPARSER_HPP

#include <cstdint>

#include "itl_gpp_tag_finder.hpp"
#include "itl_parser.hpp"

class ItlClGppModel;
class ItlClGppTagFinder;
class ItlClGppTagInfo;
class ItlClGppUTF16Spender;

class ItlClParserGpp : public ItlClParserABase {
 public:
  // Parse states (see processDocument in the source file).
  enum State : uint32_t {
    IDLE = 0,
    OUTSIDE = 1,          // a start string may begin at the next character
    START_FAILED = 2,     // the candidate's first character is text
    IN_START = 3,         // inside a start-string candidate
    INSIDE = 4,           // in a field: its end string may begin here
    END_FAILED = 5,       // the end candidate's first character is text
    IN_END = 6,           // inside an end-string candidate
    END_MISSING = 7,      // the rest of the text after a partial end string
  };

  ItlClParserGpp(ItlClErrorInfo& errorInfo, ItlClDocumentModels const& models);
  // Frees the tag finder, then the spender.
  ~ItlClParserGpp() override;

  // The model of `modelName` (null: the index's default STRUCTURED model,
  // maybe none: warning 654); prepares the tag finder. Throws what the
  // model store or the finder's registration throws; the finder is then
  // gone and rebuilt by the next document.
  void startDocument(ItlEnParserModus modus, ItlClTlDocument* document,
                     ItlClTextCollector* collector,
                     ItlClDocumentOffsetMapper* mapper,
                     char const* modelName) override;
  // REQUIRES: startDocument. The whole text of `scanner`.
  void processDocument(ItlClDocumentInputScanner& scanner) override;
  // State 0; the model, finder and spender stay for the next document.
  void endDocument() override;
  ItlEnDocumentFormat getDocumentFormat() const override {
    return ItlEnDocumentFormat_Structured;
  }

  // For the tests: the finder and spender in use (null before the first
  // document), and the parse state.
  ItlClGppTagFinder const* getTagFinder() const { return iv_pclTagFinder; }
  ItlClGppUTF16Spender const* getSpender() const { return iv_pclSpender; }
  uint32_t getState() const { return iv_uiState; }

 private:
  // The actions on a recognised start or end string; the reading position
  // stands after it.
  void doStartTagFoundAction();
  void doEndTagFoundAction();
  // Hands the pending text range to the text document.
  void flushText();
  // The mark and the pending text range start at the reading position.
  void restartAtReadPosition();
  // Warning 653 with the pending end string.
  void warnEndTagPending();
  void finish();
  void prepareFinder(ItlClGppModel const* model);
  void rememberModel(ItlClGppModel const* model);
  // The node that the 16 bit tests of `unit` reach from `node` (an inner
  // node where a unit begins), or null: the finder's walk, remembered.
  ItlClGppTagFinder::Node* stepUnit(ItlClGppTagFinder::Node* node,
                                    unsigned short unit);
  // Walks the `units` units of the character at `c` down from `node`:
  // 0 no match (node null or a leaf inside the character), 1 a prefix of a
  // start string, 2 a complete start string (node is its leaf).
  unsigned feed(ItlClGppTagFinder::Node*& node, unsigned short const* c,
                unsigned units);
  // Whether the OUTSIDE scan must stop at `unit` (see iv_aulStopUnits).
  bool isStopUnit(unsigned short unit) const {
    return (iv_aulStopUnits[unit >> 6] >> (unit & 63)) & 1u;
  }

  uint32_t iv_uiState;
  ItlClGppUTF16Spender* iv_pclSpender;   // owned, memory manager
  ItlClGppTagFinder* iv_pclTagFinder;    // owned, memory manager
  ItlClGppModel const* iv_pclModel;      // not owned; the store's object
  char* iv_pszModelName;                 // owned copy of the model's name
  ItlClGppTagInfo const* iv_pclCurrentTag;
  unsigned short const* iv_pusEndString;  // of the open field, or null
  unsigned short const* iv_pusEndCursor;  // next unit to compare
  // The units that begin a start string of the finder's model, and every
  // surrogate: outside a field any other unit is a character alone that
  // no start string begins with, so it is text without a trie walk.
  // Built with the finder and kept with it.
  uint64_t iv_aulStopUnits[1024];
  // Walks of whole units already made (stepUnit), direct-mapped by node
  // and unit; emptied with the stop units whenever the finder is built.
  // The trie does not change while it is in use, so an entry stays true.
  struct Step {
    ItlClGppTagFinder::Node const* from;  // null: empty
    ItlClGppTagFinder::Node* to;          // null: no node
    unsigned short unit;
  };
  static constexpr unsigned kSteps = 1024;
  Step iv_astSteps[kSteps];
};

#endif  // ITL_GPPPARSER_HPP
