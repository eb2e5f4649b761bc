// cos_stringmatch.cpp: substring search and wildcard matcher (contracts in
// cos_stringmatch.hpp).
//
// Horspool: the pattern (length m) is aligned with the text and compared
// from its last byte backwards; on a mismatch the window moves by the shift
// of the text byte under the pattern's last position, which is m - 1 - i
// for the last i < m - 1 holding that byte, else m. When case is ignored the
// table is built from the upper-cased pattern and looked up with the
// upper-cased text byte, so that no shift jumps over a match that differs
// only in case.
#include "cos_stringmatch.hpp"

#include <cctype>
#include <cstring>

#include "cos_memmgr.hpp"
#include "cos_string.hpp"

namespace {

inline unsigned char upperByte(char c) {
    return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
}

}  // namespace

CosClStringSearch::CosClStringSearch(char const* pattern, bool ignoreCase)
    : CosClStringMatchABase(pattern, ignoreCase), iv_auiShift() {
    uint32_t m = static_cast<uint32_t>(std::strlen(pattern));
    if (ignoreCase) {
        char* copy = static_cast<char*>(CosClMemoryManager::allocate(m + 1));
        std::memcpy(copy, pattern, m + 1);
        iv_pszPattern = strupr(copy);
    }
    for (uint32_t& shift : iv_auiShift) shift = m;
    auto bytes = reinterpret_cast<unsigned char const*>(iv_pszPattern);
    for (uint32_t i = 0; i + 1 < m; ++i) iv_auiShift[bytes[i]] = m - 1 - i;
}

CosClStringSearch::~CosClStringSearch() {
    if (iv_bFlag) CosClMemoryManager::free(const_cast<char*>(iv_pszPattern));
}

char const* CosClStringSearch::getPattern(char const* text) {
    return getPattern(text, static_cast<unsigned>(std::strlen(text)));
}

char const* CosClStringSearch::getPattern(char const* text, unsigned length) {
    uint32_t const m = iv_auiShift[0];
    auto pattern = reinterpret_cast<unsigned char const*>(iv_pszPattern);
    auto bytes = reinterpret_cast<unsigned char const*>(text);
    if (m == 0) return text;
    for (uint64_t start = 0; start + m <= length;) {
        uint32_t i = m;
        while (i > 0) {
            unsigned char c = bytes[start + i - 1];
            if (iv_bFlag) c = upperByte(static_cast<char>(c));
            if (c != pattern[i - 1]) break;
            --i;
        }
        if (i == 0) return text + start;
        unsigned char last = bytes[start + m - 1];
        if (iv_bFlag) last = upperByte(static_cast<char>(last));
        start += iv_auiShift[last];
    }
    return nullptr;
}

char const* CosClStringMatchWildcards::getPattern(char const* text) {
    return cosMatchesWildcardPattern(iv_pszPattern, text, iv_bFlag) ? text : nullptr;
}
