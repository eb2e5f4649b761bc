// voz_sharedblock_ctrl.hpp - the controls of the shared slot file: which
// size class each unit (block) has and which of its slots are vacated.
//
// Every unit of the slot file is cut into slots of one of 31 size classes
// (8 to 16384 bytes); a unit of class c has S = block size / slot length
// slots, slot i at byte i * slot length.  Vacated slots are kept as a
// bitmap in the control's bitmap area (classes below the limit L) or as a
// 32-bit mask in the unit record (classes L and above, at most 32 slots).
// L is 18 for block size 32768 and 21 otherwise (31 before a read).  Slot
// i is bit 0x80 >> (i % 8) of bitmap byte i / 8, or bit 0x80000000 >> i of
// the mask; a set bit means vacated.
//
// Control file (CVozClassedBlockCtrl::Externalize / Internalize; integers
// big-endian, written field by field):
//   off          size  field
//     0             1  2
//     1             3  0
//     4             4  block size
//     8             4  unit count U
//    12             4  bitmap bytes B
//    16           112  reserved, 0
//   128           16U  unit records, unit u is block u of the slot file:
//                        +0  4  vacated slots of the unit
//                        +4  4  bitmap offset in the area, or the mask
//                        +8  4  next unit of the class, all ones at the end
//                       +12  2  bitmap byte where the last search stopped
//                       +14  1  class (0..30)
//                       +15  1  reserved, 0
//   128+16U         B  bitmap area
// The file is replaced atomically.  On read every record is checked (class,
// bitmap within the area, vacated count equal to the set bits, chain
// ascending); a broken control is refused with (17, 3115, name).
//
// The class table (first, current and last unit of each class) belongs to
// the owning CVozSharedBlockMgr; its controls share it.  One thread.
#ifndef VOZ_SHAREDBLOCK_CTRL_HPP
#define VOZ_SHAREDBLOCK_CTRL_HPP

#include <cstddef>
#include <cstdint>
#include <vector>

#include "blocks/voz_blockmgr.hpp"

constexpr int VOZ_SLOT_CLASSES = 31;
constexpr uint32_t VOZ_NO_UNIT = 0xFFFFFFFFu;
constexpr size_t VOZ_SLOTCTL_HEADER = 128;
constexpr size_t VOZ_SLOTCTL_UNIT = 16;
constexpr uint32_t VOZ_SLOT_MAX_BLOCK = 65536;  // offsets are 16-bit

// One unit (host order in memory).
struct SHARED_BLOCK_UNIT {
    uint32_t vacated;  // vacated slots; in a vacated control: block number
    uint32_t bits;     // bitmap offset in the area, or the mask
    uint32_t next;     // next unit of the class, all ones at the end
    uint16_t hint;     // bitmap byte of the last slot found
    int8_t cls;        // size class 0..30
    uint8_t reserved;
};

// One class entry of a slot manager.
class CVozSharedBlockInfo : public CVozObject {
public:
    CVozSharedBlockInfo();
    ~CVozSharedBlockInfo() override;

    uint32_t first;       // lowest unit known to have vacated slots
    uint32_t current;     // unit pinned for writing, all ones when none
    CVozBlockInfo block;  // the pinned current unit
    uint32_t last;        // last unit of the class's chain
};

class CVozSharedBlockCtrl : public CVozBlockCtrlBase {
public:
    static const uint16_t usSlotLength[VOZ_SLOT_CLASSES];
    // Smallest class whose slot holds `length` bytes (0 for up to 8);
    // (17, 3103) above 16384.
    static int8_t WhatClass(uint32_t length);

    CVozSharedBlockCtrl();
    ~CVozSharedBlockCtrl() override;
    CVozSharedBlockCtrl(const CVozSharedBlockCtrl&) = delete;

    // Appends a unit of `cls`: all slots vacated (less slot 0 with
    // reserveFirst) or none; returns its number.  (11, 3102) / (11, 3101).
    virtual uint32_t CreateNewUnit(int8_t cls, uint8_t allVacated,
                                   uint8_t reserveFirst);
    // Appends (bits + 7) / 8 bitmap bytes, all `bits` set (less bit 0 with
    // clearFirst) or zero; returns their offset.  (11, 3101).
    uint32_t AllocateBitmap(uint16_t bits, uint8_t allSet, uint8_t clearFirst);
    // Byte offset of a vacated slot of `unit`; `take` 1 takes it.
    // (17, 3104) when the unit has none.
    uint16_t GetFirstSlot(SHARED_BLOCK_UNIT* unit, uint8_t take);

    uint16_t Slots(int8_t cls) const;
    bool HasBitmap(int8_t cls) const { return cls < m_limit; }
    bool TestSlot(const SHARED_BLOCK_UNIT& u, uint32_t slot) const;
    void PutSlot(SHARED_BLOCK_UNIT& u, uint32_t slot, bool vacated);
    uint32_t CountVacated(const SHARED_BLOCK_UNIT& u) const;

    uint32_t UnitCount() const { return m_unitCount; }
    SHARED_BLOCK_UNIT* Units() const { return m_units; }
    uint32_t BlockSize() const { return m_blockSize; }
    uint32_t BitmapBytes() const { return m_bitmapUsed; }
    uint8_t Limit() const { return m_limit; }

protected:
    void ReserveUnits(uint32_t n, int32_t errcode);
    void ReserveBitmap(uint32_t need, int32_t errcode);
    void SetLimit() { m_limit = m_blockSize == 32768 ? 18 : 21; }

    uint32_t m_unitCount;
    SHARED_BLOCK_UNIT* m_units;
    uint8_t* m_bitmap;
    uint32_t m_bitmapUsed;
    uint32_t m_blockSize;
    uint32_t m_bitmapCap;
    uint32_t m_unitCap;
    uint8_t m_limit;
};

class CVozVacatedBlockCtrl;

class CVozClassedBlockCtrl : public CVozSharedBlockCtrl {
public:
    // `classes`: the owner's 31 class entries (may be null for a control
    // that is only read or written).
    explicit CVozClassedBlockCtrl(CVozSharedBlockInfo* classes);
    ~CVozClassedBlockCtrl() override;

    virtual uint32_t CreateNewBlockUnit(int8_t cls, uint8_t reserveFirst);

    // No units; writes the control to `name`.
    void Initialize(const char* name, uint32_t blockSize);
    // Reads and checks `name`; sets L and the class table's first and last
    // units.  (4, 3353) short file, (17, 3115, name) broken content,
    // (11, 3109) / (11, 3110) memory.
    void Internalize(const char* name);
    // Writes the control to `name`, atomically.
    void Externalize(const char* name);
    std::vector<uint8_t> Encode() const;
    // True when every unit record is consistent (see the file comment).
    bool Check() const;

    // True at or beyond the unit count, false for a unit with nothing
    // vacated, else the slot's bit.
    bool IsVacated(uint32_t unit, uint16_t offset) const;
    void SetVacatedSlot(uint32_t unit, uint16_t offset);
    void UnSetVacatedSlot(uint32_t unit, uint16_t offset);
    // A vacated slot of `cls` in *unit / *offset (unit all ones: none).
    void NextVacatedSlot(int8_t cls, uint8_t take, uint32_t* unit,
                         uint16_t* offset);
    void CreateNewSlot(int8_t cls, uint8_t take, uint32_t* unit,
                       uint16_t* offset);
    // Adds units until `lastPage` is a unit; (17, 3114) when the control
    // already has more units than that.
    void AdjustNumBlocks(uint32_t lastPage);
    // Recomputes first and last of every class from the units.
    void RebuildClasses();

    CVozClassedBlockCtrl& operator=(const CVozClassedBlockCtrl& other);
    // Merges the slots vacated at commit into this control.
    CVozClassedBlockCtrl& operator+=(const CVozVacatedBlockCtrl& other);

    CVozSharedBlockInfo* Classes() const { return m_classes; }

private:
    uint8_t m_head[VOZ_SLOTCTL_HEADER];
    CVozSharedBlockInfo* m_classes;
};

// The committed slots given up during a transaction, by block number.
class CVozVacatedBlockCtrl : public CVozSharedBlockCtrl {
public:
    CVozVacatedBlockCtrl();
    ~CVozVacatedBlockCtrl() override;

    // Takes over the block size and L only.
    CVozVacatedBlockCtrl& operator=(const CVozClassedBlockCtrl& other);
    // Records slot `offset` of `block` (of class `cls`).  (11, 3107);
    // (17, 3116) when the slot was already recorded.
    void SetVacatedSlot(uint32_t block, uint16_t offset, int8_t cls);

private:
    uint32_t* m_index;     // unit numbers sorted by block number
    uint32_t m_indexCap;
};

#endif  // VOZ_SHAREDBLOCK_CTRL_HPP
