// voz_leaf.cpp - CVozLeaf: loading, validating, storing and releasing a
// leaf, reading it through a chunk, and the writers that append document
// entries behind its data.  Insert and delete are in voz_leaf_change.cpp.
#include "postings/voz_leaf.hpp"

#include <cstdlib>
#include <cstring>
#include <new>

#include "files/voz_bigendian.hpp"
#include "postings/voz_bufferpos.hpp"

namespace {

[[noreturn]] void Throw(int32_t rc, int32_t reason) {
    throw CVozException(rc, reason);
}

}  // namespace

CVozLeaf::CVozLeaf(CVozBlockMgr* leafMgr, CVozBlockMgr* branchMgr,
                   CVozSharedBlockMgr* sharedMgr, POS_ATTR* rootAttrs)
    : CVozNode(VOZ_NODE_LEAF, leafMgr, branchMgr, sharedMgr, rootAttrs),
      m_lump(nullptr), m_sibling(nullptr), m_scratch(nullptr), pos_block() {
    pos_block.lastDocid = VOZ_ALL_ONES;
}

CVozLeaf::~CVozLeaf() {
    delete m_sibling;
    std::free(m_scratch);
}

void CVozLeaf::Pin() { PinCommon(6315, 6377, 6378); }

void CVozLeaf::Unpin() {
    UnpinCommon(6376, 6318);
    pos_block.data = nullptr;
}

void CVozLeaf::ReleaseBlock() { ReleaseBlockCommon(6372); }

void CVozLeaf::MakeWritable() {
    MakeWritableCommon(6302);
    SetDataPointer();
}

uint32_t CVozLeaf::NewBlockSetting(int32_t inMemory) {
    NewBlockCommon(inMemory);
    pos_block = POS_BLOCK();
    pos_block.lastDocid = VOZ_ALL_ONES;
    SetDataPointer();
    return m_block;
}

bool CVozLeaf::HeadValid() const {
    return nodekind == VOZ_NODE_LEAF &&
           pos_block.numPinpoints <= VOZ_LEAF_PINPOINTS &&
           pos_block.flg_continued <= 1 && pos_block.flg_continue <= 1 &&
           pos_block.poslen >= 0 && pos_block.poslen <= m_leafCapacity;
}

void CVozLeaf::InternalizeNode(POS_ATTR attrs, int32_t isRoot) {
    m_attrs = attrs;
    Pin2(isRoot);
    const uint8_t* img = m_info.data;
    SetDataPointer();
    nodekind = img[0];
    pos_block.numPinpoints = img[1];
    pos_block.flg_continued = img[2];
    pos_block.flg_continue = img[3];
    pos_block.firstDocid = voz_getBE32(img + 8);
    pos_block.lastDocid = voz_getBE32(img + 12);
    pos_block.poslen = static_cast<int32_t>(voz_getBE32(img + 16));
    pos_block.carriedCount = static_cast<int32_t>(voz_getBE32(img + 20));
    bool valid = HeadValid();
    // A carried count belongs to a continued first document, and no
    // document has 2^28 positions or more (its data would not fit a
    // header's length): readers count on from it without overflow.
    if (pos_block.carriedCount < 0 || pos_block.carriedCount >= (1 << 28) ||
        (pos_block.flg_continued == 0 && pos_block.carriedCount != 0))
        valid = false;
    // A slot shorter than its head and data is damage as well.
    if (valid && !m_inBlock &&
        m_attrs.dataleng < uint32_t(VOZ_LEAF_HEAD + pos_block.poslen))
        valid = false;
    nodekind = VOZ_NODE_LEAF;
    if (!valid) Throw(VOZ_RC_INCONSISTENT, 6366);
    Extract_DocidStart_from_PosBlock();
}

void CVozLeaf::WriteHead() {
    uint8_t* img = m_info.data;
    if (!HeadValid()) Throw(VOZ_RC_INCONSISTENT, 6361);
    img[0] = VOZ_NODE_LEAF;
    img[1] = pos_block.numPinpoints;
    img[2] = pos_block.flg_continued;
    img[3] = pos_block.flg_continue;
    voz_putBE32(img + 4, 0);
    voz_putBE32(img + 8, pos_block.firstDocid);
    voz_putBE32(img + 12, pos_block.lastDocid);
    voz_putBE32(img + 16, static_cast<uint32_t>(pos_block.poslen));
    voz_putBE32(img + 20, static_cast<uint32_t>(pos_block.carriedCount));
    std::memset(img + 24 + pos_block.numPinpoints * VOZ_PINPOINT_SIZE, 0,
                (VOZ_LEAF_PINPOINTS - pos_block.numPinpoints) *
                    VOZ_PINPOINT_SIZE);
    std::memset(pos_block.data + pos_block.poslen, 0,
                m_leafCapacity - pos_block.poslen);
}

void CVozLeaf::Unpin2(int32_t toSlot) {
    if (m_state != VOZ_NODE_MODIFIED && m_state != VOZ_NODE_CREATED) {
        Unpin();
        return;
    }
    if (toSlot || m_rightmost)
        StoreToSlot(uint32_t(VOZ_LEAF_HEAD + pos_block.poslen));
    else
        StoreToBlock();
    pos_block.data = nullptr;
    m_state = VOZ_NODE_LOADED;
}

uint32_t CVozLeaf::ExternalizeNode(int32_t isRoot) {
    if (m_state == VOZ_NODE_MODIFIED || m_state == VOZ_NODE_CREATED) {
        if (m_block != VOZ_ALL_ONES) Mgr()->MarkModified(m_info);
        WriteHead();
    }
    Unpin2(isRoot);
    uint32_t block = m_inBlock ? m_block : VOZ_ALL_ONES;
    if (isRoot && m_rootAttrs) m_rootAttrs->blockID = m_attrs.blockID;
    return block;
}

uint32_t CVozLeaf::ExternalizeNodeFree(int32_t isRoot) {
    UnpinFree();
    pos_block.data = nullptr;
    uint32_t block = m_inBlock ? m_block : VOZ_ALL_ONES;
    if (isRoot && m_rootAttrs) m_rootAttrs->blockID = m_attrs.blockID;
    return block;
}

int32_t CVozLeaf::Load_aux(WALKKEY& /*key*/, CVozChunk** chunk) {
    (*chunk)->Setup(pos_block,
                    pos_block.flg_continue ? pos_block.lastDocid
                                           : VOZ_ALL_ONES,
                    m_leafCapacity);
    return 1;
}

int32_t CVozLeaf::Next_aux(WALKKEY& key, CVozChunk** chunk) {
    return Load_aux(key, chunk);
}

void CVozLeaf::Get_DocidStart(uint32_t& docid, int32_t& position) {
    if (pos_block.firstPosKey < 0) Throw(VOZ_RC_INCONSISTENT, 6370);
    docid = pos_block.firstDocid;
    position = pos_block.firstPosKey;
}

void CVozLeaf::Get_DocidEnd(uint32_t& docid) { docid = pos_block.lastDocid; }

uint32_t CVozLeaf::ExtractMaxDocid() {
    return pos_block.poslen > 0 ? pos_block.lastDocid : VOZ_ALL_ONES;
}

uint32_t CVozLeaf::ExtractNumdoc() {
    CVozChunk chunk;
    chunk.Setup(pos_block, VOZ_ALL_ONES, m_leafCapacity);
    uint32_t n = 0, doc;
    int32_t len;
    while (chunk.ExtractVvg(&doc, &len) == VOZ_CHUNK_OK) ++n;
    if (pos_block.flg_continued && n > 0) --n;
    return n;
}

int32_t CVozLeaf::CalculateOnePos(int32_t previous, int32_t current) {
    return static_cast<int32_t>(
        voz_PosCodeSize(static_cast<uint32_t>(current - previous)));
}

void CVozLeaf::Extract_DocidStart_from_PosBlock() {
    if (pos_block.poslen < 1) {
        pos_block.firstDocid = VOZ_ALL_ONES;
        pos_block.firstPosKey = 0;
        return;
    }
    const uint8_t* d = pos_block.data;
    uint32_t delta, len;
    uint32_t h = voz_PosHeaderDecode(d, pos_block.poslen, &delta, &len);
    if (h == 0 || uint64_t(h) + len > uint64_t(pos_block.poslen))
        Throw(VOZ_RC_INCONSISTENT, 6366);
    pos_block.firstDocid = delta - 1;
    pos_block.firstPosKey = 0;
    if (pos_block.flg_continued && len > 0) {
        uint32_t size = voz_PosCodeSizeOf(d[h]);
        if (size > len) Throw(VOZ_RC_INCONSISTENT, 6366);
        pos_block.firstPosKey = static_cast<int32_t>(voz_PosCodeDecode(d + h));
    }
}

void CVozLeaf::Extract_DocidEnd_from_PosBlock() {
    uint32_t first = VOZ_ALL_ONES, last, count;
    int16_t hs;
    int32_t fl;
    Extract_Signature_POS_DATA(pos_block.data,
                               static_cast<uint32_t>(pos_block.poslen), first,
                               last, count, hs, fl);
    pos_block.lastDocid = pos_block.poslen > 0 ? last : VOZ_ALL_ONES;
}

void CVozLeaf::Refresh() {
    Extract_DocidStart_from_PosBlock();
    Extract_DocidEnd_from_PosBlock();
    CVozLump counter(pos_block.data, pos_block.poslen, VOZ_ALL_ONES, 0);
    int32_t docs = counter.GetNumDocs();
    int32_t every = docs / VOZ_LEAF_PINPOINTS;
    if (every < 2) every = 1;
    uint8_t* table = pos_block.data - VOZ_PINTABLE_SIZE;
    std::memset(table, 0, VOZ_PINTABLE_SIZE);
    pos_block.numPinpoints =
        static_cast<uint8_t>(counter.CreatePinpoint(every, table));
}

// ---- writers --------------------------------------------------------

void CVozLeaf::Put(const uint8_t* bytes, int32_t n, int32_t reason) {
    if (n < 0 || pos_block.poslen + n > m_leafCapacity)
        Throw(VOZ_RC_INCONSISTENT, reason);
    std::memmove(pos_block.data + pos_block.poslen, bytes, n);
    pos_block.poslen += n;
}

// Writes what the lump's last StepDoc took: header, first position
// absolute, the bytes after the first.  Returns the bytes written.
int32_t CVozLeaf::WriteStep(CVozLump* lump, int32_t& used) {
    uint8_t head[32];
    int32_t firstSize = 0;
    if (lump->iv_resCount > 0)
        firstSize = static_cast<int32_t>(voz_PosCodeEncode(
            head + 16, static_cast<uint32_t>(lump->iv_resFirstPos)));
    uint32_t len = uint32_t(firstSize + lump->iv_resBytesAfter);
    uint32_t h = voz_PosHeaderEncode(head, lump->iv_curDoc - pos_block.lastDocid,
                                     len);
    std::memmove(head + h, head + 16, firstSize);
    Put(head, int32_t(h) + firstSize, 6345);
    Put(lump->iv_resAfterFirst, lump->iv_resBytesAfter, 6350);
    pos_block.lastDocid = lump->iv_curDoc;
    int32_t n = int32_t(h + len);
    used += n;
    return n;
}

int32_t CVozLeaf::AppendOneDoc(CVozLump* lump, int32_t mode, int32_t& used) {
    int32_t r = lump->StepDoc();
    if (r == VOZ_LUMP_EXHAUSTED) return r;
    WriteStep(lump, used);
    if (mode == VOZ_INSERT_NEW && r != VOZ_LUMP_LEAF_FULL && m_rootAttrs)
        m_rootAttrs->docCount++;
    return r;
}

void CVozLeaf::AppendVvgHeader2(uint32_t firstDocid, uint32_t lastDocid,
                                int32_t length, int32_t& used) {
    uint8_t head[16];
    uint32_t h = voz_PosHeaderEncode(head, firstDocid - pos_block.lastDocid,
                                     static_cast<uint32_t>(length));
    Put(head, int32_t(h), 6345);
    used += int32_t(h);
    pos_block.lastDocid = lastDocid;
}

int32_t CVozLeaf::AppendMultipleDocs(CVozLump* lump, int32_t mode,
                                     int32_t used, int32_t& written,
                                     uint32_t limitDocid) {
    written = 0;
    if (!lump->iv_atDocStart) return VOZ_LUMP_NOTHING;
    // The first taken document's id and length, for its new header.
    int32_t off = lump->iv_nextDocOffset;
    uint32_t firstId = 0, firstLen = 0;
    if (off < lump->iv_total) {
        uint32_t delta;
        if (voz_PosHeaderDecode(lump->iv_start + off,
                                size_t(lump->iv_total - off), &delta,
                                &firstLen) == 0)
            Throw(VOZ_RC_INCONSISTENT, 6210);
        firstId = lump->iv_curDoc + delta;
    }
    uint32_t last;
    int32_t lastLen, count;
    int32_t r = lump->StepDoc_Limit(limitDocid, used, last, lastLen, count);
    if (r == VOZ_LUMP_NOTHING) return r;
    int32_t before = used;
    AppendVvgHeader2(firstId, last, static_cast<int32_t>(firstLen), used);
    int32_t n = static_cast<int32_t>(lump->TakenEnd() - lump->TakenBegin());
    Put(lump->TakenBegin(), n, 6350);
    used += n;
    written = used - before;
    if (mode == VOZ_INSERT_NEW && m_rootAttrs)
        m_rootAttrs->docCount += static_cast<uint32_t>(count);
    return r;
}

void CVozLeaf::CopyRemain(CVozLump* lump, int32_t& used) {
    while (true) {
        int32_t r;
        if (!lump->iv_atDocStart) {
            r = AppendOneDoc(lump, VOZ_INSERT_MERGE, used);
        } else {
            int32_t w;
            r = AppendMultipleDocs(lump, VOZ_INSERT_MERGE, used, w,
                                   VOZ_ALL_ONES);
            used += w;
            if (r == VOZ_LUMP_NOTHING)
                r = AppendOneDoc(lump, VOZ_INSERT_MERGE, used);
        }
        if (r == VOZ_LUMP_EXHAUSTED) return;
        if (lump->iv_remainingStream == 0 && lump->iv_atDocStart) return;
        if (r == VOZ_LUMP_LEAF_FULL) Throw(VOZ_RC_INCONSISTENT, 6304);
    }
}

// One entry for a document present in both streams: the old positions,
// then the new ones as deltas from the old last position.
int32_t CVozLeaf::AppendMerged(CVozLump* old, CVozLump* add, int32_t& used) {
    uint8_t *oldRest, *newRest;
    int32_t oldRestLen, newRestLen, oldFirst, oldLast, newFirst, newLast;
    old->StepDoc_PullOut(&oldRest, oldRestLen, oldFirst, oldLast);
    add->StepDoc_PullOut(&newRest, newRestLen, newFirst, newLast);
    uint32_t id = add->iv_curDoc;
    if (oldFirst >= 0 && newFirst >= 0 && newFirst <= oldLast)
        Throw(VOZ_RC_INCONSISTENT, 6341);
    uint8_t codes[16];
    int32_t n1 = 0, n2 = 0;
    if (oldFirst >= 0)
        n1 = int32_t(voz_PosCodeEncode(codes, uint32_t(oldFirst)));
    if (newFirst >= 0)
        n2 = int32_t(voz_PosCodeEncode(
            codes + 8, uint32_t(newFirst - (oldFirst >= 0 ? oldLast : 0))));
    uint32_t len = uint32_t(n1 + oldRestLen + n2 + newRestLen);
    uint8_t head[16];
    uint32_t h = voz_PosHeaderEncode(head, id - pos_block.lastDocid, len);
    Put(head, int32_t(h), 6345);
    Put(codes, n1, 6345);
    Put(oldRest, oldRestLen, 6350);
    Put(codes + 8, n2, 6345);
    Put(newRest, newRestLen, 6350);
    pos_block.lastDocid = id;
    used += int32_t(h + len);
    int32_t room = m_leafCapacity - used;
    return room < VOZ_LEAF_MERGE_SLACK ? VOZ_LUMP_NEARLY_FULL
                                       : VOZ_LUMP_DOC_DONE;
}
