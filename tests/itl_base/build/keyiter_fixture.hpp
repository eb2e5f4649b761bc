// Test support for the key and position iterators: indexes built from text
// through the update calls (documents, appends, deletions), the text
// sub-index opened for search, and a walk over every key of a half.
// Header-only.
#ifndef TESTS_ITL_BASE_BUILD_KEYITER_FIXTURE_HPP
#define TESTS_ITL_BASE_BUILD_KEYITER_FIXTURE_HPP

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "build/voz_keyiter.hpp"
#include "calls/gtrcreate_fixture.hpp"
#include "search/voz_search.hpp"

namespace iterfix {

// Indexes `docs` (document number -> text): a new index ('N') or an
// append ('A').
inline void index(gtrfix::Env& env, const std::map<int32_t, std::string>& docs,
                  char op = 'N') {
    env.init(gtrfix::HParm(), op);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    for (const auto& [d, text] : docs) {
        int32_t start = 0;
        env.doc(text, d, &start);
        ASSERT_EQ(env.st.retcode, 0) << "doc " << d << ": " << env.st.errcode;
    }
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
}

// Deletes documents through an update cycle.
inline void remove(gtrfix::Env& env, std::vector<int32_t> ids) {
    env.init(gtrfix::HParm(), 'A');
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    GTRdeleteDocs(env.h, static_cast<int32_t>(ids.size()), ids.data(), nullptr,
                  &env.st);
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
    env.finish();
    ASSERT_EQ(env.st.retcode, 0) << env.st.errcode;
}

// The text sub-index of the fixture's index, opened for search.
struct Open {
    VOZSEARCH* h = nullptr;
    GTRCREATEPARM parm{};
    GTRSTATUS st{};
    explicit Open(const gtrfix::Env& env) {
        GTRCREATEPARM item{};
        VOZ_SearchOpen_(&h, "idx", env.out.c_str(), "KPLQ", "MRNS", "Full",
                        "Item", nullptr, &parm, &item, VOZ_HALF_TEXT, &st, 0);
    }
    ~Open() {
        GTRSTATUS s{};
        VOZ_SearchRelease(&h, &s);
    }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
};

// One key as the iterator reports it.
struct Key {
    int32_t rec;
    char kind;
    std::string text;
    int32_t docs;
};

inline std::string keyText(KEYITERATOR* it, GTRSTATUS& st) {
    uint8_t buf[1024];
    int32_t len = 0;
    VOZ_GetKeyString(it, buf, sizeof buf, &len, &st);
    return std::string(reinterpret_cast<char*>(buf), static_cast<size_t>(len));
}

// Every key from the iterator's current position to its end.
inline std::vector<Key> walk(KEYITERATOR* it, GTRSTATUS& st) {
    std::vector<Key> keys;
    while (VOZ_HasMoreKeys(it) && st.retcode == 0) {
        int32_t r = VOZ_GetNextKey(it, &st);
        keys.push_back({r, static_cast<char>(VOZ_GetKeyType(it)),
                        keyText(it, st), VOZ_GetDocumentCount(it)});
    }
    return keys;
}

// The record number of the variable key `word` in the walk, -1000 if none.
inline int32_t recordOf(const std::vector<Key>& keys, const std::string& word) {
    for (const Key& k : keys)
        if (k.kind == VOZ_KIND_VAR && k.text == word) return k.rec;
    return -1000;
}

}  // namespace iterfix

#endif  // TESTS_ITL_BASE_BUILD_KEYITER_FIXTURE_HPP
