// Shared set-up of the query tests: two indexes holding the query corpus
// (RespectCase OFF, and ON), their search handles, and a small builder
// that makes operands through the exported functions, adds them to a
// query and reads a processed list back as document names.
#ifndef TESTS_ITL_API_QUERY_ENV_HPP
#define TESTS_ITL_API_QUERY_ENV_HPP

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "itl_api.h"
#include "query_corpus.hpp"
#include "ti_test_util.hpp"

namespace qc {

inline std::string templateText(bool respectCase) {
  return std::string("[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ") +
         (respectCase ? "ON" : "OFF") + "\n[IndexV4]\nBlockMode = OFF\n";
}

// One index of the corpus with a search handle on it.
struct CorpusIndex {
  ItlTyIndexHandle index = nullptr;
  ItlTyIndexSearchHandle search = nullptr;
};

class Env {
 public:
  Env() {
    EXPECT_EQ(itlHandleNewErrorInfo(&ei), 0);
    EXPECT_EQ(itlHandleNewContext(&ctx, ei), 0);
    plain = make("plain", false);
    cased = make("cased", true);
  }
  ~Env() {
    for (CorpusIndex* c : {&plain, &cased}) {
      itlHandleDeleteIndexSearch(&c->search);
      itlHandleDeleteIndex(&c->index);
    }
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }

  TempDir dir{"api_query", fastTempParent()};
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  CorpusIndex plain;   // RespectCase OFF
  CorpusIndex cased;   // RespectCase ON

 private:
  CorpusIndex make(char const* name, bool respectCase) {
    CorpusIndex c;
    std::string templ = dir / (std::string(name) + ".ini.t");
    EXPECT_TRUE(writeFile(templ, templateText(respectCase)));
    std::string directory = dir.path();
    EXPECT_EQ(itlHandleNewIndex(ctx, name, directory.c_str(), &c.index), 0);
    EXPECT_EQ(itlIndexSetWorkingDirectory(c.index, directory.c_str()), 0);
    EXPECT_EQ(itlIndexCreate(c.index, templ.c_str()), 0) << reason();
    addCorpus(*itlApiIndex(c.index), corpus());
    EXPECT_EQ(itlHandleNewIndexSearch(c.index, &c.search), 0) << reason();
    return c;
  }
};

// Builds one query through the exported functions.
class Builder {
 public:
  Builder(Env& env, CorpusIndex& index, char const* language = "en_US",
          uint16_t ccsid = 1208)
      : iv_rEnv(env), iv_rIndex(index) {
    EXPECT_EQ(itlHandleNewQuery(index.search, language, ccsid, &query), 0)
        << env.reason();
  }
  ~Builder() {
    if (list != nullptr) itlHandleDeleteList(&list);
    if (result != nullptr) itlHandleDeleteQueryResult(&result);
    if (query != nullptr) itlHandleDeleteQuery(&query);
  }
  Builder(Builder const&) = delete;
  Builder& operator=(Builder const&) = delete;

  // A term with optional fields, masks ("?" single, "*" multiple) and case
  // rule (-1 the index's); returns the add's return code.
  int term(std::string const& word, std::vector<std::string> fields = {},
           bool masks = false, int respectCase = -1) {
    ItlTySearchStringHandle string = nullptr;
    EXPECT_EQ(itlHandleNewSearchString(word.data(),
                                       static_cast<unsigned>(word.size()),
                                       &string, iv_rEnv.ctx),
              0);
    if (masks) {
      EXPECT_EQ(itlSearchStringSetMasks(string, "?", 1, "*", 1), 0);
    }
    if (respectCase >= 0) {
      EXPECT_EQ(itlSearchStringRespectCase(string, respectCase == 1), 0);
    }
    ItlTySearchTermHandle t = nullptr;
    EXPECT_EQ(itlHandleNewSearchTerm(string, &t, iv_rEnv.ctx), 0);
    // The engine reads mask characters as masks only when they are
    // preferred; otherwise they stand for themselves.
    if (masks) {
      EXPECT_EQ(itlSearchTermPreferMasks(t, true), 0);
    }
    for (size_t i = 0; i < fields.size(); ++i)
      EXPECT_LE(i == 0 ? itlSearchTermSetField(t, fields[i].c_str())
                       : itlSearchTermAddField(t, fields[i].c_str()),
                4);
    int rc = itlQueryAddSearchTerm(query, t);
    itlHandleDeleteSearchTerm(&t);
    itlHandleDeleteSearchString(&string);
    return rc;
  }
  int color(std::string const& value, char const* name = "color") {
    ItlTySearchStringHandle string = nullptr;
    EXPECT_EQ(itlHandleNewSearchString(value.data(),
                                       static_cast<unsigned>(value.size()),
                                       &string, iv_rEnv.ctx),
              0);
    ItlTyStringAttributeHandle a = nullptr;
    EXPECT_EQ(itlHandleNewStringAttribute(string, name, &a, iv_rEnv.ctx), 0);
    int rc = itlQueryAddStringAttribute(query, a);
    itlHandleDeleteStringAttribute(&a);
    itlHandleDeleteSearchString(&string);
    return rc;
  }
  int range(char const* name, ItlEnAttributeType type, std::string const& low,
            int lowComparison, std::string const& high, int highComparison) {
    ItlTyNumericAttributeConditionHandle c = nullptr;
    EXPECT_EQ(itlHandleNewNumericAttributeCondition(
                  name, type, low.data(), static_cast<unsigned>(low.size()),
                  static_cast<ItlEnAttributeComparison>(lowComparison),
                  high.data(), static_cast<unsigned>(high.size()),
                  static_cast<ItlEnAttributeComparison>(highComparison), &c,
                  iv_rEnv.ctx),
              0);
    int rc = itlQueryAddNumericAttributeCondition(query, c);
    itlHandleDeleteNumericAttributeCondition(&c);
    return rc;
  }
  int op(ItlEnOperator o, int mode = 0) {
    return itlQueryAddBooleanOperator(query, o,
                                      static_cast<ItlEnOperatorMode>(mode));
  }
  int near(uint16_t distance, int mode = 0) {
    return itlQueryAddProximityOperator(
        query, distance, static_cast<ItlEnOperatorMode>(mode));
  }

  // Processes into the builder's result (made on first use) and returns
  // the return code; the list (null or not) stays in `list`.
  int process() {
    if (result == nullptr) {
      EXPECT_EQ(itlHandleNewQueryResult(&result, iv_rEnv.ctx), 0);
    }
    if (list != nullptr) itlHandleDeleteList(&list);
    return itlQueryProcess(query, result, &list);
  }
  // The names of a list, in its order.
  std::vector<std::string> walk(ItlTyListHandle l) {
    std::vector<std::string> names;
    if (l == nullptr) return names;
    ItlTyIteratorHandle it = nullptr;
    EXPECT_EQ(itlHandleNewIterator(l, &it), 0);
    DocumentId id(iv_rIndex.index);
    for (bool ok = itlListIteratorIsValid(it); ok;
         ok = itlListIteratorSetToNext(it, 1)) {
      EXPECT_EQ(itlQueryResultElementObtainData(it, id.handle(), nullptr,
                                                nullptr, nullptr),
                0);
      names.push_back(id.name());
    }
    EXPECT_EQ(itlHandleDeleteIterator(&it), 0);
    return names;
  }
  // Processes and returns the names found (sorted); `rc` the return code.
  Names run(int* rc = nullptr) {
    int code = process();
    if (rc != nullptr) {
      *rc = code;
    } else {
      EXPECT_LE(code, 4) << iv_rEnv.reason();
    }
    std::vector<std::string> names = walk(list);
    return Names(names.begin(), names.end());
  }

  ItlTyQueryHandle query = nullptr;
  ItlTyQueryResultHandle result = nullptr;
  ItlTyListHandle list = nullptr;

 private:
  Env& iv_rEnv;
  CorpusIndex& iv_rIndex;
};

// The environment shared by the tests of one program: made on first use
// and freed (its index directory removed) when the tests end.
inline Env& sharedEnv() {
  static Env* env = nullptr;
  if (env == nullptr) {
    struct Release : ::testing::Environment {
      Env** slot;
      explicit Release(Env** s) : slot(s) {}
      void TearDown() override {
        delete *slot;
        *slot = nullptr;
      }
    };
    env = new Env();
    ::testing::AddGlobalTestEnvironment(new Release(&env));
  }
  return *env;
}

}  // namespace qc

#endif  // TESTS_ITL_API_QUERY_ENV_HPP
