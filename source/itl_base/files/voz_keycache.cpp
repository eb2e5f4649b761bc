// voz_keycache.cpp -- the key-file cache of an open search set (see
// voz_keycache.hpp).
#include "files/voz_keycache.hpp"

#include <cstdlib>
#include <cstring>
#include <new>

#include "files/voz_file.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_names.hpp"

struct VOZKEYCACHE {
    int64_t length = 0;      // bytes of the key file when the cache started
    int64_t next = -1;       // offset after the last read served here; -1:
                             // the file's own position holds (a file read
                             // came last, or nothing was read yet)
    uint8_t* bytes = nullptr;  // `length` bytes; a page is valid once loaded
    uint8_t* loaded = nullptr; // one flag per page
};

namespace {

constexpr int64_t kPage = 4096;

VOZKEYCACHE* cacheOf(const _FCTLHEAD* fs) {
    const _FCTLHEAD* owner = fs->sharedFrom != nullptr ? fs->sharedFrom : fs;
    return owner->keyCache;
}

// Reads pages [first, last] that are not loaded yet, each gap in one read.
// False when a read failed or came short: those pages stay unloaded.
bool loadPages(VOZKEYCACHE* c, FILE_CONTROL* f, int64_t first, int64_t last) {
    for (int64_t p = first; p <= last;) {
        if (c->loaded[p] != 0) {
            ++p;
            continue;
        }
        int64_t q = p;
        while (q + 1 <= last && c->loaded[q + 1] == 0) ++q;
        const int64_t from = p * kPage;
        int64_t to = (q + 1) * kPage;
        if (to > c->length) to = c->length;
        const size_t want = static_cast<size_t>(to - from);
        if (voz_XXseek64(f, from, 0) != 0 ||
            voz_XXread(c->bytes + from, 1, want, f) != want)
            return false;
        memset(c->loaded + p, 1, static_cast<size_t>(q - p + 1));
        p = q + 1;
    }
    return true;
}

}  // namespace

void voz_KeyCacheStart(_FCTLHEAD* fs) {
    FILE_CONTROL* f = fs->keyFile;
    if (f == nullptr || fs->sharedFrom != nullptr || fs->keyCache != nullptr)
        return;
    const int64_t at = voz_XXtell64(f);
    if (at < 0 || voz_XXseek64(f, 0, 2) != 0) return;
    const int64_t length = voz_XXtell64(f);
    if (voz_XXseek64(f, at, 0) != 0) return;
    if (length <= 0 || length > VOZ_KEYCACHE_MAX_BYTES) return;
    VOZKEYCACHE* c = new (std::nothrow) VOZKEYCACHE;
    if (c == nullptr) return;
    c->length = length;
    // Pages are touched only when loaded: a large block from the allocator
    // costs address space, not memory, until then.
    c->bytes = static_cast<uint8_t*>(malloc(static_cast<size_t>(length)));
    c->loaded = static_cast<uint8_t*>(
        calloc(static_cast<size_t>((length + kPage - 1) / kPage), 1));
    if (c->bytes == nullptr || c->loaded == nullptr) {
        free(c->bytes);
        free(c->loaded);
        delete c;
        return;
    }
    fs->keyCache = c;
}

void voz_KeyCacheEnd(_FCTLHEAD* fs) {
    VOZKEYCACHE* c = fs->keyCache;
    if (c == nullptr) return;
    free(c->bytes);
    free(c->loaded);
    delete c;
    fs->keyCache = nullptr;
}

int64_t voz_KeyCacheRead(const _FCTLHEAD* fs, int64_t offset, void* buf,
                         size_t size, size_t count, const VozReadReasons&,
                         GTRSTATUS*) {
    VOZKEYCACHE* c = cacheOf(fs);
    if (c == nullptr) return -2;
    if (offset < 0) {
        if (c->next < 0) return -2;  // the file stands where the reader left it
        offset = c->next;
    }
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    if (f == nullptr || size == 0 || count == 0) {
        c->next = -1;
        return -2;
    }
    const int64_t want = static_cast<int64_t>(size * count);
    int64_t end = offset + want;
    if (end > c->length || end < offset) end = c->length;
    const int64_t avail = end > offset ? end - offset : 0;
    if (avail > 0 &&
        !loadPages(c, f, offset / kPage, (offset + avail - 1) / kPage)) {
        c->next = -1;  // the caller reads the file, which moves its position
        return -2;
    }
    if (avail > 0) memcpy(buf, c->bytes + offset, static_cast<size_t>(avail));
    c->next = offset + avail;
    return avail / static_cast<int64_t>(size);
}
