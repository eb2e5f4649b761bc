// Fuzz target of queries: the input's bytes build a query through the
// exported functions (term bytes, CCSIDs, languages, masks, fields,
// attribute values as text, operators and proximity distances), set the
// options of a query result, process the query on a small fixed index and
// walk the list. No call may crash or leak; every call answers 0, 4, 8 or
// 16; every element read is a document of the corpus.
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <set>
#include <string>

#include "../itl_api/query_corpus.hpp"
#include "fuzz_input.hpp"
#include "itl_api.h"

namespace {

void checkCode(int rc) { FUZZ_CHECK(rc == 0 || rc == 4 || rc == 8 || rc == 16); }

// The corpus' first documents in an index made once per process.
struct FixedIndex {
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;
  ItlTyIndexSearchHandle search = nullptr;
  std::set<std::string> names;
  std::string dir;

  FixedIndex() {
    char pattern[] = "/tmp/query_fuzz_XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern) != nullptr);
    dir = pattern;
    itlHandleNewErrorInfo(&ei);
    itlHandleNewContext(&ctx, ei);
    std::string templ = dir + "/t.ini";
    FILE* f = std::fopen(templ.c_str(), "w");
    FUZZ_CHECK(f != nullptr);
    std::string text =
        "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = OFF\n"
        "[IndexV4]\nBlockMode = OFF\n";
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    FUZZ_CHECK(itlHandleNewIndex(ctx, "fz", dir.c_str(), &index) == 0);
    FUZZ_CHECK(itlIndexSetWorkingDirectory(index, dir.c_str()) == 0);
    FUZZ_CHECK(itlIndexCreate(index, templ.c_str()) == 0);
    std::vector<qc::Doc> docs(qc::corpus().begin(), qc::corpus().begin() + 26);
    qc::addCorpus(*itlApiIndex(index), docs);
    for (qc::Doc const& d : docs) names.insert(d.name);
    FUZZ_CHECK(itlHandleNewIndexSearch(index, &search) == 0);
  }
  ~FixedIndex() {
    itlHandleDeleteIndexSearch(&search);
    if (index != nullptr) itlIndexDestroy(index);
    itlHandleDeleteIndex(&index);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
    std::string command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0) std::perror("rm");
  }
};

FixedIndex& fixed() {
  static FixedIndex f;
  return f;
}

char const* const kLanguages[] = {"en_US", "de_DE", "th_TH", "zz", "ja_JP"};
uint16_t const kCCSIDs[] = {1208, 0, 819, 13488, 1200, 37, 4711};
char const* const kNames[] = {"title", "body", "chapter", "para", "nofield",
                              "price", "published", "color"};

std::string name(FuzzInput& in) {
  if (in.flag()) return kNames[in.below(8)];
  std::string s = in.take(1 + in.below(6));
  return s.empty() ? "x" : std::string(s.c_str());  // up to a NUL
}

ItlTySearchStringHandle searchString(FuzzInput& in, ItlTyContextHandle ctx) {
  std::string value = in.take(1 + in.below(12));
  if (value.empty()) value = "a";
  ItlTySearchStringHandle s = nullptr;
  checkCode(itlHandleNewSearchString(value.data(),
                                     static_cast<unsigned>(value.size()), &s,
                                     ctx));
  if (s == nullptr) return nullptr;
  if (in.flag())
    checkCode(itlSearchStringSetCCSIDAndLanguage(
        s, kCCSIDs[in.below(7)], kLanguages[in.below(5)]));
  if (in.flag()) {
    std::string single = in.take(1 + in.below(2));
    std::string multi = in.take(1 + in.below(2));
    checkCode(itlSearchStringSetMasks(
        s, single.data(), static_cast<unsigned>(single.size()), multi.data(),
        static_cast<unsigned>(multi.size())));
  }
  if (in.flag()) checkCode(itlSearchStringRespectCase(s, in.flag()));
  return s;
}

void addOperand(FuzzInput& in, FixedIndex& fx, ItlTyQueryHandle q) {
  switch (in.below(4)) {
    case 0:
    case 1: {
      ItlTySearchStringHandle s = searchString(in, fx.ctx);
      if (s == nullptr) return;
      ItlTySearchTermHandle t = nullptr;
      checkCode(itlHandleNewSearchTerm(s, &t, fx.ctx));
      if (t != nullptr) {
        if (in.flag()) checkCode(itlSearchTermSetField(t, name(in).c_str()));
        if (in.flag()) checkCode(itlSearchTermAddField(t, name(in).c_str()));
        if (in.flag())
          checkCode(itlSearchTermSetFieldWeight(
              t, name(in).c_str(), static_cast<ItlTyRankWeight>(in.below(200))));
        if (in.flag()) checkCode(itlSearchTermPreferMasks(t, true));
        if (in.flag())
          checkCode(itlSearchTermSetWeight(
              t, static_cast<ItlTyRankWeight>(in.below(100))));
        checkCode(itlQueryAddSearchTerm(q, t));
        itlHandleDeleteSearchTerm(&t);
      }
      itlHandleDeleteSearchString(&s);
      break;
    }
    case 2: {
      ItlTySearchStringHandle s = searchString(in, fx.ctx);
      if (s == nullptr) return;
      ItlTyStringAttributeHandle a = nullptr;
      checkCode(itlHandleNewStringAttribute(s, name(in).c_str(), &a, fx.ctx));
      if (a != nullptr) checkCode(itlQueryAddStringAttribute(q, a));
      itlHandleDeleteStringAttribute(&a);
      itlHandleDeleteSearchString(&s);
      break;
    }
    default: {
      std::string low = in.take(1 + in.below(12));
      std::string high = in.take(1 + in.below(12));
      if (low.empty()) low = "1";
      if (high.empty()) high = "9";
      ItlTyNumericAttributeConditionHandle c = nullptr;
      checkCode(itlHandleNewNumericAttributeCondition(
          name(in).c_str(),
          static_cast<ItlEnAttributeType>(100000 + in.below(4)), low.data(),
          static_cast<unsigned>(low.size()),
          static_cast<ItlEnAttributeComparison>(in.below(5)), high.data(),
          static_cast<unsigned>(high.size()),
          static_cast<ItlEnAttributeComparison>(in.below(5)), &c, fx.ctx));
      if (c != nullptr) {
        if (in.flag())
          checkCode(itlNumericAttributeConditionSetCCSIDAndLanguage(
              c, kCCSIDs[in.below(7)], kLanguages[in.below(5)]));
        checkCode(itlQueryAddNumericAttributeCondition(q, c));
      }
      itlHandleDeleteNumericAttributeCondition(&c);
      break;
    }
  }
}

void walk(FixedIndex& fx, ItlTyListHandle list, FuzzInput& in) {
  if (list == nullptr) return;
  ItlTyIteratorHandle it = nullptr;
  checkCode(itlHandleNewIterator(list, &it));
  if (it == nullptr) return;
  qc::DocumentId id(fx.index);
  for (bool ok = itlListIteratorIsValid(it); ok;
       ok = itlListIteratorSetToNext(it, 1 + (in.flag() ? 1 : 0))) {
    int32_t count = 0;
    double rank = 0, score = 0;
    int rc = itlQueryResultElementObtainData(it, id.handle(), &count, &rank,
                                             &score);
    checkCode(rc);
    if (rc <= 4) FUZZ_CHECK(fx.names.count(id.name()) == 1);
  }
  checkCode(itlHandleDeleteIterator(&it));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FixedIndex& fx = fixed();
  FuzzInput in(data, size);
  ItlTyQueryHandle q = nullptr;
  checkCode(itlHandleNewQuery(fx.search, kLanguages[in.below(5)],
                              kCCSIDs[in.below(7)], &q));
  if (q == nullptr) return 0;
  ItlTyQueryResultHandle result = nullptr;
  checkCode(itlHandleNewQueryResult(&result, fx.ctx));
  for (int steps = 0; steps < 40 && in.left() > 0; ++steps) {
    switch (in.below(10)) {
      case 0:
      case 1:
      case 2:
        addOperand(in, fx, q);
        break;
      case 3:
      case 4:
        checkCode(itlQueryAddBooleanOperator(
            q, static_cast<ItlEnOperator>(in.below(5)),
            static_cast<ItlEnOperatorMode>(in.below(3))));
        break;
      case 5:
        checkCode(itlQueryAddProximityOperator(
            q, static_cast<ItlTySegmentIndicator>(in.below(40)),
            static_cast<ItlEnOperatorMode>(in.below(3))));
        break;
      case 6:
        checkCode(itlQueryResultSetLimit(result, in.below(20)));
        checkCode(itlQueryResultSetDocCountByTerm(result, in.flag()));
        checkCode(itlQueryResultSetDataForm(
            result, static_cast<ItlEnResultDataForm>(in.below(2))));
        break;
      case 7:
        checkCode(itlQuerySetProcessingThreshold(
            q, in.below(50), static_cast<ItlEnThresholdUnit>(in.below(3))));
        checkCode(itlQueryDoRank(q, in.flag(),
                                 static_cast<ItlEnRankFormula>(in.below(9))));
        break;
      case 8: {
        ItlTyListHandle list = nullptr;
        checkCode(itlQueryProcess(q, result, &list));
        walk(fx, list, in);
        if (list != nullptr) checkCode(itlHandleDeleteList(&list));
        if (in.flag()) checkCode(itlQuerySetScope(q, result));
        break;
      }
      default:
        checkCode(itlQueryResetToDefault(q));
        break;
    }
  }
  ItlTyListHandle list = nullptr;
  checkCode(itlQueryProcess(q, result, &list));
  walk(fx, list, in);
  if (list != nullptr) checkCode(itlHandleDeleteList(&list));
  // The scope may point at this result: the query goes first.
  checkCode(itlHandleDeleteQuery(&q));
  checkCode(itlHandleDeleteQueryResult(&result));
  return 0;
}
