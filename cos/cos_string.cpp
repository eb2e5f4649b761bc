// cos_string.cpp: case-insensitive comparison and search, numbers as text
// and wildcard matching (declarations and contracts in cos_string.hpp).
//
// Every byte goes through toupper/tolower as an unsigned char, so bytes
// above 0x7F never reach the <cctype> functions as negative values and
// differences follow the unsigned byte order.
#include "cos_string.hpp"

#include <cctype>
#include <cstring>

namespace {

inline int upperOf(char c) { return std::toupper(static_cast<unsigned char>(c)); }
inline int lowerOf(char c) { return std::tolower(static_cast<unsigned char>(c)); }

// Writes the decimal digits of `magnitude`, preceded by "-" when
// `negative`, into `buffer` and terminates it. Returns the length.
unsigned writeDecimal(uint64_t magnitude, bool negative, char* buffer) {
    char digits[20];  // 2^64 - 1 has 20 digits
    unsigned count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    unsigned length = 0;
    if (negative) buffer[length++] = '-';
    while (count > 0) buffer[length++] = digits[--count];
    buffer[length] = '\0';
    return length;
}

inline bool sameChar(char patternChar, char textChar, bool caseSensitive) {
    return caseSensitive ? patternChar == textChar
                         : upperOf(patternChar) == upperOf(textChar);
}

}  // namespace

extern "C" {

char* strupr(char* s) {
    for (char* p = s; *p != '\0'; ++p) *p = static_cast<char>(upperOf(*p));
    return s;
}

char* strlwr(char* s) {
    for (char* p = s; *p != '\0'; ++p) *p = static_cast<char>(lowerOf(*p));
    return s;
}

int strcmpi(char const* a, char const* b) {
    for (;; ++a, ++b) {
        int ca = upperOf(*a), cb = upperOf(*b);
        if (ca != cb || *a == '\0') return ca - cb;
    }
}

int strncmpi(char const* a, char const* b, unsigned n) {
    for (unsigned i = 0; i < n; ++i) {
        int ca = lowerOf(a[i]), cb = lowerOf(b[i]);
        if (ca != cb || a[i] == '\0' || i + 1 == n) return ca - cb;
    }
    return 0;
}

int memicmp(void const* a, void const* b, unsigned n) {
    auto pa = static_cast<unsigned char const*>(a);
    auto pb = static_cast<unsigned char const*>(b);
    for (unsigned i = 0; i < n; ++i) {
        if (pa[i] == pb[i]) continue;
        int ca = std::tolower(pa[i]), cb = std::tolower(pb[i]);
        if (ca != cb) return ca - cb;
    }
    return 0;
}

}  // extern "C"

char const* cosStrFind(char const* text, char const* pattern, bool ignoreCase) {
    if (!ignoreCase) return std::strstr(text, pattern);
    // Every start position is tried, so a partial match that fails never
    // hides a match that begins inside it ("ab" in "aAb" is at offset 1).
    for (char const* start = text;; ++start) {
        unsigned i = 0;
        while (pattern[i] != '\0' && lowerOf(start[i]) == lowerOf(pattern[i])) ++i;
        if (pattern[i] == '\0') return start;
        if (*start == '\0') return nullptr;
    }
}

unsigned cosStrCount(char const* s, char c) {
    unsigned count = 0;
    if (c == '\0') return 0;
    for (; *s != '\0'; ++s) count += (*s == c);
    return count;
}

unsigned cosStrCopyUntil(char* dst, char const* src, char stop) {
    unsigned n = 0;
    for (; src[n] != '\0' && src[n] != stop; ++n) dst[n] = src[n];
    dst[n] = '\0';
    return n;
}

unsigned cosItoa(int value, char* buffer) {
    return cosI64toa(value, buffer);
}

unsigned cosLtoa(int32_t value, char* buffer) {
    return cosI64toa(value, buffer);
}

unsigned cosI64toa(int64_t value, char* buffer) {
    // Negate in unsigned arithmetic so that INT64_MIN keeps its magnitude.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value)
                                   : static_cast<uint64_t>(value);
    return writeDecimal(magnitude, value < 0, buffer);
}

unsigned cosULtoa(uint32_t value, char* buffer) {
    return writeDecimal(value, false, buffer);
}

unsigned cosW64toa(uint64_t value, char* buffer) {
    return writeDecimal(value, false, buffer);
}

// Walks pattern and text together. At a "*" the position after the star and
// the text position are remembered; when a later literal or "?" fails, the
// star is made to swallow one more text character and the walk resumes from
// there. Only the last star needs to be retried: anything an earlier star
// could swallow, the later star can swallow as well. This gives the same
// answer as trying every split recursively, in at most
// strlen(pattern) * strlen(text) steps.
bool cosMatchesWildcardPattern(char const* pattern, char const* text,
                               bool caseSensitive) {
    char const* p = pattern;
    char const* t = text;
    char const* starPattern = nullptr;  // pattern position after the last "*"
    char const* starText = nullptr;     // text position that star resumes at
    while (*t != '\0') {
        if (*p == '*') {
            starPattern = ++p;
            starText = t;
        } else if (*p != '\0' && (*p == '?' || sameChar(*p, *t, caseSensitive))) {
            ++p;
            ++t;
        } else if (starPattern != nullptr) {
            p = starPattern;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == '\0';
}
