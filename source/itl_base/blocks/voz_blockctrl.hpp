// voz_blockctrl.hpp - CVozBlockCtrl: the control file beside a block file,
// recording the block size, the block count and the vacated (free) blocks.
//
// Control file, written by Externalize, read by Internalize (all integers
// big-endian; written field by field):
//   off        size  field
//     0           1  flag: 1 = valid control with a vacated-block list
//     1           3  reserved, 0
//     4           4  block size in bytes
//     8           4  block count: blocks 0 .. count-1 exist or were handed out
//    12           4  number of vacated blocks N
//    16         108  reserved, 0 (carried over as read)
//   124          4N  the N vacated block numbers, strictly ascending, each
//                    below the block count
// The file is replaced atomically (voz_BLKreplaceFile): a reader sees the
// old control or the new one.  A list that is not strictly ascending or
// names a block at or beyond the count is refused as corrupt.
//
// In memory the list may be unsorted (appends); lookups sort it first.
// Not copyable by construction; operator= copies content.  One thread.
#ifndef VOZ_BLOCKCTRL_HPP
#define VOZ_BLOCKCTRL_HPP

#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/voz_exception.hpp"

constexpr uint32_t VOZ_NO_BLOCK = 0xFFFFFFFFu;
constexpr size_t VOZ_BLKCTL_HEADER = 124;  // bytes before the list

class CVozBlockCtrl : public CVozBlockCtrlBase {
public:
    CVozBlockCtrl();
    ~CVozBlockCtrl() override;

    // Header zero, flag 1, `blockSize`, empty list; writes it to `name`.
    void Initialize(const char* name, uint32_t blockSize);
    // Reads `name`.  (17, 3001) when its block size is not `expected`;
    // (4, 3353) when the file is shorter than its header says; (17, 3007,
    // name) when the list is not strictly ascending or names a block at or
    // beyond the count; (11, 3002) without memory.  With a flag other than
    // 1 the list is kept as it was and the control is not loaded.
    void Internalize(const char* name, uint32_t expected);
    // Writes the control to `name` (only when the flag is 1), atomically.
    void Externalize(const char* name);
    // The bytes Externalize writes.
    std::vector<uint8_t> Encode();

    // Appends `block` to the list ((11, 3003) without memory).
    void SetVacatedBlock(uint32_t block);
    // Removes a listed block; (17, 3004) when it is not listed.  Does
    // nothing when the control is not loaded.
    void UnSetVacatedBlock(uint32_t block);
    // False when not loaded; true at or beyond the block count; else
    // whether the block is listed.
    bool IsVacated(uint32_t block);
    // Whether the block is in the list (the count does not matter); an
    // unsorted list is scanned, not sorted.
    bool IsListed(uint32_t block);
    // A listed block: all ones when the list is empty.  With near all ones
    // the last entry as the list stands; otherwise (sorted first) the first
    // entry when near lies below it, the smallest entry >= near when the
    // list has at least 3 entries and near lies below the last, else the
    // last entry.  `take` 1 removes the returned entry.
    uint32_t NextVacatedBlock(uint32_t nearBlock, uint8_t take);

    CVozBlockCtrl& operator=(const CVozBlockCtrl& other);
    // Appends the other list ((11, 3006) without memory).
    CVozBlockCtrl& operator+=(const CVozBlockCtrl& other);

    uint8_t Flag() const { return m_header[0]; }
    uint32_t BlockSize() const { return m_blockSize; }
    uint32_t BlockCount() const { return m_blockCount; }
    void SetBlockCount(uint32_t n) { m_blockCount = n; }
    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    bool Loaded() const { return m_loaded != 0; }
    const uint32_t* List() const { return m_list; }

private:
    void Reserve(uint32_t capacity, int32_t errcode);
    void Sort();
    // Position of `block` in the sorted list, or -1.
    int64_t Find(uint32_t block);

    uint32_t* m_list;      // vacated block numbers
    uint32_t m_count;      // entries in use
    uint32_t m_capacity;   // entries allocated
    uint8_t m_sorted;      // 1: ascending
    uint8_t m_header[VOZ_BLKCTL_HEADER];  // reserved bytes as read
    uint32_t m_blockSize;
    uint32_t m_blockCount;
    uint32_t m_hint;       // list position found by the last lookup
    uint8_t m_loaded;
};

// Opens control file `name` for reading through `io`, runs `body(size)`
// with the file's size, and closes it.  When `body` throws, the file is
// closed and the body's failure is thrown on.
template <typename Body>
void voz_BLKreadControl(CVozFileIO& io, const char* name, Body body) {
    io.Open(name, "rb");
    try {
        io.Seek(0, 2);
        int64_t size = io.Tell();
        io.Seek(0, 0);
        body(size);
    } catch (const CVozException&) {
        try {
            io.Close();
        } catch (const CVozException&) {
            // The read failure is the one to report.
        }
        throw;
    }
    io.Close();
}

#endif  // VOZ_BLOCKCTRL_HPP
