// voz_pattflush.cpp -- voz_PattFlush: the pool as one sorted section of the
// level-0 work files (see voz_pattpool.hpp; section layout in
// voz_worklevel.hpp).
//
// The head entries are sorted as pointers into three groups, written in
// this order as one run of keys:
//   document level  non-'V' entries with a mark below 0x29 (by mark), then
//                   'D' entries with a higher mark (field keys, by key)
//   fixed           'F' entries (by the six key bytes)
//   variable        'V' heads (by the whole key)
// Within a key the entries come in document order (a stable sort by
// document first when documents arrived out of order), so each key's
// position list is written document by document. Keys of a mark below 0x29
// go to the header slot of that mark, not to the key file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "build/voz_createend.hpp"
#include "build/voz_integrity.hpp"
#include "build/voz_pattpool.hpp"
#include "build/voz_poswrite.hpp"
#include "build/voz_worklevel.hpp"
#include "files/voz_file.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr uint8_t kFirstKeyMark = 0x29;   // ')': marks below are slots

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};

// Where the three groups lie in the sort array.
struct Groups {
    int32_t heads = 0;      // head entries in the pool
    int32_t docLevel = 0;   // [0, docLevel)
    int32_t slotKeys = 0;   // of them with a mark below 0x29 (first)
    int32_t fixed = 0;      // [docLevel, docLevel + fixed)
    int32_t lowDoc = 0x7FFFFFFF;
    int32_t lastDoc = -1;
    int32_t docChanges = 0; // document changes from the previous flush on
};

inline int32_t stepOf(const PATTINFO* e) {
    return e->kind == VOZ_KIND_VAR && e->chainOrMark > 0 ? e->chainOrMark : 1;
}

// Counts heads, documents and the lowest document of the pool.
Groups survey(const CREATWRK* cwp) {
    Groups g;
    int32_t prev = cwp->lastFlushedDocument;
    for (const PATTINFO* e = cwp->pool.start; e < cwp->pool.cursor; e += stepOf(e)) {
        ++g.heads;
        if (e->document != prev) ++g.docChanges;
        prev = e->document;
        if (e->document < g.lowDoc) g.lowDoc = e->document;
    }
    g.lastDoc = g.heads > 0 ? prev : -1;
    return g;
}

// Fills the sort array: the document-level group, the 'F' part after it,
// the 'V' heads (in pool order) at the end. 17/20, 17/21. 0 or -1.
int place(CREATWRK* cwp, PATTINFO** a, Groups* g, GTRSTATUS* st) {
    const POOLINFO& pool = cwp->pool;
    int32_t n = 0, slot = 0;
    for (PATTINFO* e = pool.start; e < pool.cursor; e += stepOf(e)) {
        if (e->kind == VOZ_KIND_VAR || e->kind == VOZ_KIND_FIXED) continue;
        if (e->kind != VOZ_KIND_DFIXED && e->kind != cwp->documentRecordKind) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 20);
            return -1;
        }
        if (e->chainOrMark < kFirstKeyMark) ++slot;
        a[n++] = e;
    }
    g->docLevel = n;
    g->slotKeys = slot;
    int32_t back = g->heads;
    for (PATTINFO* e = pool.start; e < pool.cursor; e += stepOf(e)) {
        if (e->kind == VOZ_KIND_FIXED) {
            a[n++] = e;
        } else if (e->kind == VOZ_KIND_VAR) {
            a[--back] = e;
        }
    }
    if (n != back) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 21);
        return -1;
    }
    g->fixed = n - g->docLevel;
    for (int32_t i = back, j = g->heads - 1; i < j; ++i, --j) std::swap(a[i], a[j]);
    return 0;
}

// Sorts the three groups (by document first when documents came out of
// order). 0 or -1.
int sortGroups(CREATWRK* cwp, PATTINFO** a, const Groups& g, GTRSTATUS* st) {
    bool ooo = cwp->pool.outOfOrder != 0;
    VOZ_TIMELOG* log = &cwp->timeLog;
    voz_TimeLogC(log, "- Sort", VOZ_PHASE_SORT1, 'O', cwp->timeLogFlag);
    PATTINFO** fieldKeys = a + g.slotKeys;
    int32_t nField = g.docLevel - g.slotKeys;
    PATTINFO** fixed = a + g.docLevel;
    PATTINFO** var = fixed + g.fixed;
    int32_t nVar = g.heads - g.docLevel - g.fixed;
    if (ooo && voz_SortPattDv(a, g.docLevel, st) != 0) return -1;
    if (voz_SortPattDLM(a, g.docLevel, st) != 0) return -1;
    if (ooo && voz_SortPattDv(fieldKeys, nField, st) != 0) return -1;
    if (voz_SortPattFIX(fieldKeys, nField, st) != 0) return -1;
    if (ooo && voz_SortPattDv(fixed, g.fixed, st) != 0) return -1;
    if (voz_SortPattFIX(fixed, g.fixed, st) != 0) return -1;
    voz_TimeLogC(log, " . ", VOZ_PHASE_SORT2, 'O', cwp->timeLogFlag);
    if (ooo && voz_SortPattDv(var, nVar, st) != 0) return -1;
    if (voz_SortPattVAR(var, nVar, st) != 0) return -1;
    voz_TimeLogC(log, "- Writing - ", VOZ_PHASE_WRITE, 'O', cwp->timeLogFlag);
    return 0;
}

// The writer of one section's keys: the current key's state and the
// position output buffer.
class KeyWriter {
public:
    KeyWriter(CREATWRK* cwp, _FCTLHEAD* out, uint8_t* outBuf)
        : m_cwp(cwp), m_out(out), m_outBuf(outBuf) {}

    // Adds entry `e`, which starts a new key when `starts`. 0 or -1.
    int add(const PATTINFO* e, bool starts, GTRSTATUS* st) {
        if (starts) {
            if (m_last != nullptr && endKey(st) != 0) return -1;
            startKey();
        }
        m_last = e;
        POSBUFFER* pb = &m_cwp->positionBuffer;
        if (e->document != m_lastDoc) {
            if (voz_WritePos(m_out, pb, m_delta, m_outBuf, &m_outUsed, st) != 0) return -1;
            if (e->document > static_cast<int32_t>(m_cwp->basicInfo.maxDocNumber))
                m_cwp->basicInfo.maxDocNumber = static_cast<uint32_t>(e->document);
            if (e->document < m_lastDoc) {
                voz_setStatus(st, VOZ_RC_INCONSISTENT, 22);
                return -1;
            }
            m_delta = e->document - m_lastDoc;
            m_lastDoc = e->document;
            voz_ResetPosBuffer(pb);
            m_havePos = false;
            ++m_docs;
        }
        if (m_havePos && e->position < pb->lastPosition) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 23);
            return -1;
        }
        // A repeated occurrence (same key, document and position) is
        // written once, except in a field-number key: there each position
        // is a field start or end, read in pairs, so an instance that ends
        // where the next one starts (or an empty one) keeps both.
        bool fieldKey = e->kind == VOZ_KIND_DFIXED && e->chainOrMark == ')';
        if (m_havePos && e->position == pb->lastPosition && !fieldKey) return 0;
        if (e->weight == 2) return 0;
        m_havePos = true;
        return voz_SetPosInBuffer(pb, e->position, st);
    }

    // Ends the last key and writes out the output buffer. 0 or -1.
    int finish(GTRSTATUS* st) {
        if (m_last != nullptr && endKey(st) != 0) return -1;
        m_last = nullptr;
        return voz_FlushPosOut(m_out, m_outBuf, &m_outUsed, 7008, st);
    }

private:
    void startKey() {
        m_start = m_out->posOffset;
        voz_ResetPosBuffer(&m_cwp->positionBuffer);
        m_lastDoc = -1;
        m_delta = 0;
        m_docs = 0;
        m_havePos = false;
    }

    int endKey(GTRSTATUS* st) {
        const PATTINFO* e = m_last;
        KEY_REC* rec = m_rec;
        if (e->kind == VOZ_KIND_VAR) {
            voz_MakeVkey(rec, e);
        } else {
            memset(rec, 0, sizeof rec[0]);
            rec[0].kind = e->kind;
            rec[0].recCount = 1;
            memcpy(rec[0].key, e->keyHead, VOZ_KEY_HEAD_BYTES);
        }
        if (e->weight % 2 == 0) {  // '+' keys keep no position list
            rec[0].level = 0x10;
            rec[0].locationHigh = 0xFFFF;
            rec[0].location = 0xFFFFFFFFu;
            rec[0].lastDoc = 0xFFFFFFFFu;
        } else {
            if (voz_WritePos(m_out, &m_cwp->positionBuffer, m_delta, m_outBuf,
                             &m_outUsed, st) != 0)
                return -1;
            uint64_t start = static_cast<uint64_t>(m_start);
            uint64_t length = static_cast<uint64_t>(m_out->posOffset - m_start);
            rec[0].locationHigh = static_cast<uint16_t>(start >> 32);
            rec[0].location = static_cast<uint32_t>(start);
            rec[0].dataLength = static_cast<uint32_t>(length);
            rec[0].lengthHigh = static_cast<uint8_t>(length >> 32);
            rec[0].lastDoc = static_cast<uint32_t>(m_lastDoc);
            rec[0].docCount = static_cast<uint32_t>(m_docs);
        }
        uint8_t type = e->kind == VOZ_KIND_VAR ? ')' : e->chainOrMark;
        return voz_WriteKey(m_out, &m_cwp->basicInfo, rec, type,
                            m_cwp->creationParm.keyCallback, st);
    }

    CREATWRK* m_cwp;
    _FCTLHEAD* m_out;
    uint8_t* m_outBuf;
    int32_t m_outUsed = 0;
    const PATTINFO* m_last = nullptr;
    int64_t m_start = 0;        // position-file offset of the key's list
    int32_t m_lastDoc = -1;
    int32_t m_delta = 0;
    int32_t m_docs = 0;
    bool m_havePos = false;
    KEY_REC m_rec[VOZ_PATT_MAX_CHAIN];
};

// True when entry i of the sorted run starts a new key.
bool startsKey(PATTINFO* const* a, int32_t i, const Groups& g) {
    if (i == 0) return true;
    const PATTINFO* e = a[i];
    const PATTINFO* p = a[i - 1];
    if (e->chainOrMark != p->chainOrMark) return true;
    if (i < g.docLevel + g.fixed) {
        return e->chainOrMark >= kFirstKeyMark &&
               (p->kind != e->kind || memcmp(e->keyHead, p->keyHead, 6) != 0);
    }
    return p->kind != VOZ_KIND_VAR || voz_VpattCmp(p, e) != 0;
}

// Clears the key counters of the basic information (words 48-64, 76-84).
void clearCounters(KEYINFO_0* k) {
    k->fixedKeys = k->fixedRecords = k->varKeys = k->varRecords = 0;
    k->keyIndexEntries = k->filteredVarKeys = k->dKindRecords = 0;
    k->extraRecords16 = 0;
}

// Writes the section: first header, keys, positions, check, final header.
int writeSection(CREATWRK* cwp, _FCTLHEAD* section, PATTINFO** a,
                 const Groups& g, uint8_t* outBuf, GTRSTATUS* st) {
    KEYINFO_0* info = &cwp->basicInfo;
    if (voz_WriteKeyInfo(section, info, st) != 0) return -1;
    section->posOffset = static_cast<int64_t>(section->posStart);
    voz_ResetPosBuffer(&cwp->positionBuffer);
    std::unique_ptr<KeyWriter> w(new KeyWriter(cwp, section, outBuf));
    // The sorted pointers visit the pool in no order of memory: each entry
    // is asked for some entries ahead, so that its cache miss overlaps
    // the work on the ones before it.
    constexpr int32_t kAhead = 16;
    for (int32_t i = 0; i < g.heads; ++i) {
        if (i + kAhead < g.heads) __builtin_prefetch(a[i + kAhead]);
        if (w->add(a[i], startsKey(a, i, g), st) != 0) return -1;
    }
    if (w->finish(st) != 0) return -1;
    section->posSize = static_cast<uint64_t>(section->posOffset) - section->posStart;
    if (voz_CheckIntegrity(section, info, st) != 0) return -1;
    if (voz_WriteKeyInfo(section, info, st) != 0) return -1;
    // The section is on disk when the flush returns: its bytes leave the
    // file buffers (a seek writes the position file's out).
    FILE_CONTROL* kf = voz_KeyFileOf(section);
    if (voz_XXflush(kf) != 0) {
        voz_KeyFileFail(section, st, VOZ_RC_WRITE, 506, errno);
        return -1;
    }
    GTRSTATUS why{};
    voz_fseek_POSFILE(section, -1, &why);
    if (why.retcode != 0) {
        voz_setStatus(st, why.retcode, 7008, why.errfname1, why.system_errno);
        return -1;
    }
    return 0;
}

// Takes back a section that failed: uncounted, and when it was the level's
// first its files closed.
void dropSection(MCTLINFO* lvl, _FCTLHEAD* section) {
    if (lvl->numSections == 0) return;
    --lvl->numSections;
    if (lvl->numSections == lvl->fileOwner) {
        GTRSTATUS ignored{};
        voz_IDXclose(section, &ignored);
        lvl->filesOpen = 0;
    }
}

void logStart(CREATWRK* cwp, const _FCTLHEAD* target, const Groups& g) {
    const POOLINFO& pool = cwp->pool;
    int64_t used = reinterpret_cast<const char*>(pool.cursor) -
                   reinterpret_cast<const char*>(pool.start);
    long mb = static_cast<long>((used + 1048575) / 1048576);
    char line[96];
    if (target->setIndex == 0) {
        snprintf(line, sizeof line, " Flush <DOC :%6ld><%2ldM>",
                 static_cast<long>(cwp->registeredDocuments), mb);
    } else {
        snprintf(line, sizeof line, " Flush <PART:%6ld><%2ldM>",
                 static_cast<long>(g.lastDoc), mb);
    }
    voz_TimeLogC(&cwp->timeLog, cwp->directoryPrefix, VOZ_PHASE_OTHER, 'T', cwp->timeLogFlag);
    voz_TimeLogC(&cwp->timeLog, line, VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
}

// Makes the sort array hold `n` pointers. 0 or -1 (11/19).
int sizeSortBuffer(POOLINFO& pool, int32_t n, GTRSTATUS* st) {
    if (pool.sortBufferCapacity > n) return 0;
    void* p = realloc(pool.sortBuffer, sizeof(PATTINFO*) * static_cast<size_t>(n + 1));
    if (p == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 19, nullptr, ENOMEM);
        return -1;
    }
    pool.sortBuffer = static_cast<PATTINFO**>(p);
    pool.sortBufferCapacity = n + 1;
    return 0;
}

}  // namespace

int voz_PattFlush(CREATWRK* cwp, _FCTLHEAD* target, GTRSTATUS* st) {
    std::unique_ptr<uint8_t, FreeDeleter> outBuf(
        static_cast<uint8_t*>(malloc(VOZ_POSOUT_SIZE)));
    if (outBuf == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 7002, nullptr, ENOMEM);
        return -1;
    }
    if (cwp == nullptr || strcmp(cwp->tag, VOZ_CREATWRK_TAG) != 0) {
        voz_setStatus(st, VOZ_RC_HANDLE, 16);
        return -1;
    }
    POOLINFO& pool = cwp->pool;
    if (pool.cursor <= pool.start) return 0;
    MCTLINFO* lvl = &cwp->levels[0];
    // A level left full by a failed merge is merged before it takes more.
    if (lvl->numSections >= lvl->maxSections &&
        vozMergeWorkFiles(cwp, target, 0, 0, nullptr, st) != 0)
        return -1;
    cwp->tag[VOZ_TAG_FLUSHED] = 'Y';
    Groups g = survey(cwp);
    logStart(cwp, target, g);
    _FCTLHEAD section;
    if (vozSetWorkFctl(&section, lvl, target, cwp->workDirectory, st) != 0) return -1;
    KEYINFO_0* info = &cwp->basicInfo;
    for (KEY_REC& s : info->slots) {
        memset(&s, 0, sizeof s);
        s.kind = cwp->documentRecordKind;
    }
    clearCounters(info);
    info->docCount = static_cast<uint32_t>(g.docChanges);
    info->highestDoc = info->maxDocNumber = static_cast<uint32_t>(g.lastDoc);
    PATTINFO** a = nullptr;
    int rc = sizeSortBuffer(pool, g.heads, st);
    if (rc == 0) {
        a = pool.sortBuffer;
        rc = place(cwp, a, &g, st);
    }
    if (rc == 0) rc = sortGroups(cwp, a, g, st);
    if (rc == 0) rc = writeSection(cwp, &section, a, g, outBuf.get(), st);
    if (rc != 0) {
        dropSection(lvl, &section);
        return -1;
    }
    MCTLHEAD* rec = &lvl->sections[lvl->numSections - 1];
    rec->basic = *info;
    rec->lowDocno = g.lowDoc;
    rec->idx.keyBase = section.keyBase;
    rec->idx.posStart = section.posStart;
    rec->idx.posSize = section.posSize;
    rec->idx.keyEnd = voz_KeyRecOffset(section.keyBase, 0) +
                      static_cast<uint64_t>(VOZ_KEYREC_SIZE) *
                          (static_cast<uint64_t>(info->fixedRecords) + info->varRecords);
    if (g.lowDoc < lvl->lowDocno) lvl->lowDocno = g.lowDoc;
    if (static_cast<int32_t>(info->highestDoc) > lvl->highMark)
        lvl->highMark = static_cast<int32_t>(info->highestDoc);
    clearCounters(info);
    cwp->lastFlushedDocument = g.lastDoc;
    pool.cursor = pool.start;
    pool.highestDocument = -1;
    pool.lowestDocument = 0x7FFFFFFF;
    pool.documentCount = pool.poolWord = pool.outOfOrder = 0;
    voz_TimeLogC(&cwp->timeLog, " . ", VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
    // A full level 0 is merged upward at once (levels cascade like a
    // counter); the pool is already empty, so the merge may fail without
    // losing pooled entries: the written sections stay counted.
    if (lvl->numSections >= lvl->maxSections)
        return vozMergeWorkFiles(cwp, target, 0, 0, nullptr, st);
    return 0;
}
