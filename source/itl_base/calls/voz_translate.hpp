// voz_translate.hpp -- translation of search conditions given as numbered
// words, items or mixed entries joined by an order string, and of simple
// queries, into the postfix form (voz_postfix.hpp).
//
// Every translator writes all its out arguments, also on failure; the
// caller releases them with the matching release function, which accepts
// partial results and null pointers. Buffers returned:
//   order copy   a private NUL-terminated copy of the order string (the
//                order tokenizer writes into the string it reads)
//   word buffer  the normalised words and character-item values, packed;
//                the operands' wordp point into it
//   query buffer the simple query normalised into units, NUL-terminated;
//                its operands' wordp point into it
// Failures carry a retcode and an errcode in the status; the item
// translators report the item's index as errcode.
#ifndef VOZ_TRANSLATE_HPP
#define VOZ_TRANSLATE_HPP

#include <cstdint>

#include "calls/voz_postfix.hpp"

// Purpose codes: the sub-indexes a condition needs.
constexpr int32_t VOZ_PURPOSE_TEXT = 1;
constexpr int32_t VOZ_PURPOSE_ITEM = 2;
constexpr int32_t VOZ_PURPOSE_BOTH = 3;

// Numbered search words (`count` RTRVWORDs) joined by `order`.
void vozTranslateCond_Struct(VOZ_CPINFO cp, int32_t count, RTRVWORD* words,
                             const char* order, char** orderCopy,
                             uint8_t** wordBuf, PFELEMENT** pf,
                             int32_t* pfCount, const GTRCREATEPARM* cparm,
                             const RTRVRANK* rank, GTRSTATUS* gsp);

// Fills the operands of a word order string from the caller's words and
// normalises the 'W' words (mode 0xE0) into *wordBuf (null when empty).
void vozAdjustPF(PFELEMENT* pf, int32_t pfCount, RTRVWORD* words,
                 int32_t count, VOZ_CPINFO cp, uint8_t** wordBuf,
                 const GTRCREATEPARM* cparm, GTRSTATUS* gsp);

// Numbered item conditions joined by `order`.
void vozTranslateCond_Item(VOZ_CPINFO cp, int32_t count, SEARCHITEM* items,
                           const char* order, char** orderCopy,
                           uint8_t** wordBuf, PFELEMENT** pf, int32_t* pfCount,
                           const GTRCREATEPARM* cparm, const RTRVRANK* rank,
                           GTRSTATUS* gsp);

// Numbered mixed entries joined by `order`; returns the purpose code of the
// entries (as far as they were checked when it fails).
int32_t vozTranslateCond_Mix(VOZ_CPINFO cp, int32_t count, GTRSEARCHMIX* mix,
                             const char* order, char** orderCopy,
                             uint8_t** wordBuf, PFELEMENT** pf,
                             int32_t* pfCount, const GTRCREATEPARM* cparm,
                             const RTRVRANK* rank, GTRSTATUS* gsp);

// The purpose code of mixed entries only; 1 on failure (25/2596).
int32_t vozTranslateCond_Mix4Purpose(int32_t count, const GTRSEARCHMIX* mix,
                                     const char* order, GTRSTATUS* gsp);

// Blank-separated words (double quotes group, a doubled quote stands for
// one) joined by the operator of `opt`; no conversion runs. A text of
// blanks only has no word and fails like an empty one (25/2589).
void vozTranslateCond_Simple(VOZ_CPINFO cp, const char* text,
                             SIMPLERTRVOPT opt, uint8_t** queryBuf,
                             PFELEMENT** pf, int32_t* pfCount,
                             const GTRCREATEPARM* cparm, const RTRVRANK* rank,
                             GTRSTATUS* gsp);

// Query text (cond_type 2): normalised (mode 0xE0) into *queryBuf, which
// the words point into, and converted with vozIdentifyToken_Query. The
// arrays that options allocate are listed in *work (vozQueryWorkTerm frees
// them). Failures: 25/2581 no text, 25/2582 buffer, 25/2583 nothing left
// after normalisation, 25/2584 empty postfix form; tokenizer codes pass.
void vozTranslateCond_Query(VOZ_CPINFO cp, const char* text,
                            uint8_t** queryBuf, PFELEMENT** pf,
                            int32_t* pfCount, const GTRCREATEPARM* cparm,
                            const RTRVRANK* rank, QUERYWORK* work,
                            GTRSTATUS* gsp);

// Mixed query text (cond_type 6): query text with backquoted item
// conditions. Character-item values are normalised (mode 0xF0) and unquoted
// into *wordBuf. Returns the purpose code: 3 items and text operands, 2
// items only, 1 otherwise (as far as counted when it fails). Failures:
// 25/2608, 25/2609, 25/2610, 25/2611 as for query text, 11/2612 word
// buffer, 105/2613 an unclosed quoted value.
int32_t vozTranslateCond_MixQuery(VOZ_CPINFO cp, const char* text,
                                  uint8_t** queryBuf, uint8_t** wordBuf,
                                  PFELEMENT** pf, int32_t* pfCount,
                                  const GTRCREATEPARM* cparm,
                                  const RTRVRANK* rank, QUERYWORK* work,
                                  GTRSTATUS* gsp);

// The purpose code of mixed query text only; everything it makes is freed
// before it returns. 1 on failure (25/2614 .. 25/2618).
int32_t vozTranslateCond_MixQuery4Purpose(VOZ_CPINFO cp, const char* text,
                                          const RTRVRANK* rank,
                                          QUERYWORK* work, GTRSTATUS* gsp);

// Item translators: fill the operand `x` from item `index` of a condition.
void vozTranslateNumItem(const SEARCHITEM* item, int32_t index,
                         RTRVWORDEXT* x, GTRSTATUS* gsp);
void vozTranslateCharItem(VOZ_CPINFO cp, const SEARCHITEM* item,
                          int32_t index, RTRVWORDEXT* x, GTRSTATUS* gsp);
void vozTranslateNumSetItem(const SEARCHITEM* item, int32_t index,
                            RTRVWORDEXT* x, GTRSTATUS* gsp);
void vozTranslateBackRef(const SEARCHITEM* item, int32_t index,
                         RTRVWORDEXT* x, GTRSTATUS* gsp);

// Release functions.
void vozTranslateCond_Item_Term(char* orderCopy, uint8_t* wordBuf,
                                PFELEMENT* pf, int32_t pfCount);
void vozTranslateCond_Mix_Term(char* orderCopy, uint8_t* wordBuf,
                               PFELEMENT* pf, int32_t pfCount);
void vozTranslateCond_Struct_Term(char* orderCopy, uint8_t* wordBuf,
                                  PFELEMENT* pf, int32_t pfCount);
void vozTranslateCond_Query_Term(uint8_t* queryBuf, PFELEMENT* pf,
                                 int32_t pfCount);
void vozTranslateCond_MixQuery_Term(uint8_t* queryBuf, uint8_t* wordBuf,
                                    PFELEMENT* pf, int32_t pfCount);
void vozTranslateCond_Simple_Term(uint8_t* queryBuf, PFELEMENT* pf,
                                  int32_t pfCount);

#endif  // VOZ_TRANSLATE_HPP
