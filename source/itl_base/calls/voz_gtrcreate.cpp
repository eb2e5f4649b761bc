// voz_gtrcreate.cpp -- GTRcreateIndexInit (argument checks, the creation
// parameters of each sub-index, the stop-word lists), GTRdeleteDocs,
// GTRcreateIndexLast, GTRcreateIndexTerm and the cancel of an update.
// The document and item calls are in voz_gtrdoc.cpp and voz_itempool.cpp.
#include "calls/voz_gtrcreate.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <unistd.h>

#include "build/voz_createend.hpp"
#include "build/voz_creatwrk.hpp"
#include "build/voz_stopword.hpp"
#include "calls/voz_btrace.hpp"
#include "calls/voz_gtrstage.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_reserved.hpp"
#include "characters/voz_cut.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr const char* kTag = "CREATWRK";
constexpr size_t kMaxPath = 2047;

// The creation parameters of one sub-index (purpose 1 text, 2 items) from
// the caller's record (null: the defaults).
GTRCREATEPARM parmOf(const GTRHCREATEPARM* h, uint8_t purpose,
                     uint8_t built) {
    GTRCREATEPARM p;
    memset(&p, 0, sizeof p);
    VOZ_CPINFO cp{};
    cp.code = h != nullptr ? h->codepage : 1;
    vozCHsetCPInfo(&cp);
    const uint8_t type = h != nullptr ? h->index_type : 0;
    const uint8_t sub = h != nullptr ? h->index_subtype : 0;
    p.fixedKeyUnits = type >= 1 && type <= 3 ? type : 2;
    p.headKeyUnits = sub >= 1 && sub <= 3 ? sub : 3;
    p.inputUnitWidth = vozCHlen(cp);
    p.storedUnitWidth = vozCHlenVar();
    p.codeInfo[0] = cp.code;
    p.codeInfo[1] = purpose;
    p.codeInfo[2] = h != nullptr ? h->disable : 0;
    p.codeInfo[3] = h != nullptr && purpose == 1 ? h->word_rule : 0;
    p.options[0] = 17;
    p.options[1] = 18;
    p.options[2] = 8;   // the word-start mark value
    p.options[3] = purpose == 1 ? 0 : 31;
    p.sysparmArgument = 0;
    // The key index of a case-keeping index also holds every window in its
    // case-folded form, so that case-insensitive words find all cases: the
    // text words of the text sub-index and the equal words over the letter
    // runs of character items in the item sub-index.
    if (h == nullptr || (h->disable & 1) == 0)
        p.unitEquivalence = vozCHgetFuncSeemAsSameUnit(cp.code);
    p.keyCallback = vozCHmarkUnit_Chk;
    p.markSetter = vozCHmarkUnit_Set;  // the key index frames token keys
    p.storeParameter = h != nullptr ? h->block_threshold : -1;
    p.reservedShort = -1;
    p.storeSubParameter = -1;
    p.storeBlockUnit = h != nullptr ? h->block_size : -1;
    p.storeFlag = h != nullptr && h->stop_word_list_num != 0 ? 1 : 0;
    if (purpose == 1) p.memoryScale = built == 3 ? 2 : 1;
    else p.memoryScale = built == 3 ? 4 : 1;
    if (h != nullptr) {
        p.specialLength = h->special_alpha_num;
        memcpy(p.specialLetters, h->special_alpha_list,
               sizeof p.specialLetters);
    }
    return p;
}

// Step 4 of the start: the caller's creation record.
bool checkCreateParm(GTRHCREATEPARM* h, GTRSTATUS* st) {
    if (h == nullptr) return true;
    int ec = 0;
    int rc = 2;
    if (h->index_purpose < 1 || h->index_purpose > 3) ec = 2514;
    else if (h->codepage < 1 || h->codepage > 37) rc = 108, ec = 2505;
    else if (h->disable & ~3) ec = 2506;
    else if (h->word_rule > 1) ec = 2507;
    if (ec == 0 && h->stop_word_list_num == 255) h->stop_word_list_num = 0;
    if (ec == 0 && h->stop_word_list_num > 1) ec = 2728;
    if (ec == 0 && h->special_alpha_num > 16) ec = 2508;
    for (int i = 0; ec == 0 && i < h->special_alpha_num; ++i) {
        const uint8_t c = static_cast<uint8_t>(h->special_alpha_list[i]);
        if (c < 0x21) ec = 2509;
        else if (c >= '0' && c <= '9') ec = 2510;
        else if (c >= 'A' && c <= 'Z') ec = 2511;
        else if (c >= 'a' && c <= 'z') ec = 2512;
        else if (c > 0x7E) ec = 2513;
    }
    if (ec == 0) return true;
    voz_setStatus(st, rc, ec);
    return false;
}

// One line's token into the stop-word registry of list `list`.
bool registerStopToken(CREATWRK* cw, const GTRCREATEPARM& parm, uint8_t list,
                       const char* token, const char* file, int line,
                       GTRSTATUS* st) {
    VOZ_CPINFO cp{};
    cp.code = parm.codeInfo[0];
    vozCHsetCPInfo(&cp);
    const int16_t w = vozCHlen(cp);
    uint8_t* units = nullptr;
    int32_t len = 0;
    vozNormalizeDoc(reinterpret_cast<const uint8_t*>(token),
                    static_cast<int32_t>(strlen(token)), cp, VOZ_NORM_TEXT,
                    &units, &len, nullptr, &parm, st);
    bool ok = !voz_Failed(st);
    if (ok) {
        uint8_t* ps = nullptr;
        uint8_t* pe = nullptr;
        uint8_t* next = nullptr;
        const int32_t word = len >= w ? Func_CutIntoPart[parm.codeInfo[3] & 1](
                                            units, units + len, w, &ps, &pe,
                                            &next)
                                      : 0;
        if (word == 0 || ps != units || pe != units + len) {
            voz_setStatus(st, 151, 2550, file);
            st->detail = line;
            ok = false;
        }
    }
    if (ok) {
        vozCHcaseInsensAlpha(units, len, w);
        if (vozRegisterStopWord(cw, list, reinterpret_cast<const char*>(units),
                                static_cast<uint32_t>(len), st) != 0) {
            st->detail = line;
            voz_StatusName(st->errfname1, file);
            ok = false;
        }
    }
    free(units);
    return ok;
}

bool readStopFile(CREATWRK* cw, const GTRCREATEPARM& parm, uint8_t list,
                  const char* file, GTRSTATUS* st) {
    FILE* f = fopen(file, "r");
    if (f == nullptr) {
        voz_setStatus(st, 3, 2549, file, errno);
        return false;
    }
    char buf[256];
    int line = 0;
    bool ok = true;
    while (ok && fgets(buf, sizeof buf, f) != nullptr) {
        ++line;
        char* save = nullptr;
        char* token = strtok_r(buf, " \n\r", &save);
        if (token == nullptr) continue;
        ok = registerStopToken(cw, parm, list, token, file, line, st);
        if (ok && strtok_r(nullptr, " \n\r", &save) != nullptr) {
            voz_setStatus(st, 151, 2551, file);
            st->detail = line;
            ok = false;
        }
    }
    fclose(f);
    return ok;
}

}  // namespace

bool vozReadStopLists(CREATWRK* cw, const GTRHCREATEPARM* h, GTRSTATUS* st) {
    if (h->stop_word_list_num == 0 || cw == nullptr) return true;
    if (h->paStopWordList == nullptr) {
        voz_setStatus(st, 2, 2548);
        return false;
    }
    const GTRCREATEPARM parm = parmOf(h, 1, h->index_purpose);
    if (vozRegisterStopWordInit(cw, h->stop_word_list_num, st) != 0)
        return false;
    for (uint8_t i = 0; i < h->stop_word_list_num; ++i) {
        const char* file = h->paStopWordList[i].pszStopWordList;
        if (file == nullptr) {
            voz_setStatus(st, 2, 2548);
            return false;
        }
        if (!readStopFile(cw, parm, i, file, st)) return false;
    }
    return vozRegisterStopWordTerm(
               cw, static_cast<uint16_t>(parm.inputUnitWidth), st) == 0;
}

namespace {

// Steps 1-3 of the start: names and reserved fields.
bool checkInitArgs(const char* idxname, const char* outdir, const char* wrkdir,
                   const int32_t* currmaxdoc, const GTRHCREATEPARM* h,
                   const GTRSYSPARM* sysp, GTRSTATUS* st) {
    if (idxname == nullptr || outdir == nullptr || wrkdir == nullptr ||
        currmaxdoc == nullptr) {
        voz_setStatus(st, 2, 2501);
        return false;
    }
    if (idxname[0] == '\0' || strlen(idxname) + strlen(outdir) > kMaxPath - 1) {
        voz_setStatus(st, 35, 2502, idxname);
        return false;
    }
    if (strlen(wrkdir) > kMaxPath) {
        voz_setStatus(st, 35, 2503, wrkdir);
        return false;
    }
    if (vozReservedCheck_GTRHCREATEPARM(h, st) != 0 || voz_Failed(st))
        return false;
    return vozReservedCheck_GTRSYSPARM(sysp, st) == 0 && !voz_Failed(st);
}

// Opens the work areas (step 7) and the stop-word lists (step 8).
bool openSubIndexes(VOZCREATEHANDLE* h, const char* outdir, const char* wrkdir,
                    char operation, char batchonline, GTRHCREATEPARM* hc,
                    GTRSYSPARM* sysp, int32_t* currmaxdoc, GTRSTATUS* st) {
    const uint8_t purpose = hc != nullptr ? hc->index_purpose : 1;
    const char* name = operation == 'N' ? h->tempName : h->indexName;
    if (purpose & 1) {
        VOZ_createIndexInit(&h->text, name, outdir, "KPLQ", "Full", wrkdir,
                            operation, batchonline, parmOf(hc, 1, purpose),
                            sysp, currmaxdoc, st);
        if (voz_Failed(st)) return false;
    }
    if (purpose & 2) {
        VOZ_createIndexInit(&h->item, name, outdir, "MRNS", "Item", wrkdir,
                            operation, batchonline, parmOf(hc, 2, purpose),
                            sysp, currmaxdoc, st);
        if (voz_Failed(st)) return false;
    }
    return hc == nullptr || vozReadStopLists(h->text, hc, st);
}

// Ends both work areas with `how` (a commit switches both sub-indexes in
// under one mark); failures go into `st` when it has none.
void endAreas(VOZCREATEHANDLE* h, char how, GTRSTATUS* st) {
    if (h->text == nullptr && h->item == nullptr) return;
    GTRSTATUS own{};
    VOZ_createIndexTermPair(h->text, h->item, how, &own);
    h->text = nullptr;
    h->item = nullptr;
    if (voz_Failed(&own) && !voz_Failed(st)) *st = own;
}

void freeHandle(VOZCREATEHANDLE* h) {
    if (h->buildLock >= 0) close(h->buildLock);
    memset(h->tag, 0, sizeof h->tag);
    delete h;
}

// The commit of GTRcreateIndexTerm; the first failure in `gsp`.
bool commit(VOZCREATEHANDLE* h, GTRSTATUS* gsp) {
    const int built = (h->text != nullptr ? 1 : 0) | (h->item != nullptr ? 2 : 0);
    if (h->text != nullptr && vozWriteStopWordFile(h->text, gsp) != 0)
        return false;
    endAreas(h, 'G', gsp);
    if (voz_Failed(gsp)) return false;
    if (h->operation != 'N') return true;
    return vozCommitNewIndex(h->outDir, h->indexName, h->tempName, built,
                             gsp) == 0;
}

// The commit of vozCreateIndexStage: as commit() up to the journal, which
// is written as the pending journal. The first failure in `gsp`.
bool stage(VOZCREATEHANDLE* h, GTRSTATUS* gsp) {
    if (h->operation == 'N') {
        // The switch of a new index is no journal step.
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2426);
        return false;
    }
    if (h->text != nullptr && vozWriteStopWordFile(h->text, gsp) != 0)
        return false;
    if (h->text == nullptr && h->item == nullptr) return true;
    GTRSTATUS own{};
    VOZ_createIndexStagePair(h->text, h->item, &own);
    h->text = nullptr;
    h->item = nullptr;
    if (voz_Failed(&own)) *gsp = own;
    return !voz_Failed(gsp);
}

}  // namespace

void vozCreateIndexStage(void* cwp, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    if (!vozIsCreateHandle(cwp)) {
        voz_setStatus(gsp, VOZ_RC_HANDLE, 2517);
        return;
    }
    auto* h = static_cast<VOZCREATEHANDLE*>(cwp);
    GTRSTATUS st{};
    if (!stage(h, &st)) {
        if (gsp != nullptr) *gsp = st;
        vozCancelCreate(h);
    } else {
        freeHandle(h);
    }
}

bool vozIsCreateHandle(const void* cwp) {
    return cwp != nullptr &&
           memcmp(static_cast<const VOZCREATEHANDLE*>(cwp)->tag, kTag, 9) == 0;
}

void vozCancelCreate(VOZCREATEHANDLE* h) {
    GTRSTATUS own{};
    endAreas(h, 'C', &own);
    if (h->operation == 'N' && h->tempName[0] != '\0') {
        const std::string dir = std::string(h->outDir) + "/" + h->tempName;
        vozRemoveBuild(dir.c_str());
    }
    freeHandle(h);
}

void GTRcreateIndexInit(void** cwpp, const char* idxname, const char* outdir,
                        const char* wrkdir, char operation, char batchonline,
                        GTRHCREATEPARM* hcparmp, GTRSYSPARM* sysp,
                        int32_t* currmaxdoc, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    vozBTraceCreateInit(cwpp != nullptr ? *cwpp : nullptr, idxname, outdir,
                        wrkdir, static_cast<uint8_t>(operation),
                        static_cast<uint8_t>(batchonline), hcparmp, sysp,
                        currmaxdoc, gsp);
    if (!checkInitArgs(idxname, outdir, wrkdir, currmaxdoc, hcparmp, sysp,
                       gsp) ||
        !checkCreateParm(hcparmp, gsp)) {
        vozBTraceEnd(nullptr, 0, gsp);
        return;
    }
    VOZCREATEHANDLE* h = new (std::nothrow) VOZCREATEHANDLE();
    if (h == nullptr) {
        voz_setStatus(gsp, 11, 2515);
        vozBTraceEnd(nullptr, 0, gsp);
        return;
    }
    memcpy(h->tag, kTag, 9);
    h->operation = operation;
    snprintf(h->indexName, sizeof h->indexName, "%s", idxname);
    snprintf(h->outDir, sizeof h->outDir, "%s", outdir);
    bool ok = true;
    // Every start clears what killed cycles of this index left behind:
    // their builds and an old index a switch had set aside.
    vozRemoveUnfinishedBuilds(outdir, idxname);
    if (operation == 'N') {
        ok = vozCreateTempDir(h->tempName, outdir, idxname, gsp) == 0;
        if (ok) {
            const std::string build = std::string(outdir) + "/" + h->tempName;
            h->buildLock = vozLockBuild(build.c_str());
        }
        // A build it cannot lock (another start cleared it as a leftover
        // in the instant before the lock) is no build of this cycle.
        if (ok && (h->buildLock < 0 ||
                   vozMarkBuildOwner(outdir, h->tempName, idxname) != 0)) {
            voz_setStatus(gsp, 140, 2115, h->tempName, errno);
            ok = false;
        }
    }
    ok = ok && openSubIndexes(h, outdir, wrkdir, operation, batchonline,
                              hcparmp, sysp, currmaxdoc, gsp);
    if (!ok) {
        if (cwpp != nullptr) *cwpp = nullptr;
        vozCancelCreate(h);
        vozBTraceEnd(nullptr, 0, gsp);
        return;
    }
    if (cwpp != nullptr) *cwpp = h;
    vozBTraceEnd(h, 0, gsp);
}

void GTRdeleteDocs(void* cwp, int32_t count, int32_t* docnos, void* reserved,
                   GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    vozBTraceDeleteDocs(cwp, count, docnos, reserved, gsp);
    if (!vozIsCreateHandle(cwp)) {
        voz_setStatus(gsp, 2, 2518);
        vozBTraceEnd(cwp, 0, gsp);
        return;
    }
    auto* h = static_cast<VOZCREATEHANDLE*>(cwp);
    if (reserved != nullptr) voz_setStatus(gsp, 2, 2518);
    const uint32_t n = count > 0 ? static_cast<uint32_t>(count) : 0;
    const uint32_t* ids = reinterpret_cast<const uint32_t*>(docnos);
    for (CREATWRK* cw : {h->text, h->item}) {
        if (voz_Failed(gsp)) break;
        if (cw != nullptr && n > 0) VOZ_deleteDocs(cw->indexSets, n, ids, gsp);
        if (voz_Failed(gsp)) break;
    }
    if (voz_Failed(gsp)) vozCancelCreate(h);
    vozBTraceEnd(voz_Failed(gsp) ? nullptr : cwp, 0, gsp);
}

void GTRcreateIndexLast(void* cwp, GTRSTATUS* gsp) {
    vozBTraceCreateLast(cwp, gsp);
    if (!vozIsCreateHandle(cwp)) {
        voz_ClearStatus(gsp);   // the record is written where the call fails
        voz_setStatus(gsp, 1, 2516);
        vozBTraceEnd(cwp, 0, gsp);
        return;
    }
    auto* h = static_cast<VOZCREATEHANDLE*>(cwp);
    GTRSTATUS st{};
    for (CREATWRK* cw : {h->text, h->item}) {
        if (cw != nullptr && VOZ_createIndexLast(cw, &st) != 0) break;
    }
    if (voz_Failed(&st)) {
        if (gsp != nullptr) *gsp = st;
        vozCancelCreate(h);
        cwp = nullptr;
    }
    vozBTraceEnd(cwp, 0, gsp);
}

void GTRcreateIndexTerm(void* cwp, char go_or_cancel, GTRSTATUS* gsp) {
    vozBTraceFinish(VOZ_BT_CREATE_TERM, cwp,
                    static_cast<uint8_t>(go_or_cancel), gsp);
    if (!vozIsCreateHandle(cwp)) {
        voz_ClearStatus(gsp);
        voz_setStatus(gsp, 1, 2517);
        vozBTraceEnd(cwp, 0, gsp);
        return;
    }
    auto* h = static_cast<VOZCREATEHANDLE*>(cwp);
    GTRSTATUS st{};
    if (go_or_cancel == 'C' || !commit(h, &st)) {
        if (voz_Failed(&st) && gsp != nullptr) *gsp = st;
        vozCancelCreate(h);
    } else {
        freeHandle(h);
    }
    vozBTraceEnd(nullptr, 0, gsp);
}

int32_t GTRcreateIndexPluralDoc(void*, void*, void*, void*, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    voz_setStatus(gsp, 50, 2534);
    return -1;
}

int32_t GTRcreateItemIndexPluralDoc(void*, void*, void*, void*,
                                    GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    voz_setStatus(gsp, 50, 2542);
    return -1;
}
