// voz_qsort.hpp -- the search's one in-place sort: a quicksort without
// recursion (an explicit stack of ranges, the middle element's value as
// pivot, Hoare partition, the larger part stacked first so that the smaller
// one is sorted next). Ascending by `less`; not stable. Used for order
// arrays of posting controls, scope documents and back-reference records.
#ifndef VOZ_QSORT_HPP
#define VOZ_QSORT_HPP

#include <cstdint>
#include <utility>
#include <vector>

// Sorts a[0 .. n-1]; `less(x, y)` compares two elements. Null or fewer than
// two elements: nothing.
template <typename T, typename Less>
void voz_QuickSort(T* a, int32_t n, Less less) {
    if (a == nullptr || n < 2) return;
    std::vector<std::pair<int32_t, int32_t>> stack{{0, n - 1}};
    while (!stack.empty()) {
        auto [lo, hi] = stack.back();
        stack.pop_back();
        if (lo >= hi) continue;
        T pivot = a[lo + (hi - lo) / 2];
        int32_t i = lo, j = hi;
        while (i <= j) {
            while (less(a[i], pivot)) ++i;
            while (less(pivot, a[j])) --j;
            if (i <= j) std::swap(a[i++], a[j--]);
        }
        if (j - lo > hi - i) {
            stack.push_back({lo, j});
            stack.push_back({i, hi});
        } else {
            stack.push_back({i, hi});
            stack.push_back({lo, j});
        }
    }
}

#endif  // VOZ_QSORT_HPP
