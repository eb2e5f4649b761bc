// voz_verify_walk.cpp - the readers of verification (voz_verify_walk.hpp).
#include "build/voz_verify_walk.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {
constexpr int kChainRecords = 255;  // longest 'V' chain
constexpr uint8_t kNoPostingsLevel = 16;
}  // namespace

VOZOPENSET::~VOZOPENSET() {
    if (open_) voz_IDXclose(fs_, st_);
}

int VOZOPENSET::open(GTRSTATUS* st) {
    st_ = st;
    if (voz_IDXopen(fs_, "rb", st) != 0) return -1;
    open_ = true;
    return 0;
}

int voz_KeyWalkBegin(VOZKEYWALK* walk, _FCTLHEAD* fs, uint32_t total,
                     int32_t beyondReason, GTRSTATUS* st) {
    walk->fs = fs;
    walk->total = total;
    walk->nextRecord = 0;
    walk->beyondReason = beyondReason;
    walk->havePrevious = false;
    walk->current =
        static_cast<KEY_REC*>(calloc(2 * kChainRecords, sizeof(KEY_REC)));
    walk->previous = walk->current + kChainRecords;
    if (walk->current == nullptr) {
        walk->previous = nullptr;
        voz_setStatus(st, VOZ_RC_MEMORY, 460);
        return -1;
    }
    return 0;
}

int voz_KeyWalkNext(VOZKEYWALK* walk, GTRSTATUS* st) {
    if (walk->havePrevious || walk->nextRecord > 0) {
        KEY_REC* t = walk->previous;
        walk->previous = walk->current;
        walk->current = t;
        walk->havePrevious = true;
    }
    GTRSTATUS mine{};
    if (voz_ReadKey(walk->fs, walk->current, walk->nextRecord, &mine) != 0) {
        if (mine.retcode == VOZ_RC_BEYOND_END)
            voz_setStatus(st, 16, walk->beyondReason);
        else
            *st = mine;
        return -1;
    }
    const KEY_REC& head = walk->current[0];
    walk->nextRecord += head.kind == 'V' && head.recCount > 0 ? head.recCount : 1;
    return 0;
}

void voz_KeyWalkEnd(VOZKEYWALK* walk) {
    // The buffers are one block; `current` may point at either half.
    free(walk->current < walk->previous ? walk->current : walk->previous);
    walk->current = walk->previous = nullptr;
}

void voz_PostWalkBegin(VOZPOSTWALK* walk, _FCTLHEAD* fs, const KEY_REC* head,
                       GTRSTATUS* st) {
    walk->fs = fs;
    walk->started = false;
    memset(&walk->pctl, 0, sizeof walk->pctl);
    voz_InitPctl(&walk->pctl, head, 0, 'N', st);
}

int voz_PostWalkNextDoc(VOZPOSTWALK* walk, GTRSTATUS* st) {
    if (voz_Failed(st) || walk->pctl.endOfDocs == 'Y') return 0;
    const uint32_t target =
        walk->started ? static_cast<uint32_t>(walk->pctl.curDoc) + 1 : VOZ_NO_DOC;
    walk->started = true;
    voz_PointVvgSkip(walk->fs, &walk->pctl, target, st);
    return !voz_Failed(st) && walk->pctl.endOfDocs != 'Y' ? 1 : 0;
}

int voz_PostWalkNextPos(VOZPOSTWALK* walk, GTRSTATUS* st) {
    if (voz_Failed(st)) return 0;
    voz_PointPosSkip(walk->fs, &walk->pctl, 0, st);
    return !voz_Failed(st) && walk->pctl.endOfPos != 'Y' ? 1 : 0;
}

void voz_PostWalkEnd(VOZPOSTWALK* walk, GTRSTATUS* st) {
    voz_TermPctl(&walk->pctl, st);
}

int32_t voz_PostWalkLastDoc(_FCTLHEAD* fs, const KEY_REC& head,
                            GTRSTATUS* st) {
    VOZPOSTWALK walk;
    voz_PostWalkBegin(&walk, fs, &head, st);
    int32_t last = -1;
    while (voz_PostWalkNextDoc(&walk, st) == 1) {
        last = walk.pctl.curDoc;
        while (voz_PostWalkNextPos(&walk, st) == 1) {
        }
    }
    voz_PostWalkEnd(&walk, st);
    return last;
}

bool voz_KeyHasPostings(const KEY_REC& head) {
    return (head.dataLength != 0 || head.lengthHigh != 0) &&
           head.level != kNoPostingsLevel;
}

int voz_VerifyFixedCmp(const KEY_REC* a, const KEY_REC* b) {
    if (a->kind != b->kind)
        return static_cast<uint8_t>(a->kind) < static_cast<uint8_t>(b->kind) ? -1 : 1;
    return memcmp(a->key, b->key, sizeof a->key);
}

void VOZPROGRESS::show(uint32_t done, uint32_t total) {
    if (!on_ || total == 0) return;
    const long pct = static_cast<long>(static_cast<uint64_t>(done) * 100 / total);
    if (pct == last_) return;
    last_ = pct;
    printf("          %3ld%% \r", pct);
    fflush(stdout);
}

void VOZPROGRESS::finish() {
    if (!on_) return;
    printf("          100%s", "%");
    fflush(stdout);
}
