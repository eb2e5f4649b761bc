// itl_api_docmap_parts.hpp: the document-map tool functions over the parts
// of an index (ItlStDocMapToolIndex), the one implementation behind the
// exported forms on index and index search handles (itl_api_docmap.h) and
// on the index object (itl_docmap_tools.hpp). Internal to the library.
//
// The displays print a map of an index's committed document-number map
// files on `console` without changing a file:
//   DisplayDex  the name-to-number map, DisplayDix the number-to-name map:
//               " Index control: total number of documents " and
//               " Data control: highest document number " (or, for an
//               empty index, " No data available for index " and
//               " Index location "), "Data control: block count is ",
//               then with `indexOnly` the index entries, else the data
//               blocks ("\n Current block number is ", "DocNr = ",
//               "DocName =") of all blocks or, with `oneBlock`, of block
//               `blockNumber` (from 1); `hex` dumps names on standard
//               output (" DocName =  41 80  \n").
//   DisplayDel  "Number of deleted documents in index", then number and
//               name of each deleted document.
// Numbers and counts print as their low 32 bits.
//
// Conventions: an incomplete index (null, or location, config or error
// info missing) returns the function's null-handle code and records
// nothing; otherwise the error info is reset first (return code, warning
// count), every failure is recorded there and its return code returned;
// nothing is thrown and the process never ends. A block number above the
// block count prints "Requested block number is out of index range" and
// returns 8 with reason 25. Argument checks record return code 8, reason
// 25, origin "source/itl_api/itl_int_api_docmap:<line>".
#ifndef ITL_API_DOCMAP_PARTS_HPP
#define ITL_API_DOCMAP_PARTS_HPP

#include <cstdint>
#include <cstdio>

#include "itl_api_base.h"

class CosClConsoleUI;
class ItlClAttributeNameMap;
class ItlClDocumentNameMapping;
class ItlClErrorInfo;
class ItlClFieldNameMap;
class ItlClIndex;
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
  // When set, the index the parts belong to: it is loaded (ItlClIndex::
  // load, once per index object) after the argument checks and before any
  // map is read, so that configuration and name layout are those on disk.
  ItlClIndex const* toLoad;
};

ItlEnReturnCode itlApiToolDisplayDex(ItlStDocMapToolIndex const* index,
                                     bool indexOnly, bool oneBlock,
                                     unsigned int blockNumber,
                                     CosClConsoleUI& console, bool hex);
ItlEnReturnCode itlApiToolDisplayDix(ItlStDocMapToolIndex const* index,
                                     bool indexOnly, bool oneBlock,
                                     unsigned int blockNumber,
                                     CosClConsoleUI& console, bool hex);
ItlEnReturnCode itlApiToolDisplayDel(ItlStDocMapToolIndex const* index,
                                     CosClConsoleUI& console);

// ---- document ids and limits
// The names of `count` numbers: name i into names + i * MaxDocumentIDLength,
// its length into lengths[i] (variable names; with fixed names lengths may
// be null and every name fills its slot). `inOrder` looks the numbers up
// in the given order, else sorted by number; results land at the caller's
// positions either way. Null index 16; null names (108), numbers (113), or
// lengths with variable names (123): 25. Count 0 returns 0 at once. The
// first unknown number (301, 304) ends the call; earlier results stay.
ItlEnReturnCode itlApiToolDocMapObtainDocumentIds(
    ItlStDocMapToolIndex const* index, uint64_t count, uint64_t* numbers,
    uint16_t* lengths, char* names, bool inOrder);
// MaxDocumentIDLength. Null index 16; null output 25 (167).
ItlEnReturnCode itlApiToolGetMaxDocNameSize(
    ItlStDocMapToolIndex const* index, uint16_t* size);
// The highest document number ever assigned in the index (also after every
// document was deleted and merged), read from its committed maps. Null
// index 16; null output 25 (201); maps never written: 100 (217).
ItlEnReturnCode itlApiToolGetMaxDocNumber(
    ItlStDocMapToolIndex const* index, uint64_t* number);

// ---- rebuilding the document-number maps name by name
// assign: the name (`length` bytes, no terminator) gets a number unless it
// has a live one; else its number is recorded as deleted (303 without
// one). Work goes to the working copies: the index directory changes only
// with itlApiToolNameMapFinalize or itlApiToolNameMapMerge. Null index 8; null name 25;
// length above MaxDocumentIDLength 25 (882), nothing changed.
ItlEnReturnCode itlApiToolNameMapProcess(
    ItlStDocMapToolIndex const* index, char const* name, uint16_t length,
    bool assign);
// Ends and commits the update transaction of the maps. Null index 8.
ItlEnReturnCode itlApiToolNameMapFinalize(
    ItlStDocMapToolIndex const* index);
// Ends and commits the merge transaction: deleted numbers leave the maps.
// Null index 8.
ItlEnReturnCode itlApiToolNameMapMerge(
    ItlStDocMapToolIndex const* index);

// ---- field and attribute name maps
// "elementNumber elementName\n", then per entry "%13u  <name> " when it has
// a name, "\n" in any case. The attribute form writes the NUMBER and DATE
// attribute names only. Null index 8; null stream 25.
ItlEnReturnCode itlApiToolDisplayFieldNameMap(
    ItlStDocMapToolIndex const* index, FILE* stream);
ItlEnReturnCode itlApiToolDisplayAttributeNameMap(
    ItlStDocMapToolIndex const* index, FILE* stream);
// Writes "<map file>.64" in the 64-bit layout ("NEEDS MIGRATION <file>" on
// standard output) or, for a map already in it, copies the file ("...not
// necessary, already 64bit."); the first conversion of an index also
// converts its document-number map files. A file in neither layout: 17
// (map) or 300 (".dii"), no ".64" file. The attribute form converts the
// NUMBER/DATE map, then the STRING map. Null index 8.
ItlEnReturnCode itlApiTool32To64FieldNameMap(
    ItlStDocMapToolIndex const* index);
ItlEnReturnCode itlApiTool32To64AttributeNameMap(
    ItlStDocMapToolIndex const* index);

#endif  // ITL_API_DOCMAP_PARTS_HPP
