// voz_gtrmaint.cpp -- VOZ_mergeIndex, VOZ_mergeIndexFinish, GTRdeleteDoc
// and GTRdeleteDocFinish (see voz_gtrmaint.hpp).
#include "calls/voz_gtrmaint.hpp"

#include <cstring>
#include <new>

#include "build/voz_deldoc.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrstage.hpp"
#include "calls/voz_trace.hpp"
#include "characters/voz_cut.hpp"

#define VOZ_MT_STR2(x) #x
#define VOZ_MT_STR(x) VOZ_MT_STR2(x)
#define VOZ_MT_ORIGIN __FILE__ ":" VOZ_MT_STR(__LINE__)

namespace {

constexpr size_t kMaxNames = 2046;
constexpr size_t kMaxWorkDir = 2047;
constexpr int32_t kRcMissing = 20;
constexpr uint8_t kTextBit = 0x80;
constexpr uint8_t kItemBit = 0x40;

// The two sub-indexes, text first.
struct SubIndex {
    const char* letters;
    const char* prefix;
    uint8_t bit;
};
constexpr SubIndex kSubs[2] = {{"KPLQ", "Full", kTextBit}, {"MRNS", "Item", kItemBit}};

void copyFailure(GTRSTATUS* gsp, const GTRSTATUS& own) {
    if (gsp != nullptr && voz_Failed(&own) && !voz_Failed(gsp)) {
        const uint8_t processed = gsp->processed_index;
        *gsp = own;
        gsp->processed_index = processed;
    }
}

// Cancels the deletion of both sub-indexes and frees the handle.
void dropDeleteHandle(VOZCREATEHANDLE* h) {
    GTRSTATUS own{};
    vozDeleteDocTermPair(h->text, h->item, 'C', &own);
    vozDeleteDocFree(h->text);
    vozDeleteDocFree(h->item);
    memset(h->tag, 0, sizeof h->tag);
    delete h;
}

// GTRdeleteDoc's argument checks after the handle exists. 0 or -1.
int checkDeleteArgs(const char* idxname, const char* idxdir, const char* wrkdir,
                    GTRSTATUS* gsp) {
    if (idxname == nullptr || idxdir == nullptr || wrkdir == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2667);
        return -1;
    }
    if (idxname[0] == '\0' || strlen(idxname) + strlen(idxdir) > kMaxNames) {
        voz_setStatus(gsp, 29, 2668);
        return -1;
    }
    if (strlen(wrkdir) > kMaxWorkDir) {
        voz_setStatus(gsp, VOZ_RC_PATH_TOO_LONG, 2669);
        return -1;
    }
    return 0;
}

// The deletion blocks of both sub-indexes opened into `h`, the numbers
// deleted and the lists written. False with `h` freed on failure.
bool runDeletion(VOZCREATEHANDLE* h, const char* idxname, const char* idxdir,
                 int32_t* docNO, int32_t numdoc, GTRSTATUS* gsp) {
    vozDeleteDocInit(&h->text, idxname, idxdir, kSubs[0].letters, kSubs[0].prefix, gsp);
    if (!voz_Failed(gsp))
        vozDeleteDocInit(&h->item, idxname, idxdir, kSubs[1].letters, kSubs[1].prefix, gsp);
    if (voz_Failed(gsp)) {
        dropDeleteHandle(h);
        return false;
    }
    // As on an update handle: its record, and on failure its cancel, which
    // frees the handle.
    GTRdeleteDocs(h, numdoc, docNO, nullptr, gsp);
    if (voz_Failed(gsp)) return false;
    vozDeleteDocLast(h->text, gsp);
    if (!voz_Failed(gsp)) vozDeleteDocLast(h->item, gsp);
    if (voz_Failed(gsp)) {
        dropDeleteHandle(h);
        return false;
    }
    return true;
}

}  // namespace

void VOZ_mergeIndex(void** voidmwpp, const char* idxname, const char* idxdir,
                    const char* wrkdir, GTRSYSPARM* sysp, GTRSTATUS* gsp) {
    vozBTraceMerge(voidmwpp, idxname, idxdir, wrkdir, sysp, gsp);
    VOZMERGEHANDLE* h = nullptr;
    if (voidmwpp == nullptr || idxname == nullptr || idxdir == nullptr || wrkdir == nullptr) {
        if (gsp != nullptr) {
            gsp->retcode = VOZ_RC_PARAMETER;
            gsp->errcode = 2662;
        }
    } else {
        *voidmwpp = nullptr;
        voz_ClearStatus(gsp);
        h = new (std::nothrow) VOZMERGEHANDLE();
        if (h == nullptr) voz_setStatus(gsp, VOZ_RC_MEMORY, 2663);
    }
    for (int i = 0; h != nullptr && i < 2; ++i) {
        MERGEWRK** slot = i == 0 ? &h->text : &h->item;
        GTRSTATUS own{};
        VOZ__mergeIndex(slot, idxname, idxdir, kSubs[i].letters, kSubs[i].prefix, wrkdir, sysp,
                        vozCHmarkUnit_Set, vozCHmarkUnit_Chk, VOZ_MERGE_SUPP, nullptr, &own);
        if (own.retcode == kRcMissing) continue;
        if (voz_Failed(&own)) {
            copyFailure(gsp, own);
            break;
        }
        (i == 0 ? h->useText : h->useItem) = 1;
        gsp->processed_index |= kSubs[i].bit;
    }
    if (h != nullptr && voz_Failed(gsp)) {
        GTRSTATUS own{};
        if (h->useText != 0 || h->useItem != 0)
            VOZ__mergeIndexFinish(h->text, h->item, h->useText, h->useItem, 'C', &own);
        delete h;
        h = nullptr;
        gsp->processed_index = 0;
    }
    if (h != nullptr) *voidmwpp = h;
    vozBTraceEnd(h, 0, gsp);
}

void vozMergeIndexStage(void* voidmwp, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    auto* h = static_cast<VOZMERGEHANDLE*>(voidmwp);
    if (h == nullptr) {
        voz_setStatus(gsp, VOZ_RC_HANDLE, 2665);
        return;
    }
    GTRSTATUS own{};
    if (h->useText != 0 || h->useItem != 0) {
        VOZ__mergeIndexStage(h->text, h->item, h->useText, h->useItem, &own);
        if (voz_Failed(&own)) copyFailure(gsp, own);
        else gsp->processed_index = kTextBit | kItemBit;
    }
    delete h;
}

void VOZ_mergeIndexFinish(void* voidmwp, char go_or_cancel, GTRSTATUS* gsp) {
    vozBTraceFinish(VOZ_BT_MERGE_FINISH, voidmwp, static_cast<uint8_t>(go_or_cancel), gsp);
    voz_ClearStatus(gsp);
    auto* h = static_cast<VOZMERGEHANDLE*>(voidmwp);
    if (h == nullptr) {
        voz_setStatus(gsp, VOZ_RC_HANDLE, 2665);
    } else {
        GTRSTATUS own{};
        if (h->useText != 0 || h->useItem != 0) {
            VOZ__mergeIndexFinish(h->text, h->item, h->useText, h->useItem, go_or_cancel, &own);
            if (voz_Failed(&own)) copyFailure(gsp, own);
            else gsp->processed_index = kTextBit | kItemBit;
        }
        delete h;
    }
    vozBTraceEnd(nullptr, 0, gsp);
}

void GTRdeleteDoc(void** cwp, const char* idxname, const char* idxdir,
                  const char* wrkdir, int32_t* docNO, int32_t numdoc,
                  GTRSYSPARM* sysp, GTRSTATUS* gsp) {
    vozBTraceDeleteDoc(cwp, idxname, idxdir, wrkdir, numdoc, docNO, sysp, gsp);
    vozTraceCallStart("GTRdeleteDoc", VOZ_MT_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_MT_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_MT_ORIGIN);
    vozTraceText("wrkdir", wrkdir, VOZ_MT_ORIGIN);
    vozTraceArg("numdoc", &numdoc, 4, VOZ_MT_ORIGIN);
    voz_ClearStatus(gsp);
    if (cwp != nullptr) *cwp = nullptr;
    VOZCREATEHANDLE* h = new (std::nothrow) VOZCREATEHANDLE();
    if (h == nullptr) {
        voz_setStatus(gsp, VOZ_RC_MEMORY, 2666);
    } else if (checkDeleteArgs(idxname, idxdir, wrkdir, gsp) != 0) {
        delete h;
        h = nullptr;
    } else {
        memcpy(h->tag, "CREATWRK", sizeof h->tag);
        h->operation = 'D';
        if (!runDeletion(h, idxname, idxdir, docNO, numdoc, gsp)) h = nullptr;
    }
    if (h != nullptr && cwp == nullptr) {
        dropDeleteHandle(h);  // nowhere to hand it: nothing is kept
        h = nullptr;
    }
    if (h != nullptr) *cwp = h;
    vozTraceCallEnd("GTRdeleteDoc", gsp, VOZ_MT_ORIGIN);
    vozBTraceEnd(h, 0, gsp);
}

void GTRdeleteDocFinish(void* pvoidcwh, char go_or_cancel, GTRSTATUS* gsp) {
    vozBTraceFinish(VOZ_BT_DELETE_DOC_FINISH, pvoidcwh, static_cast<uint8_t>(go_or_cancel), gsp);
    vozTraceCallStart("GTRdeleteDocFinish", VOZ_MT_ORIGIN);
    vozTraceArg("go_or_cancel", &go_or_cancel, 1, VOZ_MT_ORIGIN);
    if (!vozIsCreateHandle(pvoidcwh)) {
        if (gsp != nullptr) {
            gsp->retcode = VOZ_RC_HANDLE;
            gsp->errcode = 2670;
        }
    } else {
        auto* h = static_cast<VOZCREATEHANDLE*>(pvoidcwh);
        GTRSTATUS own{};
        if (go_or_cancel != 'C') {
            vozDeleteDocTermPair(h->text, h->item, 'G', &own);
            if (voz_Failed(&own) && gsp != nullptr) *gsp = own;
        }
        dropDeleteHandle(h);  // a cancel after a commit finds no "#del"
    }
    vozTraceCallEnd("GTRdeleteDocFinish", gsp, VOZ_MT_ORIGIN);
    vozBTraceEnd(nullptr, 0, gsp);
}
