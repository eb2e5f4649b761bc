// cnet_def_write.cpp -- writing a block as definition-file lines (format
// 0): the head line with the block relation's keyword, each relation-line
// word with its keyword, then each member; words in display form with
// their strength when it is not 100.
#include <cstdio>
#include <cstring>

#include "calls/voz_wordcalls.hpp"
#include "cnet_def.hpp"
#include "files/voz_status.hpp"

namespace {

// A line being built (255 bytes are the most a reader takes back).
struct Line {
    uint8_t bytes[512];
    uint32_t len = 0;
    void put(const uint8_t* p, uint32_t n) {
        if (n > sizeof bytes - len) n = static_cast<uint32_t>(sizeof bytes - len);
        std::memcpy(bytes + len, p, n);
        len += n;
    }
    void put(uint8_t c) { put(&c, 1); }
};

// A number in the digits of the code page's class.
void putNumber(Line* line, uint8_t codepage, long n) {
    char text[24];
    int len = std::snprintf(text, sizeof text, "%ld", n);
    bool ebcdic = cnetDefIsEbcdic(codepage);
    for (int i = 0; i < len; ++i) {
        uint8_t c = static_cast<uint8_t>(text[i]);
        if (ebcdic) c = c == '-' ? 0x60 : static_cast<uint8_t>(0xF0 + (c - '0'));
        line->put(c);
    }
}

void putSeparators(Line* line, uint8_t codepage) {
    uint8_t sep = cnetDefIsEbcdic(codepage) ? 0x40 : ' ';
    line->put(sep);
    line->put(sep);
}

// cnetDef_rel_str: the keyword of a relation, from the first row with its
// category and id, else from the last row of its category that allows a
// user number (with "(n)"). False when no row fits.
bool relationKeyword(Line* line, const RELSTRTBL* table, CNETREL rel, uint8_t codepage) {
    const uint8_t* const marks = CHARMARK_TBL[codepage < 38 ? codepage : 37];
    const RELSTRTBL* user = nullptr;
    for (const RELSTRTBL* row = table; row->keyword != nullptr; ++row) {
        if (row->category == rel.category && row->id == rel.id) {
            line->put(row->keyword,
                      static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(row->keyword))));
            return true;
        }
        if (row->category == rel.category && row->userAllowed) user = row;
    }
    if (user == nullptr || rel.id < 128) return false;
    line->put(user->keyword,
              static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(user->keyword))));
    line->put(marks[CNET_MARK_OPEN]);
    putNumber(line, codepage, rel.id - 127);
    line->put(marks[CNET_MARK_CLOSE]);
    return true;
}

// cnetDefPutWord: the word in display form and its strength.
bool putWord(Line* line, const DEFCTL* ctl, const DEFWORD& w, CNETSTATUS* st) {
    uint8_t display[CNET_DEF_NORM_MAX + 1];
    int32_t len = 0;
    GTRSTATUS gs;
    GTRunnormalizeWord(ctl->codepage, ctl->text + w.offset, static_cast<int32_t>(w.length),
                       display, CNET_DEF_NORM_MAX, &len, 1, &gs);
    if (gs.retcode != 0) {
        cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                      CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode), gs.errfname1,
                      gs.errfname2);
        return false;
    }
    line->put(display, static_cast<uint32_t>(len));
    if (w.strength != 100) {
        putSeparators(line, ctl->codepage);
        line->put(CHARMARK_TBL[ctl->codepage < 38 ? ctl->codepage : 37][CNET_MARK_STRENGTH]);
        putNumber(line, ctl->codepage, w.strength);
    }
    return true;
}

// cnetDefLineWrite: one line and its line end (NL in the EBCDIC form); an
// empty line is not written.
bool lineWrite(DEFCTL* ctl, const Line& line, CNETSTATUS* st) {
    if (line.len == 0) return true;
    uint8_t eol = cnetDefIsEbcdic(ctl->codepage) ? 0x15 : '\n';
    if (cnetFileOpRefused("write", ctl->fileName) != 0 ||
        std::fwrite(line.bytes, 1, line.len, ctl->fp) != line.len ||
        std::fputc(eol, ctl->fp) == EOF) {
        cnetSetStatus(st, CNET_RC_WRITE, 450, ctl->fileName);
        return false;
    }
    return true;
}

}  // namespace

bool cnetDefWriteStream1(DEFCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st) {
    (void)opts;
    const uint8_t cp = ctl->codepage;
    Line head;
    head.put(cnetDefWordsKeyword(cp), 6);
    relationKeyword(&head, cnetDefBlockTable(cp), ctl->blockRel, cp);
    if (!lineWrite(ctl, head, st)) return false;
    for (int members = 0; members < 2; ++members) {
        for (uint32_t i = 0; i < ctl->count; ++i) {
            const DEFWORD& w = ctl->words[i];
            if ((w.rel.category == 255) != (members == 1)) continue;
            Line line;
            putSeparators(&line, cp);
            if (!members) {
                relationKeyword(&line, cnetDefLineTable(cp), w.rel, cp);
                putSeparators(&line, cp);
            }
            if (!putWord(&line, ctl, w, st) || !lineWrite(ctl, line, st)) return false;
        }
    }
    return true;
}
