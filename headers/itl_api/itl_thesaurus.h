/* itl_thesaurus.h: thesaurus lookups (libvqxthes).
 *
 * A lookup handle names one compiled thesaurus dictionary (a directory
 * specification and a dictionary name) and holds the settings of its
 * lookups: the relations followed, the most terms returned, the depth, the
 * minimum strength and the mask characters. A lookup hands back a list
 * (itl_api_list.h) of related terms, walked with iterators and read with
 * itlThesaurusEntryObtainData; lists and iterators are deleted with
 * itlHandleDeleteList and itlHandleDeleteIterator. Errors are recorded in
 * the error info of the context given at creation.
 */
#ifndef ITL_THESAURUS_H
#define ITL_THESAURUS_H

#include <stdbool.h>
#include <stdint.h>

#include "itl_api_base.h"
#include "itl_api_list.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ItlStThesaurusLookupHandle* ItlTyThesaurusLookupHandle;

/* Relation types (masks of SetRelationTypes and types of AddRelation). */
#define ITL_THES_SYNONYM 0x80
#define ITL_THES_RELATED 0x40
#define ITL_THES_HIGHER 0x20
#define ITL_THES_LOWER 0x10

/* The buffer a term is copied into by itlThesaurusEntryObtainData. */
#define ITL_THES_TERM_MAX 192

/* A lookup handle on dictionary `name` in `dirspec`, whose terms are in
 * CCSID `ccsid`, returning at most `termLimit` terms. Null context: 16;
 * null handle, directory or name: reason 25; an unsupported CCSID: reason
 * 11 with the CCSID as context. */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewThesaurusLookup(
    char const* dirspec, char const* name, uint16_t ccsid, uint32_t termLimit,
    ItlTyThesaurusLookupHandle* handle, ItlTyContextHandle context);
/* Frees the handle and sets *handle to null. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteThesaurusLookup(
    ItlTyThesaurusLookupHandle* handle);
/* The relation types followed (ITL_THES_* bits); the user-defined
 * relations of the associative, higher and lower kinds follow the bits
 * 0x40, 0x20 and 0x10 too. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupSetRelationTypes(
    ItlTyThesaurusLookupHandle handle, uint8_t mask);
/* Number 0: adds `type` to the relation types. Number 1..128: adds the
 * user-defined relation `number` of type 0x40, 0x20 or 0x10. A number
 * above 128: reason 341; another type with a number: reason 342. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupAddRelation(
    ItlTyThesaurusLookupHandle handle, uint8_t type, uint16_t number);
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupSetTermLimit(
    ItlTyThesaurusLookupHandle handle, uint32_t limit);
/* 0 means 10. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupSetDepth(
    ItlTyThesaurusLookupHandle handle, uint16_t depth);
/* Above 100: reason 340, the old strength kept. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupSetStrength(
    ItlTyThesaurusLookupHandle handle, uint8_t strength);
/* One character each (length 0 or 1); a longer single mask: reason 360, a
 * longer multiple mask: reason 361. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupSetMasks(
    ItlTyThesaurusLookupHandle handle, char const* singleMask,
    uint32_t singleLength, char const* multipleMask, uint32_t multipleLength);
/* Looks up `term` (at most 64 bytes, else reason 343) into a new list. A
 * lookup cut at the term limit succeeds (see ObtainResultInformation). */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupPerform(
    ItlTyThesaurusLookupHandle handle, ItlTyListHandle* list, char const* term,
    uint32_t termLength);
/* The dictionary's top terms into a new list; the handle's settings are
 * not changed. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupObtainHighestTerms(
    ItlTyThesaurusLookupHandle handle, ItlTyListHandle* list);
/* The live words and groups of the dictionary. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupObtainProperties(
    ItlTyThesaurusLookupHandle handle, uint32_t* words, uint32_t* groups);
/* The terms of the last lookup, and whether it was complete (not cut at
 * the term limit). */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusLookupObtainResultInformation(
    ItlTyThesaurusLookupHandle handle, uint32_t* count, bool* complete);
/* The current entry of an iterator over a lookup's list: the term (at most
 * ITL_THES_TERM_MAX bytes, not terminated) and its length, the strength of
 * the relation that reached it, its depth, the relation kind (1 synonym,
 * 2 related, 3 higher, 4 lower, 5..7 user-defined associative, higher,
 * lower) and the user relation number. An iterator that is not valid: 8. */
ITL_API_EXPORT ItlEnReturnCode itlThesaurusEntryObtainData(
    ItlTyIteratorHandle iterator, char* term, uint32_t* length,
    uint8_t* strength, uint16_t* depth, uint8_t* kind, uint16_t* number);

#ifdef __cplusplus
}
#endif

#endif /* ITL_THESAURUS_H */
