// Tests of the document-model base: YES/NO and type words, the parse of a
// definition with Expat (errors, row and column), item array limits.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "dl_test_util.hpp"
#include "itl_documentmodel.hpp"
#include "itl_error.hpp"

namespace {

// A model that records its start tags and refuses the element "no".
class RecordingModel : public ItlClDocumentModelABase {
 public:
  explicit RecordingModel(ItlClErrorInfo& info)
      : ItlClDocumentModelABase(info, ItlEnDocumentFormat_Structured) {}
  std::vector<std::string> seen;
  int compiles = 0;
  using ItlClDocumentModelABase::addItem;

 protected:
  void loadItem(char const* element, char const**) override {
    if (!iv_bRootSeen) {
      iv_bRootSeen = true;
      seen.push_back(std::string("root:") + element);
      return;
    }
    if (std::string(element) == "no")
      itlRaise("test:1", 1, ItlEnReasonCode_Docmodel_syntax_error, 47,
               element);
    seen.push_back(element);
    addItem(new ItlClDocumentModelItem());
  }
  void compileItems() override { ++compiles; }
};

TEST(DocumentModel, ReadYesOrNo) {
  struct Case {
    char const* text;
    bool ok;
    bool value;
  } const cases[] = {{"YES", true, true}, {"yes", true, true},
                     {"yEs", true, true}, {"NO", true, false},
                     {"no", true, false}, {"Y", false, false},
                     {"1", false, false}, {"", false, false},
                     {"YESS", false, false}};
  for (Case const& c : cases) {
    for (bool start : {false, true}) {
      bool flag = start;
      EXPECT_EQ(ItlClDocumentModelABase::readYesOrNo(c.text, flag), c.ok)
          << c.text;
      EXPECT_EQ(flag, c.ok ? c.value : start) << c.text;
    }
  }
}

TEST(DocumentModel, SetTypeFromChars) {
  struct Case {
    char const* text;
    int type;  // 100003 when refused
  } const cases[] = {{"DATE", 100002},   {"date", 100002}, {"Number", 100001},
                     {"STRING", 100000}, {"sTrInG", 100000}, {"INT", 100003},
                     {"", 100003},       {"DATES", 100003}};
  for (Case const& c : cases) {
    ItlClDocumentModelItem item;
    EXPECT_EQ(item.setTypeFromChars(c.text), c.type != 100003) << c.text;
    EXPECT_EQ(item.getType(), c.type) << c.text;
  }
}

TEST(DocumentModel, RootAloneLoadsNothingAndCompilesOnce) {
  ItlClErrorInfo info;
  RecordingModel m(info);
  std::string text = "<?xml version='1.0'?><!-- c --><GPPModel a='1'></GPPModel>";
  m.loadFromBuffer(text.data(), static_cast<unsigned>(text.size()));
  EXPECT_TRUE(m.isLoaded());
  EXPECT_EQ(m.getItemCount(), 0);
  EXPECT_EQ(m.compiles, 1);
  EXPECT_FALSE(m.hasXmlParser());
  EXPECT_EQ(m.seen, (std::vector<std::string>{"root:GPPModel"}));
}

TEST(DocumentModel, SyntaxErrorNamesModelRowAndColumn) {
  ItlClErrorInfo info;
  RecordingModel m(info);
  m.setName("m");
  std::string text = "<GPPModel>\n<a></b>";
  Caught c;
  try {
    m.loadFromBuffer(text.data(), static_cast<unsigned>(text.size()));
  } catch (ItlClException& e) {
    c.reason = e.getReasonCode();
    m.addParsingContext(e);
    c.context = e.getContext();
  }
  EXPECT_EQ(c.reason, 618);
  EXPECT_FALSE(m.isLoaded());

  // Expat's own position for that text.
  XML_Parser p = XML_ParserCreate("UTF-8");
  XML_Parse(p, text.data(), static_cast<int>(text.size()), 1);
  std::string expected =
      "Document model: m\nSyntax error at (row, column): (" +
      std::to_string(XML_GetCurrentLineNumber(p)) + "," +
      std::to_string(XML_GetCurrentColumnNumber(p)) + ")";
  XML_ParserFree(p);
  EXPECT_EQ(c.context, expected);
}

TEST(DocumentModel, RefusedDefinitionKeepsItsReasonAndRow) {
  ItlClErrorInfo info;
  RecordingModel m(info);
  std::string text = "<r>\n<a/>\n  <no/>\n<c/></r>";
  Caught c;
  try {
    m.loadFromBuffer(text.data(), static_cast<unsigned>(text.size()));
  } catch (ItlClException& e) {
    c.reason = e.getReasonCode();
    e.resetContext(nullptr);
    m.addParsingContext(e);
    c.context = e.getContext();
  }
  EXPECT_EQ(c.reason, 209);
  EXPECT_EQ(c.context.rfind(
                "Document model: ***\nSyntax error at (row, column): (3,", 0),
            0u)
      << c.context;
  EXPECT_EQ(m.seen, (std::vector<std::string>{"root:r", "a"}));
  EXPECT_EQ(m.getItemCount(), 1);  // items read so far stay
  EXPECT_EQ(m.compiles, 0);
  EXPECT_FALSE(m.isLoaded());

  // A second parse of a good text succeeds on the same model.
  std::string good = "<r><b/></r>";
  m.loadFromBuffer(good.data(), static_cast<unsigned>(good.size()));
  EXPECT_TRUE(m.isLoaded());
  EXPECT_FALSE(m.hasXmlParser());
}

TEST(DocumentModel, ExpatErrorsAreMapped) {
  struct Case {
    char const* text;
    int reason;
  } const cases[] = {{"", 611},
                     {"<r a='1' a='2'/>", 605},
                     {"<r/><s/>", 609},
                     {"<r>&undefined;</r>", 621},
                     {"<r", 620}};
  for (Case const& c : cases) {
    ItlClErrorInfo info;
    RecordingModel m(info);
    std::string t = c.text;
    Caught got = catchItl(
        [&] { m.loadFromBuffer(t.data(), static_cast<unsigned>(t.size())); });
    EXPECT_EQ(got.reason, c.reason) << c.text;
    EXPECT_EQ(got.rc, 8);
  }
}

// Reallocation moves the block into one arena of the largest item array
// and keeps it there, so that 4000 growth steps cost nothing even under
// the sanitizers (which copy on every realloc).
struct ArenaReallocator {
  static constexpr size_t kSize = 65536 * sizeof(void*);
  static inline char* arena = nullptr;
  static void* allocate(unsigned size) { return std::malloc(size ? size : 1); }
  static void* reallocate(void* block, unsigned size) {
    if (size > kSize) return nullptr;
    if (block != arena) {
      if (block != nullptr) {
        std::memcpy(arena, block, std::min<size_t>(size, malloc_usable_size(block)));
        std::free(block);
      }
    }
    return arena;
  }
  static void deallocate(void* block) {
    if (block != arena) std::free(block);
  }
  ArenaReallocator() {
    arena = static_cast<char*>(std::malloc(kSize));
    CosClMemoryManager::setNewMemoryManager(&allocate, &reallocate,
                                            &deallocate);
  }
  ~ArenaReallocator() {
    CosClMemoryManager::setNewMemoryManager(
        &CosClMemoryManager::systemAllocator,
        &CosClMemoryManager::systemReallocator,
        &CosClMemoryManager::systemDeallocator);
    std::free(arena);
  }
};

TEST(DocumentModel, ItemLimitIs65535) {
  ArenaReallocator arena;
  ItlClErrorInfo info;
  RecordingModel m(info);
  for (unsigned i = 0; i < 65535; ++i) m.addItem(new ItlClDocumentModelItem());
  EXPECT_EQ(m.getItemCount(), 65535);
  ItlClDocumentModelItem* extra = new ItlClDocumentModelItem();
  Caught c = catchItl([&] { m.addItem(extra); });
  delete extra;
  EXPECT_EQ(c.reason, 205);
  EXPECT_EQ(m.getItemCount(), 0);
  // The model works again afterwards.
  m.addItem(new ItlClDocumentModelItem());
  EXPECT_EQ(m.getItemCount(), 1);
}

}  // namespace
