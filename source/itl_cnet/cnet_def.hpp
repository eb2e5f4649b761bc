// cnet_def.hpp -- thesaurus definition files: the text form in which
// authors write a thesaurus and in which a dictionary is dumped.
//
// A file is a series of blocks. A block starts with a head line (the head
// keyword ":WORDS", optionally followed without separator by a block
// relation ":SYNONYM" or ":RELATED(n)"), then one word per line: a member,
// or, on a line starting with the relation-line mark, a relation keyword
// (".SYNONYM_OF", ".RELATED_TO", ".LOWER_THAN", ".HIGHER_THAN", each
// optionally with "(n)", a user relation 1..128) and a word. A word may end
// in a separator, the strength mark and a strength 1..100. Lines starting
// with a comment mark are skipped; lines are at most 255 bytes (longer ones
// are cut with warning 701).
//
// The language has two byte forms, chosen by the dictionary's engine code
// page: EBCDIC for codes 10-15 and 25-33, ASCII for every other code. In
// the EBCDIC form the numbers are EBCDIC digits (0xF0-0xF9) and the writer
// ends lines with NL (0x15), so that a written file reads back.
//
// Words are held in the engine's normalised form (GTRnormalizeWord) and
// written back in display form (GTRunnormalizeWord).
#ifndef CNET_DEF_HPP
#define CNET_DEF_HPP

#include <cstdint>
#include <cstdio>

#include "cnet_base.hpp"

// ---- tables ---------------------------------------------------------------

// Columns of CHARMARK_TBL, one row per engine code-page code 0..37.
enum {
    CNET_MARK_STRENGTH = 0,
    CNET_MARK_BLOCK = 1,
    CNET_MARK_RELATION = 2,
    CNET_MARK_COMMENT = 3,
    CNET_MARK_COMMENT2 = 4,
    CNET_MARK_OPEN = 5,
    CNET_MARK_CLOSE = 6
};
extern const uint8_t CHARMARK_TBL[38][7];

// One relation keyword: the keyword (NUL-terminated bytes; null ends a
// table), its relation and whether a user number "(n)" may follow.
struct RELSTRTBL {
    const uint8_t* keyword;
    uint8_t category;
    uint8_t id;
    int32_t userAllowed;
};

// True for the EBCDIC codes 10-15 and 25-33.
bool cnetDefIsEbcdic(uint8_t codepage);
// The head keyword (6 bytes) of a code page's class.
const uint8_t* cnetDefWordsKeyword(uint8_t codepage);
// The block-relation and relation-line tables of a code page's class.
const RELSTRTBL* cnetDefBlockTable(uint8_t codepage);
const RELSTRTBL* cnetDefLineTable(uint8_t codepage);

// Character classes of a code page's class.
bool cnetDefIsEol(uint8_t codepage, uint8_t c);
bool cnetDefIsLf(uint8_t codepage, uint8_t c);
bool cnetDefIsSpace(uint8_t codepage, uint8_t c);
bool cnetDefIsSep(uint8_t codepage, uint8_t c);

// ---- control ---------------------------------------------------------------

// One word of a block: its normalised text in the block's text buffer.
struct DEFWORD {
    uint32_t offset;
    uint32_t length;
    uint32_t line;
    uint8_t strength;  // 1..100
    CNETREL rel;       // (255, 0) for a member
};

constexpr uint32_t CNET_DEF_LINE_MAX = 255;
constexpr uint32_t CNET_DEF_WORD_MAX = 64;      // bytes of a written word
constexpr uint32_t CNET_DEF_NORM_MAX = 192;     // bytes of a normalised word

// The control of one open definition file, owned by the caller of
// cnetDefOpen. After cnetDefRead it holds one block: `count` words, the
// members first (sorted), then the relation-line words (sorted).
struct DEFCTL {
    const uint8_t* pending;  // pending line, or null; length 0 = end of file
    uint32_t pendingLen;
    uint8_t line[CNET_DEF_LINE_MAX + 1];
    uint8_t kind;
    uint8_t format;
    char fileName[CNET_NAME_MAX + 1];
    FILE* fp;
    uint32_t lineNo;         // lines read, counted from 1
    uint32_t blockLine;      // line of the current block's head
    bool prevCR;             // the last line ended with 0x0D
    CNETREL blockRel;        // (0, 0) when the head gives none
    DEFWORD* words;
    uint32_t wordCap;
    uint32_t count;
    uint32_t memberCount;
    uint32_t relCount;
    uint8_t* text;
    uint32_t textCap;
    uint32_t textFill;
    uint8_t codepage;
};

// Clears *ctl, opens the definition's file with fopen(mode) (510) and
// allocates the word list and text buffer (520). 503 for a source that
// is not a named file of format 0.
bool cnetDefOpen(DEFCTL* ctl, const CNETDEFINE* def, uint8_t codepage,
                 const char* mode, CNETSTATUS* st);
// Closes the file (517) and frees the buffers. `st` may be null; an
// earlier failure in it is never overwritten.
bool cnetDefClose(DEFCTL* ctl, CNETSTATUS* st);
// Reads the next good block; a block without members means end of file.
// Syntax errors: 567 with the reason in errcode and the line in st->line.
bool cnetDefRead(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st);
// Writes the block held in *ctl (512 on a write failure).
bool cnetDefWrite(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st);

// Empties the block held in *ctl.
void cnetDefClearBlock(DEFCTL* ctl);
// Appends a word already in normalised form to the block (520).
bool cnetDefAddEntry(DEFCTL* ctl, const uint8_t* text, uint32_t length,
                     uint8_t strength, CNETREL rel, CNETSTATUS* st);

// The format's reader and writer (format 0).
bool cnetDefReadStream1(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st);
bool cnetDefWriteStream1(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st);

// Orders two words: bytes as unsigned over the shorter length, then the
// shorter first.
int cnetWordCmp(const uint8_t* a, uint32_t alen, const uint8_t* b, uint32_t blen);

#endif  // CNET_DEF_HPP
