// voz_shortword.cpp -- search words shorter than one n-gram (see
// voz_shortword.hpp).
//
// The fixed keys ('F' records) lie sorted in the key file after the field
// keys ('D' records), so the keys that begin with a prefix form one run:
// the binary search gives its first record and the scan reads on until a
// key's leading bytes pass the prefix. The storage's binary search may step
// over records without postings (length 0) just before its answer, so the
// scan first looks back over such records.
//
// The word-start key of a document position is a begin-mark unit (kind
// 'B', the index's word-start mark value, basic-information byte 18)
// followed by the unit that starts there, as the builder pools it.
#include "search/voz_shortword.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "characters/voz_cut.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "files/voz_util.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_qsort.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr uint8_t kNoPostings = 0x10;
constexpr int32_t kGrowBytes = 400000;  // 50,000 pairs
constexpr int32_t kChain = 255;         // records a voz_ReadKey buffer holds
constexpr int32_t kMaxUnits = VOZ_KEY_HEAD_BYTES;

// State of one init.
struct Scan {
    RTRVWORDEXT* word;
    IDXINFO* index;
    GTRSTATUS* st;
    int32_t wordWidth;
    int32_t units;           // word units
    bool startOption;        // option 'S' in force
    bool countOnly;
    KEY_REC* chain;          // voz_ReadKey buffer (kChain records)
    char* base;              // the pair array as a work area
    char* end;
    char* cursor;            // next free pair
    int32_t keyCount;        // keys that contributed
    int32_t keysWithPostings;
};

// The units of the current combination: the word's own unit, or the
// chosen alternative (digit k > 0 = alternative k - 1).
const uint8_t* unitOf(const Scan& s, const int32_t* digit, int32_t i) {
    if (digit[i] > 0) return s.word->alter_chars[i].alter[digit[i] - 1].unit;
    return s.word->wi.wordp + static_cast<size_t>(i) * s.wordWidth;
}

int32_t altCount(const Scan& s, int32_t i) {
    if (s.word->alter_chars == nullptr) return 0;
    int32_t c = s.word->alter_chars[i].count;
    return c < 0 ? 0 : (c > VOZ_ALTER_MAX ? VOZ_ALTER_MAX : c);
}

// Advances the odometer (unit 0 fastest); false once every digit wrapped.
bool nextCombination(const Scan& s, int32_t* digit) {
    for (int32_t i = 0; i < s.units; ++i) {
        if (digit[i] < altCount(s, i)) {
            ++digit[i];
            for (int32_t j = 0; j < i; ++j) digit[j] = 0;
            return true;
        }
    }
    return false;
}

// Writes units [from, from + count) of the combination into `out` in the
// index's stored width (packed when the widths differ); returns the bytes
// written, never past VOZ_KEY_HEAD_BYTES - at.
int32_t putUnits(const Scan& s, const int32_t* digit, int32_t from,
                 int32_t count, uint8_t* key, int32_t at) {
    const int32_t sw = s.index->info.unitWidth;
    for (int32_t i = from; i < from + count; ++i) {
        if (at + sw > VOZ_KEY_HEAD_BYTES) break;
        voz_PackUnit(unitOf(s, digit, i), s.wordWidth, sw, key + at);
        at += sw;
    }
    return at;
}

// Looks the start key of the combination up; false with no failure when
// it is not in the index.
bool findStartKey(Scan& s, const int32_t* digit, KEY_REC* rec) {
    uint8_t key[VOZ_KEY_HEAD_BYTES] = {};
    VOZ_MARKSETUNIT_FN mark = s.word->mark_set_function != nullptr
                                  ? s.word->mark_set_function
                                  : vozCHmarkUnit_Set;
    mark('B', key, s.index->info.options[2],
         static_cast<int16_t>(s.wordWidth));
    putUnits(s, digit, 0, 1, key, s.index->info.unitWidth);
    int32_t number = 0;
    int rc = voz_BinSearchKeyWhole(VOZ_BS_PATTERN, key, s.index, rec, &number,
                                   s.st);
    return rc == 0 && memcmp(rec->key, key, VOZ_KEY_HEAD_BYTES) == 0;
}

bool appendPair(Scan& s, int32_t doc, int32_t pos) {
    if (s.end - s.cursor < static_cast<ptrdiff_t>(sizeof(SHORTOCC))) {
        int32_t size = static_cast<int32_t>(s.end - s.base) + kGrowBytes;
        if (voz_ReallocArea(size, &s.base, &s.end, &s.cursor, VOZ_AREA_MERGE,
                            s.st) != 0)
            return false;
    }
    SHORTOCC pair{doc, pos};
    memcpy(s.cursor, &pair, sizeof pair);
    s.cursor += sizeof pair;
    return true;
}

// Moves the start key to (doc, *pos) or beyond; 1 on it, 0 when it stands
// later in the document (*pos raised), -1 when it has no position left in
// the document, -2 when it has no document left.
int followStart(Scan& s, PCTLHEAD* start, int32_t doc, int32_t* pos) {
    _FCTLHEAD* fs = &s.index->fctl;
    if (start->curDoc < doc) {
        voz_PointVvgSkip(fs, start, static_cast<uint32_t>(doc), s.st);
        if (voz_Failed(s.st) || start->endOfDocs == 'Y') return -2;
    }
    if (start->curDoc > doc) return -1;
    if (start->curPos < *pos) {
        if (start->endOfPos == 'Y') return -1;
        voz_PointPosSkip(fs, start, *pos, s.st);
        if (voz_Failed(s.st) || start->endOfPos == 'Y') return -1;
    }
    if (start->curPos == *pos) return 1;
    *pos = start->curPos;
    return 0;
}

// Gathers the pairs of one key (and, with option 'S', of its start key).
void gatherKey(Scan& s, PCTLHEAD* key, PCTLHEAD* start) {
    _FCTLHEAD* fs = &s.index->fctl;
    for (uint32_t target = 0;; target = static_cast<uint32_t>(key->curDoc) + 1) {
        voz_PointVvgSkip(fs, key, target, s.st);
        if (voz_Failed(s.st) || key->endOfDocs == 'Y') return;
        const int32_t doc = key->curDoc;
        for (int32_t want = 1;;) {
            voz_PointPosSkip(fs, key, want, s.st);
            if (voz_Failed(s.st) || key->endOfPos == 'Y') break;
            int32_t pos = key->curPos;
            if (start != nullptr) {
                int r = followStart(s, start, doc, &pos);
                if (voz_Failed(s.st) || r == -2) return;
                if (r == -1) break;
                if (r == 0) {  // the start key stands later: follow it
                    want = pos;
                    continue;
                }
            }
            if (!appendPair(s, doc, pos)) return;
            want = pos + 1;
        }
        if (key->curDoc >= VOZ_DOC_END - 1) return;
    }
}

// One contributing key: counted, and its pairs gathered unless counting.
void takeKey(Scan& s, const KEY_REC& rec, const KEY_REC* startRec) {
    ++s.keyCount;
    if ((rec.level & kNoPostings) != 0) {
        if (s.st != nullptr) s.st->retrieve_status |= 0x02;
        return;
    }
    ++s.keysWithPostings;
    if (s.countOnly) return;
    PCTLHEAD key, start;
    memset(&key, 0, sizeof key);
    memset(&start, 0, sizeof start);
    voz_InitPctl(&key, &rec, 0, 'N', s.st);
    if (startRec != nullptr) voz_InitPctl(&start, startRec, 0, 'N', s.st);
    gatherKey(s, &key, startRec != nullptr ? &start : nullptr);
    GTRSTATUS mine{};
    voz_TermPctl(&key, &mine);
    voz_TermPctl(&start, &mine);
    if (mine.retcode != 0 && !voz_Failed(s.st))
        voz_setStatus2(s.st, mine.retcode, mine.errcode, mine.errfname1,
                       mine.errfname2, mine.system_errno);
}

// First record of the run of keys that may begin with `prefix`.
int32_t firstOfRun(Scan& s, const uint8_t* prefix, int32_t cmp) {
    KEY_REC rec;
    int32_t number = 0;
    const int32_t fixed = static_cast<int32_t>(s.index->info.fixedRecords);
    int rc = voz_BinSearchPatt(prefix, s.index, &rec, &number, s.st);
    if (rc < 0) return -1;
    if (number < 0) number = fixed;
    const int32_t dKind = static_cast<int32_t>(s.index->info.dKindRecords);
    while (number - 1 >= dKind && number - 1 < fixed) {
        if (voz_ReadKey(&s.index->fctl, s.chain, number - 1, s.st) != 0)
            return -1;
        if (s.chain[0].dataLength != 0 ||
            memcmp(s.chain[0].key, prefix, static_cast<size_t>(cmp)) < 0)
            break;
        --number;
    }
    return number;
}

// Scans the keys beginning with the combination's units.
void scanCombination(Scan& s, const int32_t* digit) {
    KEY_REC startRec;
    if (s.startOption && !findStartKey(s, digit, &startRec)) return;
    uint8_t prefix[VOZ_KEY_HEAD_BYTES] = {};
    const int32_t cmp = putUnits(s, digit, 0, s.units, prefix, 0);
    int32_t r = firstOfRun(s, prefix, cmp);
    const int32_t fixed = static_cast<int32_t>(s.index->info.fixedRecords);
    for (; r >= 0 && r < fixed && !voz_Failed(s.st); ++r) {
        if (voz_ReadKey(&s.index->fctl, s.chain, r, s.st) != 0) return;
        const KEY_REC rec = s.chain[0];
        int c = memcmp(rec.key, prefix, static_cast<size_t>(cmp));
        if (c < 0) continue;
        if (c > 0) return;
        takeKey(s, rec, s.startOption ? &startRec : nullptr);
    }
}

// Frees the control and sets the word to its end.
void endWord(_WCTLHEAD* w) {
    VOZSHORTCTL* c = static_cast<VOZSHORTCTL*>(w->priv);
    if (c != nullptr) {
        free(c->pairs);
        free(c);
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

bool pairBelow(const SHORTOCC& p, int32_t doc, int32_t pos) {
    return p.document < doc || (p.document == doc && p.position < pos);
}

// Gives out the next pair that differs from the current hit; false when
// none is left.
bool takeNext(VOZSHORTCTL* c, _WCTLHEAD* w) {
    while (c->cursor < c->total) {
        const SHORTOCC& p = c->pairs[c->cursor++];
        if (p.document == w->cur.docno && p.position == w->cur.pos) continue;
        c->hit.docno = p.document;
        c->hit.pos = p.position;
        w->cur = c->hit;
        w->resumeDoc = p.document;
        w->resumePos = p.position + 1;
        return true;
    }
    return false;
}

}  // namespace

void voz_GetShortWordInit_(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                           ANSWERFORM*, unsigned char writeAll,
                           GTRSTATUS* st, int countOnly) {
    w->priv = nullptr;
    Scan s{};
    s.word = word;
    s.index = index;
    s.st = st;
    s.wordWidth = word->unit_width > 0 ? word->unit_width
                                       : index->info.unitWidth;
    s.units = word->wi.wordlen > 0 && s.wordWidth > 0
                  ? word->wi.wordlen / s.wordWidth : 0;
    if (s.units > kMaxUnits) s.units = kMaxUnits;
    s.countOnly = countOnly != 0;
    VOZSHORTCTL* c = static_cast<VOZSHORTCTL*>(calloc(1, sizeof *c));
    s.base = static_cast<char*>(malloc(kGrowBytes));
    s.chain = static_cast<KEY_REC*>(malloc(kChain * sizeof(KEY_REC)));
    if (c == nullptr || s.base == nullptr || s.chain == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY,
                      c == nullptr ? 820 : (s.base == nullptr ? 162 : 163),
                      nullptr, ENOMEM);
        free(c);
        free(s.base);
        free(s.chain);
        return endWord(w);
    }
    s.end = s.base + kGrowBytes;
    s.cursor = s.base;
    s.startOption = word->wi.start_option == 'S' &&
                    (word->word_start_function == nullptr ||
                     word->word_start_function(word->wi.wordp,
                                               word->wi.wordp) != 'N');
    int32_t digit[kMaxUnits] = {};
    if (s.units > 0 && index->info.unitWidth > 0) {
        do {
            scanCombination(s, digit);
        } while (!voz_Failed(st) && nextCombination(s, digit));
    }
    free(s.chain);
    c->pairs = reinterpret_cast<SHORTOCC*>(s.base);
    c->total = static_cast<int32_t>((s.cursor - s.base) / sizeof(SHORTOCC));
    c->keyCount = s.keyCount;
    w->priv = c;
    if (voz_Failed(st)) return endWord(w);
    if (s.keyCount > 0 && s.keysWithPostings == 0) {
        w->emptyFlag = 1;  // every key is a stop word
        return endWord(w);
    }
    if (s.keyCount > 1) voz_SortShortWord(c->pairs, c->total);
    c->hit.len = static_cast<uint16_t>(s.units);
    c->hit.match = 100;
    c->writeAll = writeAll;
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = 1;
    w->nextArg1 = index;
    w->nextHit = voz_GetShortWord;
}

void voz_GetShortWord(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM* answer,
                      int32_t doc, int32_t pos, GTRSTATUS* st) {
    VOZSHORTCTL* c = static_cast<VOZSHORTCTL*>(w->priv);
    if (doc > VOZ_DOC_END - 1 || c == nullptr) return endWord(w);
    if (doc >= 0) {
        // The current hit stays when the target does not pass it.
        if (w->cur.docno >= 0 && !pairBelow({w->cur.docno, w->cur.pos}, doc, pos))
            return;
        while (c->cursor < c->total && pairBelow(c->pairs[c->cursor], doc, pos))
            ++c->cursor;
    }
    do {
        if (!takeNext(c, w)) return endWord(w);
        if (c->writeAll == 0 || answer == nullptr) return;
        voz_WriteOcc(&w->cur, 1, answer, st);
    } while (!voz_Failed(st));
    endWord(w);
}

void voz_SortShortWord(SHORTOCC* pairs, int32_t count) {
    voz_QuickSort(pairs, count, [](const SHORTOCC& a, const SHORTOCC& b) {
        return a.document < b.document ||
               (a.document == b.document && a.position < b.position);
    });
}
