// voz_bytebuf.cpp - growable byte buffers CVozBufferByte1 (signed bytes)
// and CVozBufferUByte1 (unsigned bytes) over the system allocator.
//
// Growth rule: a buffer that must grow to hold `need` bytes gets
// min(2 * need, need + 65536) bytes, at least 256.  A failed reallocation
// throws (11, errcode) and keeps the old bytes and capacity.
#include <cstdlib>
#include <cstring>

#include "files/voz_exception.hpp"

namespace {

constexpr int64_t kMinCapacity = 256;
constexpr int64_t kMaxStep = 65536;

int64_t grownCapacity(int64_t need) {
    int64_t cap = need + (need < kMaxStep ? need : kMaxStep);
    return cap < kMinCapacity ? kMinCapacity : cap;
}

}  // namespace

template <typename T>
CVozBufferBase<T>::~CVozBufferBase() {
    free(data);
}

template <typename T>
void CVozBufferBase<T>::Grow(int64_t newCapacity) {
    if (newCapacity > INT32_MAX) newCapacity = INT32_MAX;
    if (newCapacity <= capacity) throw CVozException(VOZ_RC_MEMORY, errcode);
    void* p = realloc(data, static_cast<size_t>(newCapacity));
    if (p == nullptr) throw CVozException(VOZ_RC_MEMORY, errcode);
    data = static_cast<T*>(p);
    capacity = static_cast<int32_t>(newCapacity);
}

template <typename T>
void CVozBufferBase<T>::Extend(int32_t n) {
    if (static_cast<int64_t>(capacity) >= static_cast<int64_t>(length) + n) {
        return;
    }
    Grow(grownCapacity(static_cast<int64_t>(n) + capacity));
}

template <typename T>
int32_t CVozBufferBase<T>::Add(const void* bytes, int32_t n) {
    if (n <= 0) return length;
    if (static_cast<int64_t>(length) + n > capacity) {
        if (static_cast<int64_t>(capacity) + n > INT32_MAX) {
            throw CVozException(VOZ_RC_MEMORY, errcode);  // beyond 2 GB
        }
        Extend(capacity + n);
    }
    if (static_cast<int64_t>(length) + n > capacity) {
        throw CVozException(VOZ_RC_MEMORY, errcode);  // beyond 2 GB
    }
    memcpy(data + length, bytes, static_cast<size_t>(n));
    length += n;
    return length;
}

template <typename T>
void CVozBufferBase<T>::Allocate(int32_t n) {
    if (n > capacity) Grow(grownCapacity(n));
    length = 0;
}

template class CVozBufferBase<int8_t>;
template class CVozBufferBase<uint8_t>;

CVozBufferByte1::~CVozBufferByte1() = default;
CVozBufferUByte1::~CVozBufferUByte1() = default;
