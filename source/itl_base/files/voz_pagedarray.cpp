// voz_pagedarray.cpp -- paged arrays (see voz_pagedarray.hpp).
#include "files/voz_pagedarray.hpp"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

struct VOZPAGEPOOL {
    std::mutex lock;
    std::vector<void*> free;   // cached pages
    int32_t inUse = 0;         // pages handed out and not given back
    int32_t holders = 1;       // the owner while it keeps the pool, and
                               // every array made with it
    bool owned = true;         // false once the owner gave it up
};

namespace {

thread_local VOZPAGEPOOL* t_currentPool = nullptr;

// A 64 KB page: from the pool when it has one.
void* takePage(VOZPAGEPOOL* pool) {
    if (pool != nullptr) {
        std::lock_guard<std::mutex> g(pool->lock);
        if (!pool->free.empty()) {
            void* page = pool->free.back();
            pool->free.pop_back();
            ++pool->inUse;
            return page;
        }
    }
    void* page = malloc(VOZ_PM_PAGE_SIZE);
    if (page != nullptr && pool != nullptr) {
        std::lock_guard<std::mutex> g(pool->lock);
        ++pool->inUse;
    }
    return page;
}

// Gives a 64 KB page back: to the pool while its owner keeps it and it
// has room, else to the system.
void givePage(VOZPAGEPOOL* pool, void* page) {
    if (page == nullptr) return;
    if (pool != nullptr) {
        std::lock_guard<std::mutex> g(pool->lock);
        --pool->inUse;
        if (pool->owned && static_cast<int32_t>(pool->free.size()) < VOZ_PM_POOL_PAGES) {
            pool->free.push_back(page);
            return;
        }
    }
    free(page);
}

// Drops one holder of the pool; the last one frees it.
void dropHolder(VOZPAGEPOOL* pool) {
    bool last;
    {
        std::lock_guard<std::mutex> g(pool->lock);
        last = --pool->holders == 0;
    }
    if (!last) return;
    for (void* page : pool->free) free(page);
    delete pool;
}

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
// block of twice the size before, or more when that is still short. A full
// page comes from the array's pool.
bool growFirstPage(_PAGEMEMCTL* c, int64_t bytes) {
    if (c->firstBytes >= bytes) return true;
    int64_t want = std::max<int64_t>(2 * static_cast<int64_t>(c->firstBytes),
                                     kFirstPageBytes);
    want = std::min<int64_t>(std::max(want, bytes), VOZ_PM_PAGE_SIZE);
    void* page;
    if (want == VOZ_PM_PAGE_SIZE && c->pool != nullptr) {
        page = takePage(c->pool);
        if (page == nullptr) return false;
        if (c->firstBytes > 0)
            memcpy(page, c->pages[0], static_cast<size_t>(c->firstBytes));
        free(c->pages[0]);
    } else {
        page = realloc(c->pages[0], static_cast<size_t>(want));
    }
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
        c->pool = t_currentPool;
        if (c->pool != nullptr) {
            std::lock_guard<std::mutex> g(c->pool->lock);
            ++c->pool->holders;
        }
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
        void* page = takePage(c->pool);
        if (page == nullptr) return 11;
        c->pages[c->used++] = page;
    }
    while (c->used > needed) {
        --c->used;
        givePage(c->pool, c->pages[c->used]);
        c->pages[c->used] = nullptr;
    }
    return 0;
}

void voz_PMfree(_PAGEMEMCTL** controlPointer) {
    _PAGEMEMCTL* c = *controlPointer;
    if (c == nullptr) return;
    for (int32_t i = 0; i < c->used; ++i) {
        // Page 0 is a full page of the pool only once it grew to one.
        if (i == 0 && (c->pool == nullptr || c->firstBytes != VOZ_PM_PAGE_SIZE))
            free(c->pages[0]);
        else
            givePage(c->pool, c->pages[i]);
    }
    if (c->pool != nullptr) dropHolder(c->pool);
    free(c->pages);
    free(c);
    *controlPointer = nullptr;
}

VOZPAGEPOOL* voz_PMpoolNew() { return new (std::nothrow) VOZPAGEPOOL(); }

void voz_PMpoolRelease(VOZPAGEPOOL* pool) {
    if (pool == nullptr) return;
    std::vector<void*> cached;
    {
        std::lock_guard<std::mutex> g(pool->lock);
        pool->owned = false;
        cached.swap(pool->free);
    }
    for (void* page : cached) free(page);
    dropHolder(pool);
}

int32_t voz_PMpoolCached(const VOZPAGEPOOL* pool) {
    auto* p = const_cast<VOZPAGEPOOL*>(pool);
    std::lock_guard<std::mutex> g(p->lock);
    return static_cast<int32_t>(p->free.size());
}

int32_t voz_PMpoolInUse(const VOZPAGEPOOL* pool) {
    auto* p = const_cast<VOZPAGEPOOL*>(pool);
    std::lock_guard<std::mutex> g(p->lock);
    return p->inUse;
}

VozPagePoolScope::VozPagePoolScope(VOZPAGEPOOL* pool) : previous_(t_currentPool) {
    t_currentPool = pool;
}

VozPagePoolScope::~VozPagePoolScope() { t_currentPool = previous_; }
