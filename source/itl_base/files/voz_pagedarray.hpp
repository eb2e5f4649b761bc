// voz_pagedarray.hpp -- arrays of fixed-size items that grow in 64 KB pages.
//
// The query evaluation keeps long runs of small records (answers,
// candidate lists, rank heaps) in paged arrays. Item i lies in page
// i / itemsPerPage at offset (i % itemsPerPage) * itemSize; every page but
// the first is a 65536-byte block from the system allocator. The first page
// starts at the size its items need and grows, moving, up to 65536 bytes,
// so that the many small arrays of a search stay small; items in pages
// after the first never move. A pointer to an item is therefore valid only
// until the next __PM_RESIZE of its array.
#ifndef VOZ_PAGEDARRAY_HPP
#define VOZ_PAGEDARRAY_HPP

#include <cassert>
#include <cstddef>
#include <cstdint>

constexpr int32_t VOZ_PM_PAGE_SIZE = 65536;

// A cache of free 64 KB pages that a search handle keeps between its
// searches: the arrays of one search take their pages from it and give
// them back when freed, so that a handle that searches again does not
// hand its pages back to the system after every search and take them
// again at the next (which trims and regrows the process heap each time).
// Its owner makes it with voz_PMpoolNew and gives it up with
// voz_PMpoolRelease; arrays still holding pages of it (a result handle
// that outlives its search handle) keep it alive until they are freed,
// and their pages then go back to the system. Thread-safe.
struct VOZPAGEPOOL;

// Most pages a pool keeps (8 MB): pages freed beyond it go back to the
// system.
constexpr int32_t VOZ_PM_POOL_PAGES = 128;

// A new empty pool, or null when memory runs out (the arrays then use the
// system allocator directly).
VOZPAGEPOOL* voz_PMpoolNew();
// The owner gives the pool up: its cached pages are freed, and the pool
// itself once no array holds it. Null is fine.
void voz_PMpoolRelease(VOZPAGEPOOL* pool);
// Pages of 64 KB the pool holds now (cached, not in use), and pages in use
// by arrays made while it was current.
int32_t voz_PMpoolCached(const VOZPAGEPOOL* pool);
int32_t voz_PMpoolInUse(const VOZPAGEPOOL* pool);

// While an instance lives, arrays made on this thread take their pages
// from `pool` (null: the system allocator). Scopes nest.
class VozPagePoolScope {
public:
    explicit VozPagePoolScope(VOZPAGEPOOL* pool);
    ~VozPagePoolScope();
    VozPagePoolScope(const VozPagePoolScope&) = delete;
    VozPagePoolScope& operator=(const VozPagePoolScope&) = delete;

private:
    VOZPAGEPOOL* previous_;
};

// Control of one paged array; made by the first __PM_RESIZE, freed with
// voz_PMfree by the array's owner.
struct _PAGEMEMCTL {
    void** pages;          // page table, `capacity` entries, unused ones null
    int32_t capacity;      // entries of the page table
    int32_t used;          // pages allocated, pages[0 .. used-1]
    int32_t itemsPerPage;  // VOZ_PM_PAGE_SIZE / itemSize
    int32_t bytesPerPage;  // itemsPerPage * itemSize
    int32_t itemSize;      // bytes per item, 1 .. VOZ_PM_PAGE_SIZE
    int32_t firstBytes;    // bytes allocated for pages[0]; 0 before it is
    VOZPAGEPOOL* pool;     // the pool current when the array was made, or
                           // null: where its full pages come from and go
};

// Makes item `index` addressable (allocating the control on first use with
// `itemSize`; later calls keep the control's item size) and frees the pages
// above the page that holds `index`.
// Returns 0; 11 when memory runs out (pages allocated so far stay); 17 for a
// negative index or an item size outside 1 .. 65536 (nothing is changed).
int __PM_RESIZE(_PAGEMEMCTL** controlPointer, int32_t index, int32_t itemSize);

// Address of item `index`. REQUIRES: index made addressable by __PM_RESIZE.
// Inline, with a shift for the usual power-of-two items per page: result
// readers call it once an entry.
inline void* voz_PMitem(const _PAGEMEMCTL* control, int32_t index) {
    assert(control != nullptr && index >= 0);
    const uint32_t n = static_cast<uint32_t>(control->itemsPerPage);
    const uint32_t i = static_cast<uint32_t>(index);
    uint32_t page, slot;
    if ((n & (n - 1)) == 0) {
        page = i >> __builtin_ctz(n);
        slot = i & (n - 1);
    } else {
        page = i / n;
        slot = i % n;
    }
    assert(static_cast<int32_t>(page) < control->used);
    return static_cast<char*>(control->pages[page]) +
           static_cast<size_t>(slot) * static_cast<size_t>(control->itemSize);
}

// Frees the pages and the control and clears *controlPointer; null is fine.
void voz_PMfree(_PAGEMEMCTL** controlPointer);

#endif  // VOZ_PAGEDARRAY_HPP
