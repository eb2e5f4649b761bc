// voz_rankheap.cpp -- the rank heap, the free runs of occurrence slots and
// the final rank order (see voz_rankheap.hpp).
#include "search/voz_rankheap.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"

namespace {

// Heap growth: first allocation, and the largest single step.
constexpr int32_t kFirstCapacity = 5461;
constexpr int32_t kMaxStep = 2730;

// ANSWERFORM::rankMembers slots.
constexpr int kFreeRuns = 0, kThreshold = 1, kCapacity = 2, kCount = 3;

RANKDOC2* entry(const ANSWERFORM* a, int32_t i) {
    return static_cast<RANKDOC2*>(voz_PMitem(a->ranked, i));
}

void setThreshold(ANSWERFORM* a) {
    a->rankMembers[kThreshold] = static_cast<int32_t>(entry(a, 0)->sort_key);
}

void siftUp(ANSWERFORM* a, int32_t i) {
    while (i > 0) {
        int32_t parent = (i - 1) / 2;
        RANKDOC2* e = entry(a, i);
        RANKDOC2* p = entry(a, parent);
        if (!voz_RankWorse(*e, *p)) break;
        std::swap(*e, *p);
        i = parent;
    }
}

void siftDown(ANSWERFORM* a, int32_t i, int32_t n) {
    for (;;) {
        int32_t l = 2 * i + 1;
        if (l >= n) return;
        int32_t worse = l;
        if (l + 1 < n && voz_RankWorse(*entry(a, l + 1), *entry(a, l))) worse = l + 1;
        RANKDOC2* c = entry(a, worse);
        RANKDOC2* e = entry(a, i);
        if (!voz_RankWorse(*c, *e)) return;
        std::swap(*c, *e);
        i = worse;
    }
}

// Heap not yet full: append. False when the heap could not grow (11/124).
bool append(RANKDOC2* doc, ANSWERFORM* a, GTRSTATUS* st) {
    int32_t count = a->rankMembers[kCount];
    int32_t cap = a->rankMembers[kCapacity];
    if (count >= cap) {
        int64_t next = cap == 0 ? kFirstCapacity
                                : int64_t(cap) + (cap < kMaxStep ? cap : kMaxStep);
        if (next < int64_t(count) + 1) next = int64_t(count) + 1;
        if (next >= VOZ_RANK_HEAP_MAX ||
            __PM_RESIZE(&a->ranked, static_cast<int32_t>(next - 1),
                        sizeof(RANKDOC2)) != 0) {
            voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_RANK_HEAP, nullptr, ENOMEM);
            return false;
        }
        a->rankMembers[kCapacity] = static_cast<int32_t>(next);
    }
    *entry(a, count) = *doc;
    a->rankMembers[kCount] = count + 1;
    siftUp(a, count);
    return true;
}

// ---- free runs -------------------------------------------------------------

struct Run {
    int32_t nextSame;
    int32_t nextLonger;
    int32_t length;
};

Run readRun(const ANSWERFORM* a, int32_t off) {
    Run r;
    memcpy(&r, voz_PMitem(a->pages, off), sizeof r);
    return r;
}

void writeRun(ANSWERFORM* a, int32_t off, const Run& r) {
    memcpy(voz_PMitem(a->pages, off), &r, sizeof r);
}

// Where a link to a run is kept: the list head or a field of another run.
struct LinkAt {
    int32_t run;   // -1: the list head
    bool longer;   // the run's nextLonger, else its nextSame
};

void setLink(ANSWERFORM* a, LinkAt at, int32_t value) {
    if (at.run < 0) {
        a->rankMembers[kFreeRuns] = value;
        return;
    }
    Run r = readRun(a, at.run);
    (at.longer ? r.nextLonger : r.nextSame) = value;
    writeRun(a, at.run, r);
}

// Removes run `off` from the list; false when it is not listed.
bool unlinkRun(ANSWERFORM* a, int32_t off) {
    LinkAt groupLink{-1, true};
    for (int32_t g = a->rankMembers[kFreeRuns]; g >= 0;) {
        Run head = readRun(a, g);
        if (g == off) {
            if (head.nextSame >= 0) {
                Run h2 = readRun(a, head.nextSame);
                h2.nextLonger = head.nextLonger;
                writeRun(a, head.nextSame, h2);
                setLink(a, groupLink, head.nextSame);
            } else {
                setLink(a, groupLink, head.nextLonger);
            }
            return true;
        }
        int32_t prev = g;
        for (int32_t s = head.nextSame; s >= 0;) {
            Run r = readRun(a, s);
            if (s == off) {
                setLink(a, LinkAt{prev, false}, r.nextSame);
                return true;
            }
            prev = s;
            s = r.nextSame;
        }
        groupLink = LinkAt{g, true};
        g = head.nextLonger;
    }
    return false;
}

// Lists run [off, off + len) as the newest run of its length.
void insertRun(ANSWERFORM* a, int32_t off, int32_t len) {
    LinkAt link{-1, true};
    int32_t g = a->rankMembers[kFreeRuns];
    while (g >= 0) {
        Run head = readRun(a, g);
        if (head.length >= len) break;
        link = LinkAt{g, true};
        g = head.nextLonger;
    }
    Run r{-1, g, len};
    if (g >= 0) {
        Run head = readRun(a, g);
        if (head.length == len) r = Run{g, head.nextLonger, len};
    }
    writeRun(a, off, r);
    setLink(a, link, off);
}

// A listed run that ends at `start` or begins at `end`; -1 when none.
int32_t touchingRun(const ANSWERFORM* a, int32_t start, int32_t end) {
    for (int32_t g = a->rankMembers[kFreeRuns]; g >= 0;) {
        Run head = readRun(a, g);
        for (int32_t s = g; s >= 0;) {
            Run r = readRun(a, s);
            if (s + r.length == start || s == end) return s;
            s = r.nextSame;
        }
        g = head.nextLonger;
    }
    return -1;
}

}  // namespace

bool voz_RankWorse(const RANKDOC2& a, const RANKDOC2& b) {
    if (a.sort_key != b.sort_key) return a.sort_key < b.sort_key;
    if (a.score != b.score) return a.score < b.score;
    return a.docno > b.docno;
}

uint32_t voz_UserRank(uint32_t docno, const RANKPARM* rank, uint32_t* value) {
    *value = 0;
    const GTRRANKFUNCINFO* u = rank != nullptr ? rank->rank_user : nullptr;
    if (u == nullptr || u->rank_function == nullptr) return 0;
    *value = u->rank_function(static_cast<int32_t>(docno), u->user_data);
    return (u->flags & 0x80) != 0 ? ~*value : *value;
}

int voz_KeepRanking(RANKDOC2* doc, int32_t limit, ANSWERFORM* a,
                    GTRSTATUS* st) {
    int32_t count = a->rankMembers[kCount];
    if (count < limit) {
        if (!append(doc, a, st)) return 1;
        // Full from now on: the worst kept key bounds what may still enter.
        if (count + 1 == limit) setThreshold(a);
        return 0;
    }
    if (count < 1) return 1;  // a limit below 1 keeps nothing
    RANKDOC2* root = entry(a, 0);
    if (!voz_RankWorse(*root, *doc)) return 1;
    voz_KeepOcc(a, root->occ_offset, root->occ_count);
    int32_t reuse = voz_GetOcc(a, doc->occ_count);
    if (reuse >= 0) doc->occ_offset = reuse;
    *root = *doc;
    siftDown(a, 0, count);
    setThreshold(a);
    return 0;
}

void voz_RebuildRankHeap(ANSWERFORM* a) {
    int32_t n = a->rankMembers[kCount];
    for (int32_t i = n / 2 - 1; i >= 0; --i) siftDown(a, i, n);
}

void voz_KeepOcc(ANSWERFORM* a, int32_t offset, int32_t n) {
    if (n < 1 || offset < 0 || a->pages == nullptr ||
        int64_t(offset) + n > a->memEntries)
        return;
    for (int32_t t; (t = touchingRun(a, offset, offset + n)) >= 0;) {
        Run r = readRun(a, t);
        unlinkRun(a, t);
        if (t < offset) offset = t;
        n += r.length;
    }
    insertRun(a, offset, n);
}

int32_t voz_GetOcc(ANSWERFORM* a, int32_t n) {
    if (n < 1) return -1;
    for (int32_t g = a->rankMembers[kFreeRuns]; g >= 0;) {
        Run head = readRun(a, g);
        if (head.length >= n) {
            unlinkRun(a, g);
            if (head.length > n) insertRun(a, g + n, head.length - n);
            return g;
        }
        g = head.nextLonger;
    }
    return -1;
}

void voz_SortRankDoc(_PAGEMEMCTL* heap, int32_t n, GTRSTATUS* st) {
    (void)st;  // the stack is bounded: nothing can fail
    if (heap == nullptr || n < 2) return;
    auto at = [heap](int32_t i) { return static_cast<RANKDOC2*>(voz_PMitem(heap, i)); };
    // The smaller part is always sorted next, so 64 ranges suffice.
    int32_t stack[64][2];
    int sp = 0;
    stack[sp][0] = 0;
    stack[sp][1] = n - 1;
    ++sp;
    while (sp > 0) {
        --sp;
        int32_t low = stack[sp][0], high = stack[sp][1];
        const RANKDOC2 pivot = *at(low + (high - low) / 2);
        int32_t i = low, j = high;
        while (i <= j) {
            while (voz_RankWorse(pivot, *at(i))) ++i;
            while (voz_RankWorse(*at(j), pivot)) --j;
            if (i <= j) {
                std::swap(*at(i), *at(j));
                ++i;
                --j;
            }
        }
        bool leftLarger = j - low > high - i;
        int32_t r1[2] = {low, j}, r2[2] = {i, high};
        const int32_t* first = leftLarger ? r1 : r2;   // pushed first
        const int32_t* second = leftLarger ? r2 : r1;  // sorted next
        for (const int32_t* r : {first, second}) {
            if (r[1] - r[0] < 1) continue;
            stack[sp][0] = r[0];
            stack[sp][1] = r[1];
            ++sp;
        }
    }
}

void voz_FinishRanking(const RANKPARM* rank, ANSWERFORM* a, int32_t* count,
                       GTRSTATUS* st) {
    int32_t n = a->rankMembers[kCount];
    voz_SortRankDoc(a->ranked, n, st);
    if (voz_Failed(st)) return;
    if (rank != nullptr && n > rank->rank_limit) n = rank->rank_limit;
    if (n < 0) n = 0;
    a->rankMembers[kCount] = n;
    *count = n;
}
