// query_test_util.hpp -- helpers of the query-text tests: code pages, the
// translation of a text with its releases, tokenizing one token, and a
// readable form of a postfix array.
#ifndef QUERY_TEST_UTIL_HPP
#define QUERY_TEST_UTIL_HPP

#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_normline.hpp"
#include "calls/voz_token_query.hpp"
#include "calls/voz_translate.hpp"

namespace qtest {

inline VOZ_CPINFO cpinfo(uint8_t code) {
    VOZ_CPINFO cp{};
    cp.code = code;
    vozCHsetCPInfo(&cp);
    return cp;
}

inline std::string codes(const GTRSTATUS& st) {
    return std::to_string(st.retcode) + "/" + std::to_string(st.errcode);
}

// The text of an operand: units turned back into text ('W', 'E'), the
// bytes themselves ('B').
inline std::string wordText(VOZ_CPINFO cp, const RTRVWORD& w) {
    if (w.wordp == nullptr || w.wordlen <= 0) return "";
    if (w.type == 'B')
        return std::string(reinterpret_cast<const char*>(w.wordp),
                           static_cast<size_t>(w.wordlen));
    char out[4096];
    int32_t len = 0;
    GTRSTATUS st{};
    vozUnnormalizeLine(cp, w.wordp, w.wordlen, reinterpret_cast<uint8_t*>(out),
                       sizeof out, &len, 0, &st);
    // Letters come back folded; the tests write them in lower case.
    std::string text(out, static_cast<size_t>(len));
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// One element: "W:alpha", "B:f.txt", "D", "E:red", "F", or an operator as
// "AND(2)", "DIST5S(2)", "PROX P(2)", "GROUP(1)".
inline std::string describe(VOZ_CPINFO cp, const PFELEMENT& e) {
    if (e.kind == VOZ_PF_TERM) {
        const RTRVWORD& w = e.winfoX.wi;
        if (w.type == 'D' || w.type == 'F') return std::string(1, w.type);
        return std::string(1, w.type) + ":" + wordText(cp, w);
    }
    std::string s;
    switch (e.kind) {
    case VOZ_PF_OR: s = "OR"; break;
    case VOZ_PF_AND: s = "AND"; break;
    case VOZ_PF_DISTANCE: s = "DIST" + std::to_string(e.Operator.op_dlmno); break;
    case VOZ_PF_NOT: s = "NOT"; break;
    case VOZ_PF_SPECIAL_NOT: s = "SNOT"; break;
    case VOZ_PF_PROXIMITY: s = std::string("PROX") + e.Operator.op; break;
    case VOZ_PF_GROUP: s = "GROUP"; break;
    case VOZ_PF_REMOVED: return "X";
    default: s = "K" + std::to_string(e.kind); break;
    }
    if (e.mode != 0) s += e.mode;
    return s + "(" + std::to_string(e.opnum) + ")";
}

inline std::string describe(VOZ_CPINFO cp, const PFELEMENT* a, int32_t n) {
    std::string s;
    for (int32_t i = 0; i < n; ++i) s += (i ? " " : "") + describe(cp, a[i]);
    return s;
}

// One translation of query text (mixed when `mixed`), released at the end.
struct Translation {
    VOZ_CPINFO cp;
    uint8_t* queryBuf = nullptr;
    uint8_t* wordBuf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    int32_t purpose = 0;
    GTRSTATUS st{};
    QUERYWORK work{};
    Translation(const char* text, uint8_t code = 34, bool mixed = false,
                const RTRVRANK* rank = nullptr)
        : cp(cpinfo(code)) {
        if (mixed)
            purpose = vozTranslateCond_MixQuery(cp, text, &queryBuf, &wordBuf,
                                                &pf, &n, nullptr, rank, &work,
                                                &st);
        else
            vozTranslateCond_Query(cp, text, &queryBuf, &pf, &n, nullptr, rank,
                                   &work, &st);
    }
    ~Translation() {
        vozTranslateCond_MixQuery_Term(queryBuf, wordBuf, pf, n);
        vozQueryWorkTerm(&work);
    }
    Translation(const Translation&) = delete;
    Translation& operator=(const Translation&) = delete;
    std::string result() const {
        return st.retcode != 0 ? codes(st) : describe(cp, pf, n);
    }
    const RTRVWORD& word(int i = 0) const { return pf[i].winfoX.wi; }
};

// Normalised units of a text, followed by a zero unit.
inline std::vector<uint8_t> units(VOZ_CPINFO cp, const std::string& text) {
    int16_t w = vozCHlen(cp);
    std::vector<uint8_t> out((text.size() + 1) * w + 8, 0);
    int32_t len = 0;
    GTRSTATUS st{};
    vozNormalizeLine(cp, reinterpret_cast<const uint8_t*>(text.data()),
                     static_cast<int32_t>(text.size()), out.data(),
                     static_cast<int32_t>(out.size()) - 8, &len, VOZ_NORM_TEXT,
                     nullptr, &st);
    out.resize(static_cast<size_t>(len) + w);
    std::fill(out.begin() + len, out.end(), 0);
    return out;
}

}  // namespace qtest

#endif  // QUERY_TEST_UTIL_HPP
