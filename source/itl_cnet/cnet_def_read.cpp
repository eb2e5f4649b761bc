// cnet_def_read.cpp -- opening, closing and reading definition files: the
// line reader, the block reader of format 0, relation keywords, user
// numbers, words with their strengths, and the sorting of a block's words
// (language in cnet_def.hpp).
//
// Every syntax error is retcode 567 with its reason (2..10) in errcode, the
// current line in st->line and the file's name; warnings go to standard
// error under option bit 0x4, after "<file>: ", and reading goes on.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "calls/voz_wordcalls.hpp"
#include "cnet_def.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr uint32_t kListStep = 256;
constexpr uint32_t kTextInitial = 8192;

using Reader = bool (*)(DEFCTL*, const CNETEXEC*, CNETSTATUS*);
using Writer = bool (*)(DEFCTL*, const CNETEXEC*, CNETSTATUS*);
const Reader ReadStream[] = {cnetDefReadStream1};
const Writer WriteStream[] = {cnetDefWriteStream1};

void syntaxError(DEFCTL* ctl, uint32_t reason, CNETSTATUS* st) {
    if (cnetFailed(st)) return;
    cnetSetStatus(st, CNET_RC_DEFINITION, reason, ctl->fileName);
    st->line = ctl->lineNo;
}

uint8_t mark(const DEFCTL* ctl, int column) {
    uint8_t cp = ctl->codepage < 38 ? ctl->codepage : 37;
    return CHARMARK_TBL[cp][column];
}

bool isSep(const DEFCTL* ctl, uint8_t c) { return cnetDefIsSep(ctl->codepage, c); }

// A decimal digit of the code page's class, as its value; -1 otherwise.
int digit(const DEFCTL* ctl, uint8_t c) {
    uint8_t zero = cnetDefIsEbcdic(ctl->codepage) ? 0xF0 : '0';
    return c >= zero && c <= zero + 9 ? c - zero : -1;
}

// Reads a decimal number as strtol/strtoul do (leading spaces, a sign,
// digits); *used is the count of bytes consumed (0 without digits). The
// value saturates at LONG_MAX / LONG_MIN.
long readNumber(const DEFCTL* ctl, const uint8_t* p, uint32_t len, uint32_t* used) {
    bool ebcdic = cnetDefIsEbcdic(ctl->codepage);
    uint32_t i = 0;
    while (i < len && cnetDefIsSpace(ctl->codepage, p[i])) ++i;
    bool negative = false;
    if (i < len && (p[i] == (ebcdic ? 0x4E : '+') || p[i] == (ebcdic ? 0x60 : '-'))) {
        negative = p[i] == (ebcdic ? 0x60 : '-');
        ++i;
    }
    uint32_t start = i;
    long value = 0;
    for (; i < len && digit(ctl, p[i]) >= 0; ++i)
        value = value > (LONG_MAX - 9) / 10 ? LONG_MAX : value * 10 + digit(ctl, p[i]);
    *used = i > start ? i : 0;
    return negative ? -value : value;
}

}  // namespace

int cnetWordCmp(const uint8_t* a, uint32_t alen, const uint8_t* b, uint32_t blen) {
    uint32_t n = std::min(alen, blen);
    int c = n == 0 ? 0 : std::memcmp(a, b, n);
    if (c != 0) return c;
    return alen < blen ? -1 : (alen > blen ? 1 : 0);
}

// ---- open, close, dispatch ----------------------------------------------------

bool cnetDefOpen(DEFCTL* ctl, const CNETDEFINE* def, uint8_t codepage,
                 const char* mode, CNETSTATUS* st) {
    std::memset(ctl, 0, sizeof *ctl);
    if (def == nullptr || def->kind != CNET_DEFINE_KIND_FILE || def->format != 0 ||
        def->fileName == nullptr || def->fileName[0] == '\0' ||
        std::strlen(def->fileName) > CNET_NAME_MAX) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 401);
        return false;
    }
    ctl->kind = def->kind;
    ctl->format = def->format;
    ctl->codepage = codepage;
    std::strcpy(ctl->fileName, def->fileName);
    bool writing = std::strpbrk(mode, "wa+") != nullptr;
    if (writing && cnetFileOpRefused("write", ctl->fileName) != 0) {
        cnetSetStatus(st, CNET_RC_OPEN, 402, ctl->fileName);
        return false;
    }
    ctl->fp = std::fopen(ctl->fileName, mode);
    if (ctl->fp == nullptr) {
        cnetSetStatus(st, CNET_RC_OPEN, 403, ctl->fileName);
        return false;
    }
    ctl->words = static_cast<DEFWORD*>(std::malloc(kListStep * sizeof(DEFWORD)));
    ctl->text = static_cast<uint8_t*>(std::malloc(kTextInitial));
    if (ctl->words == nullptr || ctl->text == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 404);
        return false;
    }
    ctl->wordCap = kListStep;
    ctl->textCap = kTextInitial;
    return true;
}

bool cnetDefClose(DEFCTL* ctl, CNETSTATUS* st) {
    bool ok = true;
    if (ctl->kind == CNET_DEFINE_KIND_FILE && ctl->fp != nullptr) {
        if (std::fclose(ctl->fp) != 0) {
            cnetSetStatus(st, CNET_RC_CLOSE, 410, ctl->fileName);
            ok = false;
        }
    }
    ctl->fp = nullptr;
    std::free(ctl->words);
    std::free(ctl->text);
    ctl->words = nullptr;
    ctl->text = nullptr;
    ctl->wordCap = ctl->textCap = 0;
    ctl->count = ctl->memberCount = ctl->relCount = ctl->textFill = 0;
    return ok;
}

bool cnetDefRead(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st) {
    if (ctl->format >= sizeof ReadStream / sizeof ReadStream[0] || ctl->fp == nullptr) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 411);
        return false;
    }
    return ReadStream[ctl->format](ctl, opts, st);
}

bool cnetDefWrite(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st) {
    if (ctl->format >= sizeof WriteStream / sizeof WriteStream[0] || ctl->fp == nullptr) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 412);
        return false;
    }
    return WriteStream[ctl->format](ctl, opts, st);
}

void cnetDefClearBlock(DEFCTL* ctl) {
    ctl->count = ctl->memberCount = ctl->relCount = 0;
    ctl->textFill = 0;
    ctl->blockRel = {0, 0};
}

static bool appendWord(DEFCTL* ctl, uint32_t offset, uint32_t length, uint8_t strength,
                       CNETREL rel, CNETSTATUS* st) {
    if (ctl->count == ctl->wordCap) {
        uint32_t cap = ctl->wordCap + kListStep;
        void* p = std::realloc(ctl->words, cap * sizeof(DEFWORD));
        if (p == nullptr) {
            cnetSetStatus(st, CNET_RC_MEMORY, 420);
            return false;
        }
        ctl->words = static_cast<DEFWORD*>(p);
        ctl->wordCap = cap;
    }
    ctl->words[ctl->count++] = {offset, length, ctl->lineNo, strength, rel};
    return true;
}

// Makes room for `need` more bytes of text: the buffer grows to the fill
// plus `need` plus 256, rounded down to a multiple of 256.
static bool reserveText(DEFCTL* ctl, uint64_t need, CNETSTATUS* st) {
    uint64_t sum = uint64_t{ctl->textFill} + need;
    if (sum < ctl->textCap) return true;
    uint64_t cap = (sum + 256) / 256 * 256;
    void* p = cap > UINT32_MAX ? nullptr : std::realloc(ctl->text, cap);
    if (p == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 421);
        return false;
    }
    ctl->text = static_cast<uint8_t*>(p);
    ctl->textCap = static_cast<uint32_t>(cap);
    return true;
}

bool cnetDefAddEntry(DEFCTL* ctl, const uint8_t* text, uint32_t length,
                     uint8_t strength, CNETREL rel, CNETSTATUS* st) {
    if (!reserveText(ctl, uint64_t{length} + 1, st)) return false;
    std::memcpy(ctl->text + ctl->textFill, text, length);
    if (!appendWord(ctl, ctl->textFill, length, strength, rel, st)) return false;
    ctl->textFill += length;
    if (rel.category == 255)
        ++ctl->memberCount;
    else
        ++ctl->relCount;
    return true;
}

// ---- lines ---------------------------------------------------------------

// cnetDefLineRead: makes the next line that is not a comment and not
// blank the pending one (length 0 at the end of the file).
static bool lineRead(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st) {
    if (ctl->pending != nullptr) return true;
    const uint8_t cp = ctl->codepage;
    for (;;) {
        uint32_t n = 0;
        bool eof = false;
        while (n < CNET_DEF_LINE_MAX) {
            int c = std::fgetc(ctl->fp);
            if (c == EOF) {
                eof = true;
                break;
            }
            ctl->line[n++] = static_cast<uint8_t>(c);
            if (cnetDefIsEol(cp, static_cast<uint8_t>(c))) break;
        }
        ctl->line[n] = 0;
        if (std::ferror(ctl->fp)) {
            cnetSetStatus(st, CNET_RC_READ, 430, ctl->fileName);
            return false;
        }
        if (n == 0 && eof) {
            ++ctl->lineNo;
            ctl->pending = ctl->line;
            ctl->pendingLen = 0;
            return true;
        }
        uint8_t end = ctl->line[n - 1];
        if (!cnetDefIsEol(cp, end) && !eof) {
            // Too long: the rest up to the line end is dropped.
            int c;
            while ((c = std::fgetc(ctl->fp)) != EOF && !cnetDefIsEol(cp, static_cast<uint8_t>(c))) {
            }
            end = c == EOF ? 0 : static_cast<uint8_t>(c);
            if (std::ferror(ctl->fp)) {
                cnetSetStatus(st, CNET_RC_READ, 431, ctl->fileName);
                return false;
            }
            if (ctl->line[0] != mark(ctl, CNET_MARK_COMMENT) &&
                ctl->line[0] != mark(ctl, CNET_MARK_COMMENT2))
                cnetWarnf(opts, ctl->fileName,
                          "vozC701W: Warning: line %lu: Too long line.  Truncated.\n",
                          static_cast<unsigned long>(ctl->lineNo + 1));
        }
        if (!(cnetDefIsLf(cp, ctl->line[0]) && ctl->prevCR)) ++ctl->lineNo;
        ctl->prevCR = end == 0x0D;
        if (ctl->line[0] == mark(ctl, CNET_MARK_COMMENT) ||
            ctl->line[0] == mark(ctl, CNET_MARK_COMMENT2))
            continue;
        uint32_t first = 0;
        while (first < n && isSep(ctl, ctl->line[first])) ++first;
        if (first == n) continue;
        while (n > first && isSep(ctl, ctl->line[n - 1])) --n;
        ctl->pending = ctl->line + first;
        ctl->pendingLen = n - first;
        return true;
    }
}

// ---- keywords, user numbers, words -------------------------------------------

// cnetDef_str_UserDef: "(n)" with n from 1 to 128.
static bool userNumber(DEFCTL* ctl, const uint8_t* p, uint32_t len, long* n,
                       CNETSTATUS* st) {
    if (len == 0 || p[0] != mark(ctl, CNET_MARK_OPEN)) {
        syntaxError(ctl, 4, st);
        return false;
    }
    if (std::memchr(p + 1, mark(ctl, CNET_MARK_CLOSE), len - 1) == nullptr) {
        syntaxError(ctl, 5, st);
        return false;
    }
    uint32_t used;
    *n = readNumber(ctl, p + 1, len - 1, &used);
    if (*n < 1 || *n > 128) {
        syntaxError(ctl, 6, st);
        return false;
    }
    return true;
}

// cnetDef_str_rel: the relation a keyword (with its user number) names.
static bool keywordRelation(DEFCTL* ctl, const uint8_t* p, uint32_t len,
                            const RELSTRTBL* table, CNETREL* rel, CNETSTATUS* st) {
    uint32_t i = 0;
    while (i < len && isSep(ctl, p[i])) ++i;
    if (i == len) return true;
    for (const RELSTRTBL* row = table; row->keyword != nullptr; ++row) {
        uint32_t klen = static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(row->keyword)));
        if (klen > len || std::memcmp(p, row->keyword, klen) != 0) continue;
        if (klen == len) {
            *rel = {row->category, row->id};
            return true;
        }
        if (!row->userAllowed) break;
        long n;
        if (!userNumber(ctl, p + klen, len - klen, &n, st)) return false;
        *rel = {row->category, static_cast<uint8_t>(127 + n)};
        return true;
    }
    syntaxError(ctl, 3, st);
    return false;
}

// cnetDefGetWord: one word with its optional strength, normalised into
// the block's text buffer.
static bool getWord(DEFCTL* ctl, const uint8_t* p, uint32_t len, CNETREL rel,
                    CNETSTATUS* st) {
    while (len > 0 && isSep(ctl, p[0])) ++p, --len;
    while (len > 0 && isSep(ctl, p[len - 1])) --len;
    const uint8_t strengthMark = mark(ctl, CNET_MARK_STRENGTH);
    uint32_t wordLen = len;
    uint8_t strength = 100;
    for (uint32_t i = len; i-- > 0;) {
        if (p[i] != strengthMark || (i > 0 && !isSep(ctl, p[i - 1]))) continue;
        uint32_t digits = len - i - 1, used;
        if (digits == 0) {
            syntaxError(ctl, 9, st);
            return false;
        }
        long value = readNumber(ctl, p + i + 1, digits, &used);
        if (used != digits) {
            syntaxError(ctl, 9, st);
            return false;
        }
        if (value < 1 || value > 100) {
            syntaxError(ctl, 10, st);
            return false;
        }
        strength = static_cast<uint8_t>(value);
        wordLen = i;
        while (wordLen > 0 && isSep(ctl, p[wordLen - 1])) --wordLen;
        break;
    }
    if (wordLen == 0) {
        syntaxError(ctl, 7, st);
        return false;
    }
    if (wordLen > CNET_DEF_WORD_MAX) {
        syntaxError(ctl, 8, st);
        return false;
    }
    uint32_t perByte = ctl->codepage == 34 ? 3 : 2;
    if (!reserveText(ctl, uint64_t{wordLen} * perByte + 1, st)) return false;
    GTRSTATUS gs;
    int32_t outLen = 0;
    GTRnormalizeWord(ctl->codepage, p, static_cast<int32_t>(wordLen), ctl->text + ctl->textFill,
                     static_cast<int32_t>(ctl->textCap - ctl->textFill), &outLen, 1, &gs);
    if (gs.retcode != 0) {
        cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                      CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode), gs.errfname1,
                      gs.errfname2);
        return false;
    }
    if (outLen <= 0) {
        syntaxError(ctl, 7, st);
        return false;
    }
    if (static_cast<uint32_t>(outLen) > CNET_DEF_NORM_MAX) {
        syntaxError(ctl, 8, st);
        return false;
    }
    if (!appendWord(ctl, ctl->textFill, static_cast<uint32_t>(outLen), strength, rel, st))
        return false;
    ctl->textFill += static_cast<uint32_t>(outLen);
    return true;
}

// ---- blocks ---------------------------------------------------------------

// cnetDefSortWord: sorts by word, equal words latest line first; keeps one
// word of each run (warning 705 for the others); then members first.
static bool sortWords(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st) {
    DEFWORD* w = ctl->words;
    const uint8_t* text = ctl->text;
    if (ctl->count >= 2) {
        std::sort(w, w + ctl->count, [text](const DEFWORD& a, const DEFWORD& b) {
            int c = cnetWordCmp(text + a.offset, a.length, text + b.offset, b.length);
            return c != 0 ? c < 0 : a.line > b.line;
        });
    }
    uint32_t kept = 0;
    for (uint32_t i = 0; i < ctl->count; ++i) {
        if (kept > 0 && cnetWordCmp(text + w[kept - 1].offset, w[kept - 1].length,
                                    text + w[i].offset, w[i].length) == 0) {
            cnetWarnf(opts, ctl->fileName,
                      "vozC705W: Warning: line %lu: Equivalent to the word in line %lu.  "
                      "Discarded.\n",
                      static_cast<unsigned long>(w[i].line),
                      static_cast<unsigned long>(w[kept - 1].line));
            continue;
        }
        w[kept++] = w[i];
    }
    ctl->count = kept;
    std::stable_partition(w, w + kept, [](const DEFWORD& x) { return x.rel.category == 255; });
    ctl->memberCount = 0;
    while (ctl->memberCount < kept && w[ctl->memberCount].rel.category == 255)
        ++ctl->memberCount;
    ctl->relCount = kept - ctl->memberCount;
    (void)st;
    return true;
}

// The length of the first token of the pending line.
static uint32_t tokenLength(const DEFCTL* ctl) {
    uint32_t n = 0;
    while (n < ctl->pendingLen && !isSep(ctl, ctl->pending[n])) ++n;
    return n;
}

// The block's counts allow a group: warning 702 without a member, 703
// without any relation among or from its members.
static bool blockUsable(DEFCTL* ctl, const CNETEXEC* opts) {
    bool noBlockRel = ctl->blockRel.category == 0 && ctl->blockRel.id == 0;
    if (ctl->memberCount == 0) {
        cnetWarnf(opts, ctl->fileName,
                  "vozC702W: Warning: line %lu: No member is defined.  Group definition "
                  "block is ignored.\n",
                  static_cast<unsigned long>(ctl->blockLine));
        return false;
    }
    if (ctl->relCount == 0 && (ctl->memberCount == 1 || noBlockRel)) {
        cnetWarnf(opts, ctl->fileName,
                  "vozC703W: Warning: line %lu: No relation is defined.  Group definition "
                  "block is ignored.\n",
                  static_cast<unsigned long>(ctl->blockLine));
        return false;
    }
    return true;
}

bool cnetDefReadStream1(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st) {
    const uint8_t* words = cnetDefWordsKeyword(ctl->codepage);
    for (;;) {
        if (!lineRead(ctl, opts, st)) return false;
        cnetDefClearBlock(ctl);
        if (ctl->pendingLen == 0) return sortWords(ctl, opts, st);
        ctl->blockLine = ctl->lineNo;
        uint32_t tok = tokenLength(ctl);
        if (tok < 6 || std::memcmp(ctl->pending, words, 6) != 0) {
            syntaxError(ctl, 2, st);
            return false;
        }
        if (!keywordRelation(ctl, ctl->pending + 6, tok - 6, cnetDefBlockTable(ctl->codepage),
                             &ctl->blockRel, st))
            return false;
        ctl->pending = nullptr;
        for (;;) {
            if (!lineRead(ctl, opts, st)) return false;
            if (ctl->pendingLen == 0 || ctl->pending[0] == mark(ctl, CNET_MARK_BLOCK)) break;
            if (ctl->pending[0] == mark(ctl, CNET_MARK_RELATION)) {
                uint32_t t = tokenLength(ctl);
                CNETREL rel = {0, 0};
                if (!keywordRelation(ctl, ctl->pending, t, cnetDefLineTable(ctl->codepage),
                                     &rel, st) ||
                    !getWord(ctl, ctl->pending + t, ctl->pendingLen - t, rel, st))
                    return false;
                ++ctl->relCount;
            } else {
                if (!getWord(ctl, ctl->pending, ctl->pendingLen, {255, 0}, st)) return false;
                ++ctl->memberCount;
            }
            ctl->pending = nullptr;
        }
        // The counts are checked as read and again once equal words are
        // merged: a member that is also the block's later relation-line
        // word leaves as a member, and a block left without members would
        // read as the end of the file.
        if (!blockUsable(ctl, opts)) continue;
        if (!sortWords(ctl, opts, st)) return false;
        if (!blockUsable(ctl, opts)) continue;
        return true;
    }
}
