// voz_pagedarray.cpp -- paged arrays (see voz_pagedarray.hpp).
#include "files/voz_pagedarray.hpp"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int64_t kFirstPageBytes = 1024;

// Makes the page table hold at least `needed` entries; false without memory.
bool growTable(_PAGEMEMCTL* c, int32_t needed) {
    if (c->capacity >= needed) return true;
    int64_t want = 2 * static_cast<int64_t>(c->capacity);
    if (want < needed) want = needed;
    void** t = static_cast<void**>(
        realloc(c->pages, static_cast<size_t>(want) * sizeof(void*)));
    if (t == nullptr) return false;
    memset(t + c->capacity, 0,
           static_cast<size_t>(want - c->capacity) * sizeof(void*));
    c->pages = t;
    c->capacity = static_cast<int32_t>(want);
    return true;
}

// Makes page 0 hold at least `bytes` (at most a page): a new or grown
// block of twice the size before, or more when that is still short.
bool growFirstPage(_PAGEMEMCTL* c, int64_t bytes) {
    if (c->firstBytes >= bytes) return true;
    int64_t want = std::max<int64_t>(2 * static_cast<int64_t>(c->firstBytes),
                                     kFirstPageBytes);
    want = std::min<int64_t>(std::max(want, bytes), VOZ_PM_PAGE_SIZE);
    void* page = realloc(c->pages[0], static_cast<size_t>(want));
    if (page == nullptr) return false;
    c->pages[0] = page;
    c->firstBytes = static_cast<int32_t>(want);
    return true;
}

}  // namespace

int __PM_RESIZE(_PAGEMEMCTL** controlPointer, int32_t index,
                int32_t itemSize) {
    _PAGEMEMCTL* c = *controlPointer;
    // An item larger than a page would give 0 items per page and a division
    // by zero below: refuse it before anything is allocated.
    if (index < 0) return 17;
    if (c == nullptr) {
        if (itemSize < 1 || itemSize > VOZ_PM_PAGE_SIZE) return 17;
        c = static_cast<_PAGEMEMCTL*>(calloc(1, sizeof(_PAGEMEMCTL)));
        if (c == nullptr) return 11;
        c->itemSize = itemSize;
        c->itemsPerPage = VOZ_PM_PAGE_SIZE / itemSize;
        c->bytesPerPage = c->itemsPerPage * itemSize;
        *controlPointer = c;
    }
    int32_t needed = index / c->itemsPerPage + 1;
    if (!growTable(c, needed)) return 11;
    int64_t firstNeeds =
        needed > 1 ? VOZ_PM_PAGE_SIZE
                   : (static_cast<int64_t>(index) + 1) * c->itemSize;
    if (!growFirstPage(c, firstNeeds)) return 11;
    if (c->used == 0) c->used = 1;
    while (c->used < needed) {
        void* page = malloc(VOZ_PM_PAGE_SIZE);
        if (page == nullptr) return 11;
        c->pages[c->used++] = page;
    }
    while (c->used > needed) {
        --c->used;
        free(c->pages[c->used]);
        c->pages[c->used] = nullptr;
    }
    return 0;
}

void* voz_PMitem(const _PAGEMEMCTL* control, int32_t index) {
    assert(control != nullptr && index >= 0);
    int32_t page = index / control->itemsPerPage;
    assert(page < control->used);
    return static_cast<char*>(control->pages[page]) +
           static_cast<size_t>(index % control->itemsPerPage) *
               static_cast<size_t>(control->itemSize);
}

void voz_PMfree(_PAGEMEMCTL** controlPointer) {
    _PAGEMEMCTL* c = *controlPointer;
    if (c == nullptr) return;
    for (int32_t i = 0; i < c->used; ++i) free(c->pages[i]);
    free(c->pages);
    free(c);
    *controlPointer = nullptr;
}
