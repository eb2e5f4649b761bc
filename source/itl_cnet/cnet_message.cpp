// cnet_message.cpp -- vozCNETgetMessage: the one-line English text of a
// dictionary status. Dictionary errors get "vozC%03luE: Error: " and their
// text; engine failures (10000 + the engine's retcode) the engine's own
// message; anything without a text the general "(retcode, errcode)" line.
// Texts are kept exactly as the dictionary tools have always shown them,
// typing errors included.
#include <cstdio>
#include <cstring>

#include "calls/voz_message.hpp"
#include "cnet_base.hpp"
#include "files/voz_status.hpp"

namespace {

// The inserts a text takes, in order.
enum Inserts { kNone, kErrcode, kName1Errcode, kNames12Errcode, kName1 };

struct MessageText {
    uint32_t retcode;
    Inserts inserts;
    const char* text;
};

const MessageText kTexts[] = {
    {501, kErrcode, "Unexpected error.  errcode = %lu"},
    {502, kNone, "The length of filename or directory name is out of range."},
    {503, kErrcode, "Parameter error.  errcode = %lu"},
    {504, kErrcode,
     "Reserved parameters and reserved fields must be specified as described.  "
     "errcode=%lu"},
    {510, kName1Errcode, "%s Open error.  errcode = %lu"},
    {511, kName1Errcode, "%s Read error.  errcode = %lu"},
    {512, kName1Errcode, "%s Write error.  errcode = %lu"},
    {513, kName1Errcode, "%s Seek errorr.  errcode = %lu"},
    {514, kName1Errcode, "%s ftell error.  errcode = %lu"},
    {515, kName1Errcode, "%s Delete error.  errcode = %lu"},
    {516, kNames12Errcode, "Rename error.  From: %s  To: %s  errcode = %lu"},
    {517, kName1Errcode, "%s Close error.  errcode = %lu"},
    {519, kNone, "Unexpected end of file."},
    {520, kErrcode, "Memory allocation error.  errcode = %lu"},
    {530, kErrcode, "Locking error.  errcode = %lu"},
    {531, kErrcode, "Locked.  Try again.  errcode = %lu"},
    {540, kName1, "Output file %s exists."},
    {541, kErrcode, "Dictionary file integrity has been lost.  errcode = %lu"},
    {542, kNone, "Dictionary version error."},
    {543, kNone, "Dictionary does not exist."},
    {544, kNone, "Dictionary exists."},
    {550, kNone, "Character normalization error."},
    {551, kNone, "Specified base word is not valid."},
    {552, kNone, "The word was not found."},
};

// Reasons of retcode 567; all but the first take the line number.
const char* const kReasons[] = {
    nullptr,
    "Empty definition.",
    "line %lu: Syntax of the block head.",
    "line %lu: Syntax of the relation.",
    "line %lu: Syntax at the start of the user definition.",
    "line %lu: Syntax at the end of the user definition.",
    "line %lu: User definition number is out of range.",
    "line %lu: Invalid empty word.",
    "line %lu: Too long word.",
    "line %lu: Syntax of the strength.",
    "line %lu: Strength is out of range.",
};

// A name field of the status, at most 511 bytes even when unterminated.
struct Name {
    char text[VOZ_CNET_NAME_LEN];
    explicit Name(const char* field) {
        size_t n = strnlen(field, VOZ_CNET_NAME_LEN - 1);
        std::memcpy(text, field, n);
        text[n] = '\0';
    }
};

int32_t finish(char* msg, int n) {
    if (n < 0) n = 0;
    if (n >= static_cast<int>(VOZ_CNET_MESSAGE_MAX)) n = VOZ_CNET_MESSAGE_MAX - 1;
    msg[n] = '\0';
    return n;
}

int32_t engineMessage(uint8_t codepage, const CNETSTATUS* st, char* msg) {
    GTRSTATUS gs;
    voz_ClearStatus(&gs);
    gs.retcode = static_cast<int32_t>(st->retcode - CNET_RC_ENGINE);
    gs.errcode = static_cast<int32_t>(st->errcode - CNET_RC_ENGINE);
    std::memcpy(gs.errfname1, Name(st->fname1).text, VOZ_STATUS_NAME_LEN);
    std::memcpy(gs.errfname2, Name(st->fname2).text, VOZ_STATUS_NAME_LEN);
    char engine[VOZ_MESSAGE_MAX];
    GTRgetMessage(codepage, &gs, engine);
    engine[VOZ_MESSAGE_MAX - 1] = '\0';
    return finish(msg, std::snprintf(msg, VOZ_CNET_MESSAGE_MAX, "%s", engine));
}

}  // namespace

extern "C" int32_t vozCNETgetMessage(uint8_t codepage, const CNETSTATUS* st,
                                     char* msg) {
    const size_t cap = VOZ_CNET_MESSAGE_MAX;
    if (codepage < 1 || codepage > 37)
        return finish(msg, std::snprintf(msg, cap,
                                         "Codepage parameter cannot be interpreted."));
    if (st->retcode == 0) return finish(msg, 0);
    if (st->retcode >= CNET_RC_ENGINE) return engineMessage(codepage, st, msg);
    unsigned long rc = st->retcode, ec = st->errcode;
    char text[VOZ_CNET_MESSAGE_MAX];
    int n = -1;
    if (st->retcode == CNET_RC_DEFINITION) {
        if (ec >= 1 && ec <= 10) {
            char reason[128];
            std::snprintf(reason, sizeof reason, kReasons[ec],
                          static_cast<unsigned long>(st->line));
            n = std::snprintf(text, sizeof text, "Input file error.  REASON: %s",
                              reason);
        }
    } else {
        for (const MessageText& m : kTexts) {
            if (m.retcode != st->retcode) continue;
            Name n1(st->fname1), n2(st->fname2);
            switch (m.inserts) {
                case kNone: n = std::snprintf(text, sizeof text, "%s", m.text); break;
                case kErrcode: n = std::snprintf(text, sizeof text, m.text, ec); break;
                case kName1Errcode:
                    n = std::snprintf(text, sizeof text, m.text, n1.text, ec);
                    break;
                case kNames12Errcode:
                    n = std::snprintf(text, sizeof text, m.text, n1.text, n2.text, ec);
                    break;
                case kName1: n = std::snprintf(text, sizeof text, m.text, n1.text); break;
            }
            break;
        }
    }
    if (n < 0)
        return finish(msg, std::snprintf(msg, cap,
                                         "Error has occurred. (retcode, errcode) = (%lu, %lu)",
                                         rc, ec));
    return finish(msg, std::snprintf(msg, cap, "vozC%03luE: Error: %s", rc, text));
}
