// voz_object.cpp - the root class CVozObject and the in-place sorts of
// 32-bit arrays (CVozFunctions).
//
// The sort is a quicksort over an explicit stack of (low, high) pairs; the
// smaller part is pushed last (popped first), so the stack never holds
// more than about 2 log2(count) pairs.
#include "files/voz_exception.hpp"

CVozObject::~CVozObject() = default;

CVozBlockCtrlBase::~CVozBlockCtrlBase() = default;

namespace {

template <typename T>
void sortInPlace(T* a, int32_t count) {
    if (a == nullptr || count < 2) return;
    struct Range {
        int32_t low, high;
    };
    // Smaller part on top: at most one pending pair per halving plus one.
    Range stack[2 * 32 + 2];
    int32_t top = 0;
    stack[top++] = {0, count - 1};
    while (top > 0) {
        Range r = stack[--top];
        if (r.low >= r.high) continue;
        T pivot = a[r.low + (r.high - r.low) / 2];
        int32_t i = r.low, j = r.high;
        do {
            while (a[i] < pivot) ++i;
            while (a[j] > pivot) --j;
            if (i <= j) {
                T t = a[i];
                a[i] = a[j];
                a[j] = t;
                ++i;
                --j;
            }
        } while (i <= j);
        if (r.high - i > j - r.low) {
            stack[top++] = {i, r.high};
            stack[top++] = {r.low, j};
        } else {
            stack[top++] = {r.low, j};
            stack[top++] = {i, r.high};
        }
    }
}

}  // namespace

void CVozFunctions::SortINT4(int32_t* array, int32_t count, GTRSTATUS* st) {
    (void)st;
    sortInPlace(array, count);
}

void CVozFunctions::SortUINT4(uint32_t* array, int32_t count, GTRSTATUS* st) {
    (void)st;
    sortInPlace(array, count);
}
