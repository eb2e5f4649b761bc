// voz_pos.cpp - CVozPos and CVozPosShort: reading one position list held
// in a CVozBufferPos, and merging lists with deletions (see voz_pos.hpp).
//
// Reading a source during a merge: Advance() leaves the source's reader in
// front of the header of its next live document (deleted documents at the
// front are skipped and uncounted by the buffer), refilling the buffer from
// the list's file while the buffer reports that an entry is not wholly
// loaded.  CopyBelow() then copies every live document below a limit as
// runs of raw bytes; a run ends at a deleted document, at the limit or at
// the end of the loaded part, and is appended before the buffer is refilled
// (a refill moves the unread bytes and would lose a pending run).
#include "postings/voz_pos.hpp"

#include <algorithm>
#include <new>
#include <vector>

CVozPos::~CVozPos() = default;

void CVozPos::InsertDocs(CVozPosShort** sources, uint32_t n) {
    (void)sources;
    (void)n;
}

CVozPosShort::CVozPosShort()
    : m_delIds(nullptr), m_delCount(0), m_cur(&m_own), m_out(nullptr),
      m_dataLen(0), m_eop(1), m_modified(0) {}

CVozPosShort::~CVozPosShort() = default;

void CVozPosShort::Internalize(POS_ATTR& a) {
    m_cur->Clear();
    m_cur->iv_docCount = a.docCount;
    m_cur->iv_lastDoc = a.lastDocId;
    m_dataLen = a.dataleng;
    if (a.level == VOZ_POS_LEVEL_NORMAL) {
        m_dataLen |= uint64_t(a.datalengHigh) << 32;
    }
    m_delIds = nullptr;
    m_delCount = 0;
    m_modified = 0;
    m_eop = 1;
}

void CVozPosShort::Externalize(POS_ATTR& a) {
    a.docCount = m_cur->iv_docCount;
    a.lastDocId = m_cur->iv_docCount > 0 ? m_cur->iv_lastDoc : VOZ_NO_LAST;
    a.level = static_cast<uint8_t>(GetLevel());
}

void CVozPosShort::InsertDocs(POS_DATA& d) {
    (void)d;
    throw CVozException(VOZ_RC_INCONSISTENT, VOZ_RS_POS_NO_INSERT);
}

void CVozPosShort::DeleteDocs(const uint32_t* ids, uint32_t n) {
    m_delIds = ids;
    m_delCount = ids != nullptr ? n : 0;
    m_cur->iv_delIds = m_delIds;
    m_cur->iv_delLeft = m_delCount;
}

CVozBufferPos* CVozPosShort::OutputBuffer() {
    if (m_out == nullptr) {
        if (!m_spare) {
            try {
                m_spare.reset(new CVozBufferPos());
            } catch (const std::bad_alloc&) {
                throw CVozException(VOZ_RC_MEMORY, VOZ_RS_POS_OUTBUF);
            }
        }
        m_out = m_cur == &m_own ? m_spare.get() : &m_own;
    }
    m_out->Clear();
    return m_out;
}

void CVozPosShort::SwapInOutput() {
    std::swap(m_cur, m_out);
    m_cur->iv_read = m_cur->iv_data;
    m_cur->iv_curDoc = -1;
    m_cur->iv_remaining = 0;
    m_cur->iv_curPos = 0;
    m_cur->iv_consumed = 0;
    m_out->Clear();
    m_dataLen = m_cur->Used();
    m_eop = 1;
}

uint32_t CVozPosShort::Advance(CVozPosShort* s, uint32_t target,
                               int32_t reason) {
    for (;;) {
        CVozBufferPos* b = s->m_cur;
        uint32_t id = b->SkipDoc(target);
        if (!b->iv_needMoreData) return id;
        if (!s->IsRemaining()) throw CVozException(VOZ_RC_INCONSISTENT, reason);
        uint32_t before = b->Unread();
        s->ReadNext(0);
        if (b->Unread() <= before) {
            throw CVozException(VOZ_RC_INCONSISTENT, reason);
        }
    }
}

uint32_t CVozPosShort::CopyBelow(CVozPosShort* s, uint32_t cur,
                                 uint32_t limit) {
    CVozBufferPos* b = s->m_cur;
    for (;;) {
        const uint8_t* runStart = b->iv_read;
        b->SkipDoc(limit);
        uint32_t len = static_cast<uint32_t>(b->iv_read - runStart);
        if (len > 0) {
            m_out->Append(runStart, len, cur,
                          static_cast<uint32_t>(b->iv_curDoc));
            FlushData(m_out);
        }
        cur = Advance(s, 0, VOZ_RS_POS_RUN_ENDS);
        if (cur == VOZ_POS_NO_DOC || cur >= limit) return cur;
    }
}

namespace {
struct LiveSource {
    CVozPosShort* src;
    uint32_t doc;  // id of the document in front of the reader
};
}  // namespace

void CVozPosShort::InsertDocs(CVozPosShort** sources, uint32_t n) {
    bool selfOnly = n == 1 && sources[0] == this;
    if (selfOnly && m_delCount == 0 && KeepsUnchangedList()) return;
    if (n == 1 && !selfOnly && m_delCount == 0 &&
        sources[0]->GetBufferPos()->Unread() == 0 &&
        !sources[0]->IsRemaining()) {
        return;
    }
    uint32_t oldCount = m_cur->iv_docCount;
    OutputBuffer();
    std::vector<LiveSource> live;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t id = Advance(sources[i], 0, VOZ_RS_POS_SOURCE_ENDS);
        if (id != VOZ_POS_NO_DOC) live.push_back({sources[i], id});
    }
    std::vector<CVozBufferPos*> same;
    std::vector<int32_t> order;
    auto byDoc = [](const LiveSource& a, const LiveSource& b) {
        return a.doc < b.doc;
    };
    while (!live.empty()) {
        std::stable_sort(live.begin(), live.end(), byDoc);
        if (live.size() == 1) {
            CopyBelow(live[0].src, live[0].doc, VOZ_POS_NO_DOC);
            break;
        }
        if (live[0].doc == live[1].doc) {
            size_t k = 2;
            while (k < live.size() && live[k].doc == live[0].doc) ++k;
            same.clear();
            order.clear();
            for (size_t j = 0; j < k; ++j) {
                same.push_back(live[j].src->GetBufferPos());
                order.push_back(static_cast<int32_t>(j));
            }
            m_out->AppendPos(same.data(), static_cast<uint32_t>(k),
                             live[0].doc, order.data());
            FlushData(m_out);
            for (size_t j = 0; j < k; ++j) {
                live[j].doc = Advance(live[j].src, 0, VOZ_RS_POS_MERGE_ENDS);
            }
        } else {
            live[0].doc = CopyBelow(live[0].src, live[0].doc, live[1].doc);
        }
        live.erase(std::remove_if(live.begin(), live.end(),
                                  [](const LiveSource& l) {
                                      return l.doc == VOZ_POS_NO_DOC;
                                  }),
                   live.end());
    }
    uint32_t total = 0;
    for (uint32_t i = 0; i < n; ++i) {
        total += sources[i]->GetBufferPos()->iv_docCount;
    }
    m_out->iv_docCount = total;
    m_out->iv_lastDoc = m_out->iv_curDoc >= 0
                            ? static_cast<uint32_t>(m_out->iv_curDoc)
                            : VOZ_NO_LAST;
    if (!(selfOnly && total == oldCount && KeepsUnchangedList())) {
        m_modified = 1;
    }
    SwapInOutput();
    m_delIds = nullptr;
    m_delCount = 0;
}

int32_t CVozPosShort::PointVvgSkip(uint32_t target, uint32_t& doc) {
    m_eop = 1;
    doc = Advance(this, target, VOZ_RS_POS_READ_ENDS);
    if (doc == VOZ_POS_NO_DOC) return -1;
    m_cur->SkipPos(0);  // reads the document's header
    m_eop = m_cur->iv_remaining == 0 ? 1 : 0;
    return 0;
}

int32_t CVozPosShort::PointPosSkip(int32_t target, int32_t& pos,
                                   int32_t& count) {
    count = static_cast<int32_t>(m_cur->iv_consumed);
    if (m_eop) {
        pos = VOZ_POS_NO_POS;
        return -1;
    }
    uint8_t done = 0;
    int32_t p = m_cur->SkipPosNext(target, done);
    count = static_cast<int32_t>(m_cur->iv_consumed);
    if (done) m_eop = 1;
    if (p < VOZ_POS_NO_POS) {
        pos = p;
        return 0;
    }
    m_eop = 1;
    pos = VOZ_POS_NO_POS;
    return -1;
}
