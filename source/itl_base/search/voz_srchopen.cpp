// voz_srchopen.cpp -- the search handle: VOZ_SearchOpen_, VOZ_SearchClose_,
// VOZ_SearchRelease, and the open and close of one half with its
// key-information cache (see voz_search.hpp, voz_srchopen.hpp).
//
// Before a half is opened, a commit of the index that a crash left half
// done is finished (the builder's journal, rolled forward only): a search
// never sees a half-switched index.
//
// Kept handles: a handle that the caller keeps between searches may leave
// a half's files open after a search (VOZ_SearchPark_) and use them again
// at the next open of the same index. A commit never writes into a live
// sub-index directory; it switches whole directories (main, supp, deleted
// lists) by rename, and deleting, renaming or rebuilding the index puts
// other directories at those paths as well. So before the half's files
// are first opened, the three directories are pinned (files/voz_dirpin.hpp),
// and the open files are used again only while each path still names its
// pinned directory (or is still absent). Any difference closes the half
// and opens it anew. The pins are taken from the second open of the same
// index on a handle. Only sets whose positions lie in the sequential file
// of their own directory are kept: the block store starts a transaction
// when it opens and is closed after every search as before.
#include <cstdlib>
#include <cstring>

#include "build/voz_journal.hpp"
#include "files/voz_dirpin.hpp"
#include "files/voz_keycache.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_pagedarray.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_search.hpp"
#include "search/voz_srchopen.hpp"

// What a kept handle holds of one half between searches.
struct VOZKEPTHALF {
    VOZDIRPIN pins[3];        // main, supp and deleted-list directories
    char paths[3][VOZ_FNAME_LEN];  // the pinned paths
    char prefix[VOZ_SUBDIR_PREFIX_LEN];  // subdirectory prefix of the open
    bool pinned;              // pins taken before this open's files
    bool opened;              // the views below are this open's
    bool held;                // the files stay open until the next open
    int32_t setOpen[2];       // the handle's set-open flags after the open
    IDXINFO set0[2];          // the views as the open left them
    IDXINFO set1[2];
};

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
    voz_KeyCacheEnd(&v->fctl);
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
    const bool cache = keyOnly == 0 && half->kept != nullptr && half->kept->pinned;
    if (cache) voz_KeyCacheStart(&v0->fctl);
    if (!keyOnly && voz_IDXfileExistence(&v0->fctl, VOZ_FT_DELETED) == 0) {
        v0->fctl.deletedDocs = vozAllocateDeletedDocs(&v0->fctl, 0, st);
        if (voz_Failed(st)) return -1;
    }
    if (v0->info.varKeys <= v0->info.filteredVarKeys) return 0;
    v1->fctl.flags |= VOZ_FCTL_TAKE_FLAGS;
    if (voz_IDXopen(&v1->fctl, "rb", st) != 0) return -1;
    if (readKeyInfo(v1, same, &half->cache1[k], &half->cacheBlock1[k], st) != 0)
        return -1;
    if (cache) voz_KeyCacheStart(&v1->fctl);
    return 0;
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

enum { kPinMain = 0, kPinSupp = 1, kPinDeleted = 2, kPins = 3 };

// Names the directories the half's files come from into kept->paths. False
// when the half cannot be kept: an alternate directory, a path too long.
bool pinPaths(const char* name, const char* dir, const char* initials,
              const char* prefix, VOZKEPTHALF* kept) {
    _FCTLHEAD f;
    GTRSTATUS ignored{};
    const int cap = static_cast<int>(VOZ_FNAME_LEN);
    for (int k = 0; k < 2; ++k) {
        if (voz_SetFctlForRead(&f, name, dir, k, 0, initials, prefix,
                               &ignored) != 0 ||
            f.altDirectory[0] != '\0' ||
            voz_IDXgetFname(kept->paths[kPinMain + k], &f,
                            VOZ_FT_KEY | VOZ_FT_DIR) >= cap)
            return false;
    }
    return voz_IDXgetFname(kept->paths[kPinDeleted], &f,
                           VOZ_FT_DELETED | VOZ_FT_DIR) < cap;
}

bool isHeld(const VOZSEARCHHALF* half) {
    return half->kept != nullptr && half->kept->held;
}

// Lets go of the pins; the half's files are the caller's to close.
void unpinHalf(VOZSEARCHHALF* half) {
    VOZKEPTHALF* k = half->kept;
    if (k == nullptr) return;
    for (VOZDIRPIN& p : k->pins) voz_Unpin(&p);
    k->pinned = k->opened = k->held = false;
}

void releaseHalf(VOZSEARCHHALF* half) {
    closeHalf(half, 0);
    unpinHalf(half);
}

// Pins the half's directories before its files are opened: a commit
// between the pins and the opens leaves the pins differing at the next
// open (the files are opened anew), never the other way round.
void pinHalf(VOZSEARCHHALF* half, const char* name, const char* dir,
             const char* initials, const char* prefix) {
    if (half->kept == nullptr) {
        half->kept = static_cast<VOZKEPTHALF*>(calloc(1, sizeof(VOZKEPTHALF)));
        if (half->kept == nullptr) return;  // no memory: not kept
        for (VOZDIRPIN& p : half->kept->pins) p.fd = -1;
    }
    unpinHalf(half);
    VOZKEPTHALF* k = half->kept;
    if (!pinPaths(name, dir, initials, prefix, k)) return;
    for (int i = 0; i < kPins; ++i) voz_PinDir(k->paths[i], &k->pins[i]);
    copyText(k->prefix, prefix, sizeof k->prefix);
    k->pinned = true;
}

// True when the files held for the half are still those of index `name`
// in `dir`: same open, and every pinned path unchanged.
bool stillCurrent(const VOZSEARCHHALF* half, const char* name,
                  const char* dir, const char* initials, const char* prefix) {
    const VOZKEPTHALF* k = half->kept;
    if (!isHeld(half) || !k->opened || !sameIndex(half, name, dir, initials) ||
        strcmp(k->prefix, prefix != nullptr ? prefix : "") != 0)
        return false;
    for (int i = 0; i < kPins; ++i)
        if (!voz_PinHolds(k->paths[i], &k->pins[i])) return false;
    return true;
}

// A half may stay open between searches when it was pinned and each of its
// open sets reads its positions from the sequential file of its own
// directory.
bool keepable(const VOZSEARCHHALF* half) {
    const VOZKEPTHALF* k = half->kept;
    if (k == nullptr || !k->pinned || !k->opened) return false;
    for (int i = 0; i < 2; ++i) {
        for (const IDXINFO* v : {&half->set0[i], &half->set1[i]}) {
            const _FCTLHEAD& f = v->fctl;
            if ((f.flags & VOZ_FCTL_OPEN) == 0) continue;
            if ((f.flags & VOZ_FCTL_BTREE) != 0 || f.altDirectory[0] != '\0' ||
                f.sharedFrom != nullptr)
                return false;
        }
    }
    return true;
}

// Opens one half of `h`, or takes up again the files that the kept handle
// left open when they are still the index's. `keep` pins the half for a
// later VOZ_SearchPark_. 0 or -1 (nothing of the half open then).
int openHalf(VOZSEARCH* h, const char* name, const char* dir,
             const char* initials, const char* prefix, VOZSEARCHHALF* half,
             bool keep, GTRSTATUS* st, int keyOnly) {
    copyText(h->indexName, name, sizeof h->indexName);
    copyText(h->indexDir, dir, sizeof h->indexDir);
    rollForward(h, initials, prefix, st);
    if (isHeld(half)) {
        if (!voz_Failed(st) && keyOnly == 0 &&
            stillCurrent(half, name, dir, initials, prefix)) {
            VOZKEPTHALF* k = half->kept;
            memcpy(half->set0, k->set0, sizeof half->set0);
            memcpy(half->set1, k->set1, sizeof half->set1);
            memcpy(h->initials, initials, 4);
            h->setOpen[0] = k->setOpen[0];
            h->setOpen[1] = k->setOpen[1];
            k->held = false;  // open now; the end of the search decides
            return 0;
        }
        releaseHalf(half);
    }
    if (voz_Failed(st)) return -1;
    // Pinned from the second open of the same index on: a handle that
    // serves one search only pays nothing for it.
    if (keep && keyOnly == 0 && sameIndex(half, name, dir, initials))
        pinHalf(half, name, dir, initials, prefix);
    else
        unpinHalf(half);
    if (voz_OpenIndexForSearch_(h, name, dir, initials, prefix, half, st,
                                keyOnly) != 0) {
        unpinHalf(half);
        return -1;
    }
    VOZKEPTHALF* k = half->kept;
    if (k != nullptr && k->pinned) {
        memcpy(k->set0, half->set0, sizeof k->set0);
        memcpy(k->set1, half->set1, sizeof k->set1);
        k->setOpen[0] = h->setOpen[0];
        k->setOpen[1] = h->setOpen[1];
        k->opened = true;
    }
    return 0;
}

// Ends the use of one half after a search: held when keepable, else closed.
void parkHalf(VOZSEARCHHALF* half, bool open) {
    if (open && keepable(half)) {
        half->kept->held = true;
        return;
    }
    if (open || isHeld(half)) closeHalf(half, 0);
    unpinHalf(half);
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
    // A held half was opened whole: it is closed whole.
    if (isHeld(&h->first)) closeHalf(&h->first, 0);
    else if (h->openState & VOZ_OPEN_FIRST) closeHalf(&h->first, keyOnly);
    if (isHeld(&h->second)) closeHalf(&h->second, 0);
    else if (h->openState & VOZ_OPEN_SECOND) closeHalf(&h->second, keyOnly);
    unpinHalf(&h->first);
    unpinHalf(&h->second);
}

void VOZ_SearchOpen_(VOZSEARCH** handle, const char* name, const char* dir,
                     const char* initials1, const char* initials2,
                     const char* prefix1, const char* prefix2,
                     const char* tempDir, GTRCREATEPARM* parm1,
                     GTRCREATEPARM* parm2, uint8_t halves, GTRSTATUS* st,
                     int keyOnly, int keep) {
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
    // that neither files nor key-index blocks are lost; a half held open by
    // a kept handle waits for its own check below when it is asked for.
    const bool text = (halves & VOZ_HALF_TEXT) != 0;
    const bool item = (halves & VOZ_HALF_ITEM) != 0;
    if (!(text && isHeld(&h->first) && keyOnly == 0) &&
        ((h->openState & VOZ_OPEN_FIRST) || isHeld(&h->first)))
        releaseHalf(&h->first);
    if (!(item && isHeld(&h->second) && keyOnly == 0) &&
        ((h->openState & VOZ_OPEN_SECOND) || isHeld(&h->second)))
        releaseHalf(&h->second);
    h->openState = 0;
    if (dir == nullptr) dir = "";
    bool firstSupp = false;
    if (text) {
        if (openHalf(h, name, dir, initials1, prefix1, &h->first, keep != 0,
                     st, keyOnly) != 0)
            return;
        fillParm(parm1, h->first.set0[0].info, true);
        h->openState |= VOZ_OPEN_FIRST;
        firstSupp = h->setOpen[1] != 0;
    }
    if (item) {
        if (openHalf(h, name, dir, initials2, prefix2, &h->second, keep != 0,
                     st, keyOnly) != 0)
            return;
        fillParm(parm2, h->second.set0[0].info, false);
        h->openState |= VOZ_OPEN_SECOND;
        if (text && !firstSupp) h->setOpen[1] = 0;
    }
}

void VOZ_SearchClose_(VOZSEARCH* handle, GTRSTATUS* st, int keyOnly) {
    voz_ClearStatus(st);
    if (handle != nullptr) voz_CloseIndexForSearch_(handle, keyOnly);
}

void VOZ_SearchPark_(VOZSEARCH* handle, GTRSTATUS* st) {
    voz_ClearStatus(st);
    if (handle == nullptr) return;
    parkHalf(&handle->first, (handle->openState & VOZ_OPEN_FIRST) != 0);
    parkHalf(&handle->second, (handle->openState & VOZ_OPEN_SECOND) != 0);
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
    free(h->first.kept);
    free(h->second.kept);
    voz_PMpoolRelease(h->pagePool);
    free(h);
    *handle = nullptr;
}
