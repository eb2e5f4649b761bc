// voz_srchopen.cpp -- the search handle: VOZ_SearchOpen_, VOZ_SearchClose_,
// VOZ_SearchRelease, and the open and close of one half with its
// key-information cache (see voz_search.hpp, voz_srchopen.hpp).
//
// Before a half is opened, a commit of the index that a crash left half
// done is finished (the builder's journal, rolled forward only): a search
// never sees a half-switched index.
#include <cstdlib>
#include <cstring>

#include "build/voz_journal.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_search.hpp"
#include "search/voz_srchopen.hpp"

namespace {

void copyText(char* dst, const char* src, size_t cap) {
    size_t n = src != nullptr ? strnlen(src, cap - 1) : 0;
    if (n > 0) memcpy(dst, src, n);
    dst[n] = '\0';
}

bool sameIndex(const VOZSEARCHHALF* half, const char* name, const char* dir,
               const char* initials) {
    return half->lastName[0] != '\0' && strcmp(half->lastName, name) == 0 &&
           strcmp(half->lastDir, dir) == 0 &&
           memcmp(half->lastInitials, initials, 4) == 0;
}

// Reads and checks the basic information of the open set `v` and takes its
// key-index block from the cache (same index, equal record) or the file.
int readKeyInfo(IDXINFO* v, bool same, KEYINFO_0* cached,
                KEYIDX_ENTRY** cachedBlock, GTRSTATUS* st) {
    KEYINFO_0 rec;
    if (voz_ReadKeyInfo(&v->fctl, &rec, 0, nullptr, st) != 0) return -1;
    if (voz_SetIndexBasic(v, &rec, st) != 0) return -1;
    if (same && *cachedBlock != nullptr &&
        memcmp(cached, &v->info, sizeof(KEYINFO_0)) == 0) {
        v->keyIndex = *cachedBlock;
        *cachedBlock = nullptr;
        return 0;
    }
    v->keyIndex = nullptr;
    if (v->info.keyIndexEntries == 0) return 0;
    return voz_ReadKeyInfo2(&v->fctl, &v->info, &v->keyIndex, st);
}

void closeSet(IDXINFO* v, const VOZSEARCHHALF* half, int k, bool set1,
              int keyOnly) {
    if (keyOnly && !set1)
        voz_IDXcloseKey(&v->fctl, nullptr);
    else
        voz_IDXclose(&v->fctl, nullptr);
    KEYIDX_ENTRY* cached = set1 ? half->cacheBlock1[k] : half->cacheBlock0[k];
    if (v->keyIndex != nullptr && v->keyIndex != cached) free(v->keyIndex);
    v->keyIndex = nullptr;
    if (!keyOnly && !set1 && v->fctl.deletedDocs != nullptr) {
        vozFreeDeletedDocs(v->fctl.deletedDocs, nullptr, nullptr);
        v->fctl.deletedDocs = nullptr;
    }
}

void closeHalf(VOZSEARCHHALF* half, int keyOnly) {
    for (int k = 0; k < 2; ++k) {
        closeSet(&half->set0[k], half, k, false, keyOnly);
        closeSet(&half->set1[k], half, k, true, keyOnly);
    }
}

// Opens file set k (0 main, 1 supp) of the half. Returns 0 when open,
// 1 when a supp set does not exist, -1 on failure.
int openSet(VOZSEARCH* h, VOZSEARCHHALF* half, int k, const char* initials,
            const char* prefix, bool same, GTRSTATUS* st, int keyOnly) {
    IDXINFO* v0 = &half->set0[k];
    IDXINFO* v1 = &half->set1[k];
    if (voz_SetFctlForRead(&v0->fctl, h->indexName, h->indexDir, k, 0,
                           initials, prefix, st) != 0 ||
        voz_SetFctlForRead(&v1->fctl, h->indexName, h->indexDir, k, 1,
                           initials, prefix, st) != 0)
        return -1;
    v0->fctl.flags |= VOZ_FCTL_TAKE_FLAGS;
    GTRSTATUS why{};
    int rc = keyOnly ? voz_IDXopenKey(&v0->fctl, "rb", &why)
                     : voz_IDXopen(&v0->fctl, "rb", &why);
    if (rc != 0) {
        voz_IDXclose(&v0->fctl, nullptr);
        GTRSTATUS probe{};
        if (voz_IDXqueryExistence(&v0->fctl, nullptr, &probe) == VOZ_EXISTS) {
            voz_setStatus2(st, why.retcode, why.errcode, why.errfname1,
                           why.errfname2, why.system_errno);
            return -1;
        }
        if (k == 1) return 1;
        voz_setStatus(st, 20, 264, why.errfname1);
        return -1;
    }
    h->setOpen[k] = 1;
    if (readKeyInfo(v0, same, &half->cache0[k], &half->cacheBlock0[k], st) != 0)
        return -1;
    if (!keyOnly && voz_IDXfileExistence(&v0->fctl, VOZ_FT_DELETED) == 0) {
        v0->fctl.deletedDocs = vozAllocateDeletedDocs(&v0->fctl, 0, st);
        if (voz_Failed(st)) return -1;
    }
    if (v0->info.varKeys <= v0->info.filteredVarKeys) return 0;
    v1->fctl.flags |= VOZ_FCTL_TAKE_FLAGS;
    if (voz_IDXopen(&v1->fctl, "rb", st) != 0) return -1;
    return readKeyInfo(v1, same, &half->cache1[k], &half->cacheBlock1[k], st);
}

// Leaves the cache holding the blocks of the views just opened.
void saveCache(VOZSEARCHHALF* half, const VOZSEARCH* h, const char* initials) {
    for (int k = 0; k < 2; ++k) {
        half->cache0[k] = half->set0[k].info;
        half->cache1[k] = half->set1[k].info;
        half->cacheBlock0[k] = half->set0[k].keyIndex;
        half->cacheBlock1[k] = half->set1[k].keyIndex;
    }
    copyText(half->lastName, h->indexName, sizeof half->lastName);
    copyText(half->lastDir, h->indexDir, sizeof half->lastDir);
    memcpy(half->lastInitials, initials, 4);
}

void fillParm(GTRCREATEPARM* p, const KEYINFO_0& k, bool special) {
    if (p == nullptr) return;
    memset(p, 0, sizeof *p);
    p->fixedKeyUnits = static_cast<int16_t>(k.fixedKeyUnits);
    p->headKeyUnits = static_cast<int16_t>(k.headKeyUnits);
    p->inputUnitWidth = static_cast<int16_t>(k.unitWidth);
    memcpy(p->options, k.options, sizeof p->options);
    memcpy(p->codeInfo, k.codeInfo, sizeof p->codeInfo);
    p->sysparmArgument = 0;  // the system parameters' value; none is kept
    if (special && k.specialLength != 0) {
        p->specialLength = k.specialLength > VOZ_SPECIAL_LETTERS_MAX
                               ? VOZ_SPECIAL_LETTERS_MAX : k.specialLength;
        memcpy(p->specialLetters, k.specialLetters, p->specialLength);
    }
}

// Finishes a commit of the index that a crash interrupted.
void rollForward(const VOZSEARCH* h, const char* initials, const char* prefix,
                 GTRSTATUS* st) {
    _FCTLHEAD any;
    if (voz_SetFctlForRead(&any, h->indexName, h->indexDir, 0, 0, initials,
                           prefix, st) != 0)
        return;
    if (voz_JnlMarkExists(&any)) voz_JnlRollForward(&any, st);
}

}  // namespace

void voz_ForgetSearchCache(VOZSEARCHHALF* half) {
    for (int k = 0; k < 2; ++k) {
        free(half->cacheBlock0[k]);
        free(half->cacheBlock1[k]);
        half->cacheBlock0[k] = half->cacheBlock1[k] = nullptr;
    }
    half->lastName[0] = '\0';
}

int voz_OpenIndexForSearch_(VOZSEARCH* h, const char* name, const char* dir,
                            const char* initials, const char* prefix,
                            VOZSEARCHHALF* half, GTRSTATUS* st, int keyOnly) {
    bool same = sameIndex(half, name, dir, initials);
    copyText(h->indexName, name, sizeof h->indexName);
    copyText(h->indexDir, dir, sizeof h->indexDir);
    memcpy(h->initials, initials, 4);
    for (int k = 0; k < 2; ++k) {
        memset(&half->set0[k], 0, sizeof(IDXINFO));
        memset(&half->set1[k], 0, sizeof(IDXINFO));
        h->setOpen[k] = 0;
    }
    for (int k = 0; k < 2 && !voz_Failed(st); ++k) {
        int rc = openSet(h, half, k, initials, prefix, same, st, keyOnly);
        if (rc == 1) break;  // no supp set
    }
    bool failed = voz_Failed(st);
    if (failed) closeHalf(half, keyOnly);  // nothing of the half stays open
    // Blocks not moved into a view are stale now; the views' blocks become
    // the cache of this open.
    voz_ForgetSearchCache(half);
    if (!failed) saveCache(half, h, initials);
    return failed ? -1 : 0;
}

void voz_CloseIndexForSearch_(VOZSEARCH* h, int keyOnly) {
    if (h->openState & VOZ_OPEN_FIRST) closeHalf(&h->first, keyOnly);
    if (h->openState & VOZ_OPEN_SECOND) closeHalf(&h->second, keyOnly);
}

void VOZ_SearchOpen_(VOZSEARCH** handle, const char* name, const char* dir,
                     const char* initials1, const char* initials2,
                     const char* prefix1, const char* prefix2,
                     const char* tempDir, GTRCREATEPARM* parm1,
                     GTRCREATEPARM* parm2, uint8_t halves, GTRSTATUS* st,
                     int keyOnly) {
    voz_ClearStatus(st);
    if (parm1 != nullptr) memset(parm1, 0, sizeof *parm1);
    if (parm2 != nullptr) memset(parm2, 0, sizeof *parm2);
    VOZSEARCH* h = *handle;
    if (h == nullptr) {
        h = static_cast<VOZSEARCH*>(calloc(1, sizeof(VOZSEARCH)));
        if (h == nullptr) return voz_setStatus(st, VOZ_RC_MEMORY, 1401);
        *handle = h;
    }
    size_t len = name != nullptr ? strnlen(name, VOZ_SRCH_NAME_MAX + 1) : 0;
    if (len == 0 || len > VOZ_SRCH_NAME_MAX)
        return voz_setStatus(st, 29, 1402);
    if (tempDir != nullptr &&
        strnlen(tempDir, VOZ_SRCH_NAME_MAX + 1) > VOZ_SRCH_NAME_MAX)
        return voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 1403);
    copyText(h->tempDir, tempDir, sizeof h->tempDir);
    // A handle reopened without a close: its files are closed first, so
    // that neither files nor key-index blocks are lost.
    voz_CloseIndexForSearch_(h, 0);
    h->openState = 0;
    if (dir == nullptr) dir = "";
    bool firstSupp = false;
    if (halves & VOZ_HALF_TEXT) {
        copyText(h->indexName, name, sizeof h->indexName);
        copyText(h->indexDir, dir, sizeof h->indexDir);
        rollForward(h, initials1, prefix1, st);
        if (voz_Failed(st) ||
            voz_OpenIndexForSearch_(h, name, dir, initials1, prefix1,
                                    &h->first, st, keyOnly) != 0)
            return;
        fillParm(parm1, h->first.set0[0].info, true);
        h->openState |= VOZ_OPEN_FIRST;
        firstSupp = h->setOpen[1] != 0;
    }
    if (halves & VOZ_HALF_ITEM) {
        copyText(h->indexName, name, sizeof h->indexName);
        copyText(h->indexDir, dir, sizeof h->indexDir);
        rollForward(h, initials2, prefix2, st);
        if (voz_Failed(st) ||
            voz_OpenIndexForSearch_(h, name, dir, initials2, prefix2,
                                    &h->second, st, keyOnly) != 0)
            return;
        fillParm(parm2, h->second.set0[0].info, false);
        h->openState |= VOZ_OPEN_SECOND;
        if ((halves & VOZ_HALF_TEXT) && !firstSupp) h->setOpen[1] = 0;
    }
}

void VOZ_SearchClose_(VOZSEARCH* handle, GTRSTATUS* st, int keyOnly) {
    voz_ClearStatus(st);
    if (handle != nullptr) voz_CloseIndexForSearch_(handle, keyOnly);
}

void VOZ_SearchRelease(VOZSEARCH** handle, GTRSTATUS* st) {
    voz_ClearStatus(st);
    if (handle == nullptr || *handle == nullptr) return;
    VOZSEARCH* h = *handle;
    // A caller that did not close: close the index files (a key-only open
    // holds only key files, which the full close closes as well).
    voz_CloseIndexForSearch_(h, 0);
    voz_ForgetSearchCache(&h->first);
    voz_ForgetSearchCache(&h->second);
    free(h);
    *handle = nullptr;
}
