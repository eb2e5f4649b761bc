/* itl_api_docmap.h: tool access to an index's document-number maps and to
 * its field and attribute name maps, outside the update and search calls.
 *
 * Conventions (those of itl_api.h, with these particulars):
 *  - The functions on an index search handle work on the index loaded for
 *    that handle; those on an index handle load the index first when it
 *    was not (an index that does not exist: 100).
 *  - A null handle returns 16 from itlDocMapObtainDocumentIds,
 *    itlGetMaxDocNameSize and itlGetMaxDocNumber, and 8 from the other
 *    seven, recording nothing.
 *  - Every call resets the error info of the index's context first; every
 *    failure is recorded there (argument errors: return code 8, reason 25,
 *    action Inform) and its return code returned.
 */
#ifndef ITL_API_DOCMAP_H
#define ITL_API_DOCMAP_H

#include <stdio.h>

#include "itl_api_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- document ids and limits ------------------------------------------ */

/* The names of `count` document numbers: name i into
 * names + i * MaxDocumentIDLength (the caller provides count times that
 * many bytes), its length into lengths[i]. With fixed-size names lengths
 * may be null and every name fills its slot. `inOrder` looks the numbers
 * up in the given order, else sorted by number; results land at the
 * caller's positions either way. Null names, numbers, or lengths with
 * variable names: 25. Count 0 returns 0 at once. The first unknown number
 * (301, 304) ends the call; the names found before it stay. */
ITL_API_EXPORT ItlEnReturnCode itlDocMapObtainDocumentIds(
    ItlTyIndexSearchHandle search, uint64_t count, uint64_t* numbers,
    uint16_t* lengths, char* names, bool inOrder);
/* The longest document name of the index (MaxDocumentIDLength), in bytes.
 * Null output: 25. */
ITL_API_EXPORT ItlEnReturnCode itlGetMaxDocNameSize(
    ItlTyIndexSearchHandle search, uint16_t* size);
/* The highest document number ever assigned in the index (also after every
 * document was deleted and merged), read from its committed maps. Null
 * output: 25; maps never written: 100. */
ITL_API_EXPORT ItlEnReturnCode itlGetMaxDocNumber(ItlTyIndexHandle index,
                                                  uint64_t* number);

/* ---- rebuilding the document-number maps name by name ----------------- */

/* assign: the name (`length` bytes, no terminator) gets a number unless it
 * has a live one; else its number is recorded as deleted (303 when it has
 * none). The work goes to working copies: the index directory changes only
 * with itlNameMapFinalize or itlNameMapMerge. Null name: 25; a length
 * above MaxDocumentIDLength: 25, nothing changed. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapProcess(ItlTyIndexHandle index,
                                                 char const* name,
                                                 uint16_t length, bool assign);
/* Ends and commits the update transaction of the document-number maps. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapFinalize(ItlTyIndexHandle index);
/* Ends and commits their merge transaction: deleted numbers leave the
 * maps. */
ITL_API_EXPORT ItlEnReturnCode itlNameMapMerge(ItlTyIndexHandle index);

/* ---- field and attribute name maps ------------------------------------ */

/* Writes "elementNumber elementName\n", then per entry "%13u  <name> "
 * when it has a name and "\n" in any case. The attribute form writes the
 * NUMBER and DATE attribute names only. Null stream: 25. */
ITL_API_EXPORT ItlEnReturnCode itlDisplayFieldNameMap(
    ItlTyIndexSearchHandle search, FILE* stream);
ITL_API_EXPORT ItlEnReturnCode itlDisplayAttributeNameMap(
    ItlTyIndexSearchHandle search, FILE* stream);
/* Writes "<map file>.64" in the 64-bit layout and prints
 * "NEEDS MIGRATION <file>" on standard output, or, for a map already in
 * that layout, copies the file and prints "Migration for file <file> not
 * necessary, already 64bit."; the first conversion of an index also
 * converts its document-number map files (".dii", ".did", ".ded", ".dei"
 * to "<file>.64"). The originals are not changed. A file in neither
 * layout: 17 (name map) or 300 (".dii"), and no ".64" file. The attribute
 * form converts the NUMBER/DATE map, then the STRING map. */
ITL_API_EXPORT ItlEnReturnCode itl32To64FieldNameMap(
    ItlTyIndexSearchHandle search);
ITL_API_EXPORT ItlEnReturnCode itl32To64AttributeNameMap(
    ItlTyIndexSearchHandle search);

#ifdef __cplusplus
}
#endif

#endif /* ITL_API_DOCMAP_H */
