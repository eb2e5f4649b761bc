// Tests of query results, result lists and query handles: result options,
// ranking with a callback, list and iterator navigation, a result
// processed twice, and the checks of the query functions.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "itl_list.hpp"
#include "itl_query_result.hpp"
#include "itl_query.hpp"
#include "query_env.hpp"

namespace {

using qc::Builder;
using qc::Names;

qc::Env& env() { return qc::sharedEnv(); }

uint32_t listCount(ItlTyListHandle list) {
  uint32_t count = 0;
  EXPECT_EQ(itlListObtainNumberOfElements(list, &count), 0);
  return count;
}

TEST(ApiQueryResult, LimitsAndOptions) {
  qc::Env& e = env();
  {
    SCOPED_TRACE("limit 10 of 50 and of 3");
    Builder b(e, e.plain);
    b.term("common");
    ASSERT_EQ(itlHandleNewQueryResult(&b.result, e.ctx), 0);
    EXPECT_EQ(itlQueryResultSetLimit(b.result, 10), 0);
    EXPECT_LE(b.process(), 4);
    EXPECT_EQ(listCount(b.list), 10u);
    EXPECT_EQ(b.walk(b.list).size(), 10u);
    Builder c(e, e.plain);
    c.term("lemon");
    c.term("mango");
    c.op(ItlEnOperator_And);
    ASSERT_EQ(itlHandleNewQueryResult(&c.result, e.ctx), 0);
    EXPECT_EQ(itlQueryResultSetLimit(c.result, 10), 0);
    Names expected = qc::both(qc::withWord("lemon"), qc::withWord("mango"));
    ASSERT_LT(expected.size(), 10u);
    EXPECT_EQ(c.run(), expected);
  }
  {
    SCOPED_TRACE("limit 2, then 10 on the same query");
    Builder b(e, e.plain);
    b.term("common");
    ASSERT_EQ(itlHandleNewQueryResult(&b.result, e.ctx), 0);
    EXPECT_EQ(itlQueryResultSetLimit(b.result, 2), 0);
    b.process();
    EXPECT_EQ(listCount(b.list), 2u);
    EXPECT_EQ(itlQueryResultSetLimit(b.result, 10), 0);
    b.process();
    EXPECT_EQ(listCount(b.list), 10u);
  }
  {
    SCOPED_TRACE("refused options");
    ItlTyQueryResultHandle r = nullptr;
    ASSERT_EQ(itlHandleNewQueryResult(&r, e.ctx), 0);
    EXPECT_EQ(itlQueryResultSetLimit(r, 2147483647u), 0);
    EXPECT_EQ(itlQueryResultSetLimit(r, 2147483648u), 8);
    EXPECT_EQ(e.reason(), 25);
    EXPECT_EQ(itlQueryResultSetDataForm(r, static_cast<ItlEnResultDataForm>(2)), 8);
    EXPECT_EQ(itlQueryResultSetMemorySize(r, 2147483647u), 0);
    EXPECT_EQ(itlQueryResultSetMemorySize(r, 2147483648u), 8);
    std::string name(2047, 'f');
    EXPECT_EQ(itlQueryResultSetSaveToFile(r, name.c_str()), 0);
    name += 'f';
    EXPECT_EQ(itlQueryResultSetSaveToFile(r, name.c_str()), 8);
    EXPECT_EQ(itlQueryResultSetLimit(nullptr, 1), 16);
    int32_t terms = -1;
    EXPECT_EQ(itlQueryResultObtainTermCount(r, &terms), 0);
    EXPECT_EQ(terms, 0);
    ItlTyDocumentCount count = 0;
    EXPECT_EQ(itlQueryResultObtainDocCountByTerm(r, 0, &count), 8);
    EXPECT_EQ(itlHandleDeleteQueryResult(&r), 0);
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(itlHandleDeleteQueryResult(&r), 0);
    EXPECT_EQ(itlHandleDeleteQueryResult(nullptr), 16);
  }
  {
    SCOPED_TRACE("statistics only");
    Builder b(e, e.plain);
    b.term("fig");
    ASSERT_EQ(itlHandleNewQueryResult(&b.result, e.ctx), 0);
    EXPECT_EQ(itlQueryResultSetStatisticsOnly(b.result, true), 0);
    EXPECT_LE(b.process(), 4);
    EXPECT_EQ(b.list, nullptr);
    ItlTyDocumentCount documents = 0;
    bool ended = false;
    EXPECT_EQ(itlQueryResultObtainStatistics(b.result, &documents, nullptr,
                                             &ended),
              0);
    EXPECT_EQ(documents, qc::withWord("fig").size());
    EXPECT_TRUE(ended);
  }
  {
    SCOPED_TRACE("save to file");
    Builder b(e, e.plain);
    b.term("fig");
    ASSERT_EQ(itlHandleNewQueryResult(&b.result, e.ctx), 0);
    std::string file = e.dir / "saved.res";
    EXPECT_EQ(itlQueryResultSetSaveToFile(b.result, file.c_str()), 0);
    EXPECT_LE(b.process(), 4) << e.reason();
    EXPECT_EQ(b.list, nullptr);
    struct stat st;
    EXPECT_EQ(stat(file.c_str(), &st), 0);
  }
  {
    SCOPED_TRACE("documents per term");
    Builder b(e, e.plain);
    b.term("fig");
    b.term("olive");
    b.op(ItlEnOperator_Or);
    ASSERT_EQ(itlHandleNewQueryResult(&b.result, e.ctx), 0);
    EXPECT_EQ(itlQueryResultSetDocCountByTerm(b.result, true), 0);
    b.process();
    int32_t terms = 0;
    EXPECT_EQ(itlQueryResultObtainTermCount(b.result, &terms), 0);
    ASSERT_EQ(terms, 2);
    ItlTyDocumentCount count = 0;
    EXPECT_EQ(itlQueryResultObtainDocCountByTerm(b.result, 0, &count), 0);
    EXPECT_EQ(count, qc::withWord("fig").size());
    EXPECT_EQ(itlQueryResultObtainDocCountByTerm(b.result, 1, &count), 0);
    EXPECT_EQ(count, qc::withWord("olive").size());
    EXPECT_EQ(itlQueryResultObtainDocCountByTerm(b.result, terms, &count), 8);
    EXPECT_EQ(e.reason(), 25);
  }
}

unsigned int scoreOf(unsigned int document, void*) {
  return document * 7 % 23;
}

// Ranked lists under limits below the hits, above the index's documents
// (small limits size the rank entries without asking the engine for the
// document count, large ones are bounded by it) and at the largest limit:
// each is the same ranking cut at its limit.
TEST(ApiQueryResult, RankedListsUnderLimitsAroundTheDocumentCount) {
  qc::Env& e = env();
  uint64_t documents = 0;
  ASSERT_EQ(itlIndexObtainNumberOfDocuments(e.plain.index, &documents), 0);
  std::vector<uint64_t> longest;
  for (uint64_t limit : {uint64_t{2}, documents + 3, uint64_t{5000},
                         uint64_t{2147483647}}) {
    SCOPED_TRACE(limit);
    Builder b(e, e.plain);
    b.term("quince");
    ASSERT_EQ(itlQueryDoRank(b.query, true, ItlEnRankFormula_Default), 0);
    ASSERT_EQ(itlHandleNewQueryResult(&b.result, e.ctx), 0);
    ASSERT_EQ(itlQueryResultSetLimit(b.result, limit), 0);
    ASSERT_LE(b.process(), 4) << e.reason();
    ASSERT_NE(b.list, nullptr);
    ItlTyDocumentCount found = 0;
    itlQueryResultObtainStatistics(b.result, &found, nullptr, nullptr);
    std::vector<uint64_t> numbers;
    ItlTyIteratorHandle it = nullptr;
    ASSERT_EQ(itlHandleNewIterator(b.list, &it), 0);
    qc::DocumentId id(e.plain.index);
    for (bool ok = itlListIteratorIsValid(it); ok;
         ok = itlListIteratorSetToNext(it, 1)) {
      ASSERT_EQ(itlQueryResultElementObtainData(it, id.handle(), nullptr,
                                                nullptr, nullptr),
                0);
      numbers.push_back(id.number());
    }
    EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
    EXPECT_EQ(numbers.size(), std::min<uint64_t>(limit, found));
    if (longest.empty()) {
      longest = numbers;
      continue;
    }
    if (numbers.size() > longest.size()) std::swap(numbers, longest);
    EXPECT_TRUE(std::equal(numbers.begin(), numbers.end(), longest.begin()));
  }
  EXPECT_GT(longest.size(), 2u);  // the smallest limit cut the ranking
}

TEST(ApiQueryResult, Ranking) {
  qc::Env& e = env();
  {
    SCOPED_TRACE("invalid formula");
    Builder b(e, e.plain);
    EXPECT_EQ(itlQueryDoRank(b.query, true, static_cast<ItlEnRankFormula>(8)),
              8);
    EXPECT_EQ(e.reason(), 364);
    EXPECT_FALSE(reinterpret_cast<ItlClAlQuery*>(b.query)->getDoRank());
  }
  std::vector<double> previous;
  for (ItlEnSortOrder order : {ItlEnSortOrder_Ascending,
                               ItlEnSortOrder_Descending}) {
    SCOPED_TRACE(order);
    ASSERT_EQ(itlContextRegisterRankingCallback(e.ctx, scoreOf, order,
                                                nullptr),
              0);
    Builder b(e, e.plain);
    b.term("quince");
    EXPECT_EQ(itlQueryDoRank(b.query, true, ItlEnRankFormula_Default), 0);
    ASSERT_EQ(itlHandleNewQueryResult(&b.result, e.ctx), 0);
    EXPECT_EQ(itlQueryResultSetLimit(b.result, 5), 0);
    ASSERT_LE(b.process(), 4) << e.reason();
    ASSERT_NE(b.list, nullptr);
    auto* list = reinterpret_cast<ItlClListABase*>(b.list);
    EXPECT_EQ(list->getListType(), ItlEnListType_CallbackRankedResultList);
    ItlTyDocumentCount found = 0;
    itlQueryResultObtainStatistics(b.result, &found, nullptr, nullptr);
    uint32_t count = listCount(b.list);
    EXPECT_LE(count, 5u);
    EXPECT_LE(count, found);
    EXPECT_GT(count, 0u);
    ItlTyIteratorHandle it = nullptr;
    ASSERT_EQ(itlHandleNewIterator(b.list, &it), 0);
    qc::DocumentId id(e.plain.index);
    std::vector<double> scores;
    for (bool ok = itlListIteratorIsValid(it); ok;
         ok = itlListIteratorSetToNext(it, 1)) {
      double rank = 0, score = -1;
      int32_t occurrences = 0;
      EXPECT_EQ(itlQueryResultElementObtainData(it, id.handle(), &occurrences,
                                                &rank, &score),
                0);
      EXPECT_EQ(score, scoreOf(static_cast<unsigned>(id.number()), nullptr));
      EXPECT_EQ(qc::withWord("quince").count(id.name()), 1u);
      scores.push_back(score);
    }
    EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
    if (order == ItlEnSortOrder_Ascending) {
      previous = scores;
    } else {
      // The two orders sort the callback's values oppositely.
      EXPECT_TRUE(std::is_sorted(scores.begin(), scores.end()) !=
                      std::is_sorted(previous.begin(), previous.end()) ||
                  scores != previous);
    }
  }
  itlContextRegisterRankingCallback(e.ctx, nullptr, ItlEnSortOrder_Ascending,
                                    nullptr);
}

TEST(ApiQueryResult, ListsAndIterators) {
  qc::Env& e = env();
  {
    SCOPED_TRACE("empty list");
    Builder b(e, e.plain);
    b.term("fig");
    b.term("fig", {"nofield"});
    b.op(ItlEnOperator_And);
    b.process();
    ASSERT_NE(b.list, nullptr);
    EXPECT_EQ(listCount(b.list), 0u);
    ItlTyIteratorHandle it = nullptr;
    ASSERT_EQ(itlHandleNewIterator(b.list, &it), 0);
    EXPECT_FALSE(itlListIteratorIsValid(it));
    EXPECT_FALSE(itlListIteratorSetToLast(it));
    EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
  }
  Builder b(e, e.plain);
  b.term("quince");
  b.process();
  uint32_t count = listCount(b.list);
  ASSERT_GE(count, 4u);
  ItlTyIteratorHandle one = nullptr, two = nullptr;
  ASSERT_EQ(itlHandleNewIterator(b.list, &one), 0);
  ASSERT_EQ(itlHandleNewIterator(b.list, &two), 0);
  EXPECT_TRUE(itlListIteratorIsAtFirst(one));
  EXPECT_TRUE(itlListIteratorSetToLast(one));
  EXPECT_TRUE(itlListIteratorIsAtLast(one));
  EXPECT_TRUE(itlListIteratorIsAtFirst(two));  // independent
  EXPECT_TRUE(itlListIteratorSetToPrevious(one, 1));  // second-to-last
  EXPECT_FALSE(itlListIteratorSetToNext(one, 3));
  EXPECT_TRUE(itlListIteratorSetToNext(one, 1));  // it stayed
  EXPECT_TRUE(itlListIteratorIsAtLast(one));
  EXPECT_TRUE(itlListIteratorSetToPrevious(one, 0));
  EXPECT_FALSE(itlListIteratorSetToPrevious(two, 1));
  qc::DocumentId id(e.plain.index);
  EXPECT_EQ(itlQueryResultElementObtainData(one, nullptr, nullptr, nullptr,
                                            nullptr),
            8);
  EXPECT_EQ(e.reason(), 25);
  EXPECT_EQ(itlQueryResultElementObtainData(one, id.handle(), nullptr,
                                            nullptr, nullptr),
            0);
  // Deleting the list first: every iterator call refuses the iterator.
  ASSERT_EQ(itlHandleDeleteList(&b.list), 0);
  EXPECT_EQ(itlQueryResultElementObtainData(two, id.handle(), nullptr,
                                            nullptr, nullptr),
            16);
  EXPECT_FALSE(itlListIteratorIsValid(two));
  EXPECT_FALSE(itlListIteratorSetToFirst(two));
  EXPECT_FALSE(itlListIteratorSetToNext(two, 0));
  EXPECT_FALSE(itlListIteratorIsAtFirst(two));
  EXPECT_EQ(itlHandleDeleteIterator(&two), 16);
  EXPECT_EQ(two, nullptr);  // freed all the same (ASan: no leak)
  EXPECT_EQ(itlHandleDeleteIterator(&one), 16);
  EXPECT_EQ(itlHandleDeleteIterator(&one), 16);
  EXPECT_FALSE(itlListIteratorIsValid(nullptr));
  EXPECT_FALSE(itlListIteratorSetToLast(nullptr));
}

TEST(ApiQueryResult, PastTheEndGives46) {
  qc::Env& e = env();
  Builder b(e, e.plain);
  b.term("quince");
  b.process();
  ItlTyIteratorHandle it = nullptr;
  ASSERT_EQ(itlHandleNewIterator(b.list, &it), 0);
  ASSERT_TRUE(itlListIteratorSetToLast(it));
  EXPECT_FALSE(itlListIteratorSetToNext(it, 1));
  qc::DocumentId id(e.plain.index);
  // A list of no elements has no element to read: 46.
  Builder none(e, e.plain);
  none.term("fig", {"nofield"});
  none.process();
  ItlTyIteratorHandle empty = nullptr;
  ASSERT_EQ(itlHandleNewIterator(none.list, &empty), 0);
  EXPECT_EQ(itlQueryResultElementObtainData(empty, id.handle(), nullptr,
                                            nullptr, nullptr),
            8);
  EXPECT_EQ(e.reason(), 46);
  EXPECT_EQ(itlHandleDeleteIterator(&empty), 0);
  EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
}

TEST(ApiQueryResult, TwoProcessesIntoOneResult) {
  qc::Env& e = env();
  Builder first(e, e.plain);
  first.term("fig");
  ASSERT_EQ(itlHandleNewQueryResult(&first.result, e.ctx), 0);
  ItlTyListHandle listOne = nullptr, listTwo = nullptr;
  ASSERT_LE(itlQueryProcess(first.query, first.result, &listOne), 4);
  Builder second(e, e.plain);
  second.term("olive");
  ASSERT_LE(itlQueryProcess(second.query, first.result, &listTwo), 4);
  // The result goes before both lists; they still walk.
  ASSERT_EQ(itlHandleDeleteQueryResult(&first.result), 0);
  std::vector<std::string> one = first.walk(listOne);
  std::vector<std::string> two = first.walk(listTwo);
  EXPECT_EQ(Names(one.begin(), one.end()), qc::withWord("fig"));
  EXPECT_EQ(Names(two.begin(), two.end()), qc::withWord("olive"));
  EXPECT_EQ(itlHandleDeleteList(&listOne), 0);
  EXPECT_EQ(itlHandleDeleteList(&listTwo), 0);
}

TEST(ApiQueryResult, QueryHandleChecks) {
  qc::Env& e = env();
  Builder b(e, e.plain);
  EXPECT_EQ(itlQuerySetNewIndex(b.query, e.cased.search), 8);
  EXPECT_EQ(e.reason(), 366);
  EXPECT_EQ(itlQueryResetToDefault(b.query), 8);
  EXPECT_EQ(e.reason(), 366);
  EXPECT_EQ(b.term("fig"), 0);
  EXPECT_EQ(b.term("olive"), 0);
  for (uint16_t d : {4, 33}) {
    EXPECT_EQ(b.near(d), 8);
    EXPECT_EQ(e.reason(), 365);
  }
  EXPECT_EQ(b.op(ItlEnOperator_Or, 2), 8);
  EXPECT_EQ(e.reason(), 375);
  EXPECT_EQ(b.op(ItlEnOperator_And, 2), 0);
  EXPECT_EQ(itlQuerySetProcessingThreshold(b.query, 2147483648u,
                                           ItlEnThresholdUnit_Documents),
            8);
  EXPECT_EQ(itlQuerySetProcessingThreshold(
                b.query, 5, static_cast<ItlEnThresholdUnit>(2)),
            8);
  EXPECT_EQ(itlQuerySetProcessingThreshold(b.query, 2147483647u,
                                           ItlEnThresholdUnit_Occurrences),
            0);
  EXPECT_EQ(itlQuerySetProcessingThreshold(b.query, 0,
                                           ItlEnThresholdUnit_Documents),
            0);
  ItlTyQueryResultHandle fresh = nullptr;
  ASSERT_EQ(itlHandleNewQueryResult(&fresh, e.ctx), 0);
  EXPECT_EQ(itlQuerySetScope(b.query, fresh), 8);
  EXPECT_EQ(e.reason(), 367);
  // A refused operand leaves the condition as it was.
  auto* query = reinterpret_cast<ItlClAlQuery*>(b.query);
  int32_t before = query->getCondition().getOperandCount();
  ItlTySearchStringHandle bad = nullptr;
  ASSERT_EQ(itlHandleNewSearchString("ab", 2, &bad, e.ctx), 0);
  ASSERT_EQ(itlSearchStringSetCCSIDAndLanguage(bad, 819, "en_US"), 0);
  char const highByte[] = "\xE9";  // two bytes in UTF-8
  ASSERT_EQ(itlSearchStringSetMasks(bad, highByte, 1, "*", 1), 0);
  ItlTySearchTermHandle term = nullptr;
  ASSERT_EQ(itlHandleNewSearchTerm(bad, &term, e.ctx), 0);
  EXPECT_EQ(itlQueryAddSearchTerm(b.query, term), 8);
  EXPECT_EQ(e.reason(), 360);
  EXPECT_EQ(query->getCondition().getOperandCount(), before);
  itlHandleDeleteSearchTerm(&term);
  itlHandleDeleteSearchString(&bad);
  // AND in mode 2 is written with P.
  EXPECT_LE(b.process(), 4) << e.reason();
  EXPECT_NE(std::string(query->getCondition().getExpression()).find("*P"),
            std::string::npos);
  EXPECT_EQ(b.near(1), 8);  // one entry left on the stack
  EXPECT_EQ(itlQueryResetToDefault(b.query), 0);
  EXPECT_EQ(query->getCondition().getOperandCount(), 0);
  EXPECT_EQ(b.term("fig"), 0);
  EXPECT_EQ(b.term("olive"), 0);
  EXPECT_EQ(b.near(1), 0);
  EXPECT_EQ(b.term("grape"), 0);
  EXPECT_EQ(b.near(32), 0);
  EXPECT_EQ(itlQuerySetNewIndex(b.query, e.cased.search), 0);
  EXPECT_EQ(itlHandleDeleteQueryResult(&fresh), 0);

  ItlTyQueryHandle q = nullptr;
  EXPECT_EQ(itlHandleNewQuery(e.plain.search, "zz", 1208, &q), 8);
  EXPECT_EQ(e.reason(), 8);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(itlHandleDeleteQuery(&q), 0);
  EXPECT_EQ(itlHandleNewQuery(e.plain.search, "en_US", 4711, &q), 8);
  EXPECT_EQ(e.reason(), 10);
  EXPECT_EQ(itlHandleDeleteQuery(&q), 0);
  EXPECT_EQ(itlHandleDeleteQuery(&q), 16);
  EXPECT_EQ(itlHandleNewQuery(nullptr, "en_US", 1208, &q), 16);
  EXPECT_EQ(itlHandleNewQuery(e.plain.search, nullptr, 1208, &q), 8);
  EXPECT_EQ(itlQueryProcess(nullptr, nullptr, nullptr), 16);
}

}  // namespace
