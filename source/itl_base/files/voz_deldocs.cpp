// voz_deldocs.cpp -- deleted-document lists (see voz_deldocs.hpp).
#include "files/voz_deldocs.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "files/voz_bigendian.hpp"
#include "files/voz_file.hpp"
#include "files/voz_keyrec.hpp"

namespace {

// Numbers converted per read or write, so that no transfer passes 2 GB.
constexpr uint32_t kChunk = 16384;

}  // namespace

CVozDeletedDocs::CVozDeletedDocs()
    : m_count(0), m_numbers(nullptr), m_capacity(0) {
    memset(m_header, 0, sizeof m_header);
}

CVozDeletedDocs::~CVozDeletedDocs() { free(m_numbers); }

// Reads N from the header and the N numbers after it. REQUIRES: open file.
void CVozDeletedDocs::readNumbers() {
    Read(m_header, VOZ_DELDOCS_HEADER_SIZE);
    uint32_t n = voz_getBE32(m_header);
    if (n == 0) return;
    // N comes from disk: a list longer than the file is a short read, found
    // before the memory for it is taken.
    Seek(0, 2);
    int64_t end = Tell();
    if (end - VOZ_DELDOCS_HEADER_SIZE < 4 * static_cast<int64_t>(n))
        throw CVozException(VOZ_RC_READ, 3353, Name());
    Seek(VOZ_DELDOCS_HEADER_SIZE, 0);
    uint32_t* numbers = static_cast<uint32_t*>(malloc(sizeof(uint32_t) * n));
    if (numbers == nullptr) throw CVozException(VOZ_RC_MEMORY, 3451);
    free(m_numbers);
    m_numbers = numbers;
    m_capacity = n;
    uint8_t raw[4 * kChunk];
    for (uint32_t done = 0; done < n;) {
        uint32_t k = std::min(kChunk, n - done);
        Read(raw, static_cast<int32_t>(4 * k));
        for (uint32_t i = 0; i < k; ++i) numbers[done + i] = voz_getBE32(raw + 4 * i);
        done += k;
    }
    m_count = n;
}

// Runs `step` on the open file, closes the file whatever happened and
// throws the first failure.
void CVozDeletedDocs::runThenClose(void (CVozDeletedDocs::*step)()) {
    CVozException first;
    try {
        (this->*step)();
    } catch (CVozException& e) {
        first = e;
    }
    try {
        Close();
    } catch (CVozException& e) {
        if (first.retcode == 0) first = e;
    }
    if (first.retcode != 0) throw first;
}

void CVozDeletedDocs::Internalize(const char* name) {
    if (voz_access(name) != 0) return;  // no list yet
    Open(name, "rb");
    runThenClose(&CVozDeletedDocs::readNumbers);
}

// Writes the header and the numbers. REQUIRES: open file.
void CVozDeletedDocs::writeNumbers() {
    voz_putBE32(m_header, m_count);
    Write(m_header, VOZ_DELDOCS_HEADER_SIZE);
    uint8_t raw[4 * kChunk];
    for (uint32_t done = 0; done < m_count;) {
        uint32_t k = std::min(kChunk, m_count - done);
        for (uint32_t i = 0; i < k; ++i) voz_putBE32(raw + 4 * i, m_numbers[done + i]);
        Write(raw, static_cast<int32_t>(4 * k));
        done += k;
    }
}

void CVozDeletedDocs::Externalize(const char* name) {
    if (m_count == 0) return;
    Open(name, "wb");
    runThenClose(&CVozDeletedDocs::writeNumbers);
}

// Merges k ascending unique numbers (not in the list's array) into the
// list, skipping those already listed. REQUIRES: capacity >= count + k.
void CVozDeletedDocs::mergeSorted(const uint32_t* fresh, uint32_t k) {
    uint32_t* a = m_numbers;
    int64_t i = static_cast<int64_t>(m_count) - 1, j = static_cast<int64_t>(k) - 1;
    int64_t w = static_cast<int64_t>(m_count) + k;  // fill from the end
    while (j >= 0) {
        if (i >= 0 && a[i] >= fresh[j]) {
            if (a[i] == fresh[j]) --j;  // already listed
            a[--w] = a[i--];
        } else {
            a[--w] = fresh[j--];
        }
    }
    // a[0 .. i] are still in place; close the gap left by skipped numbers.
    int64_t tail = static_cast<int64_t>(m_count) + k - w;
    if (w != i + 1)
        memmove(a + i + 1, a + w, sizeof(uint32_t) * static_cast<size_t>(tail));
    m_count = static_cast<uint32_t>(i + 1 + tail);
}

void CVozDeletedDocs::RegisterDeletedDocs(const uint32_t* numbers, uint32_t n) {
    if (n == 0) return;
    if (n > 0x7FFFFFFFu || m_count > 0xFFFFFFFFu - n)
        throw CVozException(VOZ_RC_MEMORY, 3452);
    if (m_count + n > m_capacity) {
        uint64_t want = static_cast<uint64_t>(m_capacity) + std::max(n, 256u);
        if (want > 0xFFFFFFFFu) throw CVozException(VOZ_RC_MEMORY, 3452);
        void* p = realloc(m_numbers, sizeof(uint32_t) * want);
        if (p == nullptr) throw CVozException(VOZ_RC_MEMORY, 3452);
        m_numbers = static_cast<uint32_t*>(p);
        m_capacity = static_cast<uint32_t>(want);
    }
    uint32_t* fresh = m_numbers + m_count;  // room behind the last entry
    memcpy(fresh, numbers, sizeof(uint32_t) * n);
    GTRSTATUS unused{};
    CVozFunctions::SortUINT4(fresh, static_cast<int32_t>(n), &unused);
    if (fresh[n - 1] > VOZ_MAX_DOCID)
        throw CVozException(VOZ_RC_DOCNO_RANGE,
                            static_cast<int32_t>(fresh[n - 1]));
    uint32_t k = static_cast<uint32_t>(std::unique(fresh, fresh + n) - fresh);
    if (m_count == 0) {
        m_count = k;
        return;
    }
    // The merge fills the array from its end, over the fresh numbers: work
    // from a copy of them.
    uint32_t* copy = static_cast<uint32_t*>(malloc(sizeof(uint32_t) * k));
    if (copy == nullptr) throw CVozException(VOZ_RC_MEMORY, 3452);
    memcpy(copy, fresh, sizeof(uint32_t) * k);
    mergeSorted(copy, k);
    free(copy);
}
