// voz_mergework.cpp -- the level bookkeeping of the work-file merge
// (vozMergeWorkFiles), the integrity check of a level and the document
// order of posting controls (see voz_createend.hpp).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "build/voz_createend.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kNoDoc = 0x7FFFFFFF;

bool docEnded(const PCTLHEAD& p) { return p.endOfDocs == 'Y'; }

// Step 2: the level above `level`, made on first need. 0 or -1.
int ensureNextLevel(CREATWRK* cwp, long level, GTRSTATUS* st) {
    if (level + 1 < cwp->levelsInUse) return 0;
    if (cwp->levelsInUse >= cwp->levelsAllocated) {
        size_t n = static_cast<size_t>(cwp->levelsAllocated) + 1;
        void* p = realloc(cwp->levels, n * sizeof(MCTLINFO));
        if (p == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2231, nullptr, ENOMEM);
            return -1;
        }
        cwp->levels = static_cast<MCTLINFO*>(p);
        memset(&cwp->levels[n - 1], 0, sizeof(MCTLINFO));
        cwp->levelsAllocated = static_cast<int32_t>(n);
    }
    MCTLINFO* below = &cwp->levels[level];
    MCTLINFO* lvl = &cwp->levels[level + 1];
    if (lvl->sections == nullptr) {
        memset(lvl, 0, sizeof *lvl);
        lvl->maxSections = below->maxSections;
        lvl->sections = static_cast<MCTLHEAD*>(
            calloc(static_cast<size_t>(lvl->maxSections), sizeof(MCTLHEAD)));
        if (lvl->sections == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2232, nullptr, ENOMEM);
            return -1;
        }
    }
    lvl->lowDocno = kNoDoc;
    lvl->highMark = -1;
    lvl->level = static_cast<uint32_t>(level + 1);
    lvl->numSections = 0;
    lvl->filesOpen = 0;
    ++cwp->levelsInUse;
    return 0;
}

// Step 3: closes the level's files when open. 0 or -1.
int closeLevel(MCTLINFO* lvl, GTRSTATUS* st) {
    if (!lvl->filesOpen) return 0;
    lvl->filesOpen = 0;
    return voz_IDXclose(&lvl->sections[lvl->fileOwner].idx, st);
}

// Step 5: the existing half as section 0 of the level. 0 or -1.
int insertExisting(MCTLINFO* lvl, _FCTLHEAD* existing, GTRSTATUS* st) {
    if (lvl->numSections >= lvl->maxSections) {
        size_t n = static_cast<size_t>(lvl->maxSections) + 1;
        void* p = realloc(lvl->sections, n * sizeof(MCTLHEAD));
        if (p == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2233, nullptr, ENOMEM);
            return -1;
        }
        lvl->sections = static_cast<MCTLHEAD*>(p);
        ++lvl->maxSections;
    }
    memmove(&lvl->sections[1], &lvl->sections[0],
            sizeof(MCTLHEAD) * lvl->numSections);
    for (uint16_t i = 2; i <= lvl->numSections; ++i)
        if (lvl->sections[i].idx.sharedFrom != nullptr)
            lvl->sections[i].idx.sharedFrom = &lvl->sections[1].idx;
    memset(&lvl->sections[0], 0, sizeof(MCTLHEAD));
    lvl->sections[0].idx = *existing;
    lvl->sections[0].workKind = 'N';
    lvl->sections[0].lowDocno = 0;
    ++lvl->numSections;
    ++lvl->fileOwner;
    return 0;
}

// Step 6: merges the level into a new section of the next level. 0 or -1.
int mergeUp(CREATWRK* cwp, _FCTLHEAD* target, long level, GTRSTATUS* st) {
    MCTLINFO* lvl = &cwp->levels[level];
    MCTLINFO* next = &cwp->levels[level + 1];
    if (closeLevel(next, st) != 0) return -1;
    _FCTLHEAD section;
    if (vozSetWorkFctl(&section, next, target, cwp->workDirectory, st) != 0) return -1;
    int rc = voz_MergePatt(cwp, &section, level, nullptr, st);
    // The merge closed the files the new section shares with its level.
    MCTLHEAD* owner = &next->sections[next->fileOwner];
    owner->idx.keyFile = nullptr;
    owner->idx.posFile = nullptr;
    owner->idx.posBroker = nullptr;
    next->filesOpen = 0;
    if (rc != 0) {
        --next->numSections;
        return -1;
    }
    uint16_t k = static_cast<uint16_t>(next->numSections - 1);
    MCTLHEAD* rec = &next->sections[k];
    rec->basic = cwp->basicInfo;
    rec->idx = section;
    rec->idx.keyFile = nullptr;
    rec->idx.posFile = nullptr;
    rec->idx.posBroker = nullptr;
    rec->idx.sharedFrom = k != next->fileOwner ? &owner->idx : nullptr;
    rec->lowDocno = lvl->lowDocno;
    if (rec->lowDocno < next->lowDocno) next->lowDocno = rec->lowDocno;
    int32_t mark = static_cast<int32_t>(rec->basic.highestDoc);
    if (mark > next->highMark) next->highMark = mark;
    return 0;
}

}  // namespace

int vozMergeWorkFiles(CREATWRK* cwp, _FCTLHEAD* target, long level, char last,
                      _FCTLHEAD* existing, GTRSTATUS* st) {
    bool final = last == 1 && level + 1 >= cwp->levelsInUse;
    if (!final && level + 1 >= cwp->levelsInUse && ensureNextLevel(cwp, level, st) != 0)
        return -1;
    MCTLINFO* lvl = &cwp->levels[level];
    if (closeLevel(lvl, st) != 0) return -1;
    if (vozCheckWorkFileIntegrity(cwp, static_cast<unsigned long>(level), st) != 0) return -1;
    bool had = lvl->numSections > 0;
    if (final) {
        if (existing != nullptr && insertExisting(lvl, existing, st) != 0) return -1;
        int rc = voz_MergePatt(cwp, target, level, nullptr, st);
        lvl->numSections = 0;
        lvl->lowDocno = kNoDoc;
        lvl->highMark = -1;
        return rc;
    }
    if (had && mergeUp(cwp, target, level, st) != 0) return -1;
    lvl->numSections = 0;
    lvl->lowDocno = kNoDoc;
    lvl->highMark = -1;
    MCTLINFO* next = &cwp->levels[level + 1];
    if ((had && next->numSections >= next->maxSections) || last == 1)
        return vozMergeWorkFiles(cwp, target, level + 1, last, existing, st);
    return 0;
}

void voz_PctlKeepOrderVvg(int32_t* count, int32_t n, int32_t* order,
                          PCTLHEAD* pctl) {
    int32_t c = *count;
    if (c < 1 || n < 1) return;
    for (int32_t i = n - 1; i >= 0; --i) {
        int32_t e = order[i];
        if (docEnded(pctl[e])) {
            memmove(order + i, order + i + 1, sizeof(int32_t) * static_cast<size_t>(c - 1 - i));
            order[c - 1] = e;
            --c;
            continue;
        }
        int32_t doc = pctl[e].curDoc;
        int32_t j = i + 1;
        int32_t probeEnd = i + 9 < c - 1 ? i + 9 : c - 1;
        while (j <= probeEnd && pctl[order[j]].curDoc < doc) ++j;
        if (j > probeEnd && j < c) {
            int32_t lo = j, hi = c;
            while (lo < hi) {
                int32_t mid = lo + (hi - lo) / 2;
                if (pctl[order[mid]].curDoc < doc) lo = mid + 1;
                else hi = mid;
            }
            j = lo;
        }
        memmove(order + i, order + i + 1, sizeof(int32_t) * static_cast<size_t>(j - 1 - i));
        order[j - 1] = e;
    }
    *count = c;
}

namespace {

// The controls of a level's document lists and their order.
struct DocWalk {
    std::vector<PCTLHEAD> pctl;
    std::vector<_FCTLHEAD> files;
    std::vector<int32_t> order;
    ~DocWalk() {
        GTRSTATUS ignored{};
        for (PCTLHEAD& p : pctl) voz_TermPctl(&p, &ignored);
        for (_FCTLHEAD& f : files) voz_IDXclose(&f, &ignored);
    }
};

// True when the sections `holders` (ascending) may share document `doc`:
// consecutive, every one but the last holding only that document (the
// flush split it because it outgrew the pool).
bool acceptedSplit(const MCTLINFO* lvl, const std::vector<int32_t>& holders, int32_t doc) {
    for (size_t k = 0; k + 1 < holders.size(); ++k) {
        const MCTLHEAD& s = lvl->sections[holders[k]];
        if (holders[k + 1] != holders[k] + 1) return false;
        if (s.lowDocno != doc || static_cast<int32_t>(s.basic.maxDocNumber) != doc) return false;
    }
    return true;
}

}  // namespace

int vozCheckWorkFileIntegrity(CREATWRK* cwp, unsigned long level, GTRSTATUS* st) {
    MCTLINFO* lvl = &cwp->levels[level];
    int32_t n = lvl->numSections;
    bool disjoint = true;
    for (int32_t i = 0; i + 1 < n && disjoint; ++i)
        disjoint = static_cast<int32_t>(lvl->sections[i].basic.maxDocNumber) <
                   lvl->sections[i + 1].lowDocno;
    if (n < 2 || disjoint) return 0;
    DocWalk w;
    try {
        w.pctl.resize(static_cast<size_t>(n));
        w.files.resize(static_cast<size_t>(n));
        w.order.resize(static_cast<size_t>(n));
    } catch (...) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2107, nullptr, ENOMEM);
        return -1;
    }
    for (int32_t i = 0; i < n; ++i) {
        const MCTLHEAD& s = lvl->sections[i];
        w.files[i] = s.idx;
        w.files[i].sharedFrom = nullptr;
        w.files[i].keyFile = nullptr;
        if (voz_IDXopen(&w.files[i], "rb", st) != 0) return -1;
        memset(&w.pctl[i], 0, sizeof(PCTLHEAD));
        voz_InitPctl(&w.pctl[i], &s.basic.slots[VOZ_SLOT_DOCLIST], 0, 'N', st);
        voz_PointVvgSkip(&w.files[i], &w.pctl[i], 0xFFFFFFFFu, st);
        if (voz_Failed(st)) return -1;
        w.order[i] = i;
    }
    int32_t active = n;
    voz_PctlKeepOrderVvg(&active, n, w.order.data(), w.pctl.data());
    std::vector<int32_t> holders;
    while (active >= 2) {
        int32_t doc = w.pctl[w.order[0]].curDoc;
        int32_t k = 1;
        while (k < active && w.pctl[w.order[k]].curDoc == doc) ++k;
        if (k >= 2) {
            holders.assign(w.order.begin(), w.order.begin() + k);
            std::sort(holders.begin(), holders.end());
            if (!acceptedSplit(lvl, holders, doc)) {
                voz_setStatus(st, 153, 2109);
                st->detail = doc;
                return -1;
            }
        }
        for (int32_t j = 0; j < k; ++j) {
            int32_t e = w.order[j];
            voz_PointVvgSkip(&w.files[e], &w.pctl[e], static_cast<uint32_t>(doc) + 1, st);
            if (voz_Failed(st)) return -1;
        }
        voz_PctlKeepOrderVvg(&active, k, w.order.data(), w.pctl.data());
    }
    return 0;
}
