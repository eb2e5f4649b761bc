// voz_keycache.hpp -- the bytes of an open key file kept in memory for
// the life of the open, so that the key lookups of a search, and those of
// later searches on a kept search handle, do not read the same key runs
// again.
//
// Only a reader whose key file cannot change while it is open may start a
// cache: a search set, whose sub-index directory a commit never writes
// into (a commit, rename, deletion or rebuild puts a new directory at the
// path instead; search/voz_srchopen.cpp checks that by its pins and closes
// the set, ending the cache, when the directory changed).
//
// The cache covers the whole file in 4096-byte pages loaded on first use:
// a read that meets pages not yet loaded reads each gap of them from the
// file in one piece, then copies from memory. A read through the cache
// gives the bytes and the item count that the same read of the file gives;
// reads without an offset continue after the last read as the file would.
// A failed or short page load leaves those pages unloaded and the read is
// made from the file as without a cache.
#ifndef VOZ_KEYCACHE_HPP
#define VOZ_KEYCACHE_HPP

#include <cstddef>
#include <cstdint>

struct GTRSTATUS;
struct VozReadReasons;
struct _FCTLHEAD;

// Largest key file that a cache takes (bytes); a larger one is read from
// the file as before.
constexpr int64_t VOZ_KEYCACHE_MAX_BYTES = 64LL << 20;

// Starts a cache over the open key file of `fs` (REQUIRES: fs owns its key
// file, no cache yet). Does nothing when the file is larger than
// VOZ_KEYCACHE_MAX_BYTES, cannot be measured or memory is short: a cache is
// an optimisation and its absence no error.
void voz_KeyCacheStart(_FCTLHEAD* fs);

// Frees the cache of `fs`, if any. Harmless twice. The caller ends the
// cache whenever it closes the key file.
void voz_KeyCacheEnd(_FCTLHEAD* fs);

// Serves a read of voz_KeyFileReadAt from the cache of `fs`. Returns the
// whole items read, or -1 after a failure recorded like the file read's;
// -2 when the cache cannot serve it (the caller reads the file).
int64_t voz_KeyCacheRead(const _FCTLHEAD* fs, int64_t offset, void* buf,
                         size_t size, size_t count, const VozReadReasons& r,
                         GTRSTATUS* st);

#endif  // VOZ_KEYCACHE_HPP
