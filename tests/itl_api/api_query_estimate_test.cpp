// Query estimates through the exported functions: the engine's count and its
// bound, the second count, the kept selectivity handle, conditions changed
// between estimates, scopes, and the checks of the three functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "itl_api.h"
#include "itl_selectivity_query.hpp"
#include "update_fixture.hpp"

namespace {

// 30 documents in two committed updates (20, then 10): "alpha" in 12 of
// them, "beta" in 7, "filler" in all.
class QueryEstimate : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<upfix::Document> first, second;
    for (int i = 0; i < 30; ++i) {
      std::string text = "filler";
      if (i % 5 < 2) text += " alpha";   // 0,1,5,6,...: 12 documents
      if (i % 5 == 4 && i < 28) text += " beta";  // 4,9,...,24: 5
      if (i == 2 || i == 3) text += " beta";       // 2 more: 7
      (i < 20 ? first : second)
          .push_back({"d" + std::to_string(i), ItlEnDocumentFormat_Text,
                      text});
    }
    ASSERT_EQ(upfix::addDocuments(ix.index, first), "");
    ASSERT_EQ(upfix::addDocuments(ix.index, second), "");
    ASSERT_EQ(itlHandleNewIndexSearch(ix.index, &search), 0) << ix.reason();
    ASSERT_EQ(itlHandleNewQueryEstimate(search, "en_US", 1208, &estimate), 0)
        << ix.reason();
  }
  void TearDown() override {
    if (estimate != nullptr) {
      EXPECT_EQ(itlHandleDeleteQueryEstimate(&estimate), 0);
    }
    itlHandleDeleteIndexSearch(&search);
  }

  // Adds a term to `query` through a search string and a search term.
  int term(ItlTyQueryHandle query, std::string const& word) {
    ItlTySearchStringHandle string = nullptr;
    EXPECT_EQ(itlHandleNewSearchString(word.data(),
                                       static_cast<unsigned>(word.size()),
                                       &string, ix.ctx),
              0);
    ItlTySearchTermHandle t = nullptr;
    EXPECT_EQ(itlHandleNewSearchTerm(string, &t, ix.ctx), 0);
    int rc = itlQueryAddSearchTerm(query, t);
    itlHandleDeleteSearchTerm(&t);
    itlHandleDeleteSearchString(&string);
    return rc;
  }
  // The estimate's selected count with `maximum`; `second` the other.
  uint64_t process(uint64_t maximum, uint64_t* second = nullptr) {
    uint64_t selected = 777, other = 777;
    EXPECT_EQ(itlQueryEstimateProcess(estimate, maximum, &selected, &other),
              0)
        << ix.reason();
    if (second != nullptr) *second = other;
    return selected;
  }
  void const* engineHandle() const {
    return reinterpret_cast<ItlClSelectivityQuery*>(estimate)
        ->getSelectivityHandle();
  }

  upfix::ApiIndex ix;
  ItlTyIndexSearchHandle search = nullptr;
  ItlTyQueryEstimateHandle estimate = nullptr;
};

TEST_F(QueryEstimate, MaximumBoundsTheEngineCount) {
  ASSERT_EQ(term(estimate, "alpha"), 0) << ix.reason();
  struct Case {
    uint64_t maximum, expected;
  };
  for (Case c : {Case{0, 12}, Case{5, 5}, Case{20, 12}, Case{12, 12},
                 Case{1, 1}}) {
    uint64_t second = 0;
    EXPECT_EQ(process(c.maximum, &second), c.expected) << c.maximum;
    // The documents of the text part, both updates counted.
    EXPECT_EQ(second, 30u) << c.maximum;
  }
}

TEST_F(QueryEstimate, KeepsItsEngineHandleAndFollowsTheCondition) {
  ASSERT_EQ(term(estimate, "alpha"), 0);
  EXPECT_EQ(engineHandle(), nullptr);
  EXPECT_EQ(process(0), 12u);
  void const* kept = engineHandle();
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(process(0), 12u);
  EXPECT_EQ(engineHandle(), kept);

  // A new condition through the query functions gives its own count.
  ASSERT_EQ(itlQueryResetToDefault(estimate), 0);
  ASSERT_EQ(term(estimate, "beta"), 0);
  EXPECT_EQ(process(0), 7u);
  ASSERT_EQ(itlQueryResetToDefault(estimate), 0);
  ASSERT_EQ(term(estimate, "nowhere"), 0);
  EXPECT_EQ(process(0), 0u);
  EXPECT_EQ(engineHandle(), kept);
}

TEST_F(QueryEstimate, ScopeChangesNothing) {
  ASSERT_EQ(term(estimate, "alpha"), 0);
  // A result not yet searched is no scope for a query (367); an estimate
  // ignores it.
  ItlTyQueryResultHandle result = nullptr;
  ASSERT_EQ(itlHandleNewQueryResult(&result, ix.ctx), 0);
  EXPECT_EQ(itlQuerySetScope(estimate, result), 0) << ix.reason();
  EXPECT_EQ(process(0), 12u);

  // The result of a search for "beta" (7 documents, 2 of them with
  // "alpha") as the scope.
  ItlTyQueryHandle query = nullptr;
  ASSERT_EQ(itlHandleNewQuery(search, "en_US", 1208, &query), 0);
  ASSERT_EQ(term(query, "beta"), 0);
  ItlTyListHandle list = nullptr;
  ASSERT_EQ(itlQueryProcess(query, result, &list), 0) << ix.reason();
  EXPECT_EQ(itlQuerySetScope(estimate, result), 0) << ix.reason();
  EXPECT_EQ(process(0), 12u);
  EXPECT_EQ(process(20), 12u);

  if (list != nullptr) itlHandleDeleteList(&list);
  itlHandleDeleteQuery(&query);
  itlHandleDeleteQueryResult(&result);
}

TEST_F(QueryEstimate, EngineFailureWritesNoCounts) {
  ASSERT_EQ(term(estimate, "alpha"), 0);
  EXPECT_EQ(process(0), 12u);
  // The index's files vanish under the kept estimate.
  for (auto const& entry : std::filesystem::directory_iterator(ix.dir.path()))
    if (entry.path().filename() != "template.ini")
      std::filesystem::remove_all(entry.path());
  uint64_t selected = 777, second = 777;
  EXPECT_EQ(itlQueryEstimateProcess(estimate, 0, &selected, &second), 8);
  EXPECT_NE(ix.reason(), 0);
  EXPECT_EQ(selected, 777u);
  EXPECT_EQ(second, 777u);
}

TEST_F(QueryEstimate, ChecksOfTheFunctions) {
  ItlTyQueryEstimateHandle e = nullptr;
  // A refused language or CCSID still hands out a handle to delete.
  struct Case {
    char const* language;
    ItlTyCCSID ccsid;
    int reason;
  };
  for (Case c : {Case{"zz", 1208, ItlEnReasonCode_Invalid_language},
                 Case{"en_US", 1, ItlEnReasonCode_Invalid_ccsid}}) {
    EXPECT_EQ(itlHandleNewQueryEstimate(search, c.language, c.ccsid, &e), 8);
    EXPECT_EQ(ix.reason(), c.reason);
    EXPECT_EQ(ix.action(), ItlEnErrorAction_Inform);
    ASSERT_NE(e, nullptr) << c.language;
    EXPECT_EQ(itlHandleDeleteQueryEstimate(&e), 0);
    EXPECT_EQ(e, nullptr);
  }

  EXPECT_EQ(itlHandleNewQueryEstimate(nullptr, "en_US", 1208, &e), 16);
  EXPECT_EQ(itlHandleNewQueryEstimate(search, "en_US", 1208, nullptr), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_argument);
  e = estimate;  // a null language leaves the out handle untouched
  EXPECT_EQ(itlHandleNewQueryEstimate(search, nullptr, 1208, &e), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(e, estimate);

  ASSERT_EQ(term(estimate, "alpha"), 0);
  uint64_t selected = 777, second = 777;
  EXPECT_EQ(itlQueryEstimateProcess(nullptr, 0, &selected, &second), 16);
  EXPECT_EQ(itlQueryEstimateProcess(estimate, 0, nullptr, &second), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(itlQueryEstimateProcess(estimate, 0, &selected, nullptr), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(selected, 777u);
  EXPECT_EQ(second, 777u);
  // A refused call leaves the query under construction.
  EXPECT_EQ(itlQueryResetToDefault(estimate), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Query_under_construction);

  EXPECT_EQ(itlHandleDeleteQueryEstimate(nullptr), 16);
  e = nullptr;
  EXPECT_EQ(itlHandleDeleteQueryEstimate(&e), 16);

  // A plain query's handle is no estimate.
  ItlTyQueryHandle query = nullptr;
  ASSERT_EQ(itlHandleNewQuery(search, "en_US", 1208, &query), 0);
  EXPECT_EQ(itlQueryEstimateProcess(query, 0, &selected, &second), 16);
  EXPECT_EQ(itlHandleDeleteQueryEstimate(&query), 16);
  EXPECT_NE(query, nullptr);
  EXPECT_EQ(itlHandleDeleteQuery(&query), 0);

  // An estimate that kept an engine handle can also go through the query
  // delete function.
  ASSERT_EQ(itlHandleNewQueryEstimate(search, "en_US", 1208, &e), 0);
  ASSERT_EQ(term(e, "beta"), 0);
  EXPECT_EQ(itlQueryEstimateProcess(e, 0, &selected, &second), 0);
  EXPECT_EQ(selected, 7u);
  EXPECT_EQ(itlHandleDeleteQuery(&e), 0);
  EXPECT_EQ(e, nullptr);
}

}  // namespace
