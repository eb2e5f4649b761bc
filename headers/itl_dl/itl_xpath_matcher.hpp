// itl_xpath_matcher.hpp: the XPath subset of XML document models.
//
// ItlClXpathMatcher compiles one locator of an XML model definition into a
// short list of operations and decides whether the node at the tail of the
// XML parser's element path (ItlClXmlDocPath) is selected by it. The subset:
// absolute and relative location paths of steps joined by "/" and "//";
// the child and attribute axes ("child::", "attribute::" or "@"; only the
// last step may use the attribute axis); name tests "name", "prefix:name",
// "*" and "prefix:*"; and "comment()", "processing-instruction()" and
// "processing-instruction('target')". No predicates, no other axes, no
// "." or "..". Names are compared byte for byte as the document writes
// them (no namespace processing). Everything but the nine delimiters
//   "  '  (  )  *  /  :  @  |
// belongs to a name, blanks included ("a b" is one name); only blanks next
// to a "|" and at either end of the locator text are dropped.
//
// Several locators may share one text, separated by "|": init compiles the
// first and hands back where the next begins; the caller compiles that with
// another matcher.
//
// Compiled form: operations stored from the last step of the text back to
// the first; n steps take 2n + 2 entries:
//   entry 0        axis of the last step (LastChild or LastAttribute)
//   entry 1        its node test
//   entries 2k,    for each earlier step, right to left: Child when "/"
//   2k + 1         follows it in the text, Descendant for "//"; its test
//   entry 2n       anchor: AbsoluteAnchor after a leading "/", else
//                  RelativeAnchor
//   entry 2n + 1   End (all zero)
// The locator "/" alone is {RootOnly}, {End}.
//
// Failures are ItlClException (return code 8, action Inform) with the
// context lines "Invalid XPath: <locator>" and, mostly, "Invalid token in
// XPath: <text from the offending token>"; the origin is
// "source/itl_dl/itl_xpathmatcher:<n>", n one of the numbers of the
// compile failures below. Memory comes from the memory manager, whose
// out-of-memory handler throws. Matching allocates nothing and is linear in
// path depth times operation count; it does not change the matcher.
#ifndef ITL_XPATH_MATCHER_HPP
#define ITL_XPATH_MATCHER_HPP

#include <cstdint>

#include "itl_codes.hpp"

class ItlClXmlDocPath;
class ItlClXmlDocPathItem;

// Token kinds of the locator scanner (100009 is not produced).
enum ItlEnXpathToken {
  ItlEnXpathToken_End = 100000,  // end of the text, and "|" (not consumed)
  ItlEnXpathToken_Slash = 100001,
  ItlEnXpathToken_DoubleSlash = 100002,
  ItlEnXpathToken_Colon = 100003,
  ItlEnXpathToken_DoubleColon = 100004,
  ItlEnXpathToken_At = 100005,
  ItlEnXpathToken_OpenParenthesis = 100006,
  ItlEnXpathToken_CloseParenthesis = 100007,
  ItlEnXpathToken_Star = 100008,
  ItlEnXpathToken_Name = 100010,     // a run up to the next delimiter
  ItlEnXpathToken_Literal = 100011   // text between equal quotes, quotes included
};

// Operation kinds (ItlStXpathOperation::iv_usKind).
enum ItlEnXpathOperation : uint16_t {
  ItlEnXpathOperation_End = 0,             // last entry, all fields zero
  ItlEnXpathOperation_RootOnly = 1,        // "/" alone: the node is the root
  ItlEnXpathOperation_AbsoluteAnchor = 2,  // the item above the first step is the root
  ItlEnXpathOperation_RelativeAnchor = 3,  // always satisfied
  ItlEnXpathOperation_Child = 4,           // this item passes the next entry's test
  ItlEnXpathOperation_Descendant = 5,      // this item or an ancestor passes it
  ItlEnXpathOperation_LastChild = 6,       // last step, child axis
  ItlEnXpathOperation_LastAttribute = 7,   // last step, attribute axis
  ItlEnXpathOperation_PrefixStar = 8,      // "prefix:*"; text "prefix:"
  ItlEnXpathOperation_Star = 9,            // "*"
  ItlEnXpathOperation_Name = 10,           // "name" or "prefix:name"; text the name
  ItlEnXpathOperation_Comment = 11,        // "comment()"
  ItlEnXpathOperation_ProcessingInstruction = 12,        // any target
  ItlEnXpathOperation_ProcessingInstructionTarget = 13   // text the target (may be empty)
};

// One compiled operation. `iv_pcText` points into the matcher's copy of the
// locator (not owned); null where the kind has no text. The length is 32
// bits so that no name, however long, is cut short.
struct ItlStXpathOperation {
  uint16_t iv_usKind;     // ItlEnXpathOperation
  uint32_t iv_uiLength;   // bytes of iv_pcText that a test compares
  char const* iv_pcText;
};

class ItlClXpathMatcher {
 public:
  ItlClXpathMatcher();
  // Frees the locator copy and the operations.
  virtual ~ItlClXpathMatcher();
  ItlClXpathMatcher(ItlClXpathMatcher const&) = delete;
  ItlClXpathMatcher& operator=(ItlClXpathMatcher const&) = delete;

  // Copies `locator` (leading blanks dropped) and compiles its first
  // alternative. `rest` is set to the next alternative, inside this
  // matcher's copy (valid while the matcher lives; leading blanks dropped),
  // or to null when the text ended. Throws ItlClException on a locator that
  // cannot be compiled; the matcher then has no operations and matches
  // nothing, and `rest` is null. A second init replaces the first.
  void init(char const* locator, char const*& rest);

  // True when the node at the tail of `path` is selected. False before a
  // successful init and for an empty path.
  bool match(ItlClXmlDocPath const& path) const;

  // The priority of the locator when its definition names none: 0.5, but
  // for one relative step 0.0 (a name or a processing-instruction target),
  // -0.25 ("prefix:*") or -0.5 ("*", "comment()",
  // "processing-instruction()").
  float determineDefaultPriority() const;

  // The copy of the locator from the start of this alternative to the end
  // of the whole text; null before init.
  char const* getLocatorText() const { return iv_pcLocator; }
  // The compiled operations (null before a successful init) and their
  // count, the End entry included.
  ItlStXpathOperation const* getOperations() const { return iv_pstOperations; }
  uint32_t getOperationCount() const { return iv_uiOperationCount; }

  // Test hook: when not null, every node test of match() adds 1 to it.
  // For tests of the matching cost only.
  static void setNodeTestCounter(uint64_t* counter);

 private:
  struct Step;

  void compileXpath(char const*& rest);
  void compileRelativeXpath(ItlEnXpathToken token, char const* tokenStart,
                            char const* tokenEnd, char const* textEnd,
                            char const*& rest);
  void parseStep(ItlEnXpathToken token, char const* tokenStart,
                 char const* tokenEnd, char const* textEnd, Step& step) const;
  static char const* nextToken(char const* start, char const* end,
                               ItlEnXpathToken& token);
  bool matchCont(ItlClXmlDocPathItem const* item, uint32_t index) const;
  bool matchSegment(ItlClXmlDocPathItem const* item, uint32_t index,
                    uint32_t end, ItlClXmlDocPathItem const*& above) const;
  bool matchAnchor(ItlClXmlDocPathItem const* above, uint32_t index) const;
  bool matchNodeTest(ItlClXmlDocPathItem const* item,
                     ItlStXpathOperation const* test,
                     bool attributeAxis) const;
  [[noreturn]] void throwException(ItlEnReasonCode reason, char const* token,
                                   char const* origin, unsigned line) const;

  char* iv_pcLocator;                       // owned; null before init
  ItlStXpathOperation* iv_pstOperations;    // owned; null until compiled
  uint32_t iv_uiOperationCount;             // End entry included
};

#endif  // ITL_XPATH_MATCHER_HPP
