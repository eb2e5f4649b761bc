// Tests of the merge handles: the states of a merge transaction (commit
// before process, a failing engine merge, rollback with nothing to roll
// back, deletion in the middle), the argument checks and getters, and a
// merge end to end that keeps every search answer of a brute-force oracle.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../itl_index/kernel_fixture.hpp"
#include "api_index_env.hpp"
#include "itl_api.h"
#include "itl_docname_mapping.hpp"
#include "itl_index_merge.hpp"

namespace {

namespace fs = std::filesystem;

// Records the merge events an index file hears.
class Spy : public ItlClIndexFileBase {
 public:
  using ItlClIndexFileBase::ItlClIndexFileBase;
  void onIndexFileStartMergeTransaction() override { events += "S"; }
  void onIndexFileEndMergeTransaction() override { events += "E"; }
  void onIndexFileCommitMergeTransaction() override { events += "C"; }
  void onIndexFileRollbackMergeTransaction() override { events += "R"; }
  std::string events;
};

class Merge : public ::testing::Test {
 protected:
  void SetUp() override {
    apifix::update(env.object(), {{"a", u"alpha one"}, {"b", u"beta two"}});
    apifix::update(env.object(), {{"c", u"gamma one"}});
    env.object().getIndexFileMgr().registerForNotify(spy);
  }
  void TearDown() override {
    env.object().getIndexFileMgr().deregisterForNotify(spy);
  }
  int rc() const { return itlErrorInfoGetReturnCode(env.ei); }
  std::string workDir() const {
    return env.object().getWorkingDirectory();
  }
  // Files of the working directory (the engine's work and the maps'
  // working set go there).
  std::set<std::string> workFiles() const {
    std::set<std::string> names;
    for (auto const& e : fs::directory_iterator(workDir()))
      names.insert(e.path().filename().string());
    return names;
  }
  kfix::Docs find(char const* word) {
    std::string d = env.directory() + "/";
    return kfix::word("idx", d.c_str(), word);
  }

  apifix::Env env{"api_merge"};
  Spy spy{env.object().getLocation()};
};

TEST_F(Merge, CommitBeforeProcessThenRefused) {
  ItlTyIndexMergeHandle m = nullptr;
  ASSERT_EQ(itlHandleNewIndexMerge(env.index, &m), 0) << env.reason();
  EXPECT_EQ(itlIndexMergeCommit(m), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_calling_sequence);
  EXPECT_EQ(env.context(), "Merge operation: idx\nMerge operation");
  EXPECT_EQ(itlIndexMergeProcess(m), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Index_rollback_required);
  EXPECT_EQ(itlErrorInfoGetAction(env.ei), ItlEnErrorAction_Inform);
  EXPECT_EQ(env.context(), "");
  // Nothing was processed: the rollback calls nothing and succeeds.
  EXPECT_EQ(itlIndexMergeRollback(m), 0);
  EXPECT_EQ(spy.events, "");
  EXPECT_EQ(itlIndexMergeCommit(m), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Index_rollback_required);
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);
  EXPECT_EQ(m, nullptr);
}

TEST_F(Merge, ArgumentsAndGetters) {
  EXPECT_EQ(itlHandleNewIndexMerge(env.index, nullptr), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_argument);
  ItlTyIndexMergeHandle m = nullptr;
  EXPECT_EQ(itlHandleNewIndexMerge(nullptr, &m), 16);
  EXPECT_EQ(itlIndexMergeProcess(nullptr), 16);
  EXPECT_EQ(itlIndexMergeCommit(nullptr), 16);
  EXPECT_EQ(itlIndexMergeRollback(nullptr), 16);
  EXPECT_EQ(itlHandleDeleteIndexMerge(nullptr), 16);
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 16);
  EXPECT_EQ(itlIndexMergeGetTimes(nullptr, ItlEnTimingMergeType_First), 16.0);
  EXPECT_EQ(itlIndexMergeGetStatistics(nullptr, ItlEnStatisticsMergeType_First),
            16.0);
  ASSERT_EQ(itlHandleNewIndexMerge(env.index, &m), 0);
  for (int t = 99999; t <= 100010; ++t) {
    EXPECT_EQ(itlIndexMergeGetTimes(m, static_cast<ItlEnTimingMergeType>(t)), 0.0);
    EXPECT_EQ(itlIndexMergeGetStatistics(
                  m, static_cast<ItlEnStatisticsMergeType>(t)), 0.0);
  }
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);

  // An index that does not exist.
  ItlTyIndexHandle missing = nullptr;
  ASSERT_EQ(itlHandleNewIndex(env.ctx, "none", env.directory().c_str(),
                              &missing), 0);
  EXPECT_EQ(itlHandleNewIndexMerge(missing, &m), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Index_not_found);
  EXPECT_EQ(m, nullptr);
  itlHandleDeleteIndex(&missing);
}

TEST_F(Merge, FailingEngineMergeLeavesOnlyTheRollback) {
  // The engine's merge fails: its working directory is gone.
  std::string work = workDir();
  fs::remove_all(work);
  ItlTyIndexMergeHandle m = nullptr;
  ASSERT_EQ(itlHandleNewIndexMerge(env.index, &m), 0);
  EXPECT_EQ(itlIndexMergeProcess(m), 8);
  EXPECT_NE(env.context().find("Merge operation"), std::string::npos);
  EXPECT_EQ(spy.events, "S");  // no end-merge event
  EXPECT_EQ(itlIndexMergeCommit(m), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Index_rollback_required);
  EXPECT_EQ(itlIndexMergeRollback(m), 0) << env.reason();
  EXPECT_EQ(spy.events, "SR");
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);
  fs::create_directories(work);

  // A new merge handle merges.
  ASSERT_EQ(itlHandleNewIndexMerge(env.index, &m), 0);
  EXPECT_EQ(itlIndexMergeProcess(m), 0) << env.reason() << env.context();
  EXPECT_EQ(itlIndexMergeCommit(m), 0) << env.reason() << env.context();
  EXPECT_EQ(spy.events, "SRSEC");
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);
  EXPECT_EQ(find("one"), (kfix::Docs{1, 3}));
}

TEST_F(Merge, DeletingMidMergeCancelsIt) {
  std::set<std::string> before = workFiles();
  apifix::update(env.object(), {}, {"b"});
  ItlTyIndexMergeHandle m = nullptr;
  ASSERT_EQ(itlHandleNewIndexMerge(env.index, &m), 0);
  ASSERT_EQ(itlIndexMergeProcess(m), 0) << env.reason() << env.context();
  EXPECT_TRUE(env.object().getKernelInterface().isMergeOpen());
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);
  EXPECT_FALSE(env.object().getKernelInterface().isMergeOpen());
  EXPECT_EQ(spy.events, "SER");
  EXPECT_EQ(workFiles(), before);
  EXPECT_TRUE(fs::exists(env.directory() + "/idx.del"));

  // Rollback of a processed merge, then a merge that commits.
  ASSERT_EQ(itlHandleNewIndexMerge(env.index, &m), 0);
  ASSERT_EQ(itlIndexMergeProcess(m), 0);
  EXPECT_EQ(itlIndexMergeRollback(m), 0);
  EXPECT_FALSE(env.object().getKernelInterface().isMergeOpen());
  EXPECT_EQ(itlIndexMergeRollback(m), 0);  // nothing left: no event
  EXPECT_EQ(spy.events, "SERSER");
  ASSERT_EQ(itlIndexMergeProcess(m), 0);
  EXPECT_EQ(itlIndexMergeCommit(m), 0) << env.reason() << env.context();
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);
  EXPECT_EQ(spy.events, "SERSERSEC");
  EXPECT_EQ(workFiles(), before);
  EXPECT_FALSE(fs::exists(env.directory() + "/idx.del"));
  EXPECT_EQ(find("beta"), (kfix::Docs{}));
  EXPECT_EQ(find("alpha"), (kfix::Docs{1}));
}

// Two updates and a removal of 40 % of the documents; the merge keeps the
// answer of every word, as a brute-force scan of the live texts gives it.
TEST(MergeEndToEnd, KeepsEveryAnswerAndNeverReusesNumbers) {
  apifix::Env env{"api_merge_e2e"};
  ItlClIndex& index = env.object();
  std::mt19937 rng(testSeed());
  std::vector<std::string> const words = {"red", "green", "blue", "cyan",
                                          "pink", "gold", "grey", "teal"};
  std::map<std::string, std::set<std::string>> texts;  // name -> words
  auto batch = [&](int first, int count) {
    std::vector<apifix::Document> docs;
    for (int i = first; i < first + count; ++i) {
      std::string name = "n" + std::to_string(i);
      std::set<std::string> ws;
      std::u16string text;
      for (int k = 0; k < 3; ++k) {
        std::string const& w = words[rng() % words.size()];
        ws.insert(w);
        text += std::u16string(w.begin(), w.end()) + u" ";
      }
      texts[name] = ws;
      docs.push_back({name, text});
    }
    apifix::update(index, docs);
  };
  batch(0, 30);
  batch(30, 20);
  std::vector<std::string> names;
  for (auto const& t : texts) names.push_back(t.first);
  std::shuffle(names.begin(), names.end(), rng);
  std::vector<std::string> removed(names.begin(), names.begin() + 20);
  apifix::update(index, {}, removed);

  std::map<std::string, uint64_t> numbers;
  ItlTyIndexSearchHandle s = env.openSearch();
  uint64_t highest = 0;
  for (auto const& t : texts) {
    ItlStDocumentId id{t.first.data(), static_cast<uint16_t>(t.first.size())};
    ItlTyDocumentNumber n = 0;
    ASSERT_EQ(itlDocMapIdToNumber(s, &id, &n), 0);
    numbers[t.first] = n;
    highest = std::max<uint64_t>(highest, n);
  }
  for (std::string const& r : removed) {
    EXPECT_EQ(numbers[r], 0u);
    texts.erase(r);
  }
  highest = std::max<uint64_t>(highest, 50);
  auto oracle = [&](std::string const& w) {
    kfix::Docs docs;
    for (auto const& t : texts)
      if (t.second.count(w)) docs.insert(static_cast<int32_t>(numbers[t.first]));
    return docs;
  };
  std::string dir = env.directory() + "/";
  for (std::string const& w : words)
    ASSERT_EQ(kfix::word("idx", dir.c_str(), w), oracle(w)) << w;

  bool recommended = false;
  ASSERT_EQ(itlIndexObtainMergeIsRecommended(env.index, &recommended), 0);
  EXPECT_TRUE(recommended);

  ItlTyIndexMergeHandle m = nullptr;
  ASSERT_EQ(itlHandleNewIndexMerge(env.index, &m), 0);
  ASSERT_EQ(itlIndexMergeProcess(m), 0) << env.reason() << env.context();
  ASSERT_EQ(itlIndexMergeCommit(m), 0) << env.reason() << env.context();
  EXPECT_EQ(itlHandleDeleteIndexMerge(&m), 0);

  for (std::string const& w : words)
    EXPECT_EQ(kfix::word("idx", dir.c_str(), w), oracle(w)) << w;
  EXPECT_FALSE(fs::exists(env.directory() + "/idx.del"));
  ASSERT_EQ(itlIndexObtainMergeIsRecommended(env.index, &recommended), 0);
  EXPECT_FALSE(recommended);
  for (std::string const& r : removed) {
    ItlStDocumentId id{r.data(), static_cast<uint16_t>(r.size())};
    ItlTyDocumentNumber n = 1;
    ASSERT_EQ(itlDocMapIdToNumber(s, &id, &n), 0);
    EXPECT_EQ(n, 0u) << r;
  }
  for (auto const& t : texts) {
    ItlStDocumentId id{t.first.data(), static_cast<uint16_t>(t.first.size())};
    ItlTyDocumentNumber n = 0;
    ASSERT_EQ(itlDocMapIdToNumber(s, &id, &n), 0);
    EXPECT_EQ(n, numbers[t.first]) << t.first;
  }

  // A new document gets a number above every earlier one, a removed name
  // that comes back too.
  apifix::update(index, {{"fresh", u"red"}, {removed[0], u"red"}});
  for (std::string const& name : {std::string("fresh"), removed[0]}) {
    ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
    ItlTyDocumentNumber n = 0;
    ASSERT_EQ(itlDocMapIdToNumber(s, &id, &n), 0);
    EXPECT_GT(n, highest) << name;
  }
}

}  // namespace
