// voz_mergepatt.cpp -- voz_MergePatt: all sections of one level merged into
// one output index, and the section reader voz_ReadKeyWork (see
// voz_createend.hpp).
//
// Each section is read through a file set of its own (opened "rb" on the
// level's files; an existing index part extended in place "rb+"), with a
// read-ahead buffer of key records. Every distinct key is written once;
// the position store merges the lists of the sections holding it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "build/voz_createend.hpp"
#include "build/voz_integrity.hpp"
#include "build/voz_xindex.hpp"
#include "files/voz_file.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kReadAhead = 1024;        // key records per section
constexpr uint8_t kNoPostings = 0x10;       // level of a key without a list
constexpr uint8_t kKeyType = 41;            // voz_WriteKey: a key-file key

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};

int32_t totalRecords(const MCTLHEAD* s) {
    return static_cast<int32_t>(s->basic.fixedRecords + s->basic.varRecords);
}

// Fills the read-ahead buffer from record `from`. 0 or -1.
int fillBuffer(MCTLHEAD* s, int32_t from, GTRSTATUS* st) {
    _FCTLHEAD& f = s->idx;
    int32_t count = totalRecords(s) - from;
    if (count > f.bufCapacity) count = f.bufCapacity;
    static const VozReadReasons kWhy = {VOZ_RC_SEEK, 2237, VOZ_RC_BEYOND_END, 2238,
                                        VOZ_RC_READ, 2239};
    int64_t got = count <= 0 ? 0
                             : voz_KeyFileReadAt(&f, voz_KeyRecOffset(f.keyBase, from),
                                                 f.keyBuffer, VOZ_KEYREC_SIZE,
                                                 static_cast<size_t>(count), kWhy, st);
    if (got < 0) return -1;
    if (got < count || count <= 0) {
        voz_KeyFileFail(&f, st, VOZ_RC_BEYOND_END, 2238, 0);
        return -1;
    }
    f.bufFirst = from;
    f.bufEnd = from + static_cast<int32_t>(got);
    return 0;
}

}  // namespace

int voz_ReadKeyWork(MCTLHEAD* s, KEY_REC* out, GTRSTATUS* st) {
    _FCTLHEAD& f = s->idx;
    int32_t r = f.nextRec;
    if ((r < f.bufFirst || r >= f.bufEnd) && fillBuffer(s, r, st) != 0) return -1;
    const uint8_t* raw = f.keyBuffer + static_cast<size_t>(r - f.bufFirst) * VOZ_KEYREC_SIZE;
    voz_KeyAnyDecode(raw, &out[0]);
    int32_t chain = out[0].kind == 'V' && out[0].recCount > 1 ? out[0].recCount : 1;
    if (chain > VOZ_MERGE_KEY_RECORDS || r + chain > totalRecords(s)) {
        voz_KeyFileFail(&f, st, VOZ_RC_INCONSISTENT, 1291, 0);
        return -1;
    }
    if (r + chain > f.bufEnd) {  // the chain crosses the buffer's end
        if (fillBuffer(s, r, st) != 0) return -1;
        raw = f.keyBuffer;
    }
    for (int32_t i = 1; i < chain; ++i)
        voz_KeyAnyDecode(raw + static_cast<size_t>(i) * VOZ_KEYREC_SIZE, &out[i]);
    f.nextRec = r + chain;
    return 0;
}

void voz_MergeInputIsEOF(IDXINFO*, MCTLHEAD* s, long*) {
    if (s->basic.fixedRecords == 0) s->fixedDone = 'Y';
    if (s->basic.varRecords == 0) {
        s->varDone = 'Y';
        s->needRead = 'N';
    }
    if (s->basic.fixedRecords == 0 && s->basic.varRecords == 0)
        memset(&s->curKey[0], 0, sizeof s->curKey[0]);
}

namespace {

// The state of one merge: sections, output, counters.
struct Merge {
    Merge(CREATWRK* c, MCTLINFO* l, _FCTLHEAD* t) : cwp(c), lvl(l), target(t) {}
    CREATWRK* cwp;
    MCTLINFO* lvl;
    _FCTLHEAD* target;
    CHGRECNO* changes = nullptr; // null, or one change table per section
    int n = 0;                   // sections
    int first = 0;               // first source section (1: in place)
    std::unique_ptr<MCTLHEAD> out{new MCTLHEAD()};  // the output store
    std::vector<std::unique_ptr<uint8_t, FreeDeleter>> buffers;
    KEY_REC chain[VOZ_MERGE_KEY_RECORDS] = {};
    uint64_t counter = 0;
    int64_t posStart = 0;
    bool outOpen = false;

    MCTLHEAD* sec(int i) { return &lvl->sections[i]; }
    bool isWork(int i) { return sec(i)->workKind != 'N'; }
};

// Opens every section on its own file set with its read buffer. 0 or -1.
int openSections(Merge& m, GTRSTATUS* st) {
    for (int i = 0; i < m.n; ++i) {
        MCTLHEAD* s = m.sec(i);
        uint8_t* buf = static_cast<uint8_t*>(malloc(kReadAhead * VOZ_KEYREC_SIZE));
        if (buf == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2235, nullptr, ENOMEM);
            return -1;
        }
        m.buffers.emplace_back(buf);
        _FCTLHEAD& f = s->idx;
        f.sharedFrom = nullptr;
        f.sharesFile = 0;
        const char* mode = i == 0 && m.first == 1 ? "rb+" : "rb";
        if (voz_IDXopen(&f, mode, st) != 0) return -1;
        if (voz_ReadKeyInfo(&f, &s->basic, 0, nullptr, st) != 0) return -1;
        f.keyBuffer = buf;
        f.bufCapacity = kReadAhead;
        f.bufFirst = f.bufEnd = 0;
        f.nextRec = 0;
        s->mark = -1;
        s->needRead = 'Y';
        s->fixedDone = s->varDone = 'N';
        s->consumed = s->shift = 0;
        s->holdsKey = 'N';
        voz_MergeInputIsEOF(nullptr, s, nullptr);
    }
    return 0;
}

// Step 2: the store kind of a target that chooses it by size.
void chooseStore(Merge& m) {
    _FCTLHEAD* t = m.target;
    if ((t->flags & VOZ_FCTL_CHOOSE) == 0) return;
    const KEYINFO_0& b0 = m.sec(0)->basic;
    uint64_t sum = 0;
    for (int i = 0; i < m.n; ++i) sum += m.sec(i)->basic.posDataMB;
    if ((b0.indexFlags & VOZ_IDXFLAG_BTREE) != 0 ||
        (b0.storeParameter != 0 && sum + 1 >= b0.storeParameter))
        t->flags |= VOZ_FCTL_BTREE;
    t->flags &= static_cast<uint8_t>(~VOZ_FCTL_CHOOSE);
}

// Step 3: one section that needs no key merge goes to the target whole.
// 1 done, 0 not applicable, -1 failure.
int moveSingle(Merge& m, GTRSTATUS* st) {
    MCTLHEAD* s = m.sec(0);
    if (m.n != 1 || s->idx.deletedDocs != nullptr ||
        (s->idx.flags & VOZ_FCTL_BTREE) != (m.target->flags & VOZ_FCTL_BTREE) ||
        s->idx.keyBase != 0 || m.target->keyBase != 0)
        return 0;
    voz_IDXclose(m.target, st);
    voz_IDXclose(&s->idx, st);
    if (voz_Failed(st)) return -1;
    if (s->workKind == 'N') {
        if (voz_IDXcopy(&s->idx, m.target, st) != 0) return -1;
    } else {
        char from[VOZ_FNAME_LEN], to[VOZ_FNAME_LEN];
        for (uint16_t type : {uint16_t(VOZ_FT_POS), uint16_t(VOZ_FT_KEY)}) {
            voz_IDXgetFname(from, &s->idx, type);
            voz_IDXgetFname(to, m.target, type);
            if (voz_ReplacePath(from, to, 2311, st) != 0) return -1;
        }
        s->workKind = 'N';  // nothing left to remove
    }
    m.target->flags |= VOZ_FCTL_CREATING;
    m.target->posSize = s->idx.posSize;
    return voz_WriteKeyInfo2(m.target, st) != 0 ? -1 : 1;
}

// Step 6: the output's files. 0 or -1.
int openOutput(Merge& m, GTRSTATUS* st) {
    MCTLHEAD* out = m.out.get();
    const KEYINFO_0& b0 = m.sec(0)->basic;
    m.target->sharedBlockKB = b0.sharedBlockKB;
    m.target->branchBlockKB = b0.branchBlockKB;
    m.target->leafBlockKB = b0.leafBlockKB;
    out->idx = *m.target;
    if ((m.sec(0)->idx.flags & VOZ_FCTL_BTREE) == 0) {
        m.first = 0;
        if ((m.target->flags & VOZ_FCTL_OPEN) == 0 || voz_KeyFileOf(m.target) == nullptr) {
            if (m.target->flags & VOZ_FCTL_BTREE) {
                vozCreateFirstIndex(&out->idx, st);
                if (voz_Failed(st)) return -1;
            }
            if (voz_IDXopen(&out->idx, "wb", st) != 0) return -1;
        }
        m.outOpen = true;
        m.posStart = static_cast<int64_t>(vozGetOffset(out->idx.posBroker, st));
    } else {
        m.first = 1;
        out->idx.keyFile = nullptr;
        out->idx.sharedFrom = nullptr;
        if (voz_IDXopenKey(&out->idx, "wb", st) != 0) return -1;
        m.outOpen = true;
    }
    return voz_Failed(st) ? -1 : 0;
}

// The record the lists are merged into: the output, or section 0 in place.
MCTLHEAD* mergeTarget(Merge& m) {
    return m.first == 1 ? m.sec(0) : m.out.get();
}

// A key without postings keeps the marks of one: offset -1, length 0.
void markNoPostings(KEY_REC* r) {
    if (r->level != kNoPostings) return;
    r->lengthHigh = 0;
    r->locationHigh = 0xFFFF;
    r->location = 0xFFFFFFFFu;
    r->dataLength = 0;
    r->lastDoc = 0xFFFFFFFFu;
    r->docCount = 0;
}

// Merges the lists of the sections with holdsKey 'Y' into *rec. 0 or -1.
int mergeLists(Merge& m, KEY_REC* rec, GTRSTATUS* st) {
    MCTLHEAD* t = mergeTarget(m);
    if (m.first == 0) t->holdsKey = 'N';
    vozMergeMerge(t, m.sec(m.first), rec, m.n - m.first, &m.counter, st);
    if (voz_Failed(st)) return -1;
    markNoPostings(rec);
    return 0;
}

// Raises a basic word by a signed compare (a -1 never wins).
void raise(uint32_t* word, uint32_t value) {
    if (static_cast<int32_t>(value) > static_cast<int32_t>(*word)) *word = value;
}

// Steps 7-8: the basic information and its entries 0-39. 0 or -1.
int mergeEntries(Merge& m, GTRSTATUS* st) {
    KEYINFO_0* info = &m.cwp->basicInfo;
    *info = m.sec(0)->basic;
    for (int i = 1; i < m.n; ++i)
        if (voz_CheckIndexBasic(info, &m.sec(i)->basic, st) != 0) return -1;
    info->highestDoc = info->maxDocNumber = 0xFFFFFFFFu;
    for (int i = 0; i < m.n; ++i) {
        raise(&info->maxDocNumber, m.sec(i)->basic.maxDocNumber);
        info->reserved40 = m.sec(i)->basic.reserved40;
    }
    info->docCount = 0;
    for (int e = 0; e < VOZ_KEY_SLOTS; ++e)  // the kind and key bytes stay
        memset(reinterpret_cast<uint8_t*>(&info->slots[e]) + 8, 0, VOZ_KEYREC_SIZE - 8);
    for (int e = 0; e < VOZ_KEY_SLOTS - 1; ++e) {
        bool any = false;
        for (int i = 0; i < m.n; ++i) {
            MCTLHEAD* s = m.sec(i);
            s->curKey[0] = s->basic.slots[e];
            s->entryNo = static_cast<uint8_t>(e);
            s->holdsKey = 'Y';
            if (s->curKey[0].dataLength != 0 || s->curKey[0].level == kNoPostings) any = true;
        }
        if (!any) continue;
        KEY_REC rec = info->slots[e];
        if (mergeLists(m, &rec, st) != 0) return -1;
        memcpy(reinterpret_cast<uint8_t*>(&info->slots[e]) + 8,
               reinterpret_cast<const uint8_t*>(&rec) + 8, VOZ_KEYREC_SIZE - 8);
        raise(&info->docCount, rec.docCount);
        raise(&info->highestDoc, rec.lastDoc);
    }
    return 0;
}

int compareFixed(const KEY_REC& a, const KEY_REC& b) {
    int8_t ta = static_cast<int8_t>(a.kind), tb = static_cast<int8_t>(b.kind);
    if (ta != tb) return ta < tb ? -1 : 1;
    return memcmp(a.key, b.key, VOZ_KEY_HEAD_BYTES);
}

// Steps 10-11: finds the next key over all sections; holdsKey marks the
// sections that hold it. 1 a key, 0 the end, -1 failure.
int nextKey(Merge& m, bool* variable, GTRSTATUS* st) {
    for (int phase = *variable ? 1 : 0; phase < 2; ++phase) {
        MCTLHEAD* best = nullptr;
        for (int i = 0; i < m.n; ++i) {
            MCTLHEAD* s = m.sec(i);
            s->holdsKey = 'N';
            char& done = phase == 0 ? s->fixedDone : s->varDone;
            if (done == 'Y') continue;
            if (s->needRead == 'Y') {
                uint32_t limit = phase == 0 ? s->basic.fixedRecords
                                            : s->basic.fixedRecords + s->basic.varRecords;
                if (static_cast<uint32_t>(s->idx.nextRec) >= limit) {
                    done = 'Y';
                    continue;
                }
                if (voz_ReadKeyWork(s, s->curKey, st) != 0) return -1;
                if (phase == 1) s->consumed += s->curKey[0].recCount;
                s->needRead = 'N';
            }
            int c = best == nullptr ? -1
                    : phase == 0 ? compareFixed(s->curKey[0], best->curKey[0])
                                 : voz_VkeyCmp(s->curKey, best->curKey);
            if (c < 0) {
                for (int j = 0; j < i; ++j) m.sec(j)->holdsKey = 'N';
                best = s;
            }
            if (c <= 0) s->holdsKey = 'Y';
        }
        if (best != nullptr) {
            *variable = phase == 1;
            int count = phase == 1 && best->curKey[0].recCount > 1 ? best->curKey[0].recCount : 1;
            memcpy(m.chain, best->curKey, sizeof(KEY_REC) * static_cast<size_t>(count));
            for (int i = 0; i < m.n; ++i) {
                MCTLHEAD* s = m.sec(i);
                if (s->holdsKey == 'Y') {
                    s->needRead = 'Y';
                    // Where the section's variable records land in the output.
                    int own = s->curKey[0].recCount > 1 ? s->curKey[0].recCount : 1;
                    if (phase == 1 && m.changes != nullptr &&
                        voz_SetChgRecNo(&m.changes[i], static_cast<int32_t>(s->consumed) - own,
                                        static_cast<int32_t>(s->shift), st) != 0)
                        return -1;
                } else if (phase == 1 && s->varDone != 'Y') {
                    s->shift += static_cast<uint32_t>(count);
                }
            }
            return 1;
        }
        for (int i = 0; i < m.n && phase == 0; ++i) m.sec(i)->needRead = 'Y';
    }
    return 0;
}

// Steps 9-15: the keys. 0 or -1.
int mergeKeys(Merge& m, GTRSTATUS* st) {
    MCTLHEAD* out = m.out.get();
    KEYINFO_0* info = &m.cwp->basicInfo;
    if (voz_WriteKeyInfo(&out->idx, info, st) != 0) return -1;
    info->fixedKeys = info->fixedRecords = info->varKeys = info->varRecords = 0;
    info->keyIndexEntries = info->filteredVarKeys = info->dKindRecords = 0;
    info->extraRecords16 = 0;
    info->indexFlags = static_cast<uint8_t>(
        (info->indexFlags & ~VOZ_IDXFLAG_BTREE) |
        (mergeTarget(m)->idx.flags & VOZ_FCTL_BTREE));
    for (int i = 0; i < m.n; ++i) m.sec(i)->needRead = 'Y';  // curKey held an entry
    bool variable = false;
    for (;;) {
        int r = nextKey(m, &variable, st);
        if (r < 0) return -1;
        if (r == 0) break;
        if (mergeLists(m, &m.chain[0], st) != 0) return -1;
        const KEY_REC& k = m.chain[0];
        if (k.level >= 4 && k.location != 0xFFFFFFFFu && k.dataLength == 0) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 1291);
            return -1;
        }
        if (voz_WriteKey(&out->idx, info, m.chain, kKeyType,
                         m.cwp->creationParm.keyCallback, st) != 0)
            return -1;
    }
    return 0;
}

// Step 16: final header, sizes, close. 0 or -1.
int finishOutput(Merge& m, GTRSTATUS* st) {
    MCTLHEAD* out = m.out.get();
    KEYINFO_0* info = &m.cwp->basicInfo;
    if (m.first == 0) {
        uint64_t end = vozGetOffset(out->idx.posBroker, st);
        out->idx.posSize = end - static_cast<uint64_t>(m.posStart);
    } else {
        out->idx.posSize = 0;
    }
    if (voz_CheckIntegrity(&out->idx, info, st) != 0) return -1;
    if (voz_WriteKeyInfo(&out->idx, info, st) != 0) return -1;
    m.target->posSize = out->idx.posSize;
    m.target->flags |= VOZ_FCTL_CREATING;
    m.outOpen = false;
    int rc = m.first == 1 ? voz_IDXcloseKey(&out->idx, st) : voz_IDXclose(&out->idx, st);
    if (rc != 0) return -1;
    m.target->keyFile = nullptr;
    m.target->posFile = nullptr;
    m.target->posBroker = nullptr;
    m.target->flags &= static_cast<uint8_t>(~VOZ_FCTL_OPEN);
    if (m.first == 1) {  // the in-place store commits into the "#" set
        if (voz_IDXclose(&m.sec(0)->idx, st) != 0) return -1;
    }
    if (m.target->fileType < VOZ_HALF_WORK && voz_WriteKeyInfo2(m.target, st) != 0)
        return -1;
    return 0;
}

// Step 17: closes the sections, removes the level's work files and frees
// the buffers; a failure here counts only when none came before.
void closeSections(Merge& m, GTRSTATUS* st) {
    GTRSTATUS own{};
    if (m.outOpen) {
        MCTLHEAD* out = m.out.get();
        if (m.first == 1) voz_IDXcloseKey(&out->idx, &own);
        else voz_IDXclose(&out->idx, &own);
        m.target->keyFile = nullptr;
        m.target->posFile = nullptr;
        m.target->posBroker = nullptr;
        m.target->flags &= static_cast<uint8_t>(~VOZ_FCTL_OPEN);
    }
    bool removed = false;
    for (int i = 0; i < m.n; ++i) {
        MCTLHEAD* s = m.sec(i);
        voz_IDXclose(&s->idx, &own);
        s->idx.keyBuffer = nullptr;
        s->idx.bufCapacity = 0;
        free(s->ownedBuffer);
        s->ownedBuffer = nullptr;
        if (m.isWork(i) && !removed) {
            voz_IDXremove(&s->idx, &own);
            removed = true;
        }
    }
    m.buffers.clear();
    if (voz_Failed(&own) && !voz_Failed(st)) *st = own;
}

void logStart(Merge& m, long level) {
    char line[80];
    snprintf(line, sizeof line, " Level %d Merge start %3d sections ... \n",
             static_cast<int>(level + 1), m.n);
    VOZ_TIMELOG* log = &m.cwp->timeLog;
    voz_TimeLogC(log, m.cwp->directoryPrefix, VOZ_PHASE_MERGE, 'T', m.cwp->timeLogFlag);
    voz_TimeLogC(log, line, VOZ_PHASE_MERGE, 'O', m.cwp->timeLogFlag);
}

}  // namespace

int voz_MergePatt(CREATWRK* cwp, _FCTLHEAD* target, long level,
                  CHGRECNO* changes, GTRSTATUS* st) {
    Merge m(cwp, &cwp->levels[level], target);
    m.n = m.lvl->numSections;
    if (m.n == 0) return 0;
    if (changes != nullptr && m.n != 2) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 34);
        return -1;
    }
    m.changes = changes;  // filled from the sections' shift and consumed counts
    for (int i = 0; i < m.n; ++i) {  // parts of indexes: their headers first
        MCTLHEAD* s = m.sec(i);
        if (s->workKind != 'N') continue;
        if (voz_IDXqueryExistence(&s->idx, &s->basic, st) != VOZ_EXISTS) {
            if (!voz_Failed(st)) voz_setStatus(st, VOZ_RC_INCONSISTENT, 34);
            return -1;
        }
        if (s->basic.indexFlags & VOZ_IDXFLAG_BTREE) s->idx.flags |= VOZ_FCTL_BTREE;
    }
    chooseStore(m);
    int single = moveSingle(m, st);
    if (single != 0) {
        closeSections(m, st);
        return single > 0 ? 0 : -1;
    }
    logStart(m, level);
    m.first = (m.sec(0)->idx.flags & VOZ_FCTL_BTREE) != 0 && m.sec(0)->workKind == 'N' ? 1 : 0;
    int rc = openSections(m, st);
    if (rc == 0) rc = openOutput(m, st);
    if (rc == 0) rc = mergeEntries(m, st);
    if (rc == 0) rc = mergeKeys(m, st);
    if (rc == 0) rc = finishOutput(m, st);
    closeSections(m, st);
    return rc == 0 && !voz_Failed(st) ? 0 : -1;
}
