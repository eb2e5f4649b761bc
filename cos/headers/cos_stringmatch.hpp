// cos_stringmatch.hpp: string matchers behind one interface.
//
// A matcher is built from a pattern and answers getPattern(text): where the
// pattern occurs in `text`, or null. Three kinds:
//   CosClStringSearch          substring search (Horspool), optionally
//                              ignoring case;
//   CosClStringMatchWildcards  whole-text wildcard match ("*", "?");
//   CosClGrep                  POSIX regular expression (cos_grep.hpp).
// The pattern text is not copied (except the upper-cased copy of a
// case-insensitive search): it must outlive the matcher. Matchers are not
// copyable.
#ifndef COS_STRINGMATCH_HPP
#define COS_STRINGMATCH_HPP

#include <cstdint>

class CosClStringMatchABase {
  public:
    CosClStringMatchABase(char const* pattern, bool flag)
        : iv_pszPattern(pattern), iv_bFlag(flag) {}
    virtual ~CosClStringMatchABase() = default;
    CosClStringMatchABase(CosClStringMatchABase const&) = delete;
    CosClStringMatchABase& operator=(CosClStringMatchABase const&) = delete;

    // Where the pattern occurs in `text`, or null.
    // REQUIRES: text is a zero-terminated string.
    virtual char const* getPattern(char const* text) = 0;

    char const* getPatternText() const { return iv_pszPattern; }

  protected:
    char const* iv_pszPattern;  // not owned (see CosClStringSearch)
    bool iv_bFlag;              // meaning set by each matcher
};

// Substring search by Horspool's method. With `ignoreCase` the pattern is
// replaced by an upper-cased copy (allocated through the memory manager and
// owned by the object) and text bytes are upper-cased as they are compared;
// the flag is then true.
class CosClStringSearch : public CosClStringMatchABase {
  public:
    // Throws CosClExceptionFatal when the case-insensitive copy cannot be
    // allocated.
    CosClStringSearch(char const* pattern, bool ignoreCase);
    ~CosClStringSearch() override;

    // First occurrence in `text`; getPattern(text, strlen(text)).
    char const* getPattern(char const* text) override;
    // First occurrence that lies wholly within the first `length` bytes of
    // `text`, or null. An empty pattern is found at `text`.
    char const* getPattern(char const* text, unsigned length);

  private:
    // Shift of the window for each byte value under the pattern's last
    // position; entry 0 (a byte no pattern holds) is the pattern length.
    uint32_t iv_auiShift[256];
};

// Whole-text wildcard match: getPattern(text) is `text` when it matches the
// whole pattern (cosMatchesWildcardPattern), else null. The flag is the
// case-sensitivity flag (true compares exactly).
class CosClStringMatchWildcards : public CosClStringMatchABase {
  public:
    CosClStringMatchWildcards(char const* pattern, bool caseSensitive)
        : CosClStringMatchABase(pattern, caseSensitive) {}
    char const* getPattern(char const* text) override;
};

#endif  // COS_STRINGMATCH_HPP
