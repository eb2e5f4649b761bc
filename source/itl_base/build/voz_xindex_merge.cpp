// voz_xindex_merge.cpp -- the merge of two X-indexes (voz_MergeXindex) and
// of one key's position data from both (voz_MergeQos).
//
// Both inputs are X-indexes of regular halves that were merged into one;
// their documents are X-part record numbers, which each input's change
// table maps to the merged key file's. Keys are fixed and ascend by their
// six key bytes in both inputs, so one pass over each suffices; equal keys
// join, and within a key the entries ascend by mapped number. A number
// both inputs map to the same value keeps the first input's entry.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "build/voz_poswrite.hpp"
#include "build/voz_xindex.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr const char* kMergeLabel = " X_merge...";
constexpr uint8_t kNoList = 0x10;   // level of a key without postings

uint64_t dataLengthOf(const KEY_REC& k) {
    return (static_cast<uint64_t>(k.lengthHigh) << 32) | k.dataLength;
}

uint64_t locationOf(const KEY_REC& k) {
    return (static_cast<uint64_t>(k.locationHigh) << 32) | k.location;
}

// Reads the taken key's position data of one input into its buffer.
int loadKey(CHANGEQOSCTL& c, GTRSTATUS* st) {
    c.readOffset = 0;
    c.dataSize = 0;
    c.document = -1;
    c.pending = 'N';
    uint64_t len = dataLengthOf(c.key);
    if (c.key.level == kNoList || len == 0) return 0;
    if (len > 0x7FFFFFFFu) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 607, c.set->indexName);
        return -1;
    }
    if (len > c.dataCapacity) {
        void* p = realloc(c.data, len);
        if (p == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 606, nullptr, ENOMEM);
            return -1;
        }
        c.data = static_cast<uint8_t*>(p);
        c.dataCapacity = static_cast<uint32_t>(len);
    }
    voz_fseek_POSFILE(c.set, static_cast<int64_t>(locationOf(c.key)), st);
    if (voz_Failed(st)) return -1;
    voz_fread_POSFILE(c.data, static_cast<int32_t>(len), c.set, st);
    if (voz_Failed(st)) return -1;
    c.dataSize = static_cast<uint32_t>(len);
    return 0;
}

// Decodes the next entry of an input into its pending fields. 0 with
// pending 'Y', 0 with pending 'N' at the end of its data, or -1.
int nextEntry(CHANGEQOSCTL& c, GTRSTATUS* st) {
    if (c.readOffset == c.dataSize) return 0;
    uint32_t delta = 0, length = 0;
    uint32_t h = c.readOffset < c.dataSize
                     ? voz_PosHeaderDecode(c.data + c.readOffset, c.dataSize - c.readOffset,
                                           &delta, &length)
                     : 0;
    if (h == 0 || length > c.dataSize - c.readOffset - h) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 607, c.set->indexName);
        return -1;
    }
    c.document += delta;
    int64_t mapped = c.document > 0x7FFFFFFE
                         ? -1
                         : voz_MapChgRecNo(c.changes, static_cast<int32_t>(c.document));
    if (mapped < 0 || mapped > 0x7FFFFFFE) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 608, c.set->indexName);
        return -1;
    }
    c.mapped = mapped;
    c.entryOffset = c.readOffset + h;
    c.entryLength = length;
    c.readOffset += h + length;
    c.pending = 'Y';
    return 0;
}

// Appends one entry (header and data) to the output.
int emit(_FCTLHEAD* target, const uint8_t* data, uint32_t length, uint32_t delta,
         uint8_t* outBuf, int32_t* outUsed, GTRSTATUS* st) {
    if (length > 0) {
        POSBUFFER pb{};
        pb.start = const_cast<uint8_t*>(data);
        pb.cursor = pb.end = pb.start + length;
        return voz_WritePos(target, &pb, static_cast<int32_t>(delta), outBuf, outUsed, st);
    }
    uint8_t header[16];
    int32_t h = static_cast<int32_t>(voz_PosHeaderEncode(header, delta, 0));
    if (*outUsed + h > VOZ_POSOUT_SIZE && voz_FlushPosOut(target, outBuf, outUsed, 7007, st) != 0)
        return -1;
    memcpy(outBuf + *outUsed, header, static_cast<size_t>(h));
    *outUsed += h;
    target->posOffset += h;
    return 0;
}

}  // namespace

int32_t voz_MergeQos(CHANGEQOSCTL* ctl, _FCTLHEAD* target, int32_t* outUsed, uint8_t* outBuf,
                     int32_t* outLength, int64_t* lastDocOut, GTRSTATUS* st) {
    (void)outLength;  // the buffer is VOZ_POSOUT_SIZE bytes
    *lastDocOut = -1;
    for (int i = 0; i < 2; ++i) {
        ctl[i].pending = 'N';
        if (ctl[i].taken == 'Y' && loadKey(ctl[i], st) != 0) return -1;
    }
    int32_t written = 0;
    int64_t last = -1;
    for (;;) {
        for (int i = 0; i < 2; ++i)
            if (ctl[i].taken == 'Y' && ctl[i].pending != 'Y' && nextEntry(ctl[i], st) != 0)
                return -1;
        bool p0 = ctl[0].taken == 'Y' && ctl[0].pending == 'Y';
        bool p1 = ctl[1].taken == 'Y' && ctl[1].pending == 'Y';
        if (!p0 && !p1) break;
        int w = !p0 ? 1 : (!p1 ? 0 : (ctl[1].mapped < ctl[0].mapped ? 1 : 0));
        if (p0 && p1 && ctl[0].mapped == ctl[1].mapped) ctl[1].pending = 'N';  // dropped
        CHANGEQOSCTL& c = ctl[w];
        c.pending = 'N';
        if (c.mapped <= last) {  // the mapping does not keep the order
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 608, c.set->indexName);
            return -1;
        }
        if (emit(target, c.data + c.entryOffset, c.entryLength,
                 static_cast<uint32_t>(c.mapped - last), outBuf, outUsed, st) != 0)
            return -1;
        last = c.mapped;
        ++written;
    }
    *lastDocOut = last;
    return written;
}

namespace {

// Merge state of the whole X-index merge.
struct XMerge {
    CHANGEQOSCTL ctl[2];
    KEYINFO_0 info[2];
    uint64_t records[2];        // key records of each input
    _FCTLHEAD* target;
    KEYINFO_0 out;
    _FCTLHEAD* workSet;         // the caller's further X set (not read)
    std::unique_ptr<uint8_t[]> outBuf{new uint8_t[VOZ_POSOUT_SIZE]};
    int32_t outUsed = 0;
    char display;
    int64_t divisor = 1;
    long percent = -1;

    ~XMerge() {
        GTRSTATUS ignored{};
        for (CHANGEQOSCTL& c : ctl) {
            free(c.data);
            if (c.set != nullptr) voz_IDXclose(c.set, &ignored);
        }
    }
};

// Opens one input; a missing one is empty (set null, at its end).
int openInput(XMerge& m, int i, const VOZXMERGEIN& in, GTRSTATUS* st) {
    CHANGEQOSCTL& c = m.ctl[i];
    c = CHANGEQOSCTL{};
    c.changes = in.changes;
    c.atEnd = 'Y';
    memset(&m.info[i], 0, sizeof m.info[i]);
    m.records[i] = 0;
    if (in.set == nullptr) return 0;
    GTRSTATUS probe{};
    if (voz_IDXqueryExistence(in.set, nullptr, &probe) != VOZ_EXISTS) return 0;
    if (voz_IDXopen(in.set, "rb", st) != 0) return -1;
    c.set = in.set;
    if (voz_ReadKeyInfo(in.set, &m.info[i], 0, nullptr, st) != 0) return -1;
    if (static_cast<int32_t>(m.info[i].varKeys) > 0 || m.info[i].docGroupLength != 0) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 605, in.set->indexName);
        return -1;
    }
    m.records[i] = static_cast<uint64_t>(m.info[i].fixedRecords) + m.info[i].varRecords;
    c.atEnd = m.records[i] > 0 ? 'N' : 'Y';
    return 0;
}

// Reads the next key record of input i, or marks it at its end.
int readNext(XMerge& m, int i, GTRSTATUS* st) {
    CHANGEQOSCTL& c = m.ctl[i];
    if (c.atEnd == 'Y') return 0;
    if (static_cast<uint64_t>(c.recordNumber) >= m.records[i]) {
        c.atEnd = 'Y';
        return 0;
    }
    KEY_REC recs[2];
    int32_t number = c.recordNumber == 0 ? 0 : VOZ_NEXT_RECORD;
    if (voz_ReadKeyMulti(c.set, recs, number, 1, 1, st) != 0) return -1;
    if (recs[0].kind != VOZ_KIND_FIXED && recs[0].kind != VOZ_KIND_DFIXED) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 605, c.set->indexName);
        return -1;
    }
    c.key = recs[0];
    ++c.recordNumber;
    return 0;
}

// Sets the output record's list fields from one merged key.
void placeList(KEY_REC* rec, int64_t start, int64_t end, int32_t docs, int64_t lastDoc) {
    uint64_t length = static_cast<uint64_t>(end - start);
    rec->level = 0;
    rec->locationHigh = static_cast<uint16_t>(static_cast<uint64_t>(start) >> 32);
    rec->location = static_cast<uint32_t>(start);
    rec->lengthHigh = static_cast<uint8_t>(length >> 32);
    rec->dataLength = static_cast<uint32_t>(length);
    rec->docCount = static_cast<uint32_t>(docs);
    rec->lastDoc = docs > 0 ? static_cast<uint32_t>(lastDoc) : 0xFFFFFFFFu;
    if (docs == 0) rec->location = rec->locationHigh = 0;
}

// Merges the current keys taken and fills `rec`'s list fields. 0 or -1.
int mergeOne(XMerge& m, KEY_REC* rec, GTRSTATUS* st) {
    int64_t start = m.target->posOffset;
    int64_t lastDoc = -1;
    int32_t length = VOZ_POSOUT_SIZE;
    int32_t docs = voz_MergeQos(m.ctl, m.target, &m.outUsed, m.outBuf.get(), &length, &lastDoc, st);
    if (docs < 0) return -1;
    placeList(rec, start, m.target->posOffset, docs, lastDoc);
    return 0;
}

int mergeSlots(XMerge& m, int base, GTRSTATUS* st) {
    for (int s = 0; s < VOZ_SLOT_VVG; ++s) {
        for (int i = 0; i < 2; ++i) {
            m.ctl[i].taken = m.ctl[i].set != nullptr ? 'Y' : 'N';
            m.ctl[i].key = m.info[i].slots[s];
        }
        KEY_REC rec = m.info[base].slots[s];
        if (mergeOne(m, &rec, st) != 0) return -1;
        m.out.slots[s] = rec;
    }
    return 0;
}

void progress(XMerge& m) {
    if (m.display != 'D') return;
    long p = static_cast<long>(m.target->posOffset / m.divisor);
    if (p > 100) p = 100;
    if (p == m.percent) return;
    m.percent = p;
    printf("          %3ld%% \r", p);
    fflush(stdout);
}

int mergeKeys(XMerge& m, VOZ_KEYCALLBACK_FN markTest, GTRSTATUS* st) {
    for (int i = 0; i < 2; ++i)
        if (readNext(m, i, st) != 0) return -1;
    while (m.ctl[0].atEnd != 'Y' || m.ctl[1].atEnd != 'Y') {
        int c = m.ctl[0].atEnd == 'Y' ? 1 : (m.ctl[1].atEnd == 'Y' ? -1 : 0);
        if (c == 0) c = memcmp(m.ctl[0].key.key, m.ctl[1].key.key, VOZ_KEY_HEAD_BYTES);
        m.ctl[0].taken = c <= 0 ? 'Y' : 'N';
        m.ctl[1].taken = c >= 0 ? 'Y' : 'N';
        KEY_REC rec = m.ctl[c <= 0 ? 0 : 1].key;
        rec.kind = VOZ_KIND_FIXED;
        rec.recCount = 1;
        if (mergeOne(m, &rec, st) != 0) return -1;
        if (voz_WriteKey(m.target, &m.out, &rec, ')', markTest, st) != 0) return -1;
        progress(m);
        for (int i = 0; i < 2; ++i)
            if (m.ctl[i].taken == 'Y' && readNext(m, i, st) != 0) return -1;
    }
    return 0;
}

int runMerge(XMerge& m, int baseSelector, const VOZXMERGEIN* inputs,
             VOZ_KEYCALLBACK_FN markTest, GTRSTATUS* st) {
    for (int i = 0; i < 2; ++i)
        if (openInput(m, i, inputs[i], st) != 0) return -1;
    int base = baseSelector != 0 ? 0 : 1;
    if (m.ctl[base].set == nullptr && m.ctl[1 - base].set != nullptr) base = 1 - base;
    voz_SetXindexBasic(&m.info[base], &m.out);
    memcpy(m.out.version, VOZ_KEYFILE_VERSION, 4);
    if (m.out.unitWidth == 0) m.out.unitWidth = 2;  // both inputs empty
    if (voz_MakeSetDirectory(m.target, st) != 0) return -1;
    if (voz_IDXopen(m.target, "wb", st) != 0) return -1;
    if (m.display == 'D') {
        printf("\n");
        int64_t mb = static_cast<int64_t>(m.info[0].posDataMB) + m.info[1].posDataMB + 2;
        m.divisor = mb * 1048576 / 100;
        if (m.divisor < 1) m.divisor = 1;
    }
    if (mergeSlots(m, base, st) != 0) return -1;
    if (voz_FlushPosOut(m.target, m.outBuf.get(), &m.outUsed, 7005, st) != 0) return -1;
    if (voz_WriteKeyInfo(m.target, &m.out, st) != 0) return -1;
    if (mergeKeys(m, markTest, st) != 0) return -1;
    if (voz_FlushPosOut(m.target, m.outBuf.get(), &m.outUsed, 7006, st) != 0) return -1;
    m.out.posDataMB = static_cast<uint32_t>((m.target->posOffset + 1048575) / 1048576);
    // The header written first was a placeholder: the counts are final now.
    return voz_WriteKeyInfo(m.target, &m.out, st);
}

}  // namespace

int voz_MergeXindex(int baseSelector, _FCTLHEAD* workSet, const VOZXMERGEIN* inputs,
                    _FCTLHEAD* target, char display, VOZ_KEYCALLBACK_FN markTest,
                    GTRSTATUS* st) {
    std::unique_ptr<XMerge> m(new (std::nothrow) XMerge);
    if (m == nullptr || m->outBuf == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 606, nullptr, ENOMEM);
        return -1;
    }
    m->target = target;
    m->workSet = workSet;
    m->display = display;
    int rc = runMerge(*m, baseSelector, inputs, markTest, st);
    GTRSTATUS closing{};
    voz_IDXclose(target, &closing);
    if (rc == 0 && closing.retcode != 0) {
        *st = closing;
        rc = -1;
    }
    if (rc == 0 && display == 'D') {
        printf("          100%s", "%");
        fflush(stdout);
    }
    return rc;
}
