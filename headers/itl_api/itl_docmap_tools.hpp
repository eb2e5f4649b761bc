// itl_docmap_tools.hpp: the exported document-map displays (C++ only: they
// write to a CosClConsoleUI).
//
// Each prints a map of an index's committed document-number map files on
// `console` without changing a file:
//   itlDisplayDex  the name-to-number map, itlDisplayDix the number-to-name
//                  map: " Index control: total number of documents " and
//                  " Data control: highest document number " (or, for an
//                  empty index, " No data available for index " and
//                  " Index location "), "Data control: block count is ",
//                  then with `indexOnly` the index entries, else the data
//                  blocks ("\n Current block number is ", "DocNr = ",
//                  "DocName =") of all blocks or, with `oneBlock`, of block
//                  `blockNumber` (from 1); `hex` dumps names on standard
//                  output (" DocName =  41 80  \n").
//   itlDisplayDel  "Number of deleted documents in index", then number and
//                  name of each deleted document.
// Numbers and counts print as their low 32 bits.
//
// Conventions: a null index returns 8 and records nothing; otherwise the
// index's error info is reset first (return code, warning count), every
// failure is recorded there and its return code returned; nothing is
// thrown and the process never ends. A block number above the block count
// prints "Requested block number is out of index range" and returns 8 with
// reason 25.
//
// The index is given by ItlStDocMapToolIndex: the parts of an index that
// the tools use, all owned by the caller. (The index object's and the index
// handles' forms pass these parts of their index.)
//
// The tool functions below the displays follow the conventions of
// itl_api.h: each resets the error info first, checks its arguments
// (return code 8, reason 25, origin "source/itl_api/itl_int_api_docmap:
// <line>"), and records whatever the work raises; nothing is thrown.
#ifndef ITL_DOCMAP_TOOLS_HPP
#define ITL_DOCMAP_TOOLS_HPP

#include <cstdint>
#include <cstdio>

#include "itl_api_base.h"

class CosClConsoleUI;
class ItlClAttributeNameMap;
class ItlClDocumentNameMapping;
class ItlClErrorInfo;
class ItlClFieldNameMap;
class ItlClIndexConfig;
class ItlClIndexLocation;

// What the tools use of an index. location, config and errorInfo must be
// set (else the call returns its null-handle code); a function that needs
// a null map part records reason 25.
struct ItlStDocMapToolIndex {
  ItlClIndexLocation const* location;     // name, index and working directory
  ItlClIndexConfig const* config;         // MaxDocumentIDLength, DocumentIDSizeIsFix
  ItlClErrorInfo* errorInfo;              // receives every failure
  ItlClFieldNameMap* fieldNameMap;        // loaded field-name map
  ItlClAttributeNameMap* attributeNameMap;  // loaded attribute-name maps
  ItlClDocumentNameMapping* mapping;      // the index's document-name mapping
};

ITL_API_EXPORT ItlEnReturnCode itlDisplayDex(ItlStDocMapToolIndex const* index,
                                             bool indexOnly, bool oneBlock,
                                             unsigned int blockNumber,
                                             CosClConsoleUI& console, bool hex);
ITL_API_EXPORT ItlEnReturnCode itlDisplayDix(ItlStDocMapToolIndex const* index,
                                             bool indexOnly, bool oneBlock,
                                             unsigned int blockNumber,
                                             CosClConsoleUI& console, bool hex);
ITL_API_EXPORT ItlEnReturnCode itlDisplayDel(ItlStDocMapToolIndex const* index,
                                             CosClConsoleUI& console);

// ---- document ids and limits
// The names of `count` numbers: name i into names + i * MaxDocumentIDLength,
// its length into lengths[i] (variable names; with fixed names lengths may
// be null and every name fills its slot). `inOrder` looks the numbers up
// in the given order, else sorted by number; results land at the caller's
// positions either way. Null index 16; null names (108), numbers (113), or
// lengths with variable names (123): 25. Count 0 returns 0 at once. The
// first unknown number (301, 304) ends the call; earlier results stay.
ITL_API_EXPORT ItlEnReturnCode itlDocMapObtainDocumentIds(
    ItlStDocMapToolIndex const* index, uint64_t count, uint64_t* numbers,
    uint16_t* lengths, char* names, bool inOrder);
// MaxDocumentIDLength. Null index 16; null output 25 (167).
ITL_API_EXPORT ItlEnReturnCode itlGetMaxDocNameSize(
    ItlStDocMapToolIndex const* index, uint16_t* size);
// The highest document number ever assigned in the index (also after every
// document was deleted and merged), read from its committed maps. Null
// index 16; null output 25 (201); maps never written: 100 (217).
ITL_API_EXPORT ItlEnReturnCode itlGetMaxDocNumber(
    ItlStDocMapToolIndex const* index, uint64_t* number);

// ---- rebuilding the document-number maps name by name
// assign: the name (`length` bytes, no terminator) gets a number unless it
// has a live one; else its number is recorded as deleted (303 without
// one). Work goes to the working copies: the index directory changes only
// with itlNameMapFinalize or itlNameMapMerge. Null index 8; null name 25;
// length above MaxDocumentIDLength 25 (882), nothing changed.
ITL_API_EXPORT ItlEnReturnCode itlNameMapProcess(
    ItlStDocMapToolIndex const* index, char const* name, uint16_t length,
    bool assign);
// Ends and commits the update transaction of the maps. Null index 8.
ITL_API_EXPORT ItlEnReturnCode itlNameMapFinalize(
    ItlStDocMapToolIndex const* index);
// Ends and commits the merge transaction: deleted numbers leave the maps.
// Null index 8.
ITL_API_EXPORT ItlEnReturnCode itlNameMapMerge(
    ItlStDocMapToolIndex const* index);

// ---- field and attribute name maps
// "elementNumber elementName\n", then per entry "%13u  <name> " when it has
// a name, "\n" in any case. The attribute form writes the NUMBER and DATE
// attribute names only. Null index 8; null stream 25.
ITL_API_EXPORT ItlEnReturnCode itlDisplayFieldNameMap(
    ItlStDocMapToolIndex const* index, FILE* stream);
ITL_API_EXPORT ItlEnReturnCode itlDisplayAttributeNameMap(
    ItlStDocMapToolIndex const* index, FILE* stream);
// Writes "<map file>.64" in the 64-bit layout ("NEEDS MIGRATION <file>" on
// standard output) or, for a map already in it, copies the file ("...not
// necessary, already 64bit."); the first conversion of an index also
// converts its document-number map files. A file in neither layout: 17
// (map) or 300 (".dii"), no ".64" file. The attribute form converts the
// NUMBER/DATE map, then the STRING map. Null index 8.
ITL_API_EXPORT ItlEnReturnCode itl32To64FieldNameMap(
    ItlStDocMapToolIndex const* index);
ITL_API_EXPORT ItlEnReturnCode itl32To64AttributeNameMap(
    ItlStDocMapToolIndex const* index);

#endif  // ITL_DOCMAP_TOOLS_HPP
