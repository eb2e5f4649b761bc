// voz_gtrverify.cpp - GTRverifyIndex (see voz_gtradmin.hpp): verification
// of the text or the item sub-index through the builder's VOZ_checkDocno.
#include <cstring>

#include "build/voz_verify.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_gtradmin.hpp"
#include "calls/voz_trace.hpp"
#include "characters/voz_cut.hpp"
#include "files/voz_status.hpp"

#define VOZ_GV_STR2(x) #x
#define VOZ_GV_STR(x) VOZ_GV_STR2(x)
#define VOZ_GV_ORIGIN __FILE__ ":" VOZ_GV_STR(__LINE__)

namespace {
constexpr uint8_t kTextOption = 0x40;   // else the item sub-index
constexpr uint8_t kQuietOption = 0x08;  // mode 'N', else 'D'
}  // namespace

void GTRverifyIndex(const char* idxname, const char* idxdir,
                    const char* outfn, int8_t option, GTRVERIFYINFO* docip,
                    GTRSTATUS* gsp) {
    vozBTraceVerify(idxname, idxdir, outfn, static_cast<uint8_t>(option),
                    docip, gsp);
    vozTraceCallStart("GTRverifyIndex", VOZ_GV_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_GV_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_GV_ORIGIN);
    vozTraceText("outfn", outfn, VOZ_GV_ORIGIN);
    vozTraceArg("docip", &docip, sizeof docip, VOZ_GV_ORIGIN);
    voz_ClearStatus(gsp);
    if (docip != nullptr) memset(docip, 0, sizeof *docip);
    const bool text = (static_cast<uint8_t>(option) & kTextOption) != 0;
    const char mode = (static_cast<uint8_t>(option) & kQuietOption) != 0 ? 'N' : 'D';
    DOCSINFO d{};
    VOZ_checkDocno(idxname, idxdir, text ? "KPLQ" : "MRNS",
                   text ? "Full" : "Item", outfn, mode, &d, vozCHmarkUnit_Chk,
                   gsp);
    gsp->processed_index = static_cast<uint8_t>(gsp->processed_index |
                                                (text ? 0x80 : 0x40));
    if (docip != nullptr) {
        docip->mainLowest = d.mainLowest;
        docip->mainHighest = d.mainHighest;
        docip->mainCount = d.mainCount;
        docip->suppLowest = d.suppLowest;
        docip->suppHighest = d.suppHighest;
        docip->suppCount = d.suppCount;
    }
    vozTraceArg("*docip", docip, docip != nullptr ? sizeof *docip : 0,
                VOZ_GV_ORIGIN);
    vozTraceCallEnd("GTRverifyIndex", gsp, VOZ_GV_ORIGIN);
    vozBTraceEnd(nullptr, 0, gsp);
}
