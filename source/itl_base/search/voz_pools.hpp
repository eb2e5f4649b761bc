// voz_pools.hpp -- occurrence and posting pools of a range word: every key
// of a from-to range held at once. A key with hits in more than one
// document keeps a posting control (PCTLHEAD) in a posting pool; a key with
// one hit is reduced to one SHORTOCC pair in a pair pool. Each posting pool
// keeps an order array of its entries sorted by their current pair; two
// pool orders keep the pools sorted by their head, so the smallest hit of
// the whole range is always at the head of the first pool in order.
//
// Posting-pool block (blockSize bytes, zeroed):
//   [0, nextFree)           _KEYPAIR entries, growing upwards
//   [nextFree, freeEnd)     free space
//   [freeEnd, blockSize)    the entries' read-buffer shares, carved downwards
// Entries per pool: blockSize / sizeof(_KEYPAIR) (the record's real size).
//
// Hits: without VVGs one hit per (key, document) at position 1; with VVGs
// one per document at the key's first position there. Exhausted entries,
// pools and pairs carry document 0x7FFFFFFF.
//
// Limits: 13 pool slots of each kind; posting pools double from 8192 bytes
// and stay below 0x2400000 bytes in all (130/387); pair pools double from
// 1024 pairs up to 0x240000 pairs (130/390, 130/389 with VVGs).
#ifndef VOZ_POOLS_HPP
#define VOZ_POOLS_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"
#include "search/voz_shortword.hpp"

struct GTRSTATUS;

constexpr int32_t VOZ_POOL_SLOTS = 13;
constexpr int32_t VOZ_PCTLPOOL_FIRST = 8192;          // bytes
constexpr int32_t VOZ_PCTLPOOL_TOTAL = 0x2400000;     // bytes, all pools
constexpr int32_t VOZ_SOCCPOOL_FIRST = 1024;          // pairs
constexpr int32_t VOZ_SOCCPOOL_MAX = 0x240000;        // pairs
constexpr int32_t VOZ_POOL_SHARE_MAX = 4096;          // read-buffer bytes

// One posting-pool entry: the key's current hit, and its posting control,
// which stands one hit ahead (its next hit; document 0x7FFFFFFF for none).
struct _KEYPAIR {
    SHORTOCC pair;
    PCTLHEAD pctl;
};

struct _PCTLPOOL {
    uint8_t* block;          // blockSize bytes; null once ended
    int32_t nextFree;        // byte offset of the next free entry
    int32_t freeEnd;         // byte offset of the end of free space
    int32_t active;          // entries not exhausted: order[0 .. active-1]
    int32_t* order;          // entry indexes, blockSize / sizeof(_KEYPAIR)
    int32_t blockSize;
};

struct _SOCCPOOL {
    SHORTOCC* pairs;         // capacity pairs; null once ended
    int32_t capacity;
    int32_t left;            // pairs from the cursor on
    int32_t cursor;          // index of the current pair
};

struct _POOLCTL {
    _PCTLPOOL* pctlPools;    // VOZ_POOL_SLOTS
    int32_t pctlCount;       // slots opened
    _SOCCPOOL* soccPools;    // VOZ_POOL_SLOTS
    int32_t soccCount;       // slots opened
    int32_t* pctlOrder;      // pool indexes; pctlActive in use
    int32_t* soccOrder;      // pool indexes; soccActive in use
    int32_t slots;           // VOZ_POOL_SLOTS
    int32_t pctlActive;      // pools not exhausted, at the front of the order
    int32_t soccActive;
};

// Memory: 11/379, 11/380, 11/381, 11/382 (what was made is ended).
void voz_PoolCtlInit(_POOLCTL* pc, GTRSTATUS* st);
void voz_PoolCtlTerm(_POOLCTL* pc, GTRSTATUS* st);
// Memory: 11/392 (block), 11/378 (entry order).
void voz_PctlPoolInit(_PCTLPOOL* p, int32_t size, GTRSTATUS* st);
// Ends every entry's posting control (first failure kept), frees the pool.
void voz_PctlPoolTerm(_PCTLPOOL* p, GTRSTATUS* st);
// Memory: 11/383.
void voz_SOccPoolInit(_SOCCPOOL* p, int32_t capacity, GTRSTATUS* st);
void voz_SOccPoolTerm(_SOCCPOOL* p, GTRSTATUS* st);

// Adds one key (its head record, host order) to the pools: a posting-pool
// entry when it has a second hit, else one pair. Pools exhausted: 130/387,
// 130/390 (130/389 with VVGs); the posting reader's errors pass through.
void voz_NumSearch(_POOLCTL* pc, const KEY_REC* key, IDXINFO* index,
                   GTRSTATUS* st);

// Null target: the head entry takes its next hit and is put back in order.
// Else every entry before the target moves to its first hit at or after it.
void voz_PointPctlPoolSkip(_PCTLPOOL* p, const SHORTOCC* target,
                           IDXINFO* index, GTRSTATUS* st);
// Null target: the cursor pair is consumed. Else the cursor moves to the
// first remaining pair at or after the target (exhausted when none).
void voz_PointSOccPoolSkip(_SOCCPOOL* p, const SHORTOCC* target,
                           GTRSTATUS* st);

// Ascending by pair: entry order of a pool, pool orders by head.
void voz_SortKeyPairIX(_KEYPAIR* entries, int32_t* order, int32_t n,
                       GTRSTATUS* st);
void voz_SortPctlPoolIX(_PCTLPOOL* pools, int32_t* order, int32_t n,
                        GTRSTATUS* st);
void voz_SortSOccPoolIX(_SOCCPOOL* pools, int32_t* order, int32_t n,
                        GTRSTATUS* st);

// Order repairs after the first n of the *active elements moved: exhausted
// ones go behind (and *active drops), the others are inserted before the
// first later element not below them.
void voz_KeepOrderPctlPoolIX(int32_t* active, int32_t n, int32_t* order,
                             _PCTLPOOL* pools);
void voz_KeepOrderSOccPoolIX(int32_t* active, int32_t n, int32_t* order,
                             _SOCCPOOL* pools);
void voz_KeepOrderKeyPairIX(int32_t* active, int32_t n, int32_t* order,
                            _KEYPAIR* entries);

// Head pair of a pool (document 0x7FFFFFFF when it is exhausted).
SHORTOCC voz_PctlPoolHead(const _PCTLPOOL* p);
SHORTOCC voz_SOccPoolHead(const _SOCCPOOL* p);
// Entry i of a posting pool.
inline _KEYPAIR* voz_PoolEntries(const _PCTLPOOL* p) {
    return reinterpret_cast<_KEYPAIR*>(p->block);
}

#endif  // VOZ_POOLS_HPP
