// voz_keyiter_count.cpp -- the counts the key iterator gives for a key
// (documents and positions with deleted documents left out) and the basic
// key information of a normalized word (voz_keyiter.hpp).
//
// Counts walk the key's position list with a position control of the
// postings layer, document by document and position by position, and look
// each document up in the half's sorted deleted-document array. The halves
// of this engine record no VVGs, so an occurrence's document is the one
// stored; a half that says otherwise is refused rather than miscounted.
#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "build/voz_keyiter.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_pctl.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kHalves = 2;
// The text sub-index selector of vozSearchHandleSets.
constexpr int32_t kTextSubIndex = 1;

// The sorted deleted documents of a half.
struct Deleted {
    const uint32_t* ids = nullptr;
    uint32_t count = 0;
    explicit Deleted(const IDXINFO* half) {
        CVozDeletedDocs* list = half->fctl.deletedDocs;
        ids = vozGetDeletedDocs(list);
        count = ids != nullptr ? vozGetNumDeletedDocs(list) : 0;
    }
    bool has(uint32_t doc) const {
        return count != 0 && std::binary_search(ids, ids + count, doc);
    }
};

// A position control over one key, ended when it goes out of scope;
// failures of the end are reported only when nothing failed before.
class KeyWalk {
public:
    KeyWalk(IDXINFO* half, const KEY_REC& head, GTRSTATUS* st)
        : files_(&half->fctl), st_(st) {
        memset(&pctl_, 0, sizeof pctl_);
        voz_InitPctl(&pctl_, &head, 0, 'Y', st);
        if (!voz_KeyHasPostings(head)) {
            pctl_.endOfDocs = 'Y';
            pctl_.curDoc = 0x7FFFFFFF;
        }
    }
    ~KeyWalk() {
        GTRSTATUS local{};
        voz_TermPctl(&pctl_, &local);
        if (voz_Failed(&local) && !voz_Failed(st_)) *st_ = local;
    }
    KeyWalk(const KeyWalk&) = delete;
    KeyWalk& operator=(const KeyWalk&) = delete;

    // Moves to the next document; false at the end or on an error.
    bool nextDoc() {
        voz_PointVvgSkip(files_, &pctl_, 0, st_);
        return !voz_Failed(st_) && pctl_.endOfDocs != 'Y';
    }
    // Moves to the next position of the document; false when none is left.
    bool nextPos() {
        voz_PointPosSkip(files_, &pctl_, -1, st_);
        return !voz_Failed(st_) && pctl_.endOfPos != 'Y';
    }
    uint32_t doc() const { return static_cast<uint32_t>(pctl_.curDoc); }

private:
    _FCTLHEAD* files_;
    GTRSTATUS* st_;
    PCTLHEAD pctl_;
};

// Adds the stored document counts of the keys that start with `part`
// (found with voz_BinSearchPatt) to *count, up to `cap`. In an X-index
// set each posting names an X-part record of the regular set `regular`,
// whose document count is added instead. A key of the regular key file
// counts once for the whole word (`seen`): the windows of one variable
// key, and the parts of one word, name the same record again and again.
void countPart(IDXINFO* set, IDXINFO* regular, const uint8_t* part,
               int32_t partLen, uint32_t cap, int32_t* count,
               std::set<uint32_t>& seen, GTRSTATUS* st) {
    std::vector<uint8_t> key(VOZ_KEY_HEAD_BYTES, 0);
    int32_t cmp = std::min<int32_t>(partLen, VOZ_KEY_HEAD_BYTES);
    memcpy(key.data(), part, static_cast<size_t>(cmp));
    std::unique_ptr<KEY_REC[]> recs(new KEY_REC[VOZ_KEYITER_RECORDS]);
    int32_t r = -1;
    if (voz_BinSearchPatt(key.data(), set, &recs[0], &r, st) < 0) return;
    const int32_t end = static_cast<int32_t>(set->info.fixedRecords);
    auto add = [&](uint32_t n) {
        uint64_t sum = static_cast<uint64_t>(*count) + n;
        *count = static_cast<int32_t>(sum < cap ? sum : cap);
    };
    while (r >= 0 && r < end && static_cast<uint32_t>(*count) < cap) {
        if (memcmp(recs[0].key, part, static_cast<size_t>(cmp)) != 0) break;
        if (regular == nullptr) {
            if (seen.insert(static_cast<uint32_t>(r)).second)
                add(recs[0].docCount);
        } else {
            KeyWalk walk(set, recs[0], st);
            const uint32_t base = regular->info.fixedRecords;
            KEY_REC named[VOZ_KEYITER_RECORDS];
            while (static_cast<uint32_t>(*count) < cap && walk.nextDoc()) {
                const uint32_t record = base + walk.doc();
                if (!seen.insert(record).second) continue;
                if (voz_ReadKey(&regular->fctl, named,
                                static_cast<int32_t>(record), st) != 0)
                    return;
                add(named[0].docCount);
            }
            if (voz_Failed(st)) return;
        }
        if (++r >= end || voz_ReadKey(&set->fctl, recs.get(), r, st) != 0)
            return;
    }
}

// Copies `units` units of `word` (`width` bytes each) into `out`, repacked
// into 2-byte units when the set stores that width; returns the bytes.
int32_t copyPart(const uint8_t* word, int32_t units, int16_t width,
                 int16_t setWidth, std::vector<uint8_t>& out) {
    out.assign(word, word + units * width);
    if (setWidth == width || width != 3 || setWidth != 2)
        return units * width;
    return voz_RepackUnits3to2(out.data(), units * width);
}

}  // namespace

bool voz_KeyIterPlainHalf(const IDXINFO* half, GTRSTATUS* st) {
    if (half->info.docGroupLength < 1) return true;
    voz_setStatus(st, 50, 1695);
    return false;
}

int32_t voz_GetDocumentCount(IDXINFO* half, const KEY_REC* head,
                             GTRSTATUS* st) {
    (void)half;
    (void)st;
    return static_cast<int32_t>(head->docCount);
}

int32_t voz_GetDocumentCountEx(IDXINFO* half, const KEY_REC* head,
                               GTRSTATUS* st) {
    if (!voz_KeyIterPlainHalf(half, st)) return 0;
    Deleted deleted(half);
    KeyWalk walk(half, *head, st);
    int32_t count = 0;
    while (walk.nextDoc()) {
        if (deleted.has(walk.doc())) continue;
        if (walk.nextPos()) ++count;
        if (voz_Failed(st)) break;
    }
    return count;
}

int32_t voz_GetHitCount(IDXINFO* half, const KEY_REC* head, GTRSTATUS* st) {
    Deleted deleted(half);
    KeyWalk walk(half, *head, st);
    int32_t count = 0;
    while (walk.nextDoc()) {
        if (deleted.has(walk.doc())) continue;
        while (walk.nextPos()) ++count;
        if (voz_Failed(st)) break;
    }
    return count;
}

int32_t VOZ_GetDocumentCountEx(KEYITERATOR* it, GTRSTATUS* st) {
    return voz_GetDocumentCountEx(it->half, &it->records[0], st);
}

int32_t VOZ_GetHitCount(KEYITERATOR* it, GTRSTATUS* st) {
    return voz_GetHitCount(it->half, &it->records[0], st);
}

int32_t VOZ_getKeyBasicInfo(VOZSEARCH** handle, const uint8_t* word,
                            int32_t length, VOZ_CUT_FN cut, int16_t unitWidth,
                            int32_t counts[2], GTRSTATUS* st) {
    counts[0] = counts[1] = 0;
    if (handle == nullptr || *handle == nullptr || word == nullptr ||
        length <= 0 || unitWidth <= 0)
        return 0;
    IDXINFO* sets[4] = {};
    vozSearchHandleSets(*handle, kTextSubIndex, sets);
    uint32_t caps[kHalves];
    for (int k = 0; k < kHalves; ++k)
        caps[k] = sets[k] != nullptr ? sets[k]->info.docCount : 0;
    // The cut may rewrite units in place: work on a copy.
    std::vector<uint8_t> text(word, word + length);
    uint8_t* start = text.data();
    uint8_t* const end = text.data() + length;
    std::vector<uint8_t> part;
    std::set<uint32_t> seen[kHalves];
    int32_t parts = 0;
    while (start < end && !voz_Failed(st)) {
        uint8_t* partStart = nullptr;
        uint8_t* partEnd = nullptr;
        uint8_t* next = nullptr;
        int32_t xPart = cut(start, end, unitWidth, &partStart, &partEnd, &next);
        if (partStart == nullptr || partEnd <= partStart) {
            if (next == nullptr || next <= start) break;
            start = next;
            continue;
        }
        int32_t offset = xPart == 1 ? 2 : 0;
        IDXINFO* first = sets[offset] != nullptr ? sets[offset] : sets[0];
        int32_t units = static_cast<int32_t>(partEnd - partStart) / unitWidth;
        int32_t window = first != nullptr && first->info.fixedKeyUnits > 0
                             ? first->info.fixedKeyUnits : units;
        bool limited = units > window;
        if (limited) units = window;
        ++parts;
        for (int k = 0; k < kHalves; ++k) {
            IDXINFO* set = sets[offset + k];
            if (set == nullptr || static_cast<uint32_t>(counts[k]) >= caps[k])
                continue;
            int32_t len = copyPart(partStart, units, unitWidth,
                                   static_cast<int16_t>(set->info.unitWidth),
                                   part);
            countPart(set, xPart == 1 ? sets[k] : nullptr, part.data(), len,
                      caps[k], &counts[k], seen[k], st);
            if (voz_Failed(st)) break;
        }
        uint8_t* after = limited ? partStart + unitWidth : partEnd;
        if (after <= start) after = next != nullptr && next > start ? next : end;
        start = after;
    }
    return parts;
}
