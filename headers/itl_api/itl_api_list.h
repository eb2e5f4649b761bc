/* itl_api_list.h: list and iterator handles.
 *
 * Result lists, highlight lists and thesaurus output lists reach the
 * caller as list handles; the caller walks them with iterator handles made
 * from them, and reads the current element with the element function of
 * the list's kind. Iterators are deleted before their list: once the list
 * is gone, itlHandleDeleteIterator refuses the iterator (16) and
 * itlListIteratorIsValid answers false. The navigation functions
 * (IsAtFirst .. SetToPrevious) answer false for a null iterator or one
 * whose list is gone.
 */
#ifndef ITL_API_LIST_H
#define ITL_API_LIST_H

#include <stdbool.h>
#include <stdint.h>

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A list of results, highlights or thesaurus terms. */
typedef struct ItlStListHandle* ItlTyListHandle;
/* A position in a list. */
typedef struct ItlStIteratorHandle* ItlTyIteratorHandle;

/* Destroys the list (its iterators become invalid) and sets *list to null.
 * Null pointer or handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteList(ItlTyListHandle* list);
/* Null list: 16; null count: 8 with reason 25. */
ITL_API_EXPORT ItlEnReturnCode itlListObtainNumberOfElements(
    ItlTyListHandle list, uint32_t* count);
/* A new iterator at the first element. Null list: 16; null output: 8 with
 * reason 25. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewIterator(
    ItlTyListHandle list, ItlTyIteratorHandle* iterator);
/* Null pointer or handle, or a list already deleted: 16 (the iterator is
 * then left as it is). */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteIterator(
    ItlTyIteratorHandle* iterator);
/* False for a null iterator, an iterator of a deleted list, or one past
 * the end. */
ITL_API_EXPORT bool itlListIteratorIsValid(ItlTyIteratorHandle iterator);
ITL_API_EXPORT bool itlListIteratorIsAtFirst(ItlTyIteratorHandle iterator);
ITL_API_EXPORT bool itlListIteratorIsAtLast(ItlTyIteratorHandle iterator);
ITL_API_EXPORT bool itlListIteratorSetToFirst(ItlTyIteratorHandle iterator);
ITL_API_EXPORT bool itlListIteratorSetToLast(ItlTyIteratorHandle iterator);
ITL_API_EXPORT bool itlListIteratorSetToNext(ItlTyIteratorHandle iterator,
                                             uint32_t steps);
ITL_API_EXPORT bool itlListIteratorSetToPrevious(ItlTyIteratorHandle iterator,
                                                 uint32_t steps);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_LIST_H */
