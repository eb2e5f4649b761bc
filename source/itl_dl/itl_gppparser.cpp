// itl_gppparser.cpp: the structured-document parser (see the header).
//
// processDocument reads one character at a time and moves through the
// parse states:
//
//   OUTSIDE --prefix--> IN_START --no match--> START_FAILED --> OUTSIDE
//      |                   |
//      +----complete-------+--> start action --> INSIDE (end string)
//                                            \-> OUTSIDE (none)
//   INSIDE --partial--> IN_END --different--> END_FAILED --> INSIDE
//      |                   |
//      +----complete-------+--> end action --> OUTSIDE
//
// A failed candidate sends the reading position back to its first
// character (the mark), which is then taken as text, so matching restarts
// one character further on. At the end of the text an unfinished start
// candidate is read again as text; an unfinished end string is warning 653
// and the rest from its first character is text (END_MISSING).
//
// Outside a field, a run of units that begin no start string (and are no
// surrogates) is taken as text at once; inside, a run of units other than
// the end string's first; after a partial end string at the end, the
// rest. Each has the effect of the per-character steps over the run.
//
// Invariants: the pending text range [text start, text end) ends where the
// mark stands in OUTSIDE and INSIDE; no pointer ever passes the end of the
// scanner's buffer.
#include "itl_gppparser.hpp"

#include <cstring>
#include <new>
#include <utility>

#include "cos_memmgr.hpp"
#include "itl_dl_text.hpp"
#include "itl_documentmodels.hpp"
#include "itl_error.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_gppmodel.hpp"
#include "itl_model_trace.hpp"
#include "itl_tldocument.hpp"

#define GPP_ORIGIN "source/itl_dl/itl_gppparser:" COS_STRINGIFY(__LINE__)

namespace {

// Message-table line "Tag".
constexpr int kMsgTag = 21;

// Objects of classes without their own allocator, in memory of the cos
// memory manager.
template <class T, class... A>
T* gppCreate(A&&... args) {
  void* p = CosClMemoryManager::allocate(static_cast<unsigned int>(sizeof(T)));
  try {
    return new (p) T(std::forward<A>(args)...);
  } catch (...) {
    CosClMemoryManager::free(p);
    throw;
  }
}

template <class T>
void gppDestroy(T*& p) {
  if (p == nullptr) return;
  p->~T();
  CosClMemoryManager::free(p);
  p = nullptr;
}

// Units of the character at `p` (< end): a high surrogate with a low one
// after it is two, anything else one.
inline unsigned charUnits(unsigned short const* p, unsigned short const* end) {
  return (p[0] & 0xFC00) == 0xD800 && p + 1 < end && (p[1] & 0xFC00) == 0xDC00
             ? 2
             : 1;
}

enum Match { NO_MATCH, PREFIX, COMPLETE };

// The 16 bit tests of one unit from `node`, which tests bit 0 of it.
inline ItlClGppTagFinder::Node* walkUnit(ItlClGppTagFinder::Node* node,
                                         unsigned short unit) {
  for (int b = 0; b < 16 && node != nullptr; ++b) node = node->child(unit);
  return node;
}

// Compares the character's units with the end string at `cursor`; on
// equality moves the cursor past them.
inline bool sameUnits(unsigned short const*& cursor, unsigned short const* c,
                      unsigned units) {
  for (unsigned u = 0; u < units; ++u)
    if (cursor[u] == 0 || cursor[u] != c[u]) return false;
  cursor += units;
  return true;
}

}  // namespace

ItlClGppTagFinder::Node* ItlClParserGpp::stepUnit(
    ItlClGppTagFinder::Node* node, unsigned short unit) {
  uintptr_t key = reinterpret_cast<uintptr_t>(node);
  Step& entry = iv_astSteps[((key >> 4) ^ (key >> 14) ^ unit ^ (unit >> 7)) &
                            (kSteps - 1)];
  if (entry.from != node || entry.unit != unit) {
    entry.to = walkUnit(node, unit);
    entry.from = node;
    entry.unit = unit;
  }
  return entry.to;
}

// A leaf before the character's last unit cannot come from a model's text
// (start strings hold whole characters); it is no match.
unsigned ItlClParserGpp::feed(ItlClGppTagFinder::Node*& node,
                              unsigned short const* c, unsigned units) {
  for (unsigned u = 0; u < units; ++u) {
    if (node->isLeaf()) return NO_MATCH;
    node = stepUnit(node, c[u]);
    if (node == nullptr) return NO_MATCH;
  }
  return node->isLeaf() ? COMPLETE : PREFIX;
}

ItlClParserGpp::ItlClParserGpp(ItlClErrorInfo& errorInfo,
                               ItlClDocumentModels const& models)
    : ItlClParserABase(errorInfo, models),
      iv_uiState(IDLE),
      iv_pclSpender(nullptr),
      iv_pclTagFinder(nullptr),
      iv_pclModel(nullptr),
      iv_pszModelName(nullptr),
      iv_pclCurrentTag(nullptr),
      iv_pusEndString(nullptr),
      iv_pusEndCursor(nullptr),
      iv_aulStopUnits(),
      iv_astSteps() {}

ItlClParserGpp::~ItlClParserGpp() {
  gppDestroy(iv_pclTagFinder);
  gppDestroy(iv_pclSpender);
  CosClMemoryManager::free(iv_pszModelName);
}

void ItlClParserGpp::rememberModel(ItlClGppModel const* model) {
  CosClMemoryManager::free(iv_pszModelName);
  iv_pszModelName = nullptr;
  iv_pclModel = model;
  if (model == nullptr || model->getName() == nullptr) return;
  size_t n = std::strlen(model->getName()) + 1;
  iv_pszModelName = static_cast<char*>(
      CosClMemoryManager::allocate(static_cast<unsigned int>(n)));
  std::memcpy(iv_pszModelName, model->getName(), n);
}

void ItlClParserGpp::prepareFinder(ItlClGppModel const* model) {
  static char const kFunction[] = "ItlClParserGpp::startDocument";
  itlModelTraceText(kFunction, "ItlClParserGpp::startDocument with model: ",
                    model != nullptr ? model->getName() : nullptr);
  itlModelTraceText(kFunction, "previous model", iv_pszModelName);
  if (iv_pclTagFinder != nullptr) {
    bool same;
    if (model == nullptr || iv_pclModel == nullptr) {
      same = model == iv_pclModel;
    } else {
      char const* name = model->getName();
      same = model == iv_pclModel &&
             (name == nullptr ? iv_pszModelName == nullptr
                              : iv_pszModelName != nullptr &&
                                    std::strcmp(name, iv_pszModelName) == 0);
    }
    if (same) return;
  }
  gppDestroy(iv_pclTagFinder);
  rememberModel(nullptr);
  ItlClGppTagFinder* finder = gppCreate<ItlClGppTagFinder>();
  try {
    if (model != nullptr)
      for (unsigned short i = 0; i < model->getItemCount(); ++i)
        finder->registerTag(*model->getGppItem(i));
    rememberModel(model);
  } catch (...) {
    gppDestroy(finder);
    throw;
  }
  iv_pclTagFinder = finder;
  std::memset(iv_aulStopUnits, 0, sizeof iv_aulStopUnits);
  for (unsigned u = 0xD800; u <= 0xDFFF; u += 64)
    iv_aulStopUnits[u >> 6] = ~uint64_t(0);
  finder->markFirstUnits(iv_aulStopUnits);
  for (Step& step : iv_astSteps) step = Step{nullptr, nullptr, 0};
}

void ItlClParserGpp::startDocument(ItlEnParserModus modus,
                                   ItlClTlDocument* document,
                                   ItlClTextCollector* collector,
                                   ItlClDocumentOffsetMapper* mapper,
                                   char const* modelName) {
  // No document is open until this has gone through.
  iv_uiState = IDLE;
  ItlClGppModel const* model = static_cast<ItlClGppModel const*>(
      iv_rclDocumentModels.getDocumentModel(modelName,
                                            ItlEnDocumentFormat_Structured));
  if (model == nullptr) {
    iv_rclErrorInfo.resetContext(nullptr);
    iv_rclErrorInfo.setError(GPP_ORIGIN,
                             ItlEnReasonCode_Gpp_no_model_used,
                             ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
  }
  prepareFinder(model);
  ItlClParserABase::startDocument(modus, document, collector, mapper,
                                  modelName);
  iv_uiState = OUTSIDE;
  iv_pclCurrentTag = nullptr;
  iv_pusEndString = iv_pusEndCursor = nullptr;
  iv_pclTagFinder->setCurrentNode(iv_pclTagFinder->getRoot());
}

void ItlClParserGpp::endDocument() {
  iv_uiState = IDLE;
  iv_pclCurrentTag = nullptr;
  iv_pusEndString = iv_pusEndCursor = nullptr;
  ItlClParserABase::endDocument();
}

void ItlClParserGpp::flushText() {
  ItlClGppUTF16Spender& sp = *iv_pclSpender;
  if (sp.iv_pusTextEnd > sp.iv_pusTextStart)
    iv_pclTlDocument->addText(
        sp.iv_pusTextStart,
        static_cast<unsigned int>(sp.iv_pusTextEnd - sp.iv_pusTextStart));
}

void ItlClParserGpp::restartAtReadPosition() {
  ItlClGppUTF16Spender& sp = *iv_pclSpender;
  sp.iv_pusMatchStart = sp.iv_pusTextStart = sp.iv_pusTextEnd = sp.iv_pusRead;
}

void ItlClParserGpp::doStartTagFoundAction() {
  ItlClGppUTF16Spender& sp = *iv_pclSpender;
  ItlClGppModelItem const* field = iv_pclCurrentTag->getFieldItem();
  ItlClGppModelItem const* attribute = iv_pclCurrentTag->getAttributeItem();
  ItlClGppModelItem const* item = field != nullptr ? field : attribute;
  itlModelTraceUnits("ItlClParserGpp::doStartTagFoundAction",
                     "start tag found:", sp.iv_pusMatchStart,
                     static_cast<uint32_t>(sp.iv_pusRead - sp.iv_pusMatchStart));
  // The pending text ends at the mark, where the start string begins.
  flushText();
  iv_pclTlDocument->endField();
  iv_pclTlDocument->endAttribute();
  iv_pclTlDocument->addDelimiter();
  if (field != nullptr)
    iv_pclTlDocument->startField(field->getName(), field->isExcluded());
  if (attribute != nullptr)
    iv_pclTlDocument->startAttribute(attribute->getName(), attribute->getType(),
                                     attribute->isExcluded());
  // With both, their end strings are equal (the finder checks it).
  iv_pusEndString = item != nullptr ? item->getEndString() : nullptr;
  if (iv_pusEndString != nullptr && iv_pusEndString[0] == 0)
    iv_pusEndString = nullptr;
  iv_pusEndCursor = iv_pusEndString;
  if (iv_pusEndString == nullptr) iv_pclCurrentTag = nullptr;
  iv_uiState = iv_pusEndString != nullptr ? INSIDE : OUTSIDE;
  restartAtReadPosition();
}

void ItlClParserGpp::doEndTagFoundAction() {
  itlModelTraceUnits("ItlClParserGpp::doEndTagFoundAction", "end tag found:",
                     iv_pusEndString,
                     static_cast<uint32_t>(iv_pusEndCursor - iv_pusEndString));
  flushText();
  if (iv_pclCurrentTag->getFieldItem() != nullptr) iv_pclTlDocument->endField();
  if (iv_pclCurrentTag->getAttributeItem() != nullptr)
    iv_pclTlDocument->endAttribute();
  iv_pclTlDocument->addDelimiter();
  iv_uiState = OUTSIDE;
  iv_pclCurrentTag = nullptr;
  iv_pusEndString = iv_pusEndCursor = nullptr;
  restartAtReadPosition();
}

void ItlClParserGpp::warnEndTagPending() {
  iv_rclErrorInfo.resetContext(nullptr);
  iv_rclErrorInfo.context(kMsgTag) << ": " << itlUtf16ToUtf8(iv_pusEndString);
  iv_rclErrorInfo.setError(GPP_ORIGIN,
                           ItlEnReasonCode_Gpp_end_tag_pending,
                           ItlEnReturnCode_Warning, ItlEnErrorAction_Inform);
}

void ItlClParserGpp::finish() {
  iv_uiState = IDLE;
  iv_pclCurrentTag = nullptr;
  iv_pusEndString = iv_pusEndCursor = nullptr;
}

void ItlClParserGpp::processDocument(ItlClDocumentInputScanner& scanner) {
  // Without a started document (or after a failed start) there is no
  // finder to walk and nowhere to write.
  if (iv_uiState == IDLE || iv_pclTagFinder == nullptr) return;
  unsigned int capacity = iv_pclTagFinder->getLongestTagLength() + 1;
  if (iv_pclSpender != nullptr && iv_pclSpender->getLookAhead() == capacity) {
    iv_pclSpender->reset(scanner);
  } else {
    gppDestroy(iv_pclSpender);
    iv_pclSpender = gppCreate<ItlClGppUTF16Spender>(scanner, capacity);
  }
  // Only the text document takes what this parser finds; the spender has
  // taken the whole text from the scanner either way.
  if (iv_enModus != ItlEnParserModus_Index || iv_pclTlDocument == nullptr) {
    finish();
    return;
  }

  ItlClGppUTF16Spender& sp = *iv_pclSpender;
  ItlClGppTagFinder::Node* const root = iv_pclTagFinder->getRoot();
  for (;;) {
    unsigned short const* end = sp.iv_pusBufferEnd;
    if (sp.iv_pusRead >= end) {
      switch (iv_uiState) {
        case IN_START:
          sp.iv_pusRead = sp.iv_pusMatchStart;
          iv_uiState = START_FAILED;
          continue;
        case INSIDE:
        case END_FAILED:
          warnEndTagPending();
          flushText();
          finish();
          return;
        case IN_END:
          warnEndTagPending();
          sp.iv_pusRead = sp.iv_pusMatchStart;
          iv_uiState = END_MISSING;
          continue;
        default:  // OUTSIDE, START_FAILED, END_MISSING
          flushText();
          finish();
          return;
      }
    }

    // Runs of characters that can only be text, taken at once: the steps
    // below would take each of them alone with the same effect.
    if (iv_uiState == OUTSIDE) {
      // A unit no start string begins with, not a surrogate: the walk
      // from the root fails within its 16 tests (no match, node null).
      unsigned short const* p = sp.iv_pusRead;
      while (p < end && !isStopUnit(*p)) ++p;
      if (p != sp.iv_pusRead) {
        sp.iv_pusRead = sp.iv_pusTextEnd = sp.iv_pusMatchStart = p;
        iv_pclTagFinder->setCurrentNode(nullptr);
        continue;
      }
    } else if (iv_uiState == INSIDE) {
      // A unit other than the end string's first, not a surrogate.
      unsigned short const first = iv_pusEndString[0];
      unsigned short const* p = sp.iv_pusRead;
      while (p < end && *p != first && (*p & 0xF800) != 0xD800) ++p;
      if (p != sp.iv_pusRead) {
        sp.iv_pusRead = sp.iv_pusTextEnd = sp.iv_pusMatchStart = p;
        iv_pusEndCursor = iv_pusEndString;
        continue;
      }
    } else if (iv_uiState == END_MISSING) {
      // Everything left is text.
      sp.iv_pusRead = sp.iv_pusTextEnd = sp.iv_pusMatchStart = end;
      continue;
    }

    unsigned short const* c = sp.iv_pusRead;
    unsigned units = charUnits(c, end);
    sp.iv_pusRead = c + units;
    switch (iv_uiState) {
      case OUTSIDE: {
        ItlClGppTagFinder::Node* node = root;
        unsigned m = feed(node, c, units);
        iv_pclTagFinder->setCurrentNode(node);
        if (m == NO_MATCH) {
          sp.iv_pusTextEnd = sp.iv_pusMatchStart = sp.iv_pusRead;
        } else if (m == COMPLETE) {
          iv_pclCurrentTag = node->getTagInfo();
          doStartTagFoundAction();
        } else {
          iv_uiState = IN_START;
        }
        break;
      }
      case IN_START: {
        ItlClGppTagFinder::Node* node = iv_pclTagFinder->getCurrentNode();
        unsigned m = feed(node, c, units);
        iv_pclTagFinder->setCurrentNode(node != nullptr ? node : root);
        if (m == NO_MATCH) {
          sp.iv_pusRead = sp.iv_pusMatchStart;
          iv_uiState = START_FAILED;
        } else if (m == COMPLETE) {
          iv_pclCurrentTag = node->getTagInfo();
          doStartTagFoundAction();
        }
        break;
      }
      case START_FAILED:
        sp.iv_pusTextEnd = sp.iv_pusMatchStart = sp.iv_pusRead;
        iv_uiState = OUTSIDE;
        break;
      case INSIDE:
        iv_pusEndCursor = iv_pusEndString;
        if (!sameUnits(iv_pusEndCursor, c, units)) {
          sp.iv_pusTextEnd = sp.iv_pusMatchStart = sp.iv_pusRead;
        } else if (*iv_pusEndCursor == 0) {
          doEndTagFoundAction();
        } else {
          iv_uiState = IN_END;
        }
        break;
      case IN_END:
        if (!sameUnits(iv_pusEndCursor, c, units)) {
          sp.iv_pusRead = sp.iv_pusMatchStart;
          iv_uiState = END_FAILED;
        } else if (*iv_pusEndCursor == 0) {
          doEndTagFoundAction();
        }
        break;
      case END_FAILED:
        sp.iv_pusTextEnd = sp.iv_pusMatchStart = sp.iv_pusRead;
        iv_uiState = INSIDE;
        break;
      default:  // END_MISSING
        sp.iv_pusTextEnd = sp.iv_pusMatchStart = sp.iv_pusRead;
        break;
    }
  }
}
