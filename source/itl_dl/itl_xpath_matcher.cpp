// itl_xpath_matcher.cpp: compiles model locators and matches element paths.
//
// Compiling scans the locator once to check every step and count them, then
// once more to fill the operation array, which is allocated only after the
// whole locator proved valid: a failed compilation leaves no array. Both
// passes are loops, so a locator of many steps cannot exhaust the stack.
//
// Matching works from the tail of the path upwards. A locator is a chain of
// segments: each begins with a step whose placement is free ("//" before it)
// or fixed (the last step, at the tail), and goes on with the steps joined
// to it by "/". Whether the steps above a free segment can still be placed
// from some item upwards only gets harder the higher that item lies, so
// each free segment is placed at the lowest item where it matches; only
// the topmost segment must also meet the anchor. No (item, operation) pair
// is tested twice, so a match costs at most path depth times operation
// count node tests, where plain backtracking over several "//" would be
// exponential in their number.
#include "itl_xpath_matcher.hpp"

#include <cstring>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"
#include "itl_xml_doc_path.hpp"

namespace {

// Position reported when an allocation of the matcher fails.
char const kOriginMemory[] = "../cos/headers/cos_memmgr:359";
constexpr int kLineMemory = 359;

// Message table lines of the compile failures.
constexpr int kMessageInvalidXpath = 52;
constexpr int kMessageInvalidToken = 53;

uint64_t* gs_pulNodeTestCounter = nullptr;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isDelimiter(char c) {
  switch (c) {
    case '"':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '/':
    case ':':
    case '@':
    case '|':
      return true;
    default:
      return false;
  }
}

char const* skipBlanks(char const* p) {
  while (isBlank(*p)) ++p;
  return p;
}

// True when [start, end) holds exactly `word`.
bool isWord(char const* start, char const* end, char const* word) {
  size_t length = std::strlen(word);
  return static_cast<size_t>(end - start) == length &&
         std::memcmp(start, word, length) == 0;
}

// Allocates through the memory manager's allocator; a failure goes to its
// out-of-memory handler, which throws.
void* allocateBytes(size_t bytes) {
  if (bytes > 0xFFFFFFFFu)
    CosClMemoryManager::outOfMemory(kOriginMemory, kLineMemory, 0xFFFFFFFFu);
  unsigned int size = static_cast<unsigned int>(bytes);
  void* p = CosClMemoryManager::cv_pfuAllocatorCallback(size);
  if (p == nullptr)
    CosClMemoryManager::outOfMemory(kOriginMemory, kLineMemory, size);
  return p;
}

}  // namespace

// One parsed step of a location path.
struct ItlClXpathMatcher::Step {
  char const* start;         // first character (the "@" or the axis name)
  bool attributeAxis;
  ItlStXpathOperation test;  // the node test
  bool last;                 // no separator follows
  uint16_t separator;        // Child after "/", Descendant after "//"
  char const* next;          // after the separator, or where the text stops
};

ItlClXpathMatcher::ItlClXpathMatcher()
    : iv_pcLocator(nullptr), iv_pstOperations(nullptr), iv_uiOperationCount(0) {}

ItlClXpathMatcher::~ItlClXpathMatcher() {
  CosClMemoryManager::free(iv_pstOperations);
  CosClMemoryManager::free(iv_pcLocator);
}

void ItlClXpathMatcher::setNodeTestCounter(uint64_t* counter) {
  gs_pulNodeTestCounter = counter;
}

void ItlClXpathMatcher::init(char const* locator, char const*& rest) {
  rest = nullptr;
  CosClMemoryManager::free(iv_pstOperations);
  iv_pstOperations = nullptr;
  iv_uiOperationCount = 0;
  CosClMemoryManager::free(iv_pcLocator);
  iv_pcLocator = nullptr;

  // Blanks at the start of a locator value and after a "|" are no part of
  // the first name.
  locator = skipBlanks(locator != nullptr ? locator : "");
  size_t bytes = std::strlen(locator) + 1;
  iv_pcLocator = static_cast<char*>(allocateBytes(bytes));
  std::memcpy(iv_pcLocator, locator, bytes);

  char const* stop = nullptr;
  compileXpath(stop);
  // The scanner stops before blanks that run up to a "|" or the end.
  char const* p = skipBlanks(stop);
  if (*p == '|') rest = skipBlanks(p + 1);
}

// The locator ends at its terminating zero or, unconsumed, at a "|".
void ItlClXpathMatcher::compileXpath(char const*& rest) {
  char const* text = iv_pcLocator;
  char const* textEnd = text + std::strlen(text);
  rest = nullptr;
  ItlEnXpathToken token;
  char const* after = nextToken(text, textEnd, token);
  if (token == ItlEnXpathToken_End)
    throwException(ItlEnReasonCode_Docmodel_xpath_invalid, text,
                   "source/itl_dl/itl_xpathmatcher:157", 157);

  uint16_t anchor = ItlEnXpathOperation_RelativeAnchor;
  if (token == ItlEnXpathToken_Slash || token == ItlEnXpathToken_DoubleSlash) {
    ItlEnXpathToken next;
    char const* nextEnd = nextToken(after, textEnd, next);
    if (nextEnd == after) {
      if (token == ItlEnXpathToken_DoubleSlash)
        throwException(ItlEnReasonCode_Docmodel_xpath_invalid, nullptr,
                       "source/itl_dl/itl_xpathmatcher:167", 167);
      // "/" alone selects the root.
      iv_pstOperations = static_cast<ItlStXpathOperation*>(
          allocateBytes(2 * sizeof(ItlStXpathOperation)));
      iv_pstOperations[0] = {ItlEnXpathOperation_RootOnly, 0, nullptr};
      iv_pstOperations[1] = {ItlEnXpathOperation_End, 0, nullptr};
      iv_uiOperationCount = 2;
      rest = after;
      return;
    }
    compileRelativeXpath(next, after, nextEnd, textEnd, rest);
    if (token == ItlEnXpathToken_Slash)
      anchor = ItlEnXpathOperation_AbsoluteAnchor;
  } else {
    compileRelativeXpath(token, text, after, textEnd, rest);
  }
  iv_pstOperations[iv_uiOperationCount - 2] = {anchor, 0, nullptr};
}

// Compiles the steps that begin with `token`; leaves the anchor entry for
// the caller and sets `rest` where the locator stopped.
void ItlClXpathMatcher::compileRelativeXpath(ItlEnXpathToken token,
                                             char const* tokenStart,
                                             char const* tokenEnd,
                                             char const* textEnd,
                                             char const*& rest) {
  // Pass 1: every step is checked, in text order, before anything is
  // allocated.
  size_t steps = 0;
  {
    ItlEnXpathToken t = token;
    char const* start = tokenStart;
    char const* end = tokenEnd;
    Step step;
    for (;;) {
      parseStep(t, start, end, textEnd, step);
      ++steps;
      if (step.last) break;
      start = step.next;
      end = nextToken(start, textEnd, t);
    }
  }

  size_t count = 2 * steps + 2;
  iv_pstOperations = static_cast<ItlStXpathOperation*>(
      allocateBytes(count * sizeof(ItlStXpathOperation)));
  iv_uiOperationCount = static_cast<uint32_t>(count);

  // Pass 2: step k of the text (from 0) fills entries 2(n - k) - 2 and
  // 2(n - k) - 1; the last step fills entries 0 and 1.
  ItlEnXpathToken t = token;
  char const* start = tokenStart;
  char const* end = tokenEnd;
  Step step;
  for (size_t k = 0;; ++k) {
    parseStep(t, start, end, textEnd, step);
    if (step.last) {
      iv_pstOperations[0] = {
          static_cast<uint16_t>(step.attributeAxis
                                    ? ItlEnXpathOperation_LastAttribute
                                    : ItlEnXpathOperation_LastChild),
          0, nullptr};
      iv_pstOperations[1] = step.test;
      rest = step.next;
      break;
    }
    size_t slot = 2 * (steps - k) - 2;
    iv_pstOperations[slot] = {step.separator, 0, nullptr};
    iv_pstOperations[slot + 1] = step.test;
    start = step.next;
    end = nextToken(start, textEnd, t);
  }
  iv_pstOperations[count - 1] = {ItlEnXpathOperation_End, 0, nullptr};
}

// Parses the step that begins with `token` ([tokenStart, tokenEnd)) into
// `step`; throws on a step that is not in the subset.
void ItlClXpathMatcher::parseStep(ItlEnXpathToken token, char const* tokenStart,
                                  char const* tokenEnd, char const* textEnd,
                                  Step& step) const {
  step.start = tokenStart;
  step.attributeAxis = false;

  // Axis.
  if (token == ItlEnXpathToken_At) {
    step.attributeAxis = true;
    tokenStart = tokenEnd;
    tokenEnd = nextToken(tokenStart, textEnd, token);
  } else if (token == ItlEnXpathToken_Name && textEnd - tokenEnd >= 2 &&
             tokenEnd[0] == ':' && tokenEnd[1] == ':') {
    if (isWord(tokenStart, tokenEnd, "attribute"))
      step.attributeAxis = true;
    else if (!isWord(tokenStart, tokenEnd, "child"))
      throwException(ItlEnReasonCode_Docmodel_xpath_invalid_axis, tokenStart,
                     "source/itl_dl/itl_xpathmatcher:248", 248);
    tokenStart = tokenEnd + 2;
    tokenEnd = nextToken(tokenStart, textEnd, token);
  }

  // Node test.
  char const* testEnd = tokenEnd;
  if (token == ItlEnXpathToken_Star) {
    step.test = {ItlEnXpathOperation_Star, 0, nullptr};
  } else if (token == ItlEnXpathToken_Name) {
    ItlEnXpathToken follow;
    char const* followEnd = nextToken(tokenEnd, textEnd, follow);
    if (follow == ItlEnXpathToken_Colon) {
      ItlEnXpathToken local;
      char const* localEnd = nextToken(followEnd, textEnd, local);
      if (local == ItlEnXpathToken_Name)
        step.test = {ItlEnXpathOperation_Name,
                     static_cast<uint32_t>(localEnd - tokenStart), tokenStart};
      else if (local == ItlEnXpathToken_Star)
        step.test = {ItlEnXpathOperation_PrefixStar,
                     static_cast<uint32_t>(followEnd - tokenStart), tokenStart};
      else
        throwException(ItlEnReasonCode_Docmodel_xpath_invalid, tokenEnd,
                       "source/itl_dl/itl_xpathmatcher:283", 283);
      testEnd = localEnd;
    } else if (follow == ItlEnXpathToken_OpenParenthesis) {
      if (followEnd < textEnd && *followEnd == ')') {
        if (isWord(tokenStart, tokenEnd, "comment"))
          step.test = {ItlEnXpathOperation_Comment, 0, nullptr};
        else if (isWord(tokenStart, tokenEnd, "processing-instruction"))
          step.test = {ItlEnXpathOperation_ProcessingInstruction, 0, nullptr};
        else
          throwException(ItlEnReasonCode_Docmodel_xpath_invalid_nodetest,
                         tokenStart, "source/itl_dl/itl_xpathmatcher:300", 300);
        testEnd = followEnd + 1;
      } else {
        ItlEnXpathToken literal;
        char const* literalEnd = nextToken(followEnd, textEnd, literal);
        if (!isWord(tokenStart, tokenEnd, "processing-instruction") ||
            literal != ItlEnXpathToken_Literal || literalEnd >= textEnd ||
            *literalEnd != ')')
          throwException(ItlEnReasonCode_Docmodel_xpath_invalid_nodetest,
                         tokenStart, "source/itl_dl/itl_xpathmatcher:312", 312);
        // The target between the quotes.
        step.test = {ItlEnXpathOperation_ProcessingInstructionTarget,
                     static_cast<uint32_t>(literalEnd - followEnd - 2),
                     followEnd + 1};
        testEnd = literalEnd + 1;
      }
    } else {
      step.test = {ItlEnXpathOperation_Name,
                   static_cast<uint32_t>(tokenEnd - tokenStart), tokenStart};
    }
  } else {
    throwException(ItlEnReasonCode_Docmodel_xpath_invalid_nodetest, tokenStart,
                   "source/itl_dl/itl_xpathmatcher:338", 338);
  }

  // Separator: none ends the locator (at its end or a "|").
  ItlEnXpathToken separator;
  char const* separatorEnd = nextToken(testEnd, textEnd, separator);
  if (separatorEnd == testEnd) {
    step.last = true;
    step.separator = ItlEnXpathOperation_End;
    step.next = testEnd;
    return;
  }
  if (separator != ItlEnXpathToken_Slash &&
      separator != ItlEnXpathToken_DoubleSlash)
    throwException(ItlEnReasonCode_Docmodel_xpath_invalid, testEnd,
                   "source/itl_dl/itl_xpathmatcher:375", 375);
  // Only the last step may select attributes.
  if (step.attributeAxis)
    throwException(ItlEnReasonCode_Docmodel_xpath_invalid_axis, step.start,
                   "source/itl_dl/itl_xpathmatcher:380", 380);
  step.last = false;
  step.separator = separator == ItlEnXpathToken_Slash
                       ? ItlEnXpathOperation_Child
                       : ItlEnXpathOperation_Descendant;
  step.next = separatorEnd;
}

// Returns the position after the token; a position equal to `start` means
// the locator ends here (end of text, a "|", or blanks up to either).
char const* ItlClXpathMatcher::nextToken(char const* start, char const* end,
                                         ItlEnXpathToken& token) {
  token = ItlEnXpathToken_End;
  if (start == end) return end;
  char const* p = start;
  while (p < end && isBlank(*p)) ++p;
  if (p == end || *p == '|') return start;
  char c = *start;
  switch (c) {
    case '"':
    case '\'': {
      void const* close = std::memchr(start + 1, c, end - start - 1);
      if (close == nullptr) return end;  // unterminated: end token
      token = ItlEnXpathToken_Literal;
      return static_cast<char const*>(close) + 1;
    }
    case '(':
      token = ItlEnXpathToken_OpenParenthesis;
      return start + 1;
    case ')':
      token = ItlEnXpathToken_CloseParenthesis;
      return start + 1;
    case '*':
      token = ItlEnXpathToken_Star;
      return start + 1;
    case '@':
      token = ItlEnXpathToken_At;
      return start + 1;
    case '/':
      if (start + 1 < end && start[1] == '/') {
        token = ItlEnXpathToken_DoubleSlash;
        return start + 2;
      }
      token = ItlEnXpathToken_Slash;
      return start + 1;
    case ':':
      if (start + 1 < end && start[1] == ':') {
        token = ItlEnXpathToken_DoubleColon;
        return start + 2;
      }
      token = ItlEnXpathToken_Colon;
      return start + 1;
    default:
      break;
  }
  char const* q = start;
  while (q < end && !isDelimiter(*q)) ++q;
  // Blanks before a "|" or the end belong to no name. The name keeps at
  // least one character: a run of blanks alone up to there was caught
  // above.
  if (q == end || *q == '|')
    while (isBlank(q[-1])) --q;
  token = ItlEnXpathToken_Name;
  return q;
}

bool ItlClXpathMatcher::match(ItlClXmlDocPath const& path) const {
  if (iv_pstOperations == nullptr) return false;
  return matchCont(path.getTail(), 0);
}

// Matches from `item` the operations from entry `index` on; `index` is 0
// or the entry of a step's axis.
bool ItlClXpathMatcher::matchCont(ItlClXmlDocPathItem const* item,
                                  uint32_t index) const {
  if (index == iv_uiOperationCount - 1) return true;
  if (item == nullptr) return false;
  uint16_t kind = iv_pstOperations[index].iv_usKind;
  if (kind == ItlEnXpathOperation_RootOnly ||
      kind == ItlEnXpathOperation_AbsoluteAnchor ||
      kind == ItlEnXpathOperation_RelativeAnchor)
    return matchAnchor(item, index);
  if (kind != ItlEnXpathOperation_LastChild &&
      kind != ItlEnXpathOperation_LastAttribute &&
      kind != ItlEnXpathOperation_Child)
    return false;

  // The first segment is fixed at `item`.
  uint32_t end = index + 2;
  while (iv_pstOperations[end].iv_usKind == ItlEnXpathOperation_Child) end += 2;
  ItlClXmlDocPathItem const* above = nullptr;
  if (!matchSegment(item, index, end, above)) return false;
  index = end;

  // Each later segment is led by "//": its lowest placement at or above
  // `above` is the one that leaves the most room to the segments above it.
  while (iv_pstOperations[index].iv_usKind == ItlEnXpathOperation_Descendant) {
    end = index + 2;
    while (iv_pstOperations[end].iv_usKind == ItlEnXpathOperation_Child)
      end += 2;
    bool topmost =
        iv_pstOperations[end].iv_usKind != ItlEnXpathOperation_Descendant;
    ItlClXmlDocPathItem const* placed = nullptr;
    ItlClXmlDocPathItem const* candidate = above;
    for (; candidate != nullptr; candidate = candidate->getPrevious()) {
      if (matchSegment(candidate, index, end, placed) &&
          (!topmost || matchAnchor(placed, end)))
        break;
    }
    if (candidate == nullptr) return false;
    above = placed;
    index = end;
  }
  return matchAnchor(above, index);
}

// Tests the steps of entries [index, end) on `item` and the items above it,
// one item per step; on success `above` is the item above the last one.
bool ItlClXpathMatcher::matchSegment(ItlClXmlDocPathItem const* item,
                                     uint32_t index, uint32_t end,
                                     ItlClXmlDocPathItem const*& above) const {
  for (uint32_t i = index; i < end; i += 2) {
    if (item == nullptr) return false;
    bool attributeAxis =
        iv_pstOperations[i].iv_usKind == ItlEnXpathOperation_LastAttribute;
    if (!matchNodeTest(item, &iv_pstOperations[i + 1], attributeAxis))
      return false;
    item = item->getPrevious();
  }
  above = item;
  return true;
}

// The anchor at entry `index` holds for `above`, the item above the first
// step (for "/" alone, the tail itself).
bool ItlClXpathMatcher::matchAnchor(ItlClXmlDocPathItem const* above,
                                    uint32_t index) const {
  if (index == iv_uiOperationCount - 1) return true;
  if (above == nullptr) return false;
  switch (iv_pstOperations[index].iv_usKind) {
    case ItlEnXpathOperation_RootOnly:
    case ItlEnXpathOperation_AbsoluteAnchor:
      return above->getKind() == ItlEnXmlDocPathItemKind_Root;
    case ItlEnXpathOperation_RelativeAnchor:
      return true;
    default:
      return false;
  }
}

bool ItlClXpathMatcher::matchNodeTest(ItlClXmlDocPathItem const* item,
                                      ItlStXpathOperation const* test,
                                      bool attributeAxis) const {
  if (gs_pulNodeTestCounter != nullptr) ++*gs_pulNodeTestCounter;
  ItlEnXmlDocPathItemKind kind = item->getKind();
  if (attributeAxis && kind != ItlEnXmlDocPathItemKind_Attribute) return false;
  char const* label = item->getLabel() != nullptr ? item->getLabel() : "";
  // A locator holds no zero byte, so the label's terminator ends a prefix
  // comparison at the first byte that differs.
  auto hasPrefix = [label, test]() {
    return std::strncmp(label, test->iv_pcText, test->iv_uiLength) == 0;
  };
  auto equals = [label, test, &hasPrefix]() {
    return hasPrefix() && label[test->iv_uiLength] == '\0';
  };
  bool elementOrAttribute =
      attributeAxis || kind == ItlEnXmlDocPathItemKind_Element;
  switch (test->iv_usKind) {
    case ItlEnXpathOperation_Name:
      return elementOrAttribute && equals();
    case ItlEnXpathOperation_PrefixStar:
      return elementOrAttribute && hasPrefix();
    case ItlEnXpathOperation_Star:
      return elementOrAttribute;
    case ItlEnXpathOperation_Comment:
      return kind == ItlEnXmlDocPathItemKind_Comment;
    case ItlEnXpathOperation_ProcessingInstruction:
      return kind == ItlEnXmlDocPathItemKind_ProcessingInstruction;
    case ItlEnXpathOperation_ProcessingInstructionTarget:
      return kind == ItlEnXmlDocPathItemKind_ProcessingInstruction && equals();
    default:
      return false;
  }
}

float ItlClXpathMatcher::determineDefaultPriority() const {
  if (iv_pstOperations == nullptr || iv_uiOperationCount != 4 ||
      iv_pstOperations[2].iv_usKind != ItlEnXpathOperation_RelativeAnchor ||
      iv_pcLocator[0] == '/')
    return 0.5f;
  switch (iv_pstOperations[1].iv_usKind) {
    case ItlEnXpathOperation_PrefixStar:
      return -0.25f;
    case ItlEnXpathOperation_Star:
    case ItlEnXpathOperation_Comment:
    case ItlEnXpathOperation_ProcessingInstruction:
      return -0.5f;
    default:
      return 0.0f;
  }
}

void ItlClXpathMatcher::throwException(ItlEnReasonCode reason,
                                       char const* token, char const* origin,
                                       unsigned line) const {
  ItlClException e(origin, line, reason, ItlEnReturnCode_Error,
                   ItlEnErrorAction_Inform);
  e.context(kMessageInvalidXpath)
      << ": " << (iv_pcLocator != nullptr ? iv_pcLocator : "");
  if (token != nullptr) e.context(kMessageInvalidToken) << ": " << token;
  e.raise();
}
