// voz_aimaimix.cpp -- the set-up of the fuzzy lookup over a mixed index
// (see voz_aimaimix.hpp): the word is cut into parts; other parts give
// n-gram pieces looked up by pattern search, token parts give key-index
// n-grams whose candidate keys (voz_aimaicand.hpp) become candidate-key
// pieces or the whole-word group; then the fuzzy control is built.
#include "search/voz_aimaimix.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "files/voz_status.hpp"
#include "search/voz_aimaicand.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_rtrvwords.hpp"
#include "search/voz_wordctl.hpp"

namespace {

// One token part of the word.
struct TokenPart {
    int32_t firstNgram;      // its key-index n-grams [firstNgram, lastNgram]
    int32_t lastNgram;
    uint8_t* start;          // its bytes in the word
    int32_t bytes;
    int32_t startUnit;       // its word units [startUnit, startUnit + units)
    int32_t units;
};

// What one set-up holds while it runs.
struct AimaiSetup {
    RTRVWORDEXT* word;
    IDXINFO* index;
    IDXINFO* keyIndex;
    int32_t ww;              // word unit width
    int32_t kw;              // key-index unit width
    int32_t n;               // mixed index n-gram length
    int32_t nk;              // key-index n-gram length
    uint8_t* text;
    int32_t units = 0;       // N
    int32_t parts = 0;
    std::vector<GCTLINFO> pieces;
    std::vector<AIMAINGRAM> ngrams;
    std::vector<TokenPart> tokens;
    PARTCTL cands{};
    GCTLINFO whole{};
    bool hasWhole = false;
};

GCTLINFO newPiece(uint8_t kind, uint8_t* pattern, int32_t bytes, int32_t start,
                  int32_t end) {
    GCTLINFO g;
    memset(&g, 0, sizeof g);
    g.ownerByte = kind;
    g.pattern = pattern;
    g.pattLength = bytes;
    g.curDoc = -1;
    g.ownerWords1[0] = start;
    g.ownerWords1[1] = end;
    g.ownerWords3[0] = -1;
    return g;
}

// The n-gram pieces of an other part of `units` units at word unit u0.
void addNgramPieces(AimaiSetup& s, uint8_t* start, int32_t units, int32_t u0) {
    int32_t last = units > s.n ? units - s.n : 0;
    for (int32_t i = 0; i <= last; ++i) {
        int32_t len = units - i < s.n ? units - i : s.n;
        s.pieces.push_back(newPiece('N', start + i * s.ww, len * s.ww, u0 + i,
                                    u0 + i + len));
    }
}

// The key-index n-grams of a token part (key-index units).
void addTokenPart(AimaiSetup& s, uint8_t* start, int32_t units, int32_t u0) {
    TokenPart t{static_cast<int32_t>(s.ngrams.size()), 0, start,
                units * s.ww, u0, units};
    int32_t last = units > s.nk ? units - s.nk : 0;
    for (int32_t i = 0; i <= last; ++i) {
        AIMAINGRAM g;
        memset(&g, 0, sizeof g);
        g.units = units - i < s.nk ? units - i : s.nk;
        g.startUnit = u0 + i;
        g.mark = static_cast<uint8_t>((i == 0 ? VOZ_NGRAM_FIRST : 0) |
                                      (i == last ? VOZ_NGRAM_LAST : 0));
        for (int32_t k = 0; k < g.units && (k + 1) * s.kw <= VOZ_KEY_HEAD_BYTES; ++k)
            voz_PackUnit(start + (i + k) * s.ww, s.ww, s.kw, g.bytes + k * s.kw);
        s.ngrams.push_back(g);
    }
    t.lastNgram = static_cast<int32_t>(s.ngrams.size()) - 1;
    s.tokens.push_back(t);
}

// Step 1-4: cut the word; false when it is refused (17/167).
bool cutWord(AimaiSetup& s, uint8_t* end, GTRSTATUS* st) {
    bool useKeys = s.keyIndex != nullptr && s.keyIndex->info.fixedKeys > 0 &&
                   s.nk >= 1;
    uint8_t* at = s.text;
    while (at < end) {
        uint8_t* ps = at;
        uint8_t* pe = at;
        uint8_t* next = end;
        int32_t cut = s.word->cut_function(at, end, static_cast<int16_t>(s.ww),
                                           &ps, &pe, &next);
        if (pe > ps) {
            int32_t units = static_cast<int32_t>((pe - ps) / s.ww);
            if (cut == 0)
                addNgramPieces(s, ps, units, s.units);
            else if (useKeys)
                addTokenPart(s, ps, units, s.units);
            s.units += units;
            ++s.parts;
        }
        if (next <= at) break;
        at = next;
    }
    int32_t wordUnits = static_cast<int32_t>((end - s.text) / s.ww);
    if (s.units > wordUnits ||
        static_cast<int64_t>(s.ngrams.size()) >= 3 * static_cast<int64_t>(wordUnits)) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_AIMAI_TOO_MANY);
        return false;
    }
    return true;
}

// A candidate found by exact lookup of word units [start, start + units):
// the key is exactly those units.
PARTINFO exactModel(uint8_t kind, int32_t start, int32_t units, int32_t part) {
    PARTINFO m;
    memset(&m, 0, sizeof m);
    m.removed = 'N';
    m.splitKind = kind;
    m.startUnit = static_cast<int16_t>(start);
    m.endUnit = static_cast<int16_t>(start + units);
    m.score = static_cast<int16_t>(units * 100);
    m.keyUnits = units;
    m.matchEnd = static_cast<int16_t>(units);
    m.partNumber = part;
    return m;
}

// The part number of token part t's candidate search: the index of its
// first n-gram for the word's first token part when that has more than one
// n-gram, unless the word's leading flag byte is 'N'; else -1. With a part
// number the search also records split matches: head candidates (the part's
// start in one key) and tail candidates (its end in the next key).
int32_t partNumberOf(const AimaiSetup& s, size_t t) {
    const TokenPart& p = s.tokens[t];
    uint8_t flag = 0;
    memcpy(&flag, &s.word->leading, 1);
    if (t != 0 || p.lastNgram == p.firstNgram || flag == 'N') return -1;
    return p.firstNgram;
}

// Split matches whose other side is too short for a key-index n-gram: a
// new candidate (from `from` on) that begins n'-1 units into part p at its
// key's start leaves the part's first n'-1 units to a key of their own,
// looked up whole as a head candidate; one that ends n'-1 units before the
// part's end at its key's end leaves the last n'-1 units, a tail candidate.
void splitMatches(AimaiSetup& s, const TokenPart& p, int32_t part,
                  int32_t from, GTRSTATUS* st) {
    const int32_t k = s.nk - 1;
    if (k < 1 || p.units < 2 * s.nk - 2) return;
    const int32_t end = p.startUnit + p.units;
    bool head = false, tail = false;
    for (int32_t i = from; i < s.cands.count; ++i) {
        const PARTINFO& c = s.cands.parts[i];
        head = head || (c.startUnit == p.startUnit + k && c.headOffset == 0);
        tail = tail || (c.endUnit == end - k && c.tailRemainder == 0);
    }
    if (head) {
        PARTINFO m = exactModel(1, p.startUnit, k, part);
        voz_AimaiExact(p.start, k * s.ww, s.word, s.keyIndex, s.index,
                       &s.cands, &m, st);
    }
    if (tail && !voz_Failed(st)) {
        PARTINFO m = exactModel(2, end - k, k, part);
        voz_AimaiExact(p.start + (p.units - k) * s.ww, k * s.ww, s.word,
                       s.keyIndex, s.index, &s.cands, &m, st);
    }
}

// Candidate keys of every token part, into s.cands.
void searchCandidates(AimaiSetup& s, GTRSTATUS* st) {
    std::vector<AIMAINGRAM> reversed(static_cast<size_t>(s.units + 1));
    for (AIMAINGRAM& r : reversed) memset(&r, 0, sizeof r);
    voz_InitForAimaiLoopX(s.ngrams.data(), static_cast<int32_t>(s.ngrams.size()),
                          s.keyIndex, reversed.data(), s.units, st);
    for (size_t t = 0; t < s.tokens.size() && !voz_Failed(st); ++t) {
        const TokenPart& p = s.tokens[t];
        int32_t count = p.lastNgram - p.firstNgram + 1;
        if (count == 1 && s.ngrams[static_cast<size_t>(p.firstNgram)].units < s.nk) {
            PARTINFO model = exactModel(0, p.startUnit, p.units, -1);
            voz_AimaiExact(p.start, p.bytes, s.word, s.keyIndex, s.index,
                           &s.cands, &model, st);
            continue;
        }
        bool lastToken = t + 1 == s.tokens.size();
        int32_t part = partNumberOf(s, t);
        int32_t before = s.cands.count;
        AIMAIXPARM parm{part, 0, lastToken ? p.units : 4, 0, 1};
        voz_AimaiLoopX(s.word->wi.precision, &s.ngrams[static_cast<size_t>(p.firstNgram)],
                       count, reversed.data(), s.units, s.keyIndex, s.index, &parm,
                       &s.cands, st);
        if (part >= 0 && s.cands.count > before && !voz_Failed(st))
            splitMatches(s, p, part, before, st);
    }
    voz_TermForAimaiLoopX(reversed.data(), static_cast<int32_t>(reversed.size()));
    voz_TermForAimaiLoopX(s.ngrams.data(), static_cast<int32_t>(s.ngrams.size()));
    if (voz_Failed(st)) return;
    voz_AimaiDropDominated(&s.cands, st);
    voz_ReadParts(&s.cands, s.index, st);
    voz_SortPartinfo(s.cands.parts, s.cands.count, st);
}

// One run of candidates with the same word range and split kind.
struct CandGroup {
    int32_t first, count;
    int32_t start, end;
    uint8_t kind;
    int32_t part;            // the largest part number of the run
};

// A head group and a tail group are partners when they come from the same
// part and the tail begins where the head ends.
bool partnerGroups(const CandGroup& head, const CandGroup& tail) {
    return head.kind == 1 && tail.kind == 2 && head.part == tail.part &&
           head.end == tail.start;
}

// Groups the candidates by (start, end, kind) into pieces; the group over
// the whole word becomes the whole-word group. A head or tail group
// without a partner group gets no keys (no piece).
void buildCandidatePieces(AimaiSetup& s, GTRSTATUS* st) {
    std::vector<CandGroup> groups;
    for (int32_t i = 0; i < s.cands.count;) {
        const PARTINFO& f = s.cands.parts[i];
        CandGroup g{i, 0, f.startUnit, f.endUnit, f.splitKind, f.partNumber};
        int32_t j = i + 1;
        while (j < s.cands.count && s.cands.parts[j].startUnit == f.startUnit &&
               s.cands.parts[j].endUnit == f.endUnit &&
               s.cands.parts[j].splitKind == f.splitKind) {
            g.part = std::max(g.part, s.cands.parts[j].partNumber);
            ++j;
        }
        g.count = j - i;
        groups.push_back(g);
        i = j;
    }
    for (const CandGroup& f : groups) {
        if (voz_Failed(st)) return;
        if (f.kind != 0 &&
            std::none_of(groups.begin(), groups.end(), [&f](const CandGroup& o) {
                return f.kind == 1 ? partnerGroups(f, o) : partnerGroups(o, f);
            }))
            continue;
        GCTLINFO g = newPiece('Y', nullptr, 0, f.start, f.end);
        g.ownerWords2[0] = f.first;
        g.ownerWords2[1] = f.count;
        g.ownerWords3[0] = f.part;
        g.ownerWords3[1] = f.kind;
        g.ownerWord0 = 1;
        voz_InitPctlBatch2(&g, &s.cands.parts[f.first], f.count, s.units,
                           s.parts, s.index, st);
        if (f.kind == 0 && f.start == 0 && f.end == s.units && !s.hasWhole) {
            s.whole = g;
            s.hasWhole = true;
        } else {
            s.pieces.push_back(g);
        }
    }
}

// Looks every n-gram piece up by pattern search in the mixed index.
void lookNgrams(AimaiSetup& s, GTRSTATUS* st) {
    for (GCTLINFO& g : s.pieces) {
        if (g.ownerByte != 'N' || voz_Failed(st)) continue;
        int32_t offset = static_cast<int32_t>((g.pattern - s.text) / s.ww);
        voz_SearchPatt_(s.word, &g, offset, s.index, 'A', st, 0);
        g.ownerWord0 = 1;
    }
}

void endPiece(GCTLINFO& g, GTRSTATUS* st) {
    if (g.ownerWord0 == 0) return;
    GTRSTATUS own{};
    if (g.ownerByte == 'Y')
        voz_TermPctlBatch2(&g, &own);
    else
        voz_SearchPattTerm(&g, &own);
    g.ownerWord0 = 0;
    if (own.retcode != 0 && !voz_Failed(st))
        voz_setStatus2(st, own.retcode, own.errcode, own.errfname1,
                       own.errfname2, own.system_errno);
}

void endSetup(AimaiSetup& s, GTRSTATUS* st) {
    for (GCTLINFO& g : s.pieces) endPiece(g, st);
    if (s.hasWhole) endPiece(s.whole, st);
    s.hasWhole = false;
    voz_PartctlFree(&s.cands);
}

void noHits(_WCTLHEAD* w) {
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

// Hands the set-up's pieces to the fuzzy control (step 6-7).
void startControl(AimaiSetup& s, _WCTLHEAD* w, ANSWERFORM* answer,
                  GTRSTATUS* st) {
    size_t all = s.pieces.size();
    GCTLINFO* allArr = static_cast<GCTLINFO*>(calloc(all + 1, sizeof(GCTLINFO)));
    GCTLINFO* kept = static_cast<GCTLINFO*>(calloc(all + 1, sizeof(GCTLINFO)));
    int32_t* map = static_cast<int32_t*>(calloc(all + 1, sizeof(int32_t)));
    GCTLINFO* whole = s.hasWhole && s.whole.allDropped == 0
                          ? static_cast<GCTLINFO*>(calloc(1, sizeof(GCTLINFO)))
                          : nullptr;
    if (allArr == nullptr || kept == nullptr || map == nullptr ||
        (s.hasWhole && s.whole.allDropped == 0 && whole == nullptr)) {
        free(allArr), free(kept), free(map), free(whole);
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_KEPT, nullptr, ENOMEM);
        endSetup(s, st);
        return noHits(w);
    }
    int32_t keptCount = 0;
    bool anyDropped = s.hasWhole && s.whole.allDropped != 0;
    for (size_t i = 0; i < all; ++i) {
        allArr[i] = s.pieces[i];
        if (s.pieces[i].allDropped != 0) {
            anyDropped = true;
            continue;
        }
        kept[keptCount] = s.pieces[i];
        map[keptCount++] = static_cast<int32_t>(i);
    }
    if (whole != nullptr) *whole = s.whole;
    bool allDropped = anyDropped && keptCount == 0 && whole == nullptr;
    if (allDropped || (keptCount == 0 && whole == nullptr)) {
        free(allArr), free(kept), free(map), free(whole);
        endSetup(s, st);
        if (!allDropped) return noHits(w);
        if (st != nullptr) st->retrieve_status |= 0x02;
        voz_GetWholeDocNOInit(w, s.index, answer, st);
        return;
    }
    voz_AimaiLoop(s.word, s.units, s.parts, kept, keptCount, whole, s.index,
                  answer, w, st);
    VOZAIMAIMIXCTL* c = static_cast<VOZAIMAIMIXCTL*>(w->priv);
    if (c == nullptr || voz_Failed(st)) {
        free(allArr), free(kept), free(map), free(whole);
        endSetup(s, st);
        return noHits(w);
    }
    if (s.hasWhole && whole == nullptr) endPiece(s.whole, st);  // dropped
    c->all = allArr;
    c->allCount = static_cast<int32_t>(all);
    c->keptToAll = map;
    PARTCTL* cands = static_cast<PARTCTL*>(calloc(1, sizeof(PARTCTL)));
    if (cands != nullptr) *cands = s.cands;
    else voz_PartctlFree(&s.cands);
    c->candidates = cands;
    // Units of dropped pieces count as found; the word beyond the kept
    // pieces' span is given as a bonus.
    if (anyDropped) {
        int32_t lo = s.units, hi = 0;
        for (int32_t i = 0; i < keptCount; ++i) {
            lo = kept[i].ownerWords1[0] < lo ? kept[i].ownerWords1[0] : lo;
            hi = kept[i].ownerWords1[1] > hi ? kept[i].ownerWords1[1] : hi;
        }
        if (keptCount > 0) {
            c->misses += lo;
            c->bonus = 100 * (lo - hi + s.units);
        }
        for (size_t i = 0; i < all; ++i) {
            if (s.pieces[i].allDropped == 0) continue;
            for (int32_t u = s.pieces[i].ownerWords1[0];
                 u < s.pieces[i].ownerWords1[1] && u < s.units; ++u)
                c->dropped[static_cast<size_t>(u)] = 1;
        }
    }
}

}  // namespace

void voz_GetOneWordAimaiMixInit(RTRVWORDEXT* word, _WCTLHEAD* w,
                                IDXINFO* index, IDXINFO* keyIndex,
                                ANSWERFORM* answer, GTRSTATUS* st) {
    if (index == nullptr || word->cut_function == nullptr ||
        index->info.docCount < 1 || word->wi.wordlen <= 0)
        return noHits(w);
    AimaiSetup s;
    s.word = word;
    s.index = index;
    s.keyIndex = keyIndex;
    s.ww = word->unit_width > 0 ? word->unit_width : 2;
    s.kw = keyIndex != nullptr && keyIndex->info.unitWidth > 0
               ? keyIndex->info.unitWidth : 2;
    s.n = index->info.fixedKeyUnits > 0 ? index->info.fixedKeyUnits : 1;
    s.nk = keyIndex != nullptr ? keyIndex->info.fixedKeyUnits : 0;
    s.text = word->wi.wordp;
    uint8_t* end = s.text + word->wi.wordlen;
    try {
        s.pieces.reserve(static_cast<size_t>(word->wi.wordlen / s.ww + 1));
        s.ngrams.reserve(static_cast<size_t>(3 * (word->wi.wordlen / s.ww) + 1));
    } catch (const std::bad_alloc&) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_AIMAI_NGRAMS, nullptr, ENOMEM);
        return noHits(w);
    }
    if (!cutWord(s, end, st) || s.units < 1) return noHits(w);
    if (!s.tokens.empty()) searchCandidates(s, st);
    if (!voz_Failed(st)) buildCandidatePieces(s, st);
    if (!voz_Failed(st)) lookNgrams(s, st);
    if (voz_Failed(st)) {
        endSetup(s, st);
        return noHits(w);
    }
    startControl(s, w, answer, st);
}

void voz_AimaiMixDocEstimate(const _WCTLHEAD* w, int32_t* estimate) {
    const auto* c = static_cast<const VOZAIMAIMIXCTL*>(w->priv);
    if (c == nullptr) return;
    // Pieces without keys (a head or tail without partners) cannot hold a
    // document; they do not pull the estimate to 0.
    int32_t pieces = 0, whole = 0;
    bool any = false;
    for (int32_t i = 0; i < c->pieceCount; ++i) {
        if (c->pieces[i].keyCount < 1) continue;
        int32_t one = 0;
        voz_GetDocFreqByGctl(&c->pieces[i], 1, &one);
        pieces = any ? std::min(pieces, one) : one;
        any = true;
    }
    if (c->whole != nullptr) voz_GetDocFreqByGctl(c->whole, 1, &whole);
    *estimate = std::max(pieces, whole);
}
