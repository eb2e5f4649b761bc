// voz_scope.hpp -- an earlier memory result as the scope of a search: its
// documents delivered in ascending document order, whatever order the
// result holds them in (a ranked result is sorted through an order list).
//
// voz_ScopeOpen -> voz_ScopeRead with non-decreasing targets ->
// voz_ScopeClose. The scope reads a copy of the result record, so the
// caller's result handle keeps its own reading state.
#ifndef VOZ_SCOPE_HPP
#define VOZ_SCOPE_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSEARCH_RES;
struct GTRSTATUS;

// Opens the scope over scope->res_handle (no memory 11/289, 11/290; read
// failures of the result handle). On failure the copy is closed again.
void voz_ScopeOpen(const GTRSEARCH_RES* scope, SCOPECTL* ctl, GTRSTATUS* st);

// The first scope document >= target; -1 when the scope is exhausted (the
// status stays clear) or a read failed (the status says why).
int32_t voz_ScopeRead(SCOPECTL* ctl, int32_t target, GTRSTATUS* st);

// Closes the copy and frees the order list; null does nothing. Never
// changes the status.
void voz_ScopeClose(SCOPECTL* ctl, GTRSTATUS* st);

// Sorts `count` pairs ascending by document number (unsigned).
void voz_SortScopeDoc(SCOPEDOCORDER* pairs, int32_t count, GTRSTATUS* st);

#endif  // VOZ_SCOPE_HPP
