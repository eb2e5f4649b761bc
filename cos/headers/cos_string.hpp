// cos_string.hpp: byte-string routines shared by the whole system.
//
// Case-insensitive comparison and search, counting and copying up to a stop
// character, numbers written as decimal text, and whole-string wildcard
// matching of file names. Every routine works on the bytes of
// zero-terminated strings; case folding is the standard toupper/tolower of
// the current locale, applied to each byte as an unsigned char. Nothing here
// allocates, throws or reports an error: "not found" is a null result.
//
// The comparison functions keep their traditional unmangled names because
// other libraries call them by those names.
#ifndef COS_STRING_HPP
#define COS_STRING_HPP

#include <cstdint>

extern "C" {

// Converts `s` in place to upper / lower case and returns `s`.
// REQUIRES: s is a zero-terminated string.
char* strupr(char* s);
char* strlwr(char* s);

// Compares toupper() of the characters of `a` and `b`. Returns 0 when equal,
// else the difference of the upper-cased bytes (as unsigned char) at the
// first difference; a string that ends first compares lower.
int strcmpi(char const* a, char const* b);

// Compares at most `n` characters after tolower(), stopping after the
// terminator of `a`. Returns the difference of the lower-cased bytes at the
// stop; n == 0 gives 0.
int strncmpi(char const* a, char const* b, unsigned n);

// Compares `n` bytes; bytes that differ are compared again after tolower().
// Returns the difference of the first pair that still differs, else 0.
int memicmp(void const* a, void const* b, unsigned n);

}  // extern "C"

// First occurrence of `pattern` in `text`, or null. Without `ignoreCase` this
// is strstr(); with it, the first position from which every character of
// `pattern` equals that of `text` after tolower(). An empty pattern is found
// at the start of `text`.
char const* cosStrFind(char const* text, char const* pattern, bool ignoreCase);

// Number of occurrences of `c` in `s` (0 for an empty string; c == '\0'
// counts nothing).
unsigned cosStrCount(char const* s, char c);

// Copies the characters of `src` up to (not including) the first `stop` or
// the end, terminates `dst` and returns the number of characters copied.
// REQUIRES: dst has room for that many characters and the terminator.
unsigned cosStrCopyUntil(char* dst, char const* src, char stop);

// Numbers to decimal text. Each writes into `buffer`, terminates it and
// returns the number of characters written, sign included. Negative values
// get a leading "-" (the most negative value is written correctly); 0 is
// "0". A buffer of 21 bytes (COS_NUMTEXT_MAX) holds every result.
constexpr unsigned COS_NUMTEXT_MAX = 21;
unsigned cosItoa(int value, char* buffer);
unsigned cosLtoa(int32_t value, char* buffer);
unsigned cosI64toa(int64_t value, char* buffer);
unsigned cosULtoa(uint32_t value, char* buffer);
unsigned cosW64toa(uint64_t value, char* buffer);

// True when the whole `text` matches the whole `pattern`. "*" matches any
// run of characters (also none), "?" exactly one character, every other
// pattern character itself: exactly when `caseSensitive`, else after
// toupper() on both sides. There is no escape character and no character
// class; an empty pattern matches only an empty text.
bool cosMatchesWildcardPattern(char const* pattern, char const* text,
                               bool caseSensitive);

#endif  // COS_STRING_HPP
