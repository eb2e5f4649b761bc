// voz_poslevel.cpp - the short storage levels of a position list (see
// voz_poslevel.hpp for the slot layout and the level-0 reading rules).
#include "postings/voz_poslevel.hpp"

#include <cstring>
#include <new>

#include "files/voz_bigendian.hpp"
#include "blocks/voz_sharedblock.hpp"

namespace {

constexpr uint32_t kNormalWindow = 8192;
constexpr uint32_t kWorkWindow = 32768;

// Stores a modified slot list: `length` bytes at `data` in its slot (a
// new one when it has none), or, without documents, the slot released.
// `loaded` becomes the attributes stored.
void StoreSlotList(CVozPosShort* list, CVozSharedBlockMgr* mgr,
                   POS_ATTR& loaded, POS_ATTR& a, const uint8_t* data,
                   uint32_t length) {
    if (length == 0) {
        list->RemovePos(loaded);
        a.blockID = VOZ_POS_NO_BLOCK;
        a.blkOffset = 0;
        a.dataleng = 0;
        a.docCount = 0;
        a.lastDocId = VOZ_NO_LAST;
    } else {
        if (length > VOZ_POS_MAX_SLOT) {
            throw CVozException(VOZ_RC_INCONSISTENT, VOZ_RS_POS_SLOT_TOO_BIG);
        }
        a.blockID = loaded.blockID;
        a.blkOffset = loaded.blkOffset;
        a.dataleng = length;
        if (a.blockID != VOZ_POS_NO_BLOCK) {
            mgr->WriteSlot(a, data);
        } else {
            mgr->WriteOnBuffer(a, data);
        }
    }
    a.datalengHigh = 0;
    loaded = a;
}

}  // namespace

// ---- level 1 ---------------------------------------------------------------

CVozPosLow::CVozPosLow(CVozSharedBlockMgr* mgr)
    : m_mgr(mgr), m_loaded(voz_EmptyPosAttr(VOZ_POS_LEVEL_LOW)) {}

CVozPosLow::~CVozPosLow() = default;

void CVozPosLow::Internalize(POS_ATTR& a) {
    CVozPosShort::Internalize(a);
    m_loaded = a;
    if (a.blockID == VOZ_POS_NO_BLOCK || a.dataleng == 0) {
        m_dataLen = 0;
        return;
    }
    if (a.dataleng > VOZ_POS_MAX_SLOT) {
        throw CVozException(VOZ_RC_INCONSISTENT, VOZ_RS_POS_SLOT_TOO_BIG);
    }
    uint8_t* at = m_cur->Request(a.dataleng);
    m_mgr->ReadSlot(a, at);
}

void CVozPosLow::Internalize() {
    POS_ATTR a = voz_EmptyPosAttr(VOZ_POS_LEVEL_LOW);
    CVozPosShort::Internalize(a);
    m_loaded = a;
}

void CVozPosLow::Externalize(POS_ATTR& a) {
    CVozPosShort::Externalize(a);
    if (!m_modified) {
        a = m_loaded;
        return;
    }
    uint32_t used = m_cur->iv_docCount > 0 ? m_cur->Used() : 0;
    StoreSlotList(this, m_mgr, m_loaded, a, m_cur->Data(), used);
    m_modified = 0;
}

void CVozPosLow::RemovePos(POS_ATTR& a) { m_mgr->ReleaseSlot(a); }

// ---- level 2 ---------------------------------------------------------------

CVozPosMed::CVozPosMed(CVozSharedBlockMgr* mgr)
    : m_mgr(mgr), m_loaded(voz_EmptyPosAttr(VOZ_POS_LEVEL_MED)) {
    m_staging.reset(new (std::nothrow) uint8_t[VOZ_POS_MED_STAGING]);
    if (!m_staging) throw CVozException(VOZ_RC_MEMORY, 3515);
}

CVozPosMed::~CVozPosMed() = default;

void CVozPosMed::Internalize(POS_ATTR& a) {
    CVozPosShort::Internalize(a);
    m_loaded = a;
    m_dataLen = 0;
    if (a.blockID == VOZ_POS_NO_BLOCK || a.dataleng == 0) return;
    if (a.dataleng < 2 || a.dataleng > VOZ_POS_MED_STAGING) {
        throw CVozException(VOZ_RC_INCONSISTENT, VOZ_RS_POS_BAD_SLOT);
    }
    m_mgr->ReadSlot(a, m_staging.get());
    uint16_t pins = voz_getBE16(m_staging.get());
    uint32_t table = 6u * pins + 2u;
    if (table > a.dataleng) {
        throw CVozException(VOZ_RC_INCONSISTENT, VOZ_RS_POS_BAD_SLOT);
    }
    uint32_t len = a.dataleng - table;
    std::memcpy(m_cur->Request(len), m_staging.get() + table, len);
    m_cur->SetPinPoint(pins, m_staging.get() + 2);
    m_dataLen = len;
}

void CVozPosMed::Internalize() {
    POS_ATTR a = voz_EmptyPosAttr(VOZ_POS_LEVEL_MED);
    CVozPosShort::Internalize(a);
    m_loaded = a;
}

void CVozPosMed::Externalize(POS_ATTR& a) {
    CVozPosShort::Externalize(a);
    if (!m_modified) {
        a = m_loaded;
        return;
    }
    uint32_t used = m_cur->iv_docCount > 0 ? m_cur->Used() : 0;
    uint32_t total = 0;
    if (used > 0) {
        uint16_t size = 0;
        const uint8_t* table = m_cur->CreatePinPoint(size);
        total = size + used;
        if (total > VOZ_POS_MED_STAGING) {
            throw CVozException(VOZ_RC_INCONSISTENT, VOZ_RS_POS_SLOT_TOO_BIG);
        }
        std::memcpy(m_staging.get(), table, size);
        std::memcpy(m_staging.get() + size, m_cur->Data(), used);
    }
    StoreSlotList(this, m_mgr, m_loaded, a, m_staging.get(), total);
    m_modified = 0;
}

void CVozPosMed::RemovePos(POS_ATTR& a) { m_mgr->ReleaseSlot(a); }

CVozPosMed& CVozPosMed::operator=(const CVozPosLow& low) {
    CVozPosLow& src = const_cast<CVozPosLow&>(low);
    *m_cur = *src.GetBufferPos();
    uint32_t n = 0;
    const uint32_t* ids = src.PendingDeletions(n);
    m_delIds = ids;
    m_delCount = n;
    m_dataLen = src.GetDataLen();
    m_loaded = voz_EmptyPosAttr(VOZ_POS_LEVEL_MED);
    m_modified = 1;
    return *this;
}

// ---- level 0 ---------------------------------------------------------------

CVozPosNormal::CVozPosNormal()
    : m_file(nullptr), m_unread(0), m_written(0), m_start(0),
      m_seekPending(0), m_readOffset(0), m_readOnly(0),
      m_window(kNormalWindow) {}

CVozPosNormal::~CVozPosNormal() = default;

void CVozPosNormal::BeginList(POS_ATTR& a, uint64_t offset) {
    CVozPosShort::Internalize(a);
    if (m_dataLen > VOZ_POS_MAX_LEVEL0) {
        throw CVozException(VOZ_RC_INCONSISTENT, VOZ_RS_POS_BAD_ATTR);
    }
    m_readOffset = offset;
    m_unread = m_dataLen;
    m_seekPending = 1;
    m_cur->iv_morePending = m_unread > 0 ? 1 : 0;
    if (m_file != nullptr) {
        m_file->Seek(0, 2);
        m_start = static_cast<uint64_t>(m_file->Tell());
    }
    m_written = 0;
    m_readOnly = 0;
    if (m_unread > 0) ReadNext(0);
}

static uint64_t StartOffset(const POS_ATTR& a) {
    return uint64_t(a.blockID) | (uint64_t(a.blkOffset) << 32);
}

void CVozPosNormal::Internalize(POS_ATTR& a) {
    BeginList(a, StartOffset(a));
    m_readOnly = 1;
}

void CVozPosNormal::InternalizeWithoutSeek(POS_ATTR& a) {
    BeginList(a, StartOffset(a));
}

void CVozPosNormal::Internalize() {
    POS_ATTR a = voz_EmptyPosAttr(VOZ_POS_LEVEL_NORMAL);
    BeginList(a, 0);
}

void CVozPosNormal::ReadNext(uint8_t raw) {
    CVozBufferPos* b = m_cur;
    if (m_unread == 0) {
        b->iv_morePending = 0;
        return;
    }
    uint32_t held = b->Unread();
    uint64_t part = held < m_window ? m_window - held : 0;
    if (part == 0) part = m_window;
    if (part > m_unread) part = m_unread;
    uint8_t* at = b->Request(static_cast<uint32_t>(part));
    m_file->Seek(static_cast<int64_t>(m_readOffset), 0);
    m_file->Read(at, static_cast<int32_t>(part));
    m_seekPending = 0;
    m_readOffset += part;
    m_unread -= part;
    b->iv_morePending = m_unread > 0 ? 1 : 0;
    if (m_unread > 0 && !raw) {
        uint32_t missing = 0;
        uint8_t* more = b->CheckOverrun(missing);
        if (more != nullptr && missing > 0) {
            if (missing > m_unread) {
                throw CVozException(VOZ_RC_INCONSISTENT,
                                    VOZ_RS_POS_SOURCE_ENDS);
            }
            m_file->Read(more, static_cast<int32_t>(missing));
            m_readOffset += missing;
            m_unread -= missing;
            b->iv_morePending = m_unread > 0 ? 1 : 0;
        }
    }
}

void CVozPosNormal::FlushData(CVozBufferPos* out) {
    uint32_t used = out->Used();
    if (used == 0) return;
    if (m_written + used > VOZ_POS_MAX_LEVEL0) {
        throw CVozException(VOZ_RC_LIST_TOO_LONG, VOZ_RS_POS_TOO_LONG);
    }
    m_file->Seek(static_cast<int64_t>(m_start + m_written), 0);
    m_file->Write(out->Data(), static_cast<int32_t>(used));
    m_written += used;
    out->iv_read = out->iv_end = out->iv_data;
}

void CVozPosNormal::Externalize(POS_ATTR& a) {
    if (m_readOnly) return;
    FlushData(m_cur);
    CVozPosShort::Externalize(a);
    a.blockID = static_cast<uint32_t>(m_start);
    a.blkOffset = static_cast<uint16_t>(m_start >> 32);
    a.dataleng = static_cast<uint32_t>(m_written);
    a.datalengHigh = static_cast<uint8_t>(m_written >> 32);
    if (a.docCount == 0) a.lastDocId = VOZ_NO_LAST;
}

// ---- level 0, work files ------------------------------------------------------

CVozPosWork::CVozPosWork()
    : m_restrict(0), m_listEnd(0), m_ahead(nullptr), m_aheadSize(0) {
    m_window = kWorkWindow;
}

CVozPosWork::~CVozPosWork() = default;

void CVozPosWork::InternalizeWithoutSeek(POS_ATTR& a) {
    uint64_t offset = m_listEnd != 0 ? m_listEnd : StartOffset(a);
    uint64_t length =
        uint64_t(a.dataleng) | (uint64_t(a.datalengHigh) << 32);
    BeginList(a, offset);
    m_listEnd = offset + length;
}

void CVozPosWork::SetFileMgr(CVozFileIO* file) {
    m_file = file;
    if (file != nullptr) {
        file->Seek(0, 2);
        m_start = static_cast<uint64_t>(file->Tell());
    }
}

void CVozPosWork::SetBuffer(uint32_t size, uint8_t* buffer) {
    m_aheadSize = size;
    m_ahead = buffer;
}
