// voz_sharedblock_ctrl.cpp - slot classes, unit records and bitmaps
// (CVozSharedBlockCtrl) and the control of slots vacated at commit
// (CVozVacatedBlockCtrl).
//
// Throw sites: (11, 3101) bitmap area, (11, 3102) unit array, (17, 3103)
// length above 16384, (17, 3104) no vacated slot in a unit, (11, 3107)
// vacated index, (17, 3116) a slot recorded twice.
#include "blocks/voz_sharedblock_ctrl.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

const uint16_t CVozSharedBlockCtrl::usSlotLength[VOZ_SLOT_CLASSES] = {
    8,    16,   32,   40,   52,   64,   78,   104,  130,   168,  210,
    256,  312,  381,  489,  585,  728,  910,  1092, 1365,  1638, 2048,
    2520, 3276, 4096, 4681, 5461, 6553, 8192, 10922, 16384};

CVozSharedBlockInfo::CVozSharedBlockInfo()
    : first(VOZ_NO_UNIT), current(VOZ_NO_UNIT), last(VOZ_NO_UNIT) {}

CVozSharedBlockInfo::~CVozSharedBlockInfo() = default;

int8_t CVozSharedBlockCtrl::WhatClass(uint32_t length) {
    if (length <= usSlotLength[0]) return 0;
    if (length > usSlotLength[VOZ_SLOT_CLASSES - 1]) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3103);
    }
    int lo = 1, hi = VOZ_SLOT_CLASSES - 1;  // answer lies in [lo, hi]
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (usSlotLength[mid] >= length) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return static_cast<int8_t>(lo);
}

CVozSharedBlockCtrl::CVozSharedBlockCtrl()
    : m_unitCount(0), m_units(nullptr), m_bitmap(nullptr), m_bitmapUsed(0),
      m_blockSize(0), m_bitmapCap(0), m_unitCap(0), m_limit(31) {}

CVozSharedBlockCtrl::~CVozSharedBlockCtrl() {
    free(m_units);
    free(m_bitmap);
}

uint16_t CVozSharedBlockCtrl::Slots(int8_t cls) const {
    if (cls < 0 || cls >= VOZ_SLOT_CLASSES) return 0;
    return static_cast<uint16_t>(m_blockSize / usSlotLength[cls]);
}

bool CVozSharedBlockCtrl::TestSlot(const SHARED_BLOCK_UNIT& u,
                                   uint32_t slot) const {
    if (!HasBitmap(u.cls)) return (u.bits & (0x80000000u >> slot)) != 0;
    return (m_bitmap[u.bits + slot / 8] & (0x80u >> (slot % 8))) != 0;
}

void CVozSharedBlockCtrl::PutSlot(SHARED_BLOCK_UNIT& u, uint32_t slot,
                                  bool vacated) {
    if (!HasBitmap(u.cls)) {
        uint32_t bit = 0x80000000u >> slot;
        u.bits = vacated ? (u.bits | bit) : (u.bits & ~bit);
        return;
    }
    uint8_t& byte = m_bitmap[u.bits + slot / 8];
    uint8_t bit = static_cast<uint8_t>(0x80u >> (slot % 8));
    byte = static_cast<uint8_t>(vacated ? (byte | bit) : (byte & ~bit));
}

uint32_t CVozSharedBlockCtrl::CountVacated(const SHARED_BLOCK_UNIT& u) const {
    uint32_t n = 0, slots = Slots(u.cls);
    for (uint32_t i = 0; i < slots; ++i) n += TestSlot(u, i) ? 1 : 0;
    return n;
}

void CVozSharedBlockCtrl::ReserveUnits(uint32_t n, int32_t errcode) {
    if (n <= m_unitCap) return;
    auto* units = static_cast<SHARED_BLOCK_UNIT*>(
        realloc(m_units, sizeof(SHARED_BLOCK_UNIT) * static_cast<size_t>(n)));
    if (units == nullptr) throw CVozException(VOZ_RC_MEMORY, errcode);
    memset(units + m_unitCap, 0,
           sizeof(SHARED_BLOCK_UNIT) * static_cast<size_t>(n - m_unitCap));
    m_units = units;
    m_unitCap = n;
}

void CVozSharedBlockCtrl::ReserveBitmap(uint32_t need, int32_t errcode) {
    if (m_bitmapUsed + need <= m_bitmapCap) return;
    uint64_t cap = std::min<uint64_t>(2ULL * m_bitmapCap + need,
                                      uint64_t(m_bitmapCap) + need + 262114);
    cap = std::max<uint64_t>(cap, 256);
    auto* area = static_cast<uint8_t*>(realloc(m_bitmap, cap));
    if (area == nullptr) throw CVozException(VOZ_RC_MEMORY, errcode);
    m_bitmap = area;
    m_bitmapCap = static_cast<uint32_t>(cap);
}

uint32_t CVozSharedBlockCtrl::AllocateBitmap(uint16_t bits, uint8_t allSet,
                                             uint8_t clearFirst) {
    uint32_t need = (bits + 7u) / 8u;
    ReserveBitmap(need, 3101);
    uint32_t at = m_bitmapUsed;
    uint8_t* p = m_bitmap + at;
    memset(p, 0, need);
    if (allSet != 0) {
        for (uint32_t i = 0; i < bits; ++i) p[i / 8] |= 0x80u >> (i % 8);
        if (clearFirst != 0 && bits > 0) p[0] &= 0x7Fu;
    }
    m_bitmapUsed += need;
    return at;
}

uint32_t CVozSharedBlockCtrl::CreateNewUnit(int8_t cls, uint8_t allVacated,
                                            uint8_t reserveFirst) {
    if (m_unitCount == m_unitCap) {
        uint32_t grown = std::min(2 * m_unitCap, m_unitCap + 4096);
        ReserveUnits(std::max<uint32_t>(grown, 64), 3102);
    }
    uint16_t slots = Slots(cls);
    SHARED_BLOCK_UNIT rec;
    memset(&rec, 0, sizeof rec);
    rec.cls = cls;
    uint32_t r = reserveFirst != 0 ? 1 : 0;
    if (HasBitmap(cls)) {
        rec.bits = AllocateBitmap(slots, allVacated, reserveFirst);
    } else if (allVacated != 0) {
        for (uint32_t i = r; i < slots; ++i) rec.bits |= 0x80000000u >> i;
    }
    rec.vacated = allVacated != 0 && slots >= r ? slots - r : 0;
    m_units[m_unitCount] = rec;
    return m_unitCount++;
}

uint16_t CVozSharedBlockCtrl::GetFirstSlot(SHARED_BLOCK_UNIT* unit,
                                           uint8_t take) {
    uint32_t slots = Slots(unit->cls);
    uint32_t found = slots;
    if (!HasBitmap(unit->cls)) {
        for (uint32_t i = 0; i < slots && found == slots; ++i) {
            if (TestSlot(*unit, i)) found = i;
        }
    } else {
        const uint8_t* bm = m_bitmap + unit->bits;
        auto scan = [&](uint32_t fromByte, uint32_t toSlot) {
            for (uint32_t b = fromByte; b * 8 < toSlot; ++b) {
                if (bm[b] == 0) continue;
                for (uint32_t i = b * 8; i < b * 8 + 8 && i < toSlot; ++i) {
                    if (TestSlot(*unit, i)) return i;
                }
            }
            return slots;
        };
        found = scan(unit->hint, slots);
        if (found == slots) found = scan(0, std::min(slots, 8u * unit->hint));
        if (found != slots) unit->hint = static_cast<uint16_t>(found / 8);
    }
    if (found == slots) throw CVozException(VOZ_RC_INCONSISTENT, 3104);
    if (take != 0) {
        PutSlot(*unit, found, false);
        --unit->vacated;
    }
    return static_cast<uint16_t>(found * usSlotLength[unit->cls]);
}

CVozVacatedBlockCtrl::CVozVacatedBlockCtrl()
    : m_index(nullptr), m_indexCap(0) {}

CVozVacatedBlockCtrl::~CVozVacatedBlockCtrl() { free(m_index); }

CVozVacatedBlockCtrl& CVozVacatedBlockCtrl::operator=(
    const CVozClassedBlockCtrl& other) {
    m_blockSize = other.BlockSize();
    m_limit = other.Limit();
    return *this;
}

void CVozVacatedBlockCtrl::SetVacatedSlot(uint32_t block, uint16_t offset,
                                          int8_t cls) {
    uint32_t* end = m_index + m_unitCount;
    uint32_t* at = std::lower_bound(
        m_index, end, block,
        [this](uint32_t u, uint32_t b) { return m_units[u].vacated < b; });
    uint32_t unit;
    if (at != end && m_units[*at].vacated == block) {
        unit = *at;
    } else {
        size_t pos = static_cast<size_t>(at - m_index);
        if (m_unitCount == m_indexCap) {
            uint32_t grown = std::min(2 * m_indexCap, m_indexCap + 4096);
            grown = std::max<uint32_t>(grown, 64);
            auto* idx = static_cast<uint32_t*>(
                realloc(m_index, sizeof(uint32_t) * static_cast<size_t>(grown)));
            if (idx == nullptr) throw CVozException(VOZ_RC_MEMORY, 3107);
            m_index = idx;
            m_indexCap = grown;
        }
        unit = CreateNewUnit(cls, 0, 0);
        m_units[unit].vacated = block;
        memmove(m_index + pos + 1, m_index + pos,
                sizeof(uint32_t) * (m_unitCount - 1 - pos));
        m_index[pos] = unit;
    }
    uint32_t slot = offset / usSlotLength[m_units[unit].cls];
    if (TestSlot(m_units[unit], slot)) {
        throw CVozException(VOZ_RC_INCONSISTENT, 3116);
    }
    PutSlot(m_units[unit], slot, true);
}
