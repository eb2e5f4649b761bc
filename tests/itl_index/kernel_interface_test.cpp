// The kernel interface against the engine: parameter records, documents
// with fields, boundaries and items found again by engine searches, the
// text document driving it through the port, the engine handles after
// failures (no freed handle used, nothing leaked), number limits, merge
// and administration.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "build/voz_journal.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_reserved.hpp"
#include "cos_converter.hpp"
#include "itl_context.hpp"
#include "itl_kernel_interface_port.hpp"
#include "itl_tldocument.hpp"
#include "kernel_fixture.hpp"
#include "ti_tl_port.hpp"

namespace {

using kfix::Docs;
using kfix::reasonOf;

std::string const kHead =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n[IndexV4]\n";

TEST(KernelParm, RecordsFilledFromTheConfiguration) {
  struct Case {
    char const* what;
    std::string ini;
    uint8_t codepage, disable, wordRule;
    int16_t threshold, size;
    std::string alphanum;
  };
  Case const cases[] = {
      {"defaults", kfix::kIni, 34, 2, 1, 0, 0, ""},
      {"Turkish stop words", kHead + "BlockMode = OFF\nStopwordLanguage = TR_TR\n",
       37, 2, 1, 0, 0, ""},
      {"block mode ON",
       kHead + "BlockMode = ON\nBlockSize = MEDIUM\nSeparateSentences = ON\n", 34, 0,
       1, 1, 8, ""},
      {"block mode DYNAMIC 20",
       kHead + "BlockMode = DYNAMIC\nBlockThreshold = 20\nBlockSize = LARGE\n"
               "TreatNumbersAsWords = ON\n",
       34, 2, 0, 20, 16, ""},
      {"case folded, sixteen alphanumerics",
       "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = OFF\n[IndexV4]\n"
       "BlockMode = OFF\nAdditionalAlphanumCharacters = \"#$%&*+-./:;<=>?@\"\n",
       34, 3, 1, 0, 0, "#$%&*+-./:;<=>?@"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    kfix::Index index(c.ini);
    GTRHCREATEPARM create;
    std::memset(&create, 0xAB, sizeof create);
    ItlClKernelInterface::fillVozCreateParm(create, index.config);
    EXPECT_EQ(create.index_type, 2);
    EXPECT_EQ(create.codepage, c.codepage);
    EXPECT_EQ(create.index_purpose, 3);
    EXPECT_EQ(create.disable, c.disable);
    EXPECT_EQ(create.vvglength, 0);
    EXPECT_EQ(create.word_rule, c.wordRule);
    EXPECT_EQ(create.index_subtype, 0);
    EXPECT_EQ(create.block_threshold, c.threshold);
    EXPECT_EQ(create.block_size, c.size);
    EXPECT_EQ(create.special_alpha_num, c.alphanum.size());
    EXPECT_EQ(std::string(create.special_alpha_list, c.alphanum.size()),
              c.alphanum);
    for (size_t i = c.alphanum.size(); i < sizeof create.special_alpha_list; ++i)
      EXPECT_EQ(create.special_alpha_list[i], 0);
    EXPECT_EQ(create.stop_word_list_num, 0);
    EXPECT_EQ(create.paStopWordList, nullptr);
    GTRSTATUS st{};
    EXPECT_EQ(vozReservedCheck_GTRHCREATEPARM(&create, &st), 0);

    GTRSYSPARM system;
    std::memset(&system, 0xAB, sizeof system);
    index.kernel->fillVozSysParm(system, index.config);
    EXPECT_EQ(system.poolsize, 8290304);
    EXPECT_EQ(system.poolsizedelta, 1048576);
    EXPECT_EQ(system.filemax, 500);
    EXPECT_EQ(system.displaylog, 'N');
    EXPECT_EQ(vozReservedCheck_GTRSYSPARM(&system, &st), 0);
    index.kernel->setDisplayLog(true);
    index.kernel->fillVozSysParm(system, index.config);
    EXPECT_EQ(system.displaylog, 'D');
  }
}

// Two documents with a field, items of both kinds and segment boundaries,
// found again word by word, in the field and by item.
TEST(KernelEngine, DocumentsFieldsAndItemsReachTheEngine) {
  kfix::Index index;
  uint64_t c0 = 9, c1 = 9;
  index.kernel->obtainNumberOfDocuments(c0, c1);
  EXPECT_EQ(c0 + c1, 0u);
  EXPECT_FALSE(index.kernel->hasVozIndexFiles());
  index.open();
  EXPECT_TRUE(index.kernel->isUpdateOpen());

  std::u16string const first = u"alpha beta\ngamma";
  index.pool.deleteAll();
  index.kernel->addingToDocument(1, true);
  index.kernel->addNumberItem(5, 42.0);
  index.kernel->addDocumentText(reinterpret_cast<unsigned short const*>(first.data()), 6);
  uint32_t start = index.kernel->getBufferPosition();
  index.kernel->addDocumentText(reinterpret_cast<unsigned short const*>(first.data()) + 6, 4);
  index.kernel->addField(2, start, index.kernel->getBufferPosition());
  index.kernel->addSegmentBoundary(1, index.kernel->getBufferPosition());
  index.kernel->addDocumentText(reinterpret_cast<unsigned short const*>(first.data()) + 10,
                                static_cast<unsigned>(first.size() - 10));
  index.kernel->addingToDocument(1, true);  // the same document goes on
  std::string blue = "bl\xc3\xbc";          // "blü" in UTF-8
  index.kernel->addStringItem(3, CosClCCSID(1208), blue.data(),
                              static_cast<uint32_t>(blue.size()));
  EXPECT_EQ(index.kernel->getItemCount(), 2u);
  index.kernel->endDocument(false);
  EXPECT_EQ(index.kernel->getCurrentDocument(), 0u);

  index.document(2, u"beta delta");
  // Attributes without text still reach both engine calls.
  index.pool.deleteAll();
  index.kernel->addingToDocument(3, true);
  index.kernel->addNumberItem(5, 7.5);
  index.kernel->endDocument(true);
  index.commit();
  EXPECT_FALSE(index.kernel->isUpdateOpen());

  char const* dir = index.directory();
  EXPECT_EQ(kfix::word("idx", dir, "alpha"), (Docs{1}));
  EXPECT_EQ(kfix::word("idx", dir, "beta"), (Docs{1, 2}));
  EXPECT_EQ(kfix::word("idx", dir, "beta", 2), (Docs{1}));
  EXPECT_EQ(kfix::word("idx", dir, "alpha", 2), (Docs{}));
  EXPECT_EQ(kfix::range("idx", dir, 5, 40, 45), (Docs{1}));
  EXPECT_EQ(kfix::range("idx", dir, 5, 0, 100), (Docs{1, 3}));
  EXPECT_EQ(kfix::equal("idx", dir, 3, blue), (Docs{1}));
  index.kernel->obtainNumberOfDocuments(c0, c1);
  EXPECT_EQ(c0 + c1, 3u);
  EXPECT_TRUE(index.kernel->hasVozIndexFiles());

  // An append ('A') replaces document 2 and removes document 1.
  index.open();
  index.pool.deleteAll();
  index.kernel->addingToDocument(2, false);
  std::u16string const text = u"epsilon";
  index.kernel->addDocumentText(reinterpret_cast<unsigned short const*>(text.data()),
                                static_cast<unsigned>(text.size()));
  index.kernel->endDocument(false);
  index.kernel->removeDocument(1);
  index.commit();
  EXPECT_EQ(kfix::word("idx", dir, "epsilon"), (Docs{2}));
  EXPECT_EQ(kfix::word("idx", dir, "alpha"), (Docs{}));
}

// The text layer's document driving the kernel through the port: a field
// by name, a number attribute, paragraphs.
class IndexPort : public ItlClKernelInterfacePortABase {
 public:
  explicit IndexPort(ItlClKernelInterface& kernel)
      : ItlClKernelInterfacePortABase(kernel), context(errorInfo) {}
  int32_t getUnicodeNormalization() const override { return 0; }
  bool getUmlautNormalization() const override { return false; }
  bool getAccentRemoval() const override { return false; }
  ItlClContext& getContext() override { return context; }
  void assignFieldNameToNumber(char const* name, unsigned short& number,
                               bool& isNew) override {
    assign(fields, name, number, isNew);
  }
  void assignAttributeNameToNumber(char const* name, ItlEnAttributeType,
                                   unsigned short& number, bool& isNew) override {
    assign(attributes, name, number, isNew);
  }
  ItlClErrorInfo errorInfo;
  ItlClContext context;
  std::map<std::string, unsigned short> fields, attributes;

 private:
  static void assign(std::map<std::string, unsigned short>& map, char const* name,
                     unsigned short& number, bool& isNew) {
    auto it = map.find(name);
    isNew = it == map.end();
    if (isNew) it = map.emplace(name, static_cast<unsigned short>(map.size() + 1)).first;
    number = it->second;
  }
};

TEST(KernelEngine, TextDocumentFeedsTheKernelThroughThePort) {
  kfix::Index index;
  IndexPort port(*index.kernel);
  ItlClTlDocument doc(port);
  doc.init(index.pool);
  doc.setParagraphRecognition(true);
  index.open();
  auto text = [&](std::u16string const& t) {
    doc.addText(reinterpret_cast<unsigned short const*>(t.data()),
                static_cast<unsigned>(t.size()));
  };
  TestDocumentId id("a", 0, 4);
  index.pool.deleteAll();
  doc.startDocument(id, CosClCCSID(13488), CosClLanguage("en_US"));
  text(u"first paragraph\n\n");
  doc.startField("title", false);
  doc.startField("heading", false);
  text(u"kernel port");
  doc.endField();
  doc.endField();
  doc.startAttribute("price", ItlEnAttributeType_Number, true);
  text(u"12.5");
  doc.endAttribute();
  doc.endDocument();
  index.commit();
  char const* dir = index.directory();
  EXPECT_EQ(kfix::word("idx", dir, "kernel"), (Docs{4}));
  EXPECT_EQ(kfix::word("idx", dir, "kernel", 2), (Docs{4}));
  EXPECT_EQ(kfix::word("idx", dir, "first", 2), (Docs{}));
  EXPECT_EQ(kfix::range("idx", dir, 1, 12.5, 12.5), (Docs{4}));
  EXPECT_EQ(kfix::word("idx", dir, "12.5"), (Docs{})) << "not text-indexed";
}

// The engine frees its creation handle in every failing document call and
// in every GTRcreateIndexTerm: the kernel forgets it there, a rollback then
// calls nothing, and the next update starts cleanly.
TEST(KernelHandles, FailedDocumentAndFailedCommitLeaveNoHandle) {
  kfix::Index index;
  index.open();
  index.pool.deleteAll();
  index.kernel->addingToDocument(1, true);
  std::u16string const t = u"abc";
  index.kernel->addDocumentText(reinterpret_cast<unsigned short const*>(t.data()), 3);
  index.kernel->addField(2, 1, 99);  // past the end of the text: refused
  EXPECT_NE(reasonOf([&] { index.kernel->endDocument(false); }), 0);
  EXPECT_FALSE(index.kernel->isUpdateOpen());
  EXPECT_EQ(index.kernel->getCurrentDocument(), 0u);
  index.kernel->rollbackUpdate();  // nothing to cancel
  int action = 0;
  EXPECT_EQ(reasonOf([&] { index.kernel->processUpdate(); }, &action), 6);
  EXPECT_EQ(action, ItlEnErrorAction_Rollback);
  EXPECT_EQ(reasonOf([&] { index.kernel->commitUpdate(); }), 6);
  EXPECT_FALSE(index.kernel->hasVozIndexFiles());

  // A failing item call (a character item number past 254) frees it too,
  // after the text call took the document.
  index.open();
  index.pool.deleteAll();
  index.kernel->addingToDocument(1, true);
  index.kernel->addStringItem(300, CosClCCSID(1208), "x", 1);
  EXPECT_NE(reasonOf([&] { index.kernel->endDocument(false); }), 0);
  EXPECT_FALSE(index.kernel->isUpdateOpen());
  EXPECT_EQ(index.kernel->getItemCount(), 0u);
  index.kernel->rollbackUpdate();

  // A commit that fails in the engine (its first file operation refused).
  index.open();
  index.document(1, u"abc");
  index.kernel->processUpdate();
  voz_JnlSetTestHook([](char const*, char const*) { return 1; });
  int reason = reasonOf([&] { index.kernel->commitUpdate(); });
  voz_JnlSetTestHook(nullptr);
  EXPECT_NE(reason, 0);
  EXPECT_FALSE(index.kernel->isUpdateOpen());
  index.kernel->rollbackUpdate();
  EXPECT_FALSE(index.kernel->hasVozIndexFiles());

  // The next update starts cleanly.
  index.open();
  index.document(1, u"abc");
  index.commit();
  EXPECT_EQ(kfix::word("idx", index.directory(), "abc"), (Docs{1}));
}

TEST(KernelHandles, DestructorCancelsOpenUpdateAndMerge) {
  kfix::Index index;
  index.open();
  index.document(1, u"one");
  index.commit();
  index.open();
  index.document(2, u"two");
  index.kernel->processUpdate();
  // A second open would lose the open work area: refused, nothing changed.
  EXPECT_EQ(reasonOf([&] { index.open(); }), 6);
  EXPECT_TRUE(index.kernel->isUpdateOpen());
  index.kernel.reset();  // cancels the update (ASan: nothing leaks)
  EXPECT_EQ(kfix::word("idx", index.directory(), "two"), (Docs{}));

  index.kernel.reset(new ItlClKernelInterface(index.location, index.config));
  index.kernel->processMerge();
  EXPECT_TRUE(index.kernel->isMergeOpen());
  index.open();
  index.pool.deleteAll();
  index.kernel->addingToDocument(3, true);
  index.kernel->addNumberItem(1, 1.0);
  index.kernel.reset();  // cancels both, a document in the middle
  EXPECT_EQ(kfix::word("idx", index.directory(), "one"), (Docs{1}));
}

TEST(KernelHandles, MergeHandleLifecycle) {
  kfix::Index index;
  // Without a merge: commit refused with its context, rollback a no-op.
  std::string context;
  int action = 0;
  EXPECT_EQ(reasonOf([&] { index.kernel->commitMerge(); }, &action, &context), 6);
  EXPECT_EQ(action, ItlEnErrorAction_Inform);
  EXPECT_EQ(context, "Merge operation: idx");
  index.kernel->rollbackMerge();

  for (char const* word : {"one", "two"}) {
    index.open();
    index.document(word[0] == 'o' ? 1 : 2, std::u16string(word, word + 3));
    index.commit();
  }
  uint64_t c0 = 0, c1 = 0;
  index.kernel->obtainNumberOfDocuments(c0, c1);
  EXPECT_EQ(c0 + c1, 2u);
  index.kernel->processMerge();
  EXPECT_EQ(reasonOf([&] { index.kernel->processMerge(); }), 6);
  index.kernel->rollbackMerge();
  EXPECT_FALSE(index.kernel->isMergeOpen());
  index.kernel->rollbackMerge();
  index.kernel->processMerge();
  index.kernel->commitMerge();
  EXPECT_FALSE(index.kernel->isMergeOpen());
  index.kernel->obtainNumberOfDocuments(c0, c1);
  EXPECT_EQ(c0, 2u);
  EXPECT_EQ(c1, 0u);
  EXPECT_EQ(kfix::word("idx", index.directory(), "two"), (Docs{2}));
}

// Numbers outside 1..2147483646 never reach the engine (they would be
// truncated to a 32-bit number); strings over 32767 bytes do not fit an
// item.
TEST(KernelLimits, NumbersAndItemLengths) {
  kfix::Index index;
  index.open();
  for (uint64_t number : {uint64_t{0}, uint64_t{2147483647}, uint64_t{4294967297}}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(reasonOf([&] { index.kernel->addingToDocument(number, true); }), 301);
    EXPECT_EQ(reasonOf([&] { index.kernel->removeDocument(number); }), 301);
    EXPECT_EQ(index.kernel->getCurrentDocument(), 0u);
  }
  EXPECT_TRUE(index.kernel->isUpdateOpen());
  index.pool.deleteAll();
  index.kernel->addingToDocument(2147483646, true);
  int action = 0;
  EXPECT_EQ(reasonOf([&] { index.kernel->addingToDocument(5, true); }, &action), 6);
  EXPECT_EQ(action, ItlEnErrorAction_Rollback);

  std::string longest(32767, 'x');
  std::string tooLong(32768, 'x');
  EXPECT_EQ(reasonOf([&] {
              index.kernel->addStringItem(1, CosClCCSID(1208), tooLong.data(),
                                          static_cast<uint32_t>(tooLong.size()));
            }),
            25);
  // 16384 UTF-16 units of "é" are 32768 UTF-8 bytes: measured after conversion.
  std::u16string wide(16384, u'\u00e9');
  EXPECT_EQ(reasonOf([&] {
              index.kernel->addStringItem(1, CosClCCSID(13488),
                                          reinterpret_cast<char const*>(wide.data()),
                                          static_cast<uint32_t>(wide.size() * 2));
            }),
            25);
  EXPECT_EQ(index.kernel->getItemCount(), 0u);
  index.kernel->addStringItem(1, CosClCCSID(1208), longest.data(),
                              static_cast<uint32_t>(longest.size()));
  index.kernel->addStringItem(2, CosClCCSID(1208), "", 0);
  EXPECT_EQ(index.kernel->getItemCount(), 2u);
  REGISTITEM bad;
  std::memset(&bad, 0, sizeof bad);
  bad.item_type = 'C';
  bad.char_len = -1;
  EXPECT_EQ(reasonOf([&] { index.kernel->addItemAtFront(bad); }), 25);
  // The engine itself takes shorter character items only: forget these.
  index.kernel->rollbackCurrentDocument();
  EXPECT_EQ(index.kernel->getItemCount(), 0u);
  index.kernel->addingToDocument(2147483646, true);
  index.kernel->addStringItem(1, CosClCCSID(1208), "blue", 4);
  index.kernel->endDocument(false);
  index.commit();
  EXPECT_EQ(kfix::equal("idx", index.directory(), 1, "blue"), (Docs{2147483646}));
}

// The stop-word file named at the open reaches the engine; batch mode
// builds the same index.
TEST(KernelEngine, StopWordsAndBatchMode) {
  kfix::Index index;
  std::string stopWords = index.dir / "idx.stw";
  ASSERT_TRUE(writeFile(stopWords, "the\nand\n"));
  index.kernel->setHighPerfMode(true);
  index.kernel->openForUpdate(index.pool, index.errorInfo, true, stopWords.c_str());
  index.document(1, u"the cat and the hat");
  index.document(2, u"theory");
  index.commit();
  char const* dir = index.directory();
  EXPECT_EQ(kfix::word("idx", dir, "cat"), (Docs{1}));
  EXPECT_EQ(kfix::word("idx", dir, "theory"), (Docs{2}));
  // A stop-word file that does not open fails the open: the engine read
  // the name handed over. No handle is left.
  std::string missing = index.dir / "none.stw";
  EXPECT_NE(reasonOf([&] {
              index.kernel->openForUpdate(index.pool, index.errorInfo, true,
                                          missing.c_str());
            }),
            0);
  EXPECT_FALSE(index.kernel->isUpdateOpen());
}

// Rename, copy, move, clear and destroy of the engine's files.
TEST(KernelAdmin, EngineFilesFollowTheIndex) {
  kfix::Index index;
  index.kernel->destroy();  // no files: nothing to do
  index.kernel->rename("none");
  index.kernel->clear();
  index.open();
  for (int n = 1; n <= 3; ++n) index.document(static_cast<uint64_t>(n), u"word");
  index.commit();
  std::string dir = index.directory();

  index.kernel->rename("def");
  EXPECT_EQ(kfix::word("def", dir.c_str(), "word"), (Docs{1, 2, 3}));
  EXPECT_FALSE(index.kernel->hasVozIndexFiles());
  index.location.setIndexName("def");
  EXPECT_TRUE(index.kernel->hasVozIndexFiles());

  TempDir other("kernel_copy");
  std::string target = other.path() + "/";
  index.kernel->copy(target.c_str());
  EXPECT_EQ(kfix::word("def", target.c_str(), "word"), (Docs{1, 2, 3}));
  EXPECT_EQ(kfix::word("def", dir.c_str(), "word"), (Docs{1, 2, 3}));

  TempDir third("kernel_move");
  std::string moved = third.path() + "/";
  index.kernel->move(moved.c_str());
  EXPECT_FALSE(index.kernel->hasVozIndexFiles());
  index.location.setIndexDirectory(moved.c_str());
  EXPECT_EQ(kfix::word("def", moved.c_str(), "word"), (Docs{1, 2, 3}));

  index.kernel->clear();
  EXPECT_FALSE(index.kernel->hasVozIndexFiles());
  uint64_t c0 = 1, c1 = 1;
  index.kernel->obtainNumberOfDocuments(c0, c1);
  EXPECT_EQ(c0 + c1, 0u);
  index.location.setIndexDirectory(target.c_str());
  index.kernel->destroy();
  EXPECT_FALSE(index.kernel->hasVozIndexFiles());
}

}  // namespace
