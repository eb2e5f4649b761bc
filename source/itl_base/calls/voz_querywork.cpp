// voz_querywork.cpp -- the work area of a query-text translation: lists of
// the field-range and field-weight arrays that options allocate
// (voz_querywork.hpp).
#include <cstdlib>

#include "calls/voz_querywork.hpp"

namespace {

constexpr int16_t GROW = 8;

void freeList(VOZQWLIST* list) {
    if (list->arrays != nullptr)
        for (int16_t i = 0; i < list->count; ++i) std::free(list->arrays[i]);
    std::free(list->arrays);
    list->arrays = nullptr;
}

}  // namespace

bool vozQueryWorkAdd(VOZQWLIST* list, void* array, int32_t errcode,
                     GTRSTATUS* gsp) {
    if (list->arrays == nullptr) {
        list->count = 0;
        list->capacity = 0;
    }
    if (list->count >= list->capacity) {
        if (list->capacity > INT16_MAX - GROW) {
            voz_setStatus(gsp, 11, errcode);
            return false;
        }
        size_t room = static_cast<size_t>(list->capacity + GROW);
        void* p = std::realloc(list->arrays, room * sizeof(void*));
        if (p == nullptr) {
            voz_setStatus(gsp, 11, errcode);
            return false;
        }
        list->arrays = static_cast<void**>(p);
        list->capacity = static_cast<int16_t>(room);
    }
    list->arrays[list->count++] = array;
    return true;
}

void vozQueryWorkTerm(QUERYWORK* work) {
    if (work == nullptr) return;
    freeList(&work->fieldRanges);
    freeList(&work->fieldWeights);
}
