/* itl_api_highlight.h: highlighter handles and highlight lists.
 *
 * A highlighter is made on an index handle and tells where the hits of a
 * search lie in one of the caller's documents: the caller gives the
 * document's bytes (TEXT or XML, UTF-8: CCSID 1208) and the occurrences of
 * the hits (ItlStOccurrence, positions as the index counts them, e.g. from
 * a search result), and gets a highlight list (list type 100004) with one
 * element per hit that lies in the document: its part type (100000 text,
 * 100001 comment, 100002 element markup, 100003 processing instruction)
 * and four byte offsets from the start of the caller's bytes: hit start,
 * hit end (just behind the hit), context start and context end, with
 * 0 <= context start <= hit start <= hit end <= context end <= length.
 * A byte-order mark is never inside a hit.
 *
 * The context reaches "truncation" characters before and behind each hit
 * and then to the edge of the word it stands in, at most "maximum
 * truncation" characters from the hit.
 *
 * Errors go to the error info of the index's context. The list belongs to
 * the caller, who walks it with the iterator functions (itl_api_list.h),
 * reads elements with itlHighlightElementObtainData and frees it with
 * itlHandleDeleteList. Delete the highlighter before its index handle.
 */
#ifndef ITL_API_HIGHLIGHT_H
#define ITL_API_HIGHLIGHT_H

#include <stdint.h>

#include "itl_api_base.h"
#include "itl_api_list.h"
#include "itl_occurrence.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A highlighter on one index. */
typedef struct ItlStHighlighterHandle* ItlTyHighlighterHandle;

/* Loads the index and makes a highlighter. Null index: 16; null handle
 * pointer or a handle that is not null: 8 with reason 25 (the handle is
 * left as it is). */
ITL_API_EXPORT ItlEnReturnCode itlHandleNewHighlighter(
    ItlTyIndexHandle index, uint32_t truncation, uint32_t truncationMax,
    ItlTyHighlighterHandle* highlighter);
/* Frees the highlighter and sets *highlighter to null; null pointer or
 * handle: 16. */
ITL_API_EXPORT ItlEnReturnCode itlHandleDeleteHighlighter(
    ItlTyHighlighterHandle* highlighter);
/* Restricts highlighting to the field (and the fields nested in it); may be
 * called for several fields. A name the index does not know is ignored
 * (warning 403). Null highlighter: 16; null name: 8 with reason 25. */
ITL_API_EXPORT ItlEnReturnCode itlHighlighterAddField(
    ItlTyHighlighterHandle highlighter, char const* fieldName);
/* Highlights the occurrences in the document (`modelName` null: the
 * format's default model). Checks, in order: null document 25; a format
 * other than TEXT and XML, or a CCSID other than 1208: 47; length 0: 29;
 * null occurrences or count 0: 25; null list pointer or a list handle that
 * is not null: 25. Occurrences not ascending: 700; an occurrence with bad
 * data or one not in the document's text: 701; an XML element that is no
 * field of the index: 403. On an error no list is handed out. */
ITL_API_EXPORT ItlEnReturnCode itlHighlighterProcessDocument(
    ItlTyHighlighterHandle highlighter, char const* document, uint32_t length,
    ItlEnDocumentFormat format, uint16_t ccsid, char const* modelName,
    ItlStOccurrence const* occurrences, uint32_t count,
    ItlTyListHandle* list);
/* The current element of a highlight-list iterator: part type, hit start,
 * hit end, context start, context end. `reserved` is not read. Null
 * iterator or one whose list is deleted: 16; an iterator past the end, or
 * over another kind of list: 8 with reason 46; a null output: 8 with
 * reason 25. */
ITL_API_EXPORT ItlEnReturnCode itlHighlightElementObtainData(
    ItlTyIteratorHandle iterator, void* reserved, uint32_t* partType,
    uint32_t* hitStart, uint32_t* hitEnd, uint32_t* contextStart,
    uint32_t* contextEnd);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_HIGHLIGHT_H */
