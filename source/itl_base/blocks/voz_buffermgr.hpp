// voz_buffermgr.hpp - the page buffer pool of a block file (CVozBufferMgr)
// and the handles through which callers hold pinned pages.
//
// A block file is a file of fixed-size pages; page n lies at byte
// n * page size.  The pool keeps page buffers over it: a caller pins a
// page, reads or changes the bytes, marks the buffer modified and unpins
// it; the pool writes changed pages back when it replaces or flushes them.
// The extent manager (voz_extentmgr.hpp) owns a pool and is the only
// caller of these operations; the block managers reach pages through it.
//
// Invariants:
//  1. A page is held by at most one buffer at any time, in every mode.
//     Two pins of one page always return the same buffer, so no caller
//     ever sees two different copies of a page.
//  2. A buffer with a pin is never replaced.
//  3. Caching mode (from creation until the pool grows beyond 64 buffers):
//     an unpinned page stays in its buffer and is served again by the
//     next pin; a dirty buffer is written when it is replaced or flushed.
//  4. Write-through mode (for good, once the pool has grown beyond 64
//     buffers; every dirty buffer is written at the switch): a dirty
//     buffer is written as soon as its last pin goes, and a page that has
//     no pin is read from the file again when it is pinned next.
//
// Buffers are allocated in groups (48 first, then 20 % of the pool) and
// never shrink; the pool grows when at most 8 buffers are free.  Nothing
// here runs concurrently.  All failures are thrown as CVozException.
#ifndef VOZ_BUFFERMGR_HPP
#define VOZ_BUFFERMGR_HPP

#include <cstdint>
#include <unordered_map>

#include "files/voz_exception.hpp"

// Page number of a buffer that holds no page.
constexpr uint32_t VOZ_NO_PAGE = 0xFFFFFFFFu;

class CVozBufferInfoBase : public CVozObject {
public:
    ~CVozBufferInfoBase() override;
    virtual uint8_t* Data() const = 0;
};

// Descriptor of one page buffer.  Callers hold copies; the pool finds its
// own descriptor again through `index`.
class CVozBufferInfo : public CVozBufferInfoBase {
public:
    CVozBufferInfo();
    ~CVozBufferInfo() override;
    uint8_t* Data() const override { return data; }

    uint8_t* data;       // page size bytes inside the pool
    uint32_t pins;       // callers holding the buffer
    uint32_t page;       // page held, VOZ_NO_PAGE when none
    uint32_t reserved;
    int32_t dirty;       // 1: changed since last written
    uint32_t index;      // position of the descriptor in its pool
    uint8_t reservedByte;
};

// Owns one CVozBufferInfo and counts the CVozPageInfo handles sharing it.
class CVozBufferInfoRef : public CVozObject {
public:
    // Throws (11, 3097) when the descriptor cannot be allocated.
    CVozBufferInfoRef();
    ~CVozBufferInfoRef() override;
    CVozBufferInfoRef(const CVozBufferInfoRef&) = delete;
    CVozBufferInfoRef& operator=(const CVozBufferInfoRef&) = delete;
    uint8_t* Data() const { return info->Data(); }

    CVozBufferInfo* info;
    int32_t refs;  // starts at 1
};

// Handle to one pinned page.  The default constructor makes a fresh
// CVozBufferInfoRef (throws (11, 3097)); copies share it.  A handle does
// not unpin on destruction: the owner unpins through the extent manager.
class CVozPageInfo : public CVozObject {
public:
    CVozPageInfo();
    CVozPageInfo(const CVozPageInfo& other);
    CVozPageInfo& operator=(const CVozPageInfo& other);
    ~CVozPageInfo() override;

    CVozBufferInfo& Info() const { return *m_ref->info; }
    uint8_t* Data() const { return m_ref->Data(); }

private:
    CVozBufferInfoRef* m_ref;
};

// Record of one buffer inside the pool (the fields of CVozBufferInfo).
struct VOZ_BUFDESC {
    uint8_t* data;
    uint32_t pins;
    uint32_t page;
    uint32_t reserved;
    int32_t dirty;
    uint32_t index;
    uint8_t reservedByte;
};

// The pool over one file.  Its owner opens and closes the file through the
// CVozFileIO operations.  Not copyable.
class CVozBufferMgr : protected CVozFileIO {
public:
    // Does not open the file; `name` is not used.
    CVozBufferMgr(const char* name, uint32_t pageSize);
    // Terminates the pool when Terminate has not run (errors are dropped).
    ~CVozBufferMgr() override;

    // Pins a buffer for `page` and copies its descriptor into `out`.
    // Returns 1 when the page was already in a buffer (invariant 1: always
    // so while the page is pinned), 0 when a buffer was newly assigned; it
    // is then filled from the file when `read` is not 0, else it keeps
    // whatever bytes it held.  Throws on memory (11, 3053/3054) and on the
    // write of a replaced dirty buffer or the read (4/5/6, file name);
    // after a failed read the buffer holds no page and no pin is taken.
    int GetBuffer(uint32_t page, CVozBufferInfo& out, int read);
    // Removes one pin (nothing when there is none).  In write-through mode
    // the last pin of a dirty buffer writes it; a failed write is thrown
    // and leaves the buffer dirty.
    void ReleaseBuffer(CVozBufferInfo& info);
    // Removes one pin and forgets the changes made to the buffer: with no
    // pin left the buffer gives up its page (the next pin reads the file);
    // with pins left it is read from the file again.  REQUIRES: the buffer
    // is not dirty (its page content on disk is the one to keep).
    void DropBuffer(CVozBufferInfo& info);
    // Sets the dirty flag of the pool's descriptor.
    void MarkModified(CVozBufferInfo& info);
    // Reads / writes one page at page * page size.  (6, 3355) seek,
    // (4, 3353) read, (5, 3354) write; file name as text.
    void Read(CVozBufferInfo& info) override;
    void Write(CVozBufferInfo& info) override;
    // Writes every dirty buffer; goes on after a failure, leaves the
    // failed buffer dirty and throws the first failure at the end.
    void FlushBuffer();
    // Flushes, closes the file and frees all buffers; throws the first
    // failure after all steps.  Runs at most once.
    void Terminate();

    uint32_t BufferCount() const { return m_count; }
    uint32_t FreeCount() const { return m_free; }
    bool Caching() const { return m_caching != 0; }

protected:
    uint32_t m_pageSize;

private:
    void Grow();
    void AddGroup(uint32_t n);
    uint32_t TakeVictim();
    void Forget(VOZ_BUFDESC& d);
    void WriteBack(VOZ_BUFDESC& d);
    int LoadAndPin(VOZ_BUFDESC& d, CVozBufferInfo& out, int read);
    void Pin(VOZ_BUFDESC& d, CVozBufferInfo& out);
    void IoDesc(const VOZ_BUFDESC& d, bool write);
    void SeekPage(uint32_t page);

    VOZ_BUFDESC* m_desc;     // m_count records, realloc'ed
    uint32_t m_count;        // buffers
    uint32_t m_free;         // buffers without a pin
    uint32_t m_hand;         // buffer taken last
    int32_t m_caching;       // 1 caching, 0 write-through
    int32_t m_terminated;
    uint8_t** m_groups;      // one malloc per group of buffers
    uint32_t m_groupCount;
    std::unordered_map<uint32_t, uint32_t> m_where;  // page -> buffer
};

#endif  // VOZ_BUFFERMGR_HPP
