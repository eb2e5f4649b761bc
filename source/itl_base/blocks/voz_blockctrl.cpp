// voz_blockctrl.cpp - the block control: vacated-block list, its lookups
// and the control file.
//
// Throw sites: (17, 3001) block size differs, (11, 3002) list memory on
// read, (11, 3003) on append, (17, 3004) unlisted block removed, (11, 3005)
// on copy, (11, 3006) on merge, (17, 3007) corrupt list in the file.
#include "blocks/voz_blockctrl.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "files/voz_bigendian.hpp"
#include "blocks/voz_extentmgr.hpp"

CVozBlockCtrl::CVozBlockCtrl()
    : m_list(nullptr), m_count(0), m_capacity(0), m_sorted(1),
      m_blockSize(0), m_blockCount(0), m_hint(0), m_loaded(0) {
    memset(m_header, 0, sizeof m_header);
}

CVozBlockCtrl::~CVozBlockCtrl() { free(m_list); }

void CVozBlockCtrl::Reserve(uint32_t capacity, int32_t errcode) {
    if (capacity <= m_capacity) return;
    auto* list = static_cast<uint32_t*>(
        realloc(m_list, sizeof(uint32_t) * static_cast<size_t>(capacity)));
    if (list == nullptr) throw CVozException(VOZ_RC_MEMORY, errcode);
    m_list = list;
    m_capacity = capacity;
}

void CVozBlockCtrl::Initialize(const char* name, uint32_t blockSize) {
    memset(m_header, 0, sizeof m_header);
    m_header[0] = 1;
    m_blockSize = blockSize;
    m_blockCount = 0;
    m_count = 0;
    m_sorted = 1;
    m_loaded = 1;
    Externalize(name);
}

void CVozBlockCtrl::Internalize(const char* name, uint32_t expected) {
    voz_BLKreadControl(*this, name, [&](int64_t size) {
        uint8_t head[VOZ_BLKCTL_HEADER];
        Read(head, sizeof head);
        uint32_t blockSize = voz_getBE32(head + 4);
        if (blockSize != expected) {
            throw CVozException(VOZ_RC_INCONSISTENT, 3001);
        }
        memcpy(m_header, head, sizeof m_header);
        m_blockSize = blockSize;
        m_blockCount = voz_getBE32(head + 8);
        if (head[0] != 1) {
            m_loaded = 0;  // the list stays as it was and is not used
            return;
        }
        uint32_t n = voz_getBE32(head + 12);
        if (static_cast<int64_t>(VOZ_BLKCTL_HEADER) + 4LL * n > size) {
            throw CVozException(VOZ_RC_READ, 3353, name);
        }
        Reserve(std::max<uint32_t>(n, 64), 3002);
        std::vector<uint8_t> raw(static_cast<size_t>(n) * 4);
        Read(raw.data(), static_cast<int32_t>(raw.size()));
        m_count = 0;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t b = voz_getBE32(&raw[static_cast<size_t>(i) * 4]);
            if (b >= m_blockCount || (i > 0 && b <= m_list[i - 1])) {
                throw CVozException(VOZ_RC_INCONSISTENT, 3007, name);
            }
            m_list[i] = b;
        }
        m_count = n;
        m_sorted = 1;
        m_loaded = 1;
        m_hint = 0;
    });
}

std::vector<uint8_t> CVozBlockCtrl::Encode() {
    Sort();
    std::vector<uint8_t> out(VOZ_BLKCTL_HEADER +
                             static_cast<size_t>(m_count) * 4);
    memcpy(out.data(), m_header, VOZ_BLKCTL_HEADER);
    memset(out.data() + 1, 0, 3);
    voz_putBE32(&out[4], m_blockSize);
    voz_putBE32(&out[8], m_blockCount);
    voz_putBE32(&out[12], m_count);
    for (uint32_t i = 0; i < m_count; ++i) {
        voz_putBE32(&out[VOZ_BLKCTL_HEADER + static_cast<size_t>(i) * 4],
                    m_list[i]);
    }
    return out;
}

void CVozBlockCtrl::Externalize(const char* name) {
    if (m_header[0] != 1) return;
    std::vector<uint8_t> bytes = Encode();
    voz_BLKreplaceFile(name, bytes.data(), bytes.size());
}

void CVozBlockCtrl::Sort() {
    if (m_sorted != 0) return;
    GTRSTATUS st;
    voz_ClearStatus(&st);
    CVozFunctions::SortUINT4(m_list, static_cast<int32_t>(m_count), &st);
    if (st.retcode != 0) throw CVozException(st);
    m_sorted = 1;
    m_hint = 0;
}

int64_t CVozBlockCtrl::Find(uint32_t block) {
    Sort();
    if (m_count == 0) return -1;
    if (m_hint < m_count && m_list[m_hint] == block) return m_hint;
    uint32_t* end = m_list + m_count;
    uint32_t* at = std::lower_bound(m_list, end, block);
    if (at == end || *at != block) return -1;
    m_hint = static_cast<uint32_t>(at - m_list);
    return m_hint;
}

void CVozBlockCtrl::SetVacatedBlock(uint32_t block) {
    if (m_capacity <= m_count + 1) {
        uint32_t grown = std::min(2 * m_capacity, m_capacity + 1024);
        Reserve(std::max<uint32_t>(grown, 64), 3003);
    }
    if (m_count > 0 && block < m_list[m_count - 1]) m_sorted = 0;
    m_list[m_count++] = block;
}

void CVozBlockCtrl::UnSetVacatedBlock(uint32_t block) {
    if (m_loaded == 0) return;
    int64_t at = Find(block);
    if (at < 0) throw CVozException(VOZ_RC_INCONSISTENT, 3004);
    memmove(m_list + at, m_list + at + 1,
            sizeof(uint32_t) * static_cast<size_t>(m_count - at - 1));
    --m_count;
}

bool CVozBlockCtrl::IsVacated(uint32_t block) {
    if (m_loaded == 0) return false;
    if (block >= m_blockCount) return true;
    return Find(block) >= 0;
}

bool CVozBlockCtrl::IsListed(uint32_t block) {
    if (m_sorted != 0) return Find(block) >= 0;
    // An unsorted list is scanned rather than sorted: releases append in
    // any order, and sorting at each of them would cost n log n apiece.
    for (uint32_t i = m_count; i > 0; --i) {
        if (m_list[i - 1] == block) return true;
    }
    return false;
}

uint32_t CVozBlockCtrl::NextVacatedBlock(uint32_t nearBlock, uint8_t take) {
    if (m_count == 0) return VOZ_NO_BLOCK;
    uint32_t at = m_count - 1;
    if (nearBlock != VOZ_NO_BLOCK) {
        Sort();
        if (nearBlock < m_list[0]) {
            at = 0;
        } else if (m_count >= 3 && nearBlock < m_list[m_count - 1]) {
            at = static_cast<uint32_t>(
                std::lower_bound(m_list, m_list + m_count, nearBlock) -
                m_list);
        }
    }
    uint32_t block = m_list[at];
    if (take == 1) {
        memmove(m_list + at, m_list + at + 1,
                sizeof(uint32_t) * static_cast<size_t>(m_count - at - 1));
        --m_count;
    }
    return block;
}

CVozBlockCtrl& CVozBlockCtrl::operator=(const CVozBlockCtrl& other) {
    if (this == &other) return *this;
    Reserve(other.m_capacity, 3005);
    if (other.m_count > 0) {
        memcpy(m_list, other.m_list, sizeof(uint32_t) * other.m_count);
    }
    memcpy(m_header, other.m_header, sizeof m_header);
    m_blockSize = other.m_blockSize;
    m_blockCount = other.m_blockCount;
    m_count = other.m_count;
    m_sorted = other.m_sorted;
    m_loaded = other.m_loaded;
    m_hint = 0;
    return *this;
}

CVozBlockCtrl& CVozBlockCtrl::operator+=(const CVozBlockCtrl& other) {
    if (other.m_count == 0) return *this;
    uint32_t total = m_count + other.m_count;
    if (total > m_capacity) Reserve(total, 3006);
    bool sorted = m_sorted != 0 && other.m_sorted != 0 &&
                  (m_count == 0 || m_list[m_count - 1] < other.m_list[0]);
    memcpy(m_list + m_count, other.m_list, sizeof(uint32_t) * other.m_count);
    m_count = total;
    m_sorted = sorted ? 1 : 0;
    return *this;
}
