// voz_aimaicand.cpp -- candidate keys of a fuzzy word's token parts through
// the key index (see voz_aimaicand.hpp): the n-gram controls, the alignment
// graph of one key document and its best paths, exact candidates of short
// parts, the candidate sorts and the posting controls of a candidate group.
#include "search/voz_aimaicand.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "characters/voz_cut.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_exactmix.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_qsort.hpp"

namespace {

constexpr int32_t kPosCap = 768;      // positions of one n-gram in one key
constexpr int32_t kRunSpan = 292;     // records of one voz_ReadParts read
constexpr int32_t kRcBadKey = 16;

bool tooMany(int64_t n) { return n > (1 << 24); }

// Ends one n-gram's control (harmless when it was never opened).
void closeNgram(AIMAINGRAM& g) {
    GTRSTATUS own{};
    voz_TermPctl(&g.pctl, &own);
    g.live = 0;
}

// Opens an n-gram's control on its first key document at or after 0.
void openNgram(AIMAINGRAM& g, IDXINFO* keyIndex, GTRSTATUS* st) {
    closeNgram(g);
    memset(&g.pctl, 0, sizeof g.pctl);
    if (!g.hasKey) return;
    voz_InitPctl(&g.pctl, &g.key, 0, 'Y', st);
    voz_PointVvgSkip(&keyIndex->fctl, &g.pctl, 0, st);
    g.live = !voz_Failed(st) && g.pctl.endOfDocs != 'Y' ? 1 : 0;
}

// Moves an open control to its first document at or after `doc`.
void skipTo(PCTLHEAD& p, int32_t doc, IDXINFO* keyIndex, GTRSTATUS* st) {
    if (p.endOfDocs == 'Y' || p.curDoc >= doc) return;
    voz_PointVvgSkip(&keyIndex->fctl, &p, static_cast<uint32_t>(doc), st);
}

// Finds the key of `bytes` in the key index; true when it is there.
bool findKey(const uint8_t* bytes, IDXINFO* keyIndex, KEY_REC* rec,
             GTRSTATUS* st) {
    int32_t number = 0;
    int rc = voz_BinSearchKeyWhole(VOZ_BS_PATTERN, bytes, keyIndex, rec,
                                   &number, st);
    return rc == 0 && memcmp(rec->key, bytes, VOZ_KEY_HEAD_BYTES) == 0;
}

// Every position of an n-gram in its current key document.
void positionsOf(AIMAINGRAM& g, IDXINFO* keyIndex, std::vector<int32_t>& out,
                 GTRSTATUS* st) {
    out.clear();
    for (int32_t i = 0; i < kPosCap; ++i) {
        voz_PointPosSkip(&keyIndex->fctl, &g.pctl, 0, st);
        if (voz_Failed(st) || g.pctl.endOfPos == 'Y') return;
        out.push_back(g.pctl.curPos);
    }
}

// The state of one part's candidate search.
struct LoopX {
    int16_t similarity;
    AIMAINGRAM* ng;
    int32_t count;
    AIMAINGRAM* reversed;
    int32_t positions;
    IDXINFO* keyIndex;
    IDXINFO* index;
    const AIMAIXPARM* parm;
    PARTCTL* out;
    int32_t span;
    int32_t misses;
    int32_t nk;                     // key-index n-gram length
    std::vector<int32_t> wordGap;   // per n-gram: word units skipped before it
    PCTLHEAD endKey;
};

// The key's length in units from the end key's position in document k;
// -1 with 16/174 when the end key does not stand in it.
int32_t keyLength(LoopX& x, int32_t k, GTRSTATUS* st) {
    skipTo(x.endKey, k, x.keyIndex, st);
    if (voz_Failed(st)) return -1;
    if (x.endKey.curDoc != k) {
        voz_setStatus(st, kRcBadKey, VOZ_EC_AIMAI_NO_END_KEY);
        return -1;
    }
    if (x.endKey.endOfPos == 'Y' || x.endKey.curPos < 1)
        voz_PointPosSkip(&x.keyIndex->fctl, &x.endKey, 0, st);
    if (voz_Failed(st) || x.endKey.endOfPos == 'Y') {
        if (!voz_Failed(st)) voz_setStatus(st, kRcBadKey, VOZ_EC_AIMAI_NO_END_KEY);
        return -1;
    }
    return x.endKey.curPos - 2;
}

// Gain and penalty of the edge a -> b with key overlap o and word overlap
// v: an overlap in the key gains b's new units; a gap in the key costs its
// units, unless it is a swapped pair (then it gains one unit); then the
// word's overlap or gap is weighed. False on a failure.
bool weighEdge(LoopX& x, int32_t k, const AIMAIMX_NODE& na,
               const AIMAIMX_NODE& nb, int32_t o, int32_t v, AIMAIMX_EDGE* e,
               GTRSTATUS* st) {
    const AIMAINGRAM& ga = x.ng[na.ngram];
    const AIMAINGRAM& gb = x.ng[nb.ngram];
    if (o >= 1) {
        e->gain = (gb.units - o) * VOZ_AIMAI_GAIN;
        return true;
    }
    // A pair swapped right after a: the n-gram whose last two units are that
    // pair, reversed, stands where the gap is.
    int32_t wordSkip = gb.startUnit - ga.startUnit - ga.units;
    int32_t unit = ga.startUnit + ga.units - (x.nk - 2);
    if (o == -2 && wordSkip == 2 &&
        voz_CheckReverse(x.reversed, x.positions, unit,
                         na.keyPos + (unit - ga.startUnit), k, x.keyIndex,
                         st) == 1)
        e->gain += VOZ_AIMAI_GAIN;
    else
        e->penalty += -o * VOZ_AIMAI_KEYGAP;
    if (voz_Failed(st)) return false;
    if (v < 1) {
        e->gain += gb.units * VOZ_AIMAI_GAIN;
    } else {
        e->penalty += v * VOZ_AIMAI_WORDGAP;
        e->gain += (gb.units - v) * VOZ_AIMAI_GAIN;
    }
    return true;
}

// Builds the graph of key document k: nodes sorted by key position, then
// word order; edges to the nearest successors in both orders.
bool buildGraph(LoopX& x, int32_t k, AIMAIMX_CTL& g, GTRSTATUS* st) {
    std::vector<AIMAIMX_NODE> nodes;
    std::vector<int32_t> pos;
    int32_t headLimit = x.parm->headMax01 > x.parm->headMax2 ? x.parm->headMax01
                                                             : x.parm->headMax2;
    for (int32_t i = 0; i < x.count; ++i) {
        AIMAINGRAM& n = x.ng[i];
        if (!n.live || n.pctl.curDoc != k) continue;
        positionsOf(n, x.keyIndex, pos, st);
        if (voz_Failed(st)) return false;
        for (int32_t p : pos) {
            bool early = x.parm->partNumber >= 0 || n.startUnit <= x.ng[0].startUnit;
            nodes.push_back({i, p, p <= headLimit + 2 && early ? 1 : 0,
                             x.wordGap[static_cast<size_t>(i)]});
        }
    }
    if (tooMany(static_cast<int64_t>(nodes.size()))) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_NODES, nullptr, ENOMEM);
        return false;
    }
    voz_QuickSort(nodes.data(), static_cast<int32_t>(nodes.size()),
                  [](const AIMAIMX_NODE& a, const AIMAIMX_NODE& b) {
                      return a.keyPos != b.keyPos ? a.keyPos < b.keyPos
                                                  : a.ngram < b.ngram;
                  });
    g.nodeCount = static_cast<int32_t>(nodes.size());
    g.nodes = static_cast<AIMAIMX_NODE*>(
        malloc(sizeof(AIMAIMX_NODE) * static_cast<size_t>(g.nodeCount + 1)));
    g.firstEdge = static_cast<int32_t*>(
        malloc(sizeof(int32_t) * static_cast<size_t>(g.nodeCount + 1)));
    if (g.nodes == nullptr || g.firstEdge == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_NODEMAP, nullptr, ENOMEM);
        return false;
    }
    if (g.nodeCount > 0) memcpy(g.nodes, nodes.data(), sizeof(AIMAIMX_NODE) * nodes.size());
    std::vector<AIMAIMX_EDGE> edges;
    for (int32_t a = 0; a < g.nodeCount; ++a) {
        g.firstEdge[a] = static_cast<int32_t>(edges.size());
        const AIMAIMX_NODE& na = g.nodes[a];
        const AIMAINGRAM& ga = x.ng[na.ngram];
        size_t mine = edges.size();
        for (int32_t b = a + 1; b < g.nodeCount; ++b) {
            const AIMAIMX_NODE& nb = g.nodes[b];
            if (nb.keyPos <= na.keyPos || nb.ngram <= na.ngram) continue;
            int32_t o = ga.units - (nb.keyPos - na.keyPos);
            if (-o > VOZ_AIMAI_TOLERANCE) break;
            const AIMAINGRAM& gb = x.ng[nb.ngram];
            int32_t v = ga.units - (gb.startUnit - ga.startUnit) +
                        (nb.wordGap - na.wordGap);
            if (-v > VOZ_AIMAI_TOLERANCE) continue;
            bool nearer = false;
            for (size_t e = mine; e < edges.size() && !nearer; ++e) {
                const AIMAIMX_NODE& nc = g.nodes[edges[e].to];
                nearer = nc.keyPos < nb.keyPos && nc.ngram < nb.ngram;
            }
            if (nearer) continue;
            AIMAIMX_EDGE e{a, b, 0, 0};
            if (!weighEdge(x, k, na, nb, o, v, &e, st)) return false;
            edges.push_back(e);
        }
        if (edges.size() == mine) {
            g.firstEdge[a] = -1;
            edges.push_back({a, -1, 0, 0});  // end edge
        }
    }
    g.edgeCount = static_cast<int32_t>(edges.size());
    g.edges = static_cast<AIMAIMX_EDGE*>(
        malloc(sizeof(AIMAIMX_EDGE) * static_cast<size_t>(g.edgeCount + 1)));
    if (g.edges == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_EDGES, nullptr, ENOMEM);
        return false;
    }
    if (g.edgeCount > 0) memcpy(g.edges, edges.data(), sizeof(AIMAIMX_EDGE) * edges.size());
    return true;
}

void freeGraph(AIMAIMX_CTL& g) {
    free(g.nodes);
    free(g.edges);
    free(g.firstEdge);
    memset(&g, 0, sizeof g);
}

// Records the path s .. t of net value `net` in key k as a candidate when
// its kind's limits allow; *full becomes true for a path of 100.
bool recordPath(LoopX& x, int32_t k, const AIMAIMX_NODE& s,
                const AIMAIMX_NODE& t, int32_t net, bool* full,
                GTRSTATUS* st) {
    int32_t pct = x.span > 0 ? net * 100 / (VOZ_AIMAI_GAIN * x.span) : 0;
    if (x.parm->partNumber < 0 && pct < x.similarity) return true;
    uint8_t kind;
    if (s.ngram == 0)
        kind = pct >= x.similarity ? 0 : 1;
    else if (t.ngram == x.count - 1)
        kind = 2;
    else
        return true;
    int32_t head = s.keyPos - 2;
    if (head > (kind == 2 ? x.parm->headMax2 : x.parm->headMax01)) return true;
    int32_t length = keyLength(x, k, st);
    if (length < 0) return false;
    const AIMAINGRAM& last = x.ng[t.ngram];
    int32_t matchEnd = t.keyPos - 2 + last.units;
    int32_t tail = length - matchEnd;
    if (tail < 0) tail = 0;
    if (tail > (kind == 1 ? x.parm->tailMax1 : x.parm->tailMax02)) return true;
    PARTINFO p;
    memset(&p, 0, sizeof p);
    p.removed = 'N';
    p.splitKind = kind;
    p.keyNumber = voz_MixKeyRecord(x.index, k);
    p.headOffset = static_cast<int16_t>(head);
    p.matchEnd = static_cast<int16_t>(matchEnd);
    p.startUnit = static_cast<int16_t>(x.ng[s.ngram].startUnit);
    p.endUnit = static_cast<int16_t>(last.startUnit + last.units);
    p.tailRemainder = static_cast<int16_t>(tail);
    p.score = static_cast<int16_t>(net * 25);
    p.keyUnits = length;
    p.partNumber = x.parm->partNumber;
    if (!voz_PartctlAdd(x.out, p, VOZ_EC_AIMAI_CAND_GROW, st)) return false;
    if (pct >= 100) *full = true;
    return true;
}

// The best path from every start node to every node without successors
// (net = gain - penalty), each recorded as a candidate.
bool pathsOfKey(LoopX& x, int32_t k, GTRSTATUS* st) {
    AIMAIMX_CTL g;
    memset(&g, 0, sizeof g);
    bool ok = buildGraph(x, k, g, st);
    std::vector<int64_t> best;
    constexpr int64_t kNone = INT64_MIN / 4;
    bool full = false;
    for (int32_t s = 0; ok && s < g.nodeCount && !full; ++s) {
        if (!g.nodes[s].start) continue;
        best.assign(static_cast<size_t>(g.nodeCount), kNone);
        best[static_cast<size_t>(s)] = x.ng[g.nodes[s].ngram].units * VOZ_AIMAI_GAIN;
        for (int32_t e = 0; e < g.edgeCount; ++e) {
            const AIMAIMX_EDGE& ed = g.edges[e];
            int64_t from = best[static_cast<size_t>(ed.from)];
            if (ed.to < 0 || from == kNone) continue;
            int64_t v = from + ed.gain - ed.penalty;
            if (v > best[static_cast<size_t>(ed.to)]) best[static_cast<size_t>(ed.to)] = v;
        }
        for (int32_t t = s; ok && t < g.nodeCount && !full; ++t) {
            if (g.firstEdge[t] >= 0 || best[static_cast<size_t>(t)] == kNone) continue;
            ok = recordPath(x, k, g.nodes[s], g.nodes[t],
                            static_cast<int32_t>(best[static_cast<size_t>(t)]),
                            &full, st);
        }
    }
    freeGraph(g);
    return ok && !voz_Failed(st);
}

// The next key document to align: without a part number the smallest that
// holds an early and a late n-gram; with one, the smallest holding the
// part's first or last n-gram. -1 when none is left.
int32_t nextKey(LoopX& x, int32_t target, GTRSTATUS* st) {
    const int32_t s0 = x.ng[0].startUnit;
    const int32_t end = x.ng[x.count - 1].startUnit + x.ng[x.count - 1].units;
    for (;;) {
        int32_t early = VOZ_DOC_END, late = VOZ_DOC_END, any = VOZ_DOC_END;
        for (int32_t i = 0; i < x.count; ++i) {
            AIMAINGRAM& n = x.ng[i];
            if (!n.live) continue;
            skipTo(n.pctl, target, x.keyIndex, st);
            if (voz_Failed(st)) return -1;
            if (n.pctl.endOfDocs == 'Y') {
                n.live = 0;
                continue;
            }
            int32_t d = n.pctl.curDoc;
            if (d < any) any = d;
            bool isEarly = x.parm->partNumber >= 0 ? i == 0 : n.startUnit - s0 <= x.misses;
            bool isLate = x.parm->partNumber >= 0 ? i == x.count - 1
                                                  : end - (n.startUnit + n.units) <= x.misses;
            if (isEarly && d < early) early = d;
            if (isLate && d < late) late = d;
        }
        if (x.parm->partNumber >= 0) {
            if (any == VOZ_DOC_END) return -1;
            int32_t firstOrLast = early < late ? early : late;
            if (firstOrLast == any) return any;
            target = any + 1;
            continue;
        }
        if (early == VOZ_DOC_END || late == VOZ_DOC_END) return -1;
        if (early == late) return early;
        target = early > late ? early : late;
    }
}

// Looks `text` (word units) up as a whole marked key of the key index and
// leaves the key documents in `keys`.
void collectExact(const uint8_t* text, int32_t length, RTRVWORDEXT* word,
                  IDXINFO* keyIndex, ANSWERFORM* keys, GTRSTATUS* st) {
    int32_t ww = word->unit_width > 0 ? word->unit_width : 2;
    std::vector<uint8_t> key(static_cast<size_t>(length + 2 * ww + 8), 0);
    VOZ_MARKSETUNIT_FN mark = word->mark_set_function != nullptr
                                  ? word->mark_set_function : vozCHmarkUnit_Set;
    mark('S', key.data(), keyIndex->info.options[0], static_cast<int16_t>(ww));
    memcpy(key.data() + ww, text, static_cast<size_t>(length));
    mark('E', key.data() + ww + length, keyIndex->info.options[1],
         static_cast<int16_t>(ww));
    voz_CollectKeyIndexHits(key.data(), length + 2 * ww, ww, keyIndex,
                            word->mark_set_function, keys, st);
}

}  // namespace

bool voz_PartctlAdd(PARTCTL* out, const PARTINFO& p, int32_t ec,
                    GTRSTATUS* st) {
    if (out->count >= out->capacity) {
        int32_t cap = out->capacity + VOZ_PARTCTL_STEP;
        void* q = realloc(out->parts, sizeof(PARTINFO) * static_cast<size_t>(cap));
        if (q == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, ec, nullptr, ENOMEM);
            return false;
        }
        out->parts = static_cast<PARTINFO*>(q);
        out->capacity = cap;
    }
    out->parts[out->count++] = p;
    return true;
}

void voz_PartctlFree(PARTCTL* out) {
    free(out->parts);
    memset(out, 0, sizeof *out);
}

void voz_InitForAimaiLoopX(AIMAINGRAM* ngrams, int32_t count,
                           IDXINFO* keyIndex, AIMAINGRAM* reversed,
                           int32_t positions, GTRSTATUS* st) {
    int32_t n = keyIndex->info.fixedKeyUnits;
    int32_t kw = keyIndex->info.unitWidth > 0 ? keyIndex->info.unitWidth : 2;
    for (int32_t i = 0; i < count && !voz_Failed(st); ++i) {
        AIMAINGRAM& g = ngrams[i];
        g.hasKey = findKey(g.bytes, keyIndex, &g.key, st) ? 1 : 0;
        if (!g.hasKey) memset(&g.key, 0, sizeof g.key);
        if (n < 2 || g.units != n || g.startUnit < 0 || g.startUnit >= positions)
            continue;
        AIMAINGRAM& r = reversed[g.startUnit];
        if (r.units != 0) continue;  // prepared once per start unit
        r = g;
        r.hasKey = 0;
        memset(&r.pctl, 0, sizeof r.pctl);
        uint8_t* a = r.bytes + (n - 2) * kw;
        uint8_t tmp[VOZ_KEY_HEAD_BYTES];
        memcpy(tmp, a, static_cast<size_t>(kw));
        memmove(a, a + kw, static_cast<size_t>(kw));
        memcpy(a + kw, tmp, static_cast<size_t>(kw));
        if (memcmp(r.bytes, g.bytes, VOZ_KEY_HEAD_BYTES) != 0)
            r.hasKey = findKey(r.bytes, keyIndex, &r.key, st) ? 1 : 0;
    }
}

void voz_ResetForAimaiLoopX(AIMAINGRAM* ngrams, int32_t count,
                            IDXINFO* keyIndex, GTRSTATUS* st) {
    for (int32_t i = 0; i < count && !voz_Failed(st); ++i)
        openNgram(ngrams[i], keyIndex, st);
}

void voz_TermForAimaiLoopX(AIMAINGRAM* ngrams, int32_t count) {
    for (int32_t i = 0; i < count; ++i) closeNgram(ngrams[i]);
}

int voz_CheckReverse(AIMAINGRAM* reversed, int32_t positions, int32_t unit,
                     int32_t position, int32_t key, IDXINFO* keyIndex,
                     GTRSTATUS* st) {
    if (reversed == nullptr || unit < 0 || unit >= positions) return 0;
    AIMAINGRAM& r = reversed[unit];
    if (!r.hasKey) return 0;
    // Positions only move forward: reopen when the check lies behind.
    if (!r.live || r.pctl.curDoc > key ||
        (r.pctl.curDoc == key && r.pctl.endOfPos != 'Y' && r.pctl.curPos >= position))
        openNgram(r, keyIndex, st);
    if (voz_Failed(st) || !r.live) return 0;
    skipTo(r.pctl, key, keyIndex, st);
    if (voz_Failed(st) || r.pctl.curDoc != key) return 0;
    voz_PointPosSkip(&keyIndex->fctl, &r.pctl, position, st);
    return !voz_Failed(st) && r.pctl.endOfPos != 'Y' && r.pctl.curPos == position
               ? 1 : 0;
}

void voz_AimaiLoopX(int16_t similarity, AIMAINGRAM* ngrams, int32_t count,
                    AIMAINGRAM* reversed, int32_t positions,
                    IDXINFO* keyIndex, IDXINFO* index, const AIMAIXPARM* parm,
                    PARTCTL* out, GTRSTATUS* st) {
    if (count < 1) return;
    LoopX x{similarity, ngrams, count, reversed, positions, keyIndex, index,
            parm, out, 0, 0, keyIndex->info.fixedKeyUnits, {}, {}};
    x.span = ngrams[count - 1].startUnit + ngrams[count - 1].units -
             ngrams[0].startUnit;
    x.misses = x.span - (similarity * x.span + 99) / 100;
    x.wordGap.assign(static_cast<size_t>(count), 0);
    for (int32_t i = 1; i < count; ++i) {
        int32_t gap = ngrams[i].startUnit -
                      (ngrams[i - 1].startUnit + ngrams[i - 1].units);
        x.wordGap[static_cast<size_t>(i)] =
            x.wordGap[static_cast<size_t>(i - 1)] + (gap > 0 ? gap : 0);
    }
    voz_ResetForAimaiLoopX(ngrams, count, keyIndex, st);
    memset(&x.endKey, 0, sizeof x.endKey);
    voz_InitPctl(&x.endKey, &keyIndex->info.slots[0], 0, 'Y', st);
    int32_t target = 0;
    while (!voz_Failed(st)) {
        int32_t k = nextKey(x, target, st);
        if (k < 0 || voz_Failed(st)) break;
        if (!pathsOfKey(x, k, st)) break;
        target = k + 1;
    }
    GTRSTATUS own{};
    voz_TermPctl(&x.endKey, &own);
    voz_TermForAimaiLoopX(ngrams, count);
}

void voz_AimaiExact(const uint8_t* text, int32_t length, RTRVWORDEXT* word,
                    IDXINFO* keyIndex, IDXINFO* index, PARTCTL* out,
                    const PARTINFO* model, GTRSTATUS* st) {
    ANSWERFORM keys;
    voz_OpenAnswer(&keys, nullptr, 0, nullptr, nullptr, nullptr, st);
    if (voz_Failed(st)) return;
    collectExact(text, length, word, keyIndex, &keys, st);
    int32_t last = -1;
    for (int32_t i = 0; i < keys.memEntries && !voz_Failed(st); ++i) {
        const OCC* e = voz_OccAt(keys.pages, i);
        if (e->docno == last) continue;
        last = e->docno;
        PARTINFO p = *model;
        p.keyNumber = voz_MixKeyRecord(index, e->docno);
        if (!voz_PartctlAdd(out, p, VOZ_EC_AIMAI_EXACT_GROW, st)) break;
    }
    voz_ReleaseAnswer(&keys);
}

void voz_SortPartinfoByPartNO(PARTINFO* parts, int32_t count, GTRSTATUS*) {
    voz_QuickSort(parts, count, [](const PARTINFO& a, const PARTINFO& b) {
        if (a.keyNumber != b.keyNumber) return a.keyNumber < b.keyNumber;
        if (a.startUnit != b.startUnit) return a.startUnit < b.startUnit;
        return a.endUnit > b.endUnit;
    });
}

void voz_SortPartinfo(PARTINFO* parts, int32_t count, GTRSTATUS*) {
    voz_QuickSort(parts, count, [](const PARTINFO& a, const PARTINFO& b) {
        if (a.startUnit != b.startUnit) return a.startUnit < b.startUnit;
        if (a.endUnit != b.endUnit) return a.endUnit < b.endUnit;
        if (a.splitKind != b.splitKind) return a.splitKind < b.splitKind;
        return a.keyNumber < b.keyNumber;
    });
}

void voz_AimaiDropDominated(PARTCTL* parts, GTRSTATUS* st) {
    voz_SortPartinfoByPartNO(parts->parts, parts->count, st);
    int32_t kept = 0;
    int32_t keyStart = 0;  // first kept entry of the current key
    for (int32_t i = 0; i < parts->count; ++i) {
        PARTINFO p = parts->parts[i];
        if (kept == 0 || parts->parts[kept - 1].keyNumber != p.keyNumber)
            keyStart = kept;
        bool dominated = false;
        for (int32_t j = keyStart; j < kept && !dominated; ++j) {
            const PARTINFO& q = parts->parts[j];
            dominated = q.startUnit <= p.startUnit && q.endUnit >= p.endUnit &&
                        q.score >= p.score;
        }
        if (!dominated) parts->parts[kept++] = p;
    }
    parts->count = kept;
}

void voz_ReadParts(PARTCTL* parts, IDXINFO* index, GTRSTATUS* st) {
    if (parts->count < 1) return;
    voz_QuickSort(parts->parts, parts->count,
                  [](const PARTINFO& a, const PARTINFO& b) {
                      return a.keyNumber < b.keyNumber;
                  });
    KEY_REC* buf = static_cast<KEY_REC*>(malloc(sizeof(KEY_REC) * kRunSpan));
    if (buf == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_READPARTS, nullptr, ENOMEM);
        return;
    }
    int64_t records = static_cast<int64_t>(index->info.fixedRecords) +
                      static_cast<int64_t>(index->info.varRecords);
    for (int32_t i = 0; i < parts->count && !voz_Failed(st);) {
        int32_t first = parts->parts[i].keyNumber;
        int32_t j = i;
        while (j < parts->count && parts->parts[j].keyNumber - first < kRunSpan - 1)
            ++j;
        int32_t n = parts->parts[j - 1].keyNumber - first + 1;
        if (first < 0 || first + static_cast<int64_t>(n) > records) {
            voz_setStatus(st, kRcBadKey, VOZ_EC_AIMAI_READPARTS);
            break;
        }
        if (voz_ReadKeyMulti(&index->fctl, buf, first, n, 1, st) != 0) break;
        for (int32_t c = i; c < j; ++c)
            parts->parts[c].keyRec = buf[parts->parts[c].keyNumber - first];
        i = j;
    }
    free(buf);
}

void voz_InitPctlBatch2(GCTLINFO* piece, const PARTINFO* first, int32_t count,
                        int32_t wordUnits, int32_t parts, IDXINFO* index,
                        GTRSTATUS* st) {
    ANSWERFORM cands;
    voz_OpenAnswer(&cands, nullptr, 0, nullptr, nullptr, nullptr, st);
    if (voz_Failed(st)) return;
    for (int32_t i = 0; i < count && !voz_Failed(st); ++i) {
        OCC e;
        memset(&e, 0, sizeof e);
        e.docno = first[i].keyNumber;
        e.pos = first[i].keyUnits;
        voz_WriteOcc(&e, 1, &cands, st);
    }
    piece->takeAll = 'Y';
    if (!voz_Failed(st))
        voz_InitPctlBatch0_(piece, &cands, index, 0, 0, st, 1);
    voz_ReleaseAnswer(&cands);
    if (voz_Failed(st)) return;
    for (int32_t k = 0; k < piece->keyCount; ++k) {
        PCTLHEAD& p = piece->pctl[k];
        int32_t c = piece->keptToAll != nullptr ? piece->keptToAll[k] : k;
        if (c < 0 || c >= count) continue;
        const PARTINFO& pi = first[c];
        p.leadOffset = pi.headOffset;
        p.trailExcess = pi.tailRemainder;
        p.totalWeight = pi.score;
        int32_t pct = wordUnits > 0 ? pi.score / wordUnits : 0;
        if (pct >= 100)
            pct = parts == 1 && p.keyUnits == wordUnits ? 100 : 99;
        p.unitWeight[0] = pct;
    }
    if (piece->keyCount > 0) voz_InitGctlPctl(piece, index, nullptr, st);
}

void voz_TermPctlBatch2(GCTLINFO* piece, GTRSTATUS* st) {
    voz_TermPctlBatch0(piece, st);
}
