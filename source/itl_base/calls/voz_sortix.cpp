// voz_sortix.cpp -- quicksorts with an explicit stack of ranges.
//
// The middle element is the pivot; after a partition the smaller side is
// pushed last (handled first), so at most log2(count) ranges wait.
#include "calls/voz_sortix.hpp"

#include <utility>

namespace {

// Quicksort of positions [0, count): less(i, j) compares the elements at
// positions i and j, swap(i, j) exchanges them.
template <class Less, class Swap>
void quickSort(int32_t count, Less less, Swap swap) {
    struct Range {
        int32_t lo, hi;  // inclusive
    };
    Range stack[64];
    int top = 0;
    stack[top++] = {0, count - 1};
    while (top > 0) {
        Range r = stack[--top];
        while (r.lo < r.hi) {
            int32_t mid = r.lo + (r.hi - r.lo) / 2;
            swap(mid, r.hi);  // pivot kept at r.hi during the partition
            // Both sides stop at elements equal to the pivot and swap them,
            // so runs of equal keys split evenly.
            int32_t i = r.lo;
            int32_t j = r.hi - 1;
            for (;;) {
                while (i <= j && less(i, r.hi)) ++i;
                while (i <= j && less(r.hi, j)) --j;
                if (i >= j) break;
                swap(i++, j--);
            }
            const int32_t store = i;
            swap(store, r.hi);
            // Smaller side now, larger side on the stack.
            if (store - r.lo < r.hi - store) {
                stack[top++] = {store + 1, r.hi};
                r.hi = store - 1;
            } else {
                stack[top++] = {r.lo, store - 1};
                r.lo = store + 1;
            }
        }
    }
}

bool eventLess(const VOZFLDEVENT& a, const VOZFLDEVENT& b) {
    if (a.fld_number != b.fld_number) return a.fld_number < b.fld_number;
    if (a.position != b.position) return a.position < b.position;
    return a.kind < b.kind;
}

}  // namespace

void vozSortDocIX(uint32_t* keys, int32_t* values, int32_t count) {
    if (keys == nullptr || values == nullptr || count < 2) return;
    quickSort(
        count, [&](int32_t i, int32_t j) { return keys[i] < keys[j]; },
        [&](int32_t i, int32_t j) {
            std::swap(keys[i], keys[j]);
            std::swap(values[i], values[j]);
        });
}

void vozSortFieldInfoIX(const VOZFLDEVENT* events, int32_t* ix,
                        int32_t count) {
    if (events == nullptr || ix == nullptr || count < 2) return;
    quickSort(
        count,
        [&](int32_t i, int32_t j) { return eventLess(events[ix[i]], events[ix[j]]); },
        [&](int32_t i, int32_t j) { std::swap(ix[i], ix[j]); });
}
