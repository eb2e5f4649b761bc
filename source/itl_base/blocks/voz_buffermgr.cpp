// voz_buffermgr.cpp - the page buffer pool: lookup, replacement, growth,
// write-through switch, flush and termination.
//
// A hash index (page -> buffer) keeps invariant 1 of the header: each page
// is in at most one buffer, found in O(1) in both modes.  Replacement takes
// the first buffer without a pin after the hand, wrapping around.
//
// Throw sites: (11, 3053) descriptors or index, (11, 3054) a group of
// buffers, (11, 3097) a page handle's descriptor, and the file failures of
// Read/Write: (6, 3355) seek, (4, 3353) read, (5, 3354) write.
#include "blocks/voz_buffermgr.hpp"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kFirstGroup = 48;   // buffers of the first group
constexpr uint32_t kGrowWhenFree = 8;  // grow when at most this many free
constexpr uint32_t kCachingLimit = 64; // beyond this: write-through

void copyOut(const VOZ_BUFDESC& d, CVozBufferInfo& out) {
    out.data = d.data;
    out.pins = d.pins;
    out.page = d.page;
    out.reserved = d.reserved;
    out.dirty = d.dirty;
    out.index = d.index;
    out.reservedByte = d.reservedByte;
}

}  // namespace

CVozBufferInfoBase::~CVozBufferInfoBase() = default;

CVozBufferInfo::CVozBufferInfo()
    : data(nullptr), pins(0), page(VOZ_NO_PAGE), reserved(0), dirty(0),
      index(0), reservedByte(0) {}

CVozBufferInfo::~CVozBufferInfo() = default;

CVozBufferInfoRef::CVozBufferInfoRef() : info(nullptr), refs(1) {
    info = new (std::nothrow) CVozBufferInfo();
    if (info == nullptr) throw CVozException(VOZ_RC_MEMORY, 3097);
}

CVozBufferInfoRef::~CVozBufferInfoRef() { delete info; }

CVozPageInfo::CVozPageInfo() : m_ref(nullptr) {
    m_ref = new (std::nothrow) CVozBufferInfoRef();
    if (m_ref == nullptr) throw CVozException(VOZ_RC_MEMORY, 3097);
}

CVozPageInfo::CVozPageInfo(const CVozPageInfo& other)
    : CVozObject(), m_ref(other.m_ref) {
    ++m_ref->refs;
}

CVozPageInfo& CVozPageInfo::operator=(const CVozPageInfo& other) {
    if (m_ref != other.m_ref) {
        ++other.m_ref->refs;
        if (--m_ref->refs == 0) delete m_ref;
        m_ref = other.m_ref;
    }
    return *this;
}

CVozPageInfo::~CVozPageInfo() {
    if (--m_ref->refs == 0) delete m_ref;
}

CVozBufferMgr::CVozBufferMgr(const char* name, uint32_t pageSize)
    : m_pageSize(pageSize), m_desc(nullptr), m_count(0), m_free(0),
      m_hand(0), m_caching(1), m_terminated(0), m_groups(nullptr),
      m_groupCount(0) {
    (void)name;
}

CVozBufferMgr::~CVozBufferMgr() {
    if (m_terminated == 0) {
        try {
            Terminate();
        } catch (const CVozException&) {
            // A destructor never throws; owners terminate explicitly.
        }
    }
}

void CVozBufferMgr::AddGroup(uint32_t n) {
    auto* desc = static_cast<VOZ_BUFDESC*>(
        realloc(m_desc, sizeof(VOZ_BUFDESC) * (m_count + n)));
    if (desc == nullptr) throw CVozException(VOZ_RC_MEMORY, 3053);
    m_desc = desc;
    auto* groups = static_cast<uint8_t**>(
        realloc(m_groups, sizeof(uint8_t*) * (m_groupCount + 1)));
    if (groups == nullptr) throw CVozException(VOZ_RC_MEMORY, 3053);
    m_groups = groups;
    auto* mem = static_cast<uint8_t*>(calloc(n, m_pageSize));
    if (mem == nullptr) throw CVozException(VOZ_RC_MEMORY, 3054);
    m_groups[m_groupCount++] = mem;
    for (uint32_t i = 0; i < n; ++i) {
        VOZ_BUFDESC& d = m_desc[m_count + i];
        memset(&d, 0, sizeof d);
        d.data = mem + static_cast<size_t>(i) * m_pageSize;
        d.page = VOZ_NO_PAGE;
        d.index = m_count + i;
    }
    m_count += n;
    m_free += n;
}

void CVozBufferMgr::Grow() {
    if (m_free > kGrowWhenFree) return;
    uint32_t n = m_count == 0 ? kFirstGroup : m_count / 5;
    if (n == 0) n = 1;
    AddGroup(n);
    if (m_caching != 0 && m_count > kCachingLimit) {
        FlushBuffer();
        m_caching = 0;
    }
}

void CVozBufferMgr::Pin(VOZ_BUFDESC& d, CVozBufferInfo& out) {
    if (d.pins++ == 0) --m_free;
    copyOut(d, out);
}

void CVozBufferMgr::Forget(VOZ_BUFDESC& d) {
    if (d.page != VOZ_NO_PAGE) m_where.erase(d.page);
    d.page = VOZ_NO_PAGE;
    d.dirty = 0;
}

void CVozBufferMgr::IoDesc(const VOZ_BUFDESC& d, bool write) {
    CVozBufferInfo info;
    copyOut(d, info);
    if (write) {
        Write(info);
    } else {
        Read(info);
    }
}

uint32_t CVozBufferMgr::TakeVictim() {
    for (uint32_t n = 1; n <= m_count; ++n) {
        uint32_t i = (m_hand + n) % m_count;
        if (m_desc[i].pins == 0) return i;
    }
    // Unreachable: Grow keeps more than kGrowWhenFree buffers free.
    throw CVozException(VOZ_RC_MEMORY, 3053);
}

// Writes a dirty buffer's page back.  On failure the buffer keeps its
// page, still dirty.
void CVozBufferMgr::WriteBack(VOZ_BUFDESC& d) {
    if (d.dirty != 0) {
        IoDesc(d, true);
        d.dirty = 0;
    }
}

// Reads the buffer's page from the file when `read` is set (a buffer whose
// read fails forgets its page), then pins it; the clock hand moves to it.
int CVozBufferMgr::LoadAndPin(VOZ_BUFDESC& d, CVozBufferInfo& out, int read) {
    if (read != 0) {
        try {
            IoDesc(d, false);
        } catch (const CVozException&) {
            Forget(d);
            throw;
        }
    }
    m_hand = d.index;
    Pin(d, out);
    return 0;
}

int CVozBufferMgr::GetBuffer(uint32_t page, CVozBufferInfo& out, int read) {
    Grow();
    auto it = m_where.find(page);
    if (it != m_where.end()) {
        VOZ_BUFDESC& d = m_desc[it->second];
        if (m_caching != 0 || d.pins > 0) {
            Pin(d, out);
            return 1;
        }
        // Write-through: an unpinned page is taken from the file again.
        WriteBack(d);
        return LoadAndPin(d, out, read);
    }
    VOZ_BUFDESC& d = m_desc[TakeVictim()];
    WriteBack(d);
    Forget(d);
    try {
        m_where.emplace(page, d.index);
    } catch (const std::bad_alloc&) {
        throw CVozException(VOZ_RC_MEMORY, 3053);
    }
    d.page = page;
    return LoadAndPin(d, out, read);
}

void CVozBufferMgr::ReleaseBuffer(CVozBufferInfo& info) {
    if (info.index >= m_count) return;
    VOZ_BUFDESC& d = m_desc[info.index];
    if (d.pins == 0) return;
    if (--d.pins != 0) return;
    ++m_free;
    if (m_caching == 0 && d.dirty != 0) {
        IoDesc(d, true);
        d.dirty = 0;
    }
}

void CVozBufferMgr::DropBuffer(CVozBufferInfo& info) {
    if (info.index >= m_count) return;
    VOZ_BUFDESC& d = m_desc[info.index];
    if (d.pins == 0) return;
    d.dirty = 0;
    if (--d.pins == 0) {
        ++m_free;
        Forget(d);
        return;
    }
    // Another holder keeps the buffer: give it the file's content back.
    try {
        IoDesc(d, false);
    } catch (const CVozException&) {
        Forget(d);  // the holders' pins stay; the page is read anew later
        throw;
    }
}

void CVozBufferMgr::MarkModified(CVozBufferInfo& info) {
    if (info.index < m_count) m_desc[info.index].dirty = 1;
    info.dirty = 1;
}

void CVozBufferMgr::SeekPage(uint32_t page) {
    if (m_file == nullptr ||
        voz_XXseek64(m_file, static_cast<int64_t>(page) * m_pageSize, 0) !=
            0) {
        throw CVozException(VOZ_RC_SEEK, 3355, m_name);
    }
}

void CVozBufferMgr::Read(CVozBufferInfo& info) {
    SeekPage(info.page);
    if (voz_XXread(info.data, m_pageSize, 1, m_file) != 1) {
        throw CVozException(VOZ_RC_READ, 3353, m_name);
    }
}

void CVozBufferMgr::Write(CVozBufferInfo& info) {
    SeekPage(info.page);
    // The page goes to the system at once: what the pool calls written is
    // in the file, whatever the page size.
    if (voz_XXwrite(info.data, m_pageSize, 1, m_file) != 1 ||
        voz_XXflush(m_file) != 0) {
        throw CVozException(VOZ_RC_WRITE, 3354, m_name);
    }
}

void CVozBufferMgr::FlushBuffer() {
    bool failed = false;
    CVozException first;
    for (uint32_t i = 0; i < m_count; ++i) {
        VOZ_BUFDESC& d = m_desc[i];
        if (d.dirty == 0 || d.page == VOZ_NO_PAGE) continue;
        try {
            IoDesc(d, true);
            d.dirty = 0;
        } catch (const CVozException& e) {
            if (!failed) first = e;
            failed = true;
        }
    }
    if (failed) throw first;
}

void CVozBufferMgr::Terminate() {
    if (m_terminated != 0) return;
    m_terminated = 1;
    bool failed = false;
    CVozException first;
    try {
        FlushBuffer();
    } catch (const CVozException& e) {
        first = e;
        failed = true;
    }
    try {
        Close();
    } catch (const CVozException& e) {
        if (!failed) first = e;
        failed = true;
    }
    for (uint32_t g = 0; g < m_groupCount; ++g) free(m_groups[g]);
    free(m_groups);
    free(m_desc);
    m_groups = nullptr;
    m_desc = nullptr;
    m_groupCount = m_count = m_free = m_hand = 0;
    m_where.clear();
    if (failed) throw first;
}
