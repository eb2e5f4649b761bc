// voz_sharedblock_classed.cpp - CVozClassedBlockCtrl: the slot control
// with its class chains, allocation of slots and units, the control file
// and the merge of slots vacated at commit.
//
// Throw sites: (11, 3109) / (11, 3110) units / bitmap while reading,
// (11, 3111) / (11, 3112) units / bitmap while copying, (17, 3114) more
// units than pages, (17, 3115, name) a broken control file, (17, 3116) a
// slot vacated twice or outside its unit.
#include <algorithm>
#include <cstring>

#include "files/voz_bigendian.hpp"
#include "blocks/voz_extentmgr.hpp"
#include "blocks/voz_sharedblock_ctrl.hpp"

CVozClassedBlockCtrl::CVozClassedBlockCtrl(CVozSharedBlockInfo* classes)
    : m_classes(classes) {
    memset(m_head, 0, sizeof m_head);
}

CVozClassedBlockCtrl::~CVozClassedBlockCtrl() = default;

void CVozClassedBlockCtrl::Initialize(const char* name, uint32_t blockSize) {
    m_blockSize = blockSize;
    m_unitCount = 0;
    m_bitmapUsed = 0;
    Externalize(name);
}

std::vector<uint8_t> CVozClassedBlockCtrl::Encode() const {
    std::vector<uint8_t> out(VOZ_SLOTCTL_HEADER +
                             VOZ_SLOTCTL_UNIT * size_t(m_unitCount) +
                             m_bitmapUsed);
    out[0] = 2;
    voz_putBE32(&out[4], m_blockSize);
    voz_putBE32(&out[8], m_unitCount);
    voz_putBE32(&out[12], m_bitmapUsed);
    uint8_t* p = &out[VOZ_SLOTCTL_HEADER];
    for (uint32_t u = 0; u < m_unitCount; ++u, p += VOZ_SLOTCTL_UNIT) {
        const SHARED_BLOCK_UNIT& r = m_units[u];
        voz_putBE32(p, r.vacated);
        voz_putBE32(p + 4, r.bits);
        voz_putBE32(p + 8, r.next);
        voz_putBE16(p + 12, r.hint);
        p[14] = static_cast<uint8_t>(r.cls);
        p[15] = 0;
    }
    if (m_bitmapUsed > 0) memcpy(p, m_bitmap, m_bitmapUsed);
    return out;
}

void CVozClassedBlockCtrl::Externalize(const char* name) {
    std::vector<uint8_t> bytes = Encode();
    voz_BLKreplaceFile(name, bytes.data(), bytes.size());
}

bool CVozClassedBlockCtrl::Check() const {
    if (m_blockSize == 0 || m_blockSize > VOZ_SLOT_MAX_BLOCK) return false;
    for (uint32_t u = 0; u < m_unitCount; ++u) {
        const SHARED_BLOCK_UNIT& r = m_units[u];
        if (r.cls < 0 || r.cls >= VOZ_SLOT_CLASSES) return false;
        uint32_t slots = Slots(r.cls);
        if (slots == 0) return false;
        if (HasBitmap(r.cls)) {
            uint32_t bytes = (slots + 7) / 8;
            if (r.bits > m_bitmapUsed || m_bitmapUsed - r.bits < bytes ||
                r.hint > bytes) {
                return false;
            }
        } else if (slots < 32 && (r.bits & (0xFFFFFFFFu >> slots)) != 0) {
            return false;  // bits beyond the last slot
        }
        if (CountVacated(r) != r.vacated) return false;
        if (r.next != VOZ_NO_UNIT &&
            (r.next <= u || r.next >= m_unitCount ||
             m_units[r.next].cls != r.cls)) {
            return false;
        }
    }
    return true;
}

void CVozClassedBlockCtrl::Internalize(const char* name) {
    voz_BLKreadControl(*this, name, [&](int64_t size) {
        Read(m_head, sizeof m_head);
        uint32_t units = voz_getBE32(m_head + 8);
        uint32_t bytes = voz_getBE32(m_head + 12);
        if (static_cast<int64_t>(VOZ_SLOTCTL_HEADER) +
                int64_t(VOZ_SLOTCTL_UNIT) * units + bytes > size) {
            throw CVozException(VOZ_RC_READ, 3353, name);
        }
        m_blockSize = voz_getBE32(m_head + 4);
        SetLimit();
        m_unitCount = 0;
        m_bitmapUsed = 0;
        ReserveUnits(std::max<uint32_t>(units, 64), 3109);
        std::vector<uint8_t> raw(VOZ_SLOTCTL_UNIT * size_t(units));
        Read(raw.data(), static_cast<int32_t>(raw.size()));
        for (uint32_t u = 0; u < units; ++u) {
            const uint8_t* p = &raw[VOZ_SLOTCTL_UNIT * u];
            SHARED_BLOCK_UNIT& r = m_units[u];
            r.vacated = voz_getBE32(p);
            r.bits = voz_getBE32(p + 4);
            r.next = voz_getBE32(p + 8);
            r.hint = voz_getBE16(p + 12);
            r.cls = static_cast<int8_t>(p[14]);
            r.reserved = 0;
        }
        ReserveBitmap(std::max<uint32_t>(bytes, 256), 3110);
        Read(m_bitmap, static_cast<int32_t>(bytes));
        m_unitCount = units;
        m_bitmapUsed = bytes;
        if (m_head[0] != 2 || !Check()) {
            m_unitCount = 0;
            m_bitmapUsed = 0;
            throw CVozException(VOZ_RC_INCONSISTENT, 3115, name);
        }
    });
    RebuildClasses();
}

void CVozClassedBlockCtrl::RebuildClasses() {
    if (m_classes == nullptr) return;
    for (int c = 0; c < VOZ_SLOT_CLASSES; ++c) {
        m_classes[c].first = VOZ_NO_UNIT;
        m_classes[c].last = VOZ_NO_UNIT;
    }
    for (uint32_t u = 0; u < m_unitCount; ++u) {
        CVozSharedBlockInfo& c = m_classes[m_units[u].cls];
        if (m_units[u].vacated != 0) c.first = std::min(c.first, u);
        c.last = u;
    }
}

bool CVozClassedBlockCtrl::IsVacated(uint32_t unit, uint16_t offset) const {
    if (unit >= m_unitCount) return true;
    const SHARED_BLOCK_UNIT& r = m_units[unit];
    if (r.vacated == 0) return false;
    uint32_t slot = offset / usSlotLength[r.cls];
    return slot < Slots(r.cls) && TestSlot(r, slot);
}

void CVozClassedBlockCtrl::SetVacatedSlot(uint32_t unit, uint16_t offset) {
    if (unit >= m_unitCount) throw CVozException(VOZ_RC_INCONSISTENT, 3116);
    SHARED_BLOCK_UNIT& r = m_units[unit];
    uint32_t slot = offset / usSlotLength[r.cls];
    if (offset % usSlotLength[r.cls] != 0 || slot >= Slots(r.cls) ||
        TestSlot(r, slot)) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3116);
    }
    PutSlot(r, slot, true);
    ++r.vacated;
    if (m_classes != nullptr) {
        uint32_t& first = m_classes[r.cls].first;
        first = std::min(first, unit);
    }
}

void CVozClassedBlockCtrl::UnSetVacatedSlot(uint32_t unit, uint16_t offset) {
    if (unit >= m_unitCount) throw CVozException(VOZ_RC_INCONSISTENT, 3116);
    SHARED_BLOCK_UNIT& r = m_units[unit];
    uint32_t slot = offset / usSlotLength[r.cls];
    if (slot >= Slots(r.cls) || !TestSlot(r, slot)) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3116);
    }
    PutSlot(r, slot, false);
    --r.vacated;
}

void CVozClassedBlockCtrl::NextVacatedSlot(int8_t cls, uint8_t take,
                                           uint32_t* unit, uint16_t* offset) {
    CVozSharedBlockInfo& c = m_classes[cls];
    if (c.current != VOZ_NO_UNIT && c.current < m_unitCount &&
        m_units[c.current].vacated != 0) {
        *unit = c.current;
        *offset = GetFirstSlot(&m_units[c.current], take);
        return;
    }
    uint32_t wanted = (m_blockSize / 2) / usSlotLength[cls];
    for (uint32_t u = c.first; u < m_unitCount; u = m_units[u].next) {
        if (m_units[u].cls == cls && m_units[u].vacated > wanted) {
            c.first = u;
            *unit = u;
            *offset = GetFirstSlot(&m_units[u], take);
            return;
        }
    }
    c.first = VOZ_NO_UNIT;
    *unit = VOZ_NO_UNIT;
    *offset = 0;
}

uint32_t CVozClassedBlockCtrl::CreateNewBlockUnit(int8_t cls,
                                                  uint8_t reserveFirst) {
    uint32_t u = CreateNewUnit(cls, 1, reserveFirst);
    m_units[u].next = VOZ_NO_UNIT;
    if (m_classes == nullptr) return u;
    CVozSharedBlockInfo& c = m_classes[cls];
    if (m_units[u].vacated != 0) c.first = std::min(c.first, u);
    if (c.last != VOZ_NO_UNIT && c.last < u) m_units[c.last].next = u;
    c.last = u;
    return u;
}

void CVozClassedBlockCtrl::CreateNewSlot(int8_t cls, uint8_t take,
                                         uint32_t* unit, uint16_t* offset) {
    *unit = CreateNewBlockUnit(cls, take);
    *offset = 0;
}

void CVozClassedBlockCtrl::AdjustNumBlocks(uint32_t lastPage) {
    if (m_unitCount > lastPage) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3114);
    }
    for (int8_t cls = 0; m_unitCount < lastPage + 1;
         cls = static_cast<int8_t>((cls + 1) % VOZ_SLOT_CLASSES)) {
        CreateNewBlockUnit(cls, 0);
    }
}

CVozClassedBlockCtrl& CVozClassedBlockCtrl::operator=(
    const CVozClassedBlockCtrl& other) {
    if (this == &other) return *this;
    m_unitCount = 0;
    m_bitmapUsed = 0;
    ReserveUnits(other.m_unitCap, 3111);
    if (other.m_unitCount > 0) {
        memcpy(m_units, other.m_units,
               sizeof(SHARED_BLOCK_UNIT) * other.m_unitCount);
    }
    if (other.m_bitmapCap > m_bitmapCap) {
        ReserveBitmap(other.m_bitmapCap, 3112);
    }
    if (other.m_bitmapUsed > 0) {
        memcpy(m_bitmap, other.m_bitmap, other.m_bitmapUsed);
    }
    m_unitCount = other.m_unitCount;
    m_bitmapUsed = other.m_bitmapUsed;
    m_classes = other.m_classes;
    m_blockSize = other.m_blockSize;
    m_limit = other.m_limit;
    memcpy(m_head, other.m_head, sizeof m_head);
    return *this;
}

CVozClassedBlockCtrl& CVozClassedBlockCtrl::operator+=(
    const CVozVacatedBlockCtrl& other) {
    const SHARED_BLOCK_UNIT* vac = other.Units();
    for (uint32_t i = 0; i < other.UnitCount(); ++i) {
        uint32_t b = vac[i].vacated;
        if (b >= m_unitCount) throw CVozException(VOZ_RC_INCONSISTENT, 3116);
        SHARED_BLOCK_UNIT& r = m_units[b];
        uint32_t slots = Slots(r.cls);
        for (uint32_t s = 0; s < slots; ++s) {
            if (other.TestSlot(vac[i], s)) PutSlot(r, s, true);
        }
        r.vacated = CountVacated(r);
        // Lowering the first unit lets the next allocation find the slots
        // without waiting for the control to be read again.
        if (m_classes != nullptr && r.vacated != 0) {
            m_classes[r.cls].first = std::min(m_classes[r.cls].first, b);
        }
    }
    return *this;
}
