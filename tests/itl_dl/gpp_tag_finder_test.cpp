// Tests of the GPP tag finder: conflicts with their origins and contexts,
// lookups, a randomized comparison with a prefix oracle, and allocation
// failures during registration.
#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../cos/memmgr_counting.hpp"
#include "dl_test_util.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_gppmodel.hpp"
#include "ti_test_util.hpp"

namespace {

std::string utf8(U16 const& s) {
  std::string out(s.size() * 4 + 1, '\0');
  int32_t n = 0;
  UErrorCode st = U_ZERO_ERROR;
  u_strToUTF8(&out[0], static_cast<int32_t>(out.size()), &n,
              reinterpret_cast<UChar const*>(s.data()),
              static_cast<int32_t>(s.size()), &st);
  out.resize(n);
  return out;
}

std::unique_ptr<ItlClGppModelItem> makeItem(U16 const& start, bool field,
                                            U16 const* end = nullptr) {
  std::unique_ptr<ItlClGppModelItem> item(new ItlClGppModelItem());
  item->setName("n");
  item->setStartString(utf8(start).c_str());
  if (end) item->setEndString(utf8(*end).c_str());
  if (!field) item->setTypeFromChars("STRING");
  return item;
}

TEST(GppTagFinder, PrefixConflicts) {
  struct Case {
    std::u16string first, second;
    std::string origin;
    std::string context;
  } const cases[] = {
      {u"[a", u"[ab", "source/itl_dl/itl_gpp_tag_finder:295", "Tag: [ab"},
      {u"[ab", u"[a", "source/itl_dl/itl_gpp_tag_finder:308", "Tag: [a"},
      {u"[ab", u"", "source/itl_dl/itl_gpp_tag_finder:308", "Tag: "},
  };
  for (Case const& c : cases) {
    ItlClGppTagFinder f;
    auto a = makeItem(u16(c.first), true);
    auto b = makeItem(u16(c.second), true);
    f.registerTag(*a);
    Caught got = catchItl([&] { f.registerTag(*b); });
    EXPECT_EQ(got.reason, 651);
    EXPECT_EQ(got.origin, c.origin);
    EXPECT_EQ(got.context, c.context);
    EXPECT_EQ(f.getTagCount(), 1u);
    EXPECT_EQ(f.getTagInfo(u16(c.first).c_str())->getFieldItem(), a.get());
  }
  // An empty first string is refused too.
  ItlClGppTagFinder f;
  auto e = makeItem(U16(), true);
  EXPECT_EQ(catchItl([&] { f.registerTag(*e); }).reason, 651);
}

TEST(GppTagFinder, SameStartConflicts) {
  ItlClGppTagFinder f;
  auto f1 = makeItem(u16(u"#D"), true);
  auto f2 = makeItem(u16(u"#D"), true);
  auto a1 = makeItem(u16(u"#D"), false);
  auto a2 = makeItem(u16(u"#D"), false);
  f.registerTag(*f1);
  Caught c = catchItl([&] { f.registerTag(*f2); });
  EXPECT_EQ(c.reason, 650);
  EXPECT_EQ(c.origin, "source/itl_dl/itl_gpp_tag_finder:264");
  EXPECT_EQ(c.context, "Tag: #D");
  f.registerTag(*a1);  // both without end: one tag
  EXPECT_EQ(f.getTagCount(), 1u);
  ItlClGppTagInfo* info = f.getTagInfo(u16(u"#D").c_str());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->getFieldItem(), f1.get());
  EXPECT_EQ(info->getAttributeItem(), a1.get());
  c = catchItl([&] { f.registerTag(*a2); });
  EXPECT_EQ(c.reason, 650);
  EXPECT_EQ(c.origin, "source/itl_dl/itl_gpp_tag_finder:284");
  // The same field item twice.
  c = catchItl([&] { f.registerTag(*f1); });
  EXPECT_EQ(c.reason, 650);
}

TEST(GppTagFinder, EndStringConflicts) {
  U16 slash = u16(u"/"), semi = u16(u";");
  struct Case {
    U16 const* fieldEnd;
    U16 const* attrEnd;
    bool fieldFirst;
    int reason;
    std::string origin;
    std::string context;
  } const cases[] = {
      {&slash, &semi, true, 652, "source/itl_dl/itl_gpp_tag_info:163",
       "Tag: ;: /"},
      {&slash, &semi, false, 652, "source/itl_dl/itl_gpp_tag_info:106",
       "Tag: /: ;"},
      {&slash, nullptr, true, 652, "source/itl_dl/itl_gpp_tag_info:163",
       "Tag: /"},
      {nullptr, &semi, true, 652, "source/itl_dl/itl_gpp_tag_info:163",
       "Tag: ;"},
      {&slash, &slash, true, -1, "", ""},
      {nullptr, nullptr, false, -1, "", ""},
  };
  for (Case const& c : cases) {
    ItlClGppTagFinder f;
    auto fi = makeItem(u16(u"#D"), true, c.fieldEnd);
    auto ai = makeItem(u16(u"#D"), false, c.attrEnd);
    ItlClGppModelItem* first = c.fieldFirst ? fi.get() : ai.get();
    ItlClGppModelItem* second = c.fieldFirst ? ai.get() : fi.get();
    f.registerTag(*first);
    Caught got = catchItl([&] { f.registerTag(*second); });
    EXPECT_EQ(got.reason, c.reason);
    EXPECT_EQ(got.origin, c.origin);
    EXPECT_EQ(got.context, c.context);
    EXPECT_EQ(f.getTagCount(), 1u);
  }
}

TEST(GppTagFinder, LookupsAndLengths) {
  ItlClGppTagFinder f;
  EXPECT_EQ(f.getTagCount(), 0u);
  EXPECT_EQ(f.getTagInfo(u16(u"a").c_str()), nullptr);
  auto abc = makeItem(u16(u"abc"), true);
  auto xy = makeItem(u16(u"xy"), false);
  f.registerTag(*abc);
  f.registerTag(*xy);
  EXPECT_EQ(f.getLongestTagLength(), 3u);
  EXPECT_EQ(f.getTagCount(), 2u);
  EXPECT_EQ(f.getTagInfo(u16(u"ab").c_str()), nullptr);
  EXPECT_EQ(f.getTagInfo(u16(u"abcd").c_str()), nullptr);
  EXPECT_EQ(f.getTagInfo(u16(u"").c_str()), nullptr);
  EXPECT_EQ(f.getTagInfo(u16(u"abc").c_str())->getFieldItem(), abc.get());
  EXPECT_EQ(f.getTagInfo(u16(u"xy").c_str())->getAttributeItem(), xy.get());
  // A CJK unit above 0x8000 followed by ASCII, and a surrogate pair.
  auto cjk = makeItem(u16(u"\u4E2D\u9FA5:"), true);
  auto pair = makeItem(u16(u"\U0001F600"), true);
  f.registerTag(*cjk);
  f.registerTag(*pair);
  EXPECT_EQ(f.getTagInfo(u16(u"\u4E2D\u9FA5:").c_str())->getFieldItem(),
            cjk.get());
  EXPECT_EQ(f.getTagInfo(u16(u"\U0001F600").c_str())->getFieldItem(),
            pair.get());
  EXPECT_EQ(f.getLongestTagLength(), 3u);
  ItlClGppTagFinder g;
  g.registerTag(*pair);
  EXPECT_EQ(g.getLongestTagLength(), 2u);
}

// Each code unit of a registered string is spelled by 16 bit tests from
// the root; the walk a parser does by hand finds the leaf.
TEST(GppTagFinder, ManualWalkReachesLeaf) {
  ItlClGppTagFinder f;
  auto item = makeItem(u16(u"\u8001A"), true);
  f.registerTag(*item);
  ItlClGppTagFinder::Node* n = f.getRoot();
  for (unsigned short unit : {0x8001, 0x41}) {
    for (int b = 0; b < 16; ++b) {
      ASSERT_FALSE(n->isLeaf());
      EXPECT_EQ(n->getMask(), 1u << b);
      n = n->child(unit);
      ASSERT_NE(n, nullptr);
    }
  }
  ASSERT_TRUE(n->isLeaf());
  EXPECT_EQ(n->getTagInfo()->getFieldItem(), item.get());
}

// ---- randomized comparison with a prefix oracle ---------------------------

U16 randomString(std::mt19937& rng) {
  static unsigned short const units[] = {'a', 'b', 0x4E2D};
  U16 s;
  size_t n = rng() % 4;
  for (size_t i = 0; i < n; ++i) {
    if (rng() % 5 == 0) {
      s += 0xD83D;
      s += 0xDE00;
    } else {
      s += units[rng() % 3];
    }
  }
  return s;
}

struct OracleTag {
  ItlClGppModelItem const* field = nullptr;
  ItlClGppModelItem const* attr = nullptr;
};

bool isProperPrefix(U16 const& p, U16 const& s) {
  return p.size() < s.size() && s.compare(0, p.size(), p) == 0;
}

bool sameEnd(ItlClGppModelItem const* a, ItlClGppModelItem const* b) {
  U16 const* none = nullptr;
  (void)none;
  if (!a->getEndString() || !b->getEndString())
    return a->getEndString() == b->getEndString();
  return U16(a->getEndString()) == U16(b->getEndString());
}

int oracle(std::map<U16, OracleTag>& tags, ItlClGppModelItem const& item) {
  U16 s(item.getStartString());
  if (s.empty()) return 651;
  for (auto const& [r, tag] : tags) {
    if (isProperPrefix(r, s) || isProperPrefix(s, r)) return 651;
  }
  auto it = tags.find(s);
  if (it == tags.end()) {
    OracleTag t;
    (item.isField() ? t.field : t.attr) = &item;
    tags[s] = t;
    return -1;
  }
  OracleTag& t = it->second;
  if (item.isField()) {
    if (t.field) return 650;
    if (t.attr && !sameEnd(&item, t.attr)) return 652;
    t.field = &item;
  } else {
    if (t.attr) return 650;
    if (t.field && !sameEnd(&item, t.field)) return 652;
    t.attr = &item;
  }
  return -1;
}

TEST(GppTagFinder, AgreesWithPrefixOracle) {
  std::mt19937 rng(testSeed());
  U16 ends[] = {u16(u"/"), u16(u";")};
  for (int round = 0; round < 200; ++round) {
    ItlClGppTagFinder f;
    std::map<U16, OracleTag> tags;
    std::vector<std::unique_ptr<ItlClGppModelItem>> items;
    size_t longest = 0;
    for (int i = 0; i < 12; ++i) {
      U16 s = randomString(rng);
      int e = static_cast<int>(rng() % 3);
      items.push_back(makeItem(s, rng() % 2 == 0, e < 2 ? &ends[e] : nullptr));
      ItlClGppModelItem const& item = *items.back();
      int expected = oracle(tags, item);
      int got = catchItl([&] { f.registerTag(item); }).reason;
      ASSERT_EQ(got, expected) << "round " << round << " item " << i;
      if (expected == -1 && s.size() > longest) longest = s.size();
    }
    ASSERT_EQ(f.getTagCount(), tags.size());
    ASSERT_EQ(f.getLongestTagLength(), longest);
    for (int p = 0; p < 30; ++p) {
      U16 probe = randomString(rng);
      ItlClGppTagInfo* info = f.getTagInfo(probe.c_str());
      auto it = tags.find(probe);
      if (it == tags.end() || probe.empty()) {
        ASSERT_EQ(info, nullptr);
      } else {
        ASSERT_NE(info, nullptr);
        ASSERT_EQ(info->getFieldItem(), it->second.field);
        ASSERT_EQ(info->getAttributeItem(), it->second.attr);
      }
    }
  }
}

// ---- allocation failures -------------------------------------------------

TEST(GppTagFinder, FailedAllocationKeepsTrie) {
  auto a = makeItem(u16(u"ab"), true);
  auto b = makeItem(u16(u"ac\u4E2D"), true);
  auto c = makeItem(u16(u"x\U0001F600yz"), false);
  for (unsigned k = 1;; ++k) {
    bool failed = false;
    {
      CountingMemoryManager mm;
      {
        ItlClGppTagFinder f;
        f.registerTag(*a);
        f.registerTag(*b);
        CountingMemoryManager::allocations = 0;
        CountingMemoryManager::failAt = k;
        try {
          f.registerTag(*c);
        } catch (CosClException const&) {
          failed = true;
        }
        CountingMemoryManager::failAt = 0;
        EXPECT_EQ(f.getTagInfo(u16(u"ab").c_str())->getFieldItem(), a.get());
        EXPECT_EQ(f.getTagInfo(u16(u"ac\u4E2D").c_str())->getFieldItem(),
                  b.get());
        if (failed) {
          EXPECT_EQ(f.getTagCount(), 2u);
          EXPECT_EQ(f.getTagInfo(u16(u"x\U0001F600yz").c_str()), nullptr);
          f.registerTag(*c);  // the trie took nothing of the failed call
        }
        EXPECT_EQ(f.getTagInfo(u16(u"x\U0001F600yz").c_str())
                      ->getAttributeItem(),
                  c.get());
        EXPECT_EQ(f.getTagCount(), 3u);
      }
      EXPECT_EQ(CountingMemoryManager::alive, 0) << "k " << k;
    }
    if (!failed) {
      EXPECT_GT(k, 16u * 4);  // at least one node per bit was made
      break;
    }
  }
}

TEST(GppUTF16Spender, TakesTheScannersBuffer) {
  ItlClDocumentInputScanner scanner;
  CosClMemoryPool pool(4096, 4096, 256);
  char const text[] = "hello";
  scanner.setInputText(pool, text, 5, CosClCCSID(1208));
  ItlClGppUTF16Spender sp(scanner, 4);
  EXPECT_EQ(sp.getLookAhead(), 4u);
  ASSERT_NE(sp.iv_pusRead, nullptr);
  EXPECT_EQ(sp.iv_pusBufferEnd - sp.iv_pusRead, 5);
  EXPECT_EQ(sp.iv_pusMatchStart, sp.iv_pusRead);
  EXPECT_EQ(sp.iv_pusTextStart, sp.iv_pusRead);
  EXPECT_EQ(sp.iv_pusTextEnd, sp.iv_pusRead);
  scanner.reset();
  sp.reset(scanner);
  EXPECT_EQ(sp.iv_pusRead, nullptr);
  EXPECT_EQ(sp.iv_pusBufferEnd, nullptr);
  EXPECT_EQ(sp.getLookAhead(), 4u);
}

}  // namespace
