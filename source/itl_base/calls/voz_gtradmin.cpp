// voz_gtradmin.cpp - VOZ_deleteIndex and VOZ_moveIndex (see
// voz_gtradmin.hpp): whole-index deletion, rename, copy and move, sub-index
// by sub-index through the builder.
#include "calls/voz_gtradmin.hpp"

#include <unistd.h>

#include <cstring>
#include <string>

#include "build/voz_idxadmin.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_trace.hpp"
#include "files/voz_status.hpp"

#define VOZ_GA_STR2(x) #x
#define VOZ_GA_STR(x) VOZ_GA_STR2(x)
#define VOZ_GA_ORIGIN __FILE__ ":" VOZ_GA_STR(__LINE__)

namespace {

constexpr size_t kMaxNames = 2046;   // index name and directory together
constexpr size_t kMaxTarget = 2047;
constexpr int32_t kRcMissing = 20;

// The two sub-indexes, text first.
struct AdminSub {
    const char* letters;
    const char* prefix;
    uint8_t bit;   // processed_index
    int8_t func;   // bit of VOZ_deleteIndex's func
};
const AdminSub kSubs[2] = {{"KPLQ", "Full", 0x80, 1}, {"MRNS", "Item", 0x40, 2}};

// A sub-step's failure replaces the caller's record; the sub-indexes
// already done stay named in processed_index.
void copyFailure(GTRSTATUS* gsp, const GTRSTATUS& mine) {
    const uint8_t processed = gsp->processed_index;
    *gsp = mine;
    gsp->processed_index = static_cast<uint8_t>(gsp->processed_index | processed);
}

// The deletion of the sub-indexes named by func (checked).
void deleteSubIndexes(int8_t func, const char* idxname, const char* idxdir,
                      GTRSTATUS* gsp) {
    for (const AdminSub& s : kSubs) {
        if ((func & s.func) == 0) continue;
        GTRSTATUS mine{};
        VOZ__deleteIndex(0, idxname, idxdir, s.letters, s.prefix, &mine);
        if (mine.retcode == kRcMissing) continue;
        if (mine.retcode != 0) {
            copyFailure(gsp, mine);
            return;
        }
        gsp->processed_index = static_cast<uint8_t>(gsp->processed_index | s.bit);
    }
}

// Step 2 of a move: the target root and both sub-indexes copied into it.
// True when every existing sub-index was copied.
bool copyBoth(const char* idxname, const char* idxdir, const char* newname,
              const char* newdir, GTRSTATUS* gsp) {
    if (vozCreateRootDirectory(newname, newdir, gsp) != 0) return false;
    for (const AdminSub& s : kSubs) {
        GTRSTATUS mine{};
        VOZ_copyIndex(idxname, idxdir, s.letters, s.prefix, newname, newdir,
                      &mine);
        if (mine.retcode == kRcMissing) continue;
        if (mine.retcode != 0) {
            copyFailure(gsp, mine);
            return false;
        }
        gsp->processed_index = static_cast<uint8_t>(gsp->processed_index | s.bit);
    }
    if (gsp->processed_index == 0) {
        // Nothing to copy: the root made for it goes again.
        std::string root = std::string(newdir) + "/" + newname;
        rmdir(root.c_str());
        voz_setStatus(gsp, kRcMissing, 0);
        return false;
    }
    return true;
}

void moveIndex(char function, const char* idxname, const char* idxdir,
               const char* targetname, GTRSTATUS* gsp) {
    // 'R' keeps the directory and takes the new name; 'C' and 'M' keep
    // the name in the directory `targetname`.
    const char* newname = function == 'R' ? targetname : idxname;
    const char* newdir = function == 'R' ? idxdir : targetname;
    if (function != 'C') {
        GTRSTATUS mine{};
        VOZ_renameIndex(idxname, idxdir, kSubs[0].letters, kSubs[1].letters,
                        kSubs[0].prefix, kSubs[1].prefix, newname, newdir, 3,
                        &mine);
        if (mine.retcode != VOZ_RC_RENAME) {
            *gsp = mine;
            return;
        }
    }
    // The source goes only once its copy is complete: a copy that failed
    // half-way must not cost the index.
    if (copyBoth(idxname, idxdir, newname, newdir, gsp) && function != 'C') {
        GTRSTATUS ignored{};
        deleteSubIndexes(3, idxname, idxdir, &ignored);
    }
}

}  // namespace

void VOZ_deleteIndex(int8_t func, const char* idxname, const char* idxdir,
                     GTRSTATUS* gsp) {
    vozBTraceDeleteIndex(static_cast<uint8_t>(func), idxname, idxdir, gsp);
    vozTraceCallStart("VOZ_deleteIndex", VOZ_GA_ORIGIN);
    vozTraceArg("func", &func, 1, VOZ_GA_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_GA_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_GA_ORIGIN);
    voz_ClearStatus(gsp);
    if (idxname == nullptr || idxdir == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2671);
    } else if (strlen(idxname) + strlen(idxdir) > kMaxNames) {
        voz_setStatus(gsp, VOZ_RC_PATH_TOO_LONG, 2672);
    } else if ((func & 3) == 0 || (func & ~3) != 0) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2673);
    } else {
        deleteSubIndexes(func, idxname, idxdir, gsp);
    }
    vozTraceCallEnd("VOZ_deleteIndex", gsp, VOZ_GA_ORIGIN);
    vozBTraceEnd(nullptr, 0, gsp);
}

void VOZ_moveIndex(char function, const char* idxname, const char* idxdir,
                   const char* targetname, GTRSTATUS* gsp) {
    vozBTraceMove(static_cast<uint8_t>(function), idxname, idxdir, targetname,
                  gsp);
    vozTraceCallStart("VOZ_moveIndex", VOZ_GA_ORIGIN);
    vozTraceArg("function", &function, 1, VOZ_GA_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_GA_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_GA_ORIGIN);
    vozTraceText("targetname", targetname, VOZ_GA_ORIGIN);
    voz_ClearStatus(gsp);
    if (idxname == nullptr || idxdir == nullptr || targetname == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2674);
    } else if (strlen(idxname) + strlen(idxdir) > kMaxNames ||
               strlen(targetname) > kMaxTarget) {
        voz_setStatus(gsp, VOZ_RC_PATH_TOO_LONG, 2675);
    } else if (function != 'R' && function != 'C' && function != 'M') {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2676);
    } else {
        moveIndex(function, idxname, idxdir, targetname, gsp);
    }
    vozTraceCallEnd("VOZ_moveIndex", gsp, VOZ_GA_ORIGIN);
    vozBTraceEnd(nullptr, 0, gsp);
}
