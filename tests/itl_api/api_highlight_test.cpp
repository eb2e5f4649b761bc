// Tests of the highlighter functions: byte offsets of TEXT hits (byte-order
// mark, context windows, folding and Unicode normalisation, additional
// alphanumeric characters), XML documents under a model (references,
// comments, field selection, unknown fields), the occurrence checks, the
// argument checks and the highlight list through the exported list
// functions.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "highlight_fixture.hpp"
#include "itl_api.h"
#include "itl_highlight_list.hpp"
#include "itl_list.hpp"
#include "update_fixture.hpp"

namespace {

using Element = std::array<uint32_t, 5>;
using Elements = std::vector<Element>;

constexpr uint32_t kText = 100000;

ItlStOccurrence occ(int32_t position, uint16_t length, int32_t document = 0,
                    uint8_t weight = 0, uint8_t rule = 0) {
  return ItlStOccurrence{document, position, length, weight, rule};
}

struct Outcome {
  int rc = -1;
  int reason = 0;
  bool listHandedOut = false;
  Elements elements;
};

// Highlights `occs` in `doc` on a new highlighter of `index`.
Outcome highlight(hfix::ApiIndex& index, std::string const& doc,
              std::vector<ItlStOccurrence> const& occs,
              ItlEnDocumentFormat format = ItlEnDocumentFormat_Text,
              uint32_t truncation = 0, uint32_t maximum = 0,
              char const* model = nullptr,
              std::vector<char const*> const& fields = {}) {
  Outcome run;
  ItlTyHighlighterHandle h = nullptr;
  EXPECT_EQ(itlHandleNewHighlighter(index.index, truncation, maximum, &h), 0)
      << index.reason();
  if (h == nullptr) return run;
  for (char const* f : fields) itlHighlighterAddField(h, f);
  ItlTyListHandle list = nullptr;
  run.rc = itlHighlighterProcessDocument(
      h, doc.data(), static_cast<uint32_t>(doc.size()), format, 1208, model,
      occs.data(), static_cast<uint32_t>(occs.size()), &list);
  run.reason = run.rc == 0 ? 0 : index.reason();
  run.listHandedOut = list != nullptr;
  if (list != nullptr) {
    ItlTyIteratorHandle it = nullptr;
    EXPECT_EQ(itlHandleNewIterator(list, &it), 0);
    for (bool ok = itlListIteratorSetToFirst(it); ok;
         ok = itlListIteratorSetToNext(it, 1)) {
      Element e{};
      EXPECT_EQ(itlHighlightElementObtainData(it, nullptr, &e[0], &e[1], &e[2],
                                              &e[3], &e[4]),
                0);
      run.elements.push_back(e);
    }
    EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
    EXPECT_EQ(itlHandleDeleteList(&list), 0);
  }
  EXPECT_EQ(itlHandleDeleteHighlighter(&h), 0);
  EXPECT_EQ(h, nullptr);
  return run;
}

TEST(ApiHighlightText, CountsPositionsAsTheIndexAndSkipsTheByteOrderMark) {
  hfix::ApiIndex index;
  Outcome plain = highlight(index, "hello world", {occ(6, 5)});
  EXPECT_EQ(plain.rc, 0) << plain.reason;
  EXPECT_EQ(plain.elements, (Elements{{kText, 6, 11, 6, 11}}));
  Outcome marked = highlight(index, "\xEF\xBB\xBFhello world", {occ(6, 5)});
  EXPECT_EQ(marked.elements, (Elements{{kText, 9, 14, 9, 14}}));
  // Before the first word: the context starts behind the mark.
  Outcome first = highlight(index, "\xEF\xBB\xBFhello world", {occ(1, 5)},
                        ItlEnDocumentFormat_Text, 20, 30);
  EXPECT_EQ(first.elements, (Elements{{kText, 3, 8, 3, 14}}));
}

TEST(ApiHighlightText, ContextWindows) {
  hfix::ApiIndex index;
  std::string const doc = "the quick brown fox jumps";
  struct {
    uint32_t truncation, maximum;
    Element want;
  } const cases[] = {
      {4, 10, {kText, 16, 19, 10, 25}},  // whole words within the maximum
      {2, 3, {kText, 16, 19, 13, 22}},   // cut at the maximum
      {20, 20, {kText, 16, 19, 0, 25}},  // reaches before the start
      {0, 0, {kText, 16, 19, 16, 19}},   // the hit alone
      {1, 0, {kText, 16, 19, 15, 20}},   // a maximum below the truncation
  };
  for (auto const& c : cases) {
    Outcome r = highlight(index, doc, {occ(14, 3)}, ItlEnDocumentFormat_Text,
                      c.truncation, c.maximum);
    EXPECT_EQ(r.elements, Elements{c.want})
        << c.truncation << "/" << c.maximum;
  }
}

// Overlapping and nested occurrences each get their own offsets; a later
// hit's values never land on another element.
TEST(ApiHighlightText, OverlappingOccurrences) {
  hfix::ApiIndex index;
  Outcome r = highlight(index, "abcdef ghij", {occ(1, 6), occ(2, 2), occ(3, 8)});
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements, (Elements{{kText, 0, 6, 0, 6},
                                  {kText, 1, 3, 1, 3},
                                  {kText, 2, 11, 2, 11}}));
}

TEST(ApiHighlightText, FoldingAndNormalisationCarriedBack) {
  std::string const mueller = "Herr M\xC3\xBCller sagt";
  {
    hfix::ApiIndex folding(hfix::iniText("UmlautNormalization = ON\n"));
    Outcome r = highlight(folding, mueller, {occ(5, 7), occ(12, 4)});
    EXPECT_EQ(r.rc, 0) << r.reason;
    EXPECT_EQ(r.elements,
              (Elements{{kText, 5, 12, 5, 12}, {kText, 13, 17, 13, 17}}));
    // A hit starting inside the folded "ü" covers it whole.
    r = highlight(folding, mueller, {occ(7, 5)});
    EXPECT_EQ(r.elements, (Elements{{kText, 6, 12, 6, 12}}));
  }
  {
    hfix::ApiIndex plain;
    Outcome r = highlight(plain, mueller, {occ(5, 6), occ(11, 4)});
    EXPECT_EQ(r.elements,
              (Elements{{kText, 5, 12, 5, 12}, {kText, 13, 17, 13, 17}}));
  }
  {
    hfix::ApiIndex nfkc(hfix::iniText("UnicodeNormalization = NFKC\n"));
    Outcome r = highlight(nfkc, "\xEF\xAC\x81sh x", {occ(1, 4), occ(5, 1)});
    EXPECT_EQ(r.rc, 0) << r.reason;
    EXPECT_EQ(r.elements,
              (Elements{{kText, 0, 5, 0, 5}, {kText, 6, 7, 6, 7}}));
  }
}

// The index's own character classes count the positions: with "-" a
// letter, "a-" and "-b" are words and "z" is position 5, where the engine's
// default classes would find "b".
TEST(ApiHighlightText, AdditionalAlphanumericCharactersOfTheIndex) {
  std::string const doc = "a- -b z";
  hfix::ApiIndex index(
      hfix::iniText("", "AdditionalAlphanumCharacters = -\n"));
  std::vector<uint64_t> numbers =
      hfix::addDocuments(index.object(), {{"d", doc}});
  auto found = hfix::occurrences(index.object(), "z");
  ASSERT_EQ(found.size(), 1u);
  std::vector<ItlStOccurrence> occs = found.begin()->second;
  ASSERT_EQ(occs.size(), 1u);
  EXPECT_EQ(occs[0].iPosition, 5);
  Outcome r = highlight(index, doc, occs);
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements, (Elements{{kText, 6, 7, 6, 7}}));
  hfix::ApiIndex plain;
  r = highlight(plain, doc, {occ(5, 1)});
  EXPECT_EQ(r.elements, (Elements{{kText, 4, 5, 4, 5}}));
}

TEST(ApiHighlightText, OccurrenceChecks) {
  hfix::ApiIndex index;
  std::string const doc = "one two three four five six seven";
  struct {
    std::vector<ItlStOccurrence> occs;
    int reason;
  } const cases[] = {
      {{occ(5, 3), occ(5, 3)}, 700},
      {{occ(7, 3), occ(5, 3)}, 700},
      {{occ(1, 0)}, 701},
      {{occ(1, 3, 0, 101)}, 701},
      {{occ(1, 3, 0, 0, 2)}, 701},
      {{occ(1, 3, -1)}, 701},
      {{occ(1, 3), occ(500, 2)}, 701},  // beyond the text
  };
  for (auto const& c : cases) {
    Outcome r = highlight(index, doc, c.occs);
    EXPECT_EQ(r.rc, 8);
    EXPECT_EQ(r.reason, c.reason);
    EXPECT_FALSE(r.listHandedOut);
  }
}

// ---------------------------------------------------------------------------
// XML.

char const kModel[] =
    "<XMLModel>"
    "<XMLFieldDefinition name='title' locator='title'/>"
    "<XMLFieldDefinition name='body' locator='body'/>"
    "<XMLFieldDefinition name='p' locator='p'/>"
    "<XMLFieldDefinition name='$(NAME)' locator='comment()'/>"
    "</XMLModel>";

struct XmlIndex : hfix::ApiIndex {
  XmlIndex() {
    object().load();
    object().getDocumentModels().add("m", kModel, sizeof kModel - 1);
    hfix::addDocuments(
        object(), {{"x", "<doc><title>t</title><body><p>b</p></body></doc>",
                    ItlEnDocumentFormat_Xml, "m"}});
  }
};

TEST(ApiHighlightXml, ReferencesCommentsAndFields) {
  XmlIndex index;
  constexpr uint32_t kTextPart = 100000;
  // "&amp;" gives "&"; a hit on it covers the whole reference.
  std::string doc = "<doc><title>fish &amp; chips</title></doc>";
  Outcome r = highlight(index, doc, {occ(5, 1)}, ItlEnDocumentFormat_Xml, 0, 0,
                    "m");
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements, (Elements{{kTextPart, 17, 22, 17, 22}}));
  // Text on both sides of a comment: one element from the hit's start.
  doc = "<doc><title>ab<!--c-->cd</title></doc>";
  r = highlight(index, doc, {occ(1, 5)}, ItlEnDocumentFormat_Xml, 0, 0, "m");
  EXPECT_EQ(r.rc, 0) << r.reason;
  ASSERT_EQ(r.elements.size(), 1u);
  EXPECT_EQ(r.elements[0][1], 12u);
}

TEST(ApiHighlightXml, FieldSelectionAndUnknownFields) {
  XmlIndex index;
  std::string const doc =
      "<doc><title>alpha</title><body><p>beta</p> gamma</body></doc>";
  std::vector<ItlStOccurrence> const all = {occ(1, 5), occ(6, 4),
                                            occ(10, 5)};
  Outcome r = highlight(index, doc, all, ItlEnDocumentFormat_Xml, 0, 0, "m");
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements, (Elements{{kText, 12, 17, 12, 17},
                                  {kText, 34, 38, 34, 38},
                                  {kText, 43, 48, 43, 48}}));
  // Only "body": the title's hit is dropped, the nested "p" kept; an
  // unknown field name is ignored.
  r = highlight(index, doc, all, ItlEnDocumentFormat_Xml, 0, 0, "m",
                {"body", "nosuchfield"});
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements,
            (Elements{{kText, 34, 38, 34, 38}, {kText, 43, 48, 43, 48}}));
  // An element the index has no field for: 403.
  r = highlight(index, "<doc><other>alpha</other></doc>", {occ(1, 5)},
                ItlEnDocumentFormat_Xml, 0, 0, nullptr);
  EXPECT_EQ(r.rc, 8);
  EXPECT_EQ(r.reason, 403);
  EXPECT_FALSE(r.listHandedOut);
  // A comment whose field name is empty ("$(NAME)") is no error.
  r = highlight(index, "<doc><title>alpha</title><!--beta--></doc>",
                {occ(6, 4)}, ItlEnDocumentFormat_Xml, 0, 0, "m");
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements, (Elements{{100001, 29, 33, 29, 33}}));
}

// A comment, an attribute value and a processing instruction that the model
// maps to fields of their own, excluded or plain; the document goes in
// through the update functions and the hits are those the engine finds in
// it.
struct SideFieldIndex : hfix::ApiIndex {
  static constexpr char const* kDoc =
      "<doc><title code='gamma delta'>alpha</title><!--epsilon zeta-->"
      "<?app eta theta?><body>target words</body></doc>";

  explicit SideFieldIndex(bool excluded) {
    std::string const ex = excluded ? " exclude='yes'" : "";
    std::string const model =
        "<XMLModel>"
        "<XMLFieldDefinition name='title' locator='title'/>"
        "<XMLFieldDefinition name='body' locator='body'/>"
        "<XMLFieldDefinition name='note'" + ex + " locator='comment()'/>"
        "<XMLFieldDefinition name='code'" + ex + " locator='@code'/>"
        "<XMLFieldDefinition name='proc'" + ex +
        " locator='processing-instruction()'/>"
        "</XMLModel>";
    EXPECT_EQ(itlIndexAddDocumentModel(index, "side", model.data(),
                                       static_cast<uint32_t>(model.size())),
              0)
        << reason();
    EXPECT_EQ(upfix::addDocuments(
                  index, {{"d", ItlEnDocumentFormat_Xml, kDoc, 1208, "side"}}),
              "");
  }

  // The engine's occurrences of `word` in the one document.
  std::vector<ItlStOccurrence> hits(char const* word) {
    auto found = hfix::occurrences(object(), word);
    return found.size() == 1 ? found.begin()->second
                             : std::vector<ItlStOccurrence>{};
  }
};

// Where the hit of `word` starts and ends in `doc`.
Element at(std::string const& doc, char const* word, uint32_t type = kText) {
  uint32_t start = static_cast<uint32_t>(doc.find(word));
  uint32_t end = start + static_cast<uint32_t>(std::strlen(word));
  return {type, start, end, start, end};
}

TEST(ApiHighlightXml, ExcludedSideFieldsAreNotCounted) {
  SideFieldIndex index(true);
  std::string const doc = SideFieldIndex::kDoc;
  // The excluded text has no positions in the index.
  for (char const* word : {"gamma", "zeta", "theta"})
    EXPECT_TRUE(index.hits(word).empty()) << word;
  std::vector<ItlStOccurrence> occs = index.hits("alpha");
  std::vector<ItlStOccurrence> target = index.hits("target");
  ASSERT_EQ(occs.size(), 1u);
  ASSERT_EQ(target.size(), 1u);
  occs.push_back(target[0]);
  Outcome r = highlight(index, doc, occs, ItlEnDocumentFormat_Xml, 0, 0,
                        "side");
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements, (Elements{at(doc, "alpha"), at(doc, "target")}));
  // The body's field selection keeps the body's hit.
  r = highlight(index, doc, occs, ItlEnDocumentFormat_Xml, 0, 0, "side",
                {"body"});
  EXPECT_EQ(r.rc, 0) << r.reason;
  EXPECT_EQ(r.elements, Elements{at(doc, "target")});
}

TEST(ApiHighlightXml, PlainSideFieldsAreCountedAndSelectable) {
  SideFieldIndex index(false);
  std::string const doc = SideFieldIndex::kDoc;
  std::vector<ItlStOccurrence> occs;
  for (char const* word : {"gamma", "zeta", "theta", "target"}) {
    std::vector<ItlStOccurrence> found = index.hits(word);
    ASSERT_EQ(found.size(), 1u) << word;
    occs.push_back(found[0]);
  }
  Outcome r = highlight(index, doc, occs, ItlEnDocumentFormat_Xml, 0, 0,
                        "side");
  EXPECT_EQ(r.rc, 0) << r.reason;
  ASSERT_EQ(r.elements.size(), 4u);
  EXPECT_EQ(r.elements[1], at(doc, "zeta", 100001));
  EXPECT_EQ(r.elements[3], at(doc, "target"));
  // Each side field chosen alone keeps just its own hit.
  struct {
    char const* field;
    size_t hit;
  } const cases[] = {{"code", 0}, {"note", 1}, {"proc", 2}, {"body", 3}};
  for (auto const& c : cases) {
    Outcome one = highlight(index, doc, occs, ItlEnDocumentFormat_Xml, 0, 0,
                            "side", {c.field});
    EXPECT_EQ(one.rc, 0) << one.reason;
    EXPECT_EQ(one.elements, Elements{r.elements[c.hit]}) << c.field;
  }
}

// ---------------------------------------------------------------------------
// Arguments and lists.

class ApiHighlightArgs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewHighlighter(index.index, 0, 0, &h), 0);
  }
  void TearDown() override { itlHandleDeleteHighlighter(&h); }
  int process(char const* doc, uint32_t length, ItlEnDocumentFormat format,
              uint16_t ccsid, ItlStOccurrence const* occs, uint32_t count,
              ItlTyListHandle* list) {
    return itlHighlighterProcessDocument(h, doc, length, format, ccsid,
                                         nullptr, occs, count, list);
  }
  hfix::ApiIndex index;
  ItlTyHighlighterHandle h = nullptr;
  ItlStOccurrence one = occ(1, 3);
};

TEST_F(ApiHighlightArgs, ChecksInOrder) {
  ItlTyListHandle list = nullptr;
  char const doc[] = "abc def";
  EXPECT_EQ(process(nullptr, 7, ItlEnDocumentFormat_Text, 1208, &one, 1, &list), 8);
  EXPECT_EQ(index.reason(), 25);
  // Format and CCSID go before the document is looked at.
  EXPECT_EQ(process(doc, 0, ItlEnDocumentFormat_Html, 1208, nullptr, 0, &list), 8);
  EXPECT_EQ(index.reason(), 47);
  EXPECT_EQ(process(doc, 0, ItlEnDocumentFormat_Text, 819, nullptr, 0, &list), 8);
  EXPECT_EQ(index.reason(), 47);
  EXPECT_EQ(process(doc, 0, ItlEnDocumentFormat_Text, 1208, &one, 1, &list), 8);
  EXPECT_EQ(index.reason(), 29);
  EXPECT_EQ(process(doc, 7, ItlEnDocumentFormat_Text, 1208, nullptr, 1, &list), 8);
  EXPECT_EQ(index.reason(), 25);
  EXPECT_EQ(process(doc, 7, ItlEnDocumentFormat_Text, 1208, &one, 0, &list), 8);
  EXPECT_EQ(index.reason(), 25);
  EXPECT_EQ(process(doc, 7, ItlEnDocumentFormat_Text, 1208, &one, 1, nullptr), 8);
  EXPECT_EQ(index.reason(), 25);
  ItlTyListHandle set = reinterpret_cast<ItlTyListHandle>(&set);
  EXPECT_EQ(process(doc, 7, ItlEnDocumentFormat_Text, 1208, &one, 1, &set), 8);
  EXPECT_EQ(index.reason(), 25);
  EXPECT_EQ(set, reinterpret_cast<ItlTyListHandle>(&set));
  EXPECT_EQ(process(doc, 7, ItlEnDocumentFormat_Text, 1208, &one, 1, &list), 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(itlHandleDeleteList(&list), 0);

  EXPECT_EQ(itlHighlighterAddField(h, nullptr), 8);
  EXPECT_EQ(index.reason(), 25);
  EXPECT_STREQ(itlErrorInfoGetContext(index.ei),
               "Invalid input parameter: cpszFieldName == 0");

  ItlTyHighlighterHandle other = h;
  EXPECT_EQ(itlHandleNewHighlighter(index.index, 0, 0, &other), 8);
  EXPECT_EQ(index.reason(), 25);
  EXPECT_EQ(other, h);
  EXPECT_EQ(itlHandleNewHighlighter(index.index, 0, 0, nullptr), 8);
  EXPECT_EQ(itlHandleNewHighlighter(nullptr, 0, 0, &other), 16);
  EXPECT_EQ(itlHighlighterAddField(nullptr, "x"), 16);
  EXPECT_EQ(process(doc, 7, ItlEnDocumentFormat_Text, 1208, &one, 1, &list), 0);
  EXPECT_EQ(itlHandleDeleteList(&list), 0);
  EXPECT_EQ(itlHighlighterProcessDocument(nullptr, doc, 7,
                                          ItlEnDocumentFormat_Text, 1208,
                                          nullptr, &one, 1, &list),
            16);
  EXPECT_EQ(itlHandleDeleteHighlighter(nullptr), 16);
  ItlTyHighlighterHandle none = nullptr;
  EXPECT_EQ(itlHandleDeleteHighlighter(&none), 16);
}

TEST_F(ApiHighlightArgs, ListAndIteratorsThroughTheListFunctions) {
  char const doc[] = "abc def ghi";
  ItlStOccurrence occs[] = {occ(1, 3), occ(4, 3)};
  ItlTyListHandle list = nullptr;
  ASSERT_EQ(process(doc, 11, ItlEnDocumentFormat_Text, 1208, occs, 2, &list), 0);
  uint32_t count = 0;
  EXPECT_EQ(itlListObtainNumberOfElements(list, &count), 0);
  EXPECT_EQ(count, 2u);
  ItlTyIteratorHandle it = nullptr;
  ASSERT_EQ(itlHandleNewIterator(list, &it), 0);
  EXPECT_TRUE(itlListIteratorSetToLast(it));
  EXPECT_FALSE(itlListIteratorSetToNext(it, 1));  // stays on the last
  EXPECT_TRUE(itlListIteratorIsAtLast(it));
  EXPECT_FALSE(itlListIteratorSetToPrevious(it, 2));  // stays at 1
  EXPECT_TRUE(itlListIteratorIsAtLast(it));
  uint32_t v[5];
  EXPECT_EQ(itlHighlightElementObtainData(it, nullptr, v, v + 1, v + 2, v + 3, v + 4), 0);
  EXPECT_EQ(v[1], 4u);
  EXPECT_EQ(itlHighlightElementObtainData(it, nullptr, nullptr, v + 1, v + 2,
                                          v + 3, v + 4), 8);
  EXPECT_EQ(index.reason(), 25);
  EXPECT_FALSE(itlListIteratorSetToNext(it, 0xFFFFFFFFu));  // never wraps
  EXPECT_TRUE(itlListIteratorIsAtLast(it));

  // After the list's deletion the iterator functions answer, never throw.
  EXPECT_EQ(itlHandleDeleteList(&list), 0);
  EXPECT_FALSE(itlListIteratorIsValid(it));
  EXPECT_FALSE(itlListIteratorIsAtFirst(it));
  EXPECT_FALSE(itlListIteratorIsAtLast(it));
  EXPECT_FALSE(itlListIteratorSetToFirst(it));
  EXPECT_FALSE(itlListIteratorSetToLast(it));
  EXPECT_FALSE(itlListIteratorSetToNext(it, 1));
  EXPECT_FALSE(itlListIteratorSetToPrevious(it, 1));
  EXPECT_EQ(itlHighlightElementObtainData(it, nullptr, v, v + 1, v + 2, v + 3, v + 4), 16);
  // 16 as written, but the iterator is freed and the handle cleared.
  EXPECT_EQ(itlHandleDeleteIterator(&it), 16);
  EXPECT_EQ(it, nullptr);
}

// A list of another kind, and an iterator past the end: 46.
class OtherList : public ItlClArrayBasedList {
 public:
  explicit OtherList(ItlClErrorInfo& e)
      : ItlClArrayBasedList(ItlEnListType_ArrayBasedList, e) {}
  class It : public ItlClListABase::Iterator {
   public:
    explicit It(ItlClListABase const& l) : Iterator(l) {}
    bool isAtFirstElement() const override { return true; }
    bool isAtLastElement() const override { return true; }
    bool isValid() const override { return true; }
    bool setToFirst() override { return true; }
    bool setToLast() override { return true; }
    bool setToNext(unsigned int) override { return false; }
    bool setToPrevious(unsigned int) override { return false; }
    void const* getCurrent() const override { return nullptr; }
  };
  Iterator* getNewIterator() const override {
    return new (CosClMemoryManager::allocate(sizeof(It))) It(*this);
  }
};

TEST_F(ApiHighlightArgs, ObtainDataRefusesOtherListsAndEnds) {
  ItlClErrorInfo& errorInfo = index.object().getErrorInfo();
  OtherList other(errorInfo);
  other.init();
  ItlTyIteratorHandle it = nullptr;
  ASSERT_EQ(itlHandleNewIterator(reinterpret_cast<ItlTyListHandle>(&other), &it), 0);
  uint32_t v[5];
  EXPECT_EQ(itlHighlightElementObtainData(it, nullptr, v, v + 1, v + 2, v + 3, v + 4), 8);
  EXPECT_EQ(index.reason(), 46);
  EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
  // An empty highlight list: its iterator stands on no element.
  ItlClHighlightList empty(errorInfo, 1);
  empty.init();
  ASSERT_EQ(itlHandleNewIterator(reinterpret_cast<ItlTyListHandle>(&empty), &it), 0);
  EXPECT_FALSE(itlListIteratorSetToLast(it));
  EXPECT_EQ(itlHighlightElementObtainData(it, nullptr, v, v + 1, v + 2, v + 3, v + 4), 8);
  EXPECT_EQ(index.reason(), 46);
  EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
  EXPECT_EQ(itlHighlightElementObtainData(nullptr, nullptr, v, v + 1, v + 2, v + 3, v + 4), 16);
}

}  // namespace
