// cos_grep.cpp: regular-expression matcher (contracts in cos_grep.hpp).
//
// Only REG_NOTBOL and REG_NOTEOL are handed to regexec(): the platform
// refuses execution flags it does not know, and NO_MATCH_POSITION is ours.
#include "cos_grep.hpp"


CosClGrep::CosClGrep(char const* pattern, bool ignoreCase)
    : CosClStringMatchABase(pattern, ignoreCase), iv_iCompileResult(-1),
      iv_bNoSubexpressions(false), iv_regex() {
    compile(REG_EXTENDED | (ignoreCase ? REG_ICASE : 0));
}

CosClGrep::CosClGrep(int compileFlags, char const* pattern)
    : CosClStringMatchABase(pattern, (compileFlags & REG_ICASE) != 0),
      iv_iCompileResult(-1), iv_bNoSubexpressions(false), iv_regex() {
    compile(compileFlags);
}

void CosClGrep::compile(int compileFlags) {
    iv_bNoSubexpressions = (compileFlags & REG_NOSUB) != 0;
    iv_iCompileResult = ::regcomp(&iv_regex, iv_pszPattern, compileFlags);
}

CosClGrep::~CosClGrep() {
    if (iv_iCompileResult == 0) ::regfree(&iv_regex);
}

char const* CosClGrep::getPattern(char const* text) {
    return getPattern(text, 0);
}

char const* CosClGrep::getPattern(char const* text, int executionFlags) {
    if (iv_iCompileResult != 0) return nullptr;
    int const platformFlags = executionFlags & (REG_NOTBOL | REG_NOTEOL);
    if ((executionFlags & NO_MATCH_POSITION) != 0 || iv_bNoSubexpressions) {
        return ::regexec(&iv_regex, text, 0, nullptr, platformFlags) == 0 ? text
                                                                          : nullptr;
    }
    regmatch_t match[1];
    if (::regexec(&iv_regex, text, 1, match, platformFlags) != 0) return nullptr;
    return text + match[0].rm_so;
}
