// cos_grep.hpp: regular-expression matcher over the platform's POSIX
// regcomp()/regexec().
//
// The expression is compiled once, at construction. A compilation that
// fails is recorded (getCompileResult() != 0) and the object then never
// matches: getPattern returns null without touching the uncompiled
// expression.
#ifndef COS_GREP_HPP
#define COS_GREP_HPP

#include <regex.h>

#include "cos_stringmatch.hpp"

class CosClGrep : public CosClStringMatchABase {
  public:
    // Execution flag: report only whether the text matches; getPattern then
    // returns `text` itself on a match instead of the match position.
    static constexpr int NO_MATCH_POSITION = 8;

    // Compiles `pattern` as an extended expression (REG_EXTENDED), with
    // REG_ICASE when `ignoreCase`.
    CosClGrep(char const* pattern, bool ignoreCase);
    // Compiles `pattern` with the given compile flags; the base flag tells
    // whether they include REG_ICASE.
    CosClGrep(int compileFlags, char const* pattern);
    ~CosClGrep() override;

    // Runs the expression on `text` with no execution flags: `text`
    // advanced to the start of the whole match, or null.
    char const* getPattern(char const* text) override;
    // The same with the given execution flags (REG_NOTBOL, REG_NOTEOL,
    // NO_MATCH_POSITION). With NO_MATCH_POSITION, or when the expression
    // was compiled with REG_NOSUB, a match returns `text` itself.
    char const* getPattern(char const* text, int executionFlags);

    // regcomp()'s result: 0 when the expression compiled.
    int getCompileResult() const { return iv_iCompileResult; }

  private:
    void compile(int compileFlags);

    int iv_iCompileResult;  // regcomp() result; iv_regex valid only when 0
    bool iv_bNoSubexpressions;  // compiled with REG_NOSUB
    regex_t iv_regex;
};

#endif  // COS_GREP_HPP
