// itl_docmap_tools.hpp: the exported document-map displays (C++ only: they
// take the index object and write to a CosClConsoleUI).
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
// `index` is the object behind an index handle (ItlTyIndexHandle); it is
// loaded first when it was not (an index that does not exist: 100). The
// maps are read in the layout the index's configuration gives
// (MaxDocumentIDLength, DocumentIDSizeIsFix).
//
// Conventions: a null index returns 8 and records nothing; otherwise the
// error info of the index's context is reset first (return code, warning
// count), every failure is recorded there and its return code returned;
// nothing is thrown and the process never ends. A block number above the
// block count prints "Requested block number is out of index range" and
// returns 8 with reason 25.
//
// The other document-map tools (document ids, limits, name-map displays
// and conversions) are C functions: itl_api_docmap.h.
#ifndef ITL_DOCMAP_TOOLS_HPP
#define ITL_DOCMAP_TOOLS_HPP

#include "itl_api_base.h"

class CosClConsoleUI;
class ItlClIndex;

ITL_API_EXPORT ItlEnReturnCode itlDisplayDex(ItlClIndex* index, bool indexOnly,
                                             bool oneBlock,
                                             unsigned int blockNumber,
                                             CosClConsoleUI& console, bool hex);
ITL_API_EXPORT ItlEnReturnCode itlDisplayDix(ItlClIndex* index, bool indexOnly,
                                             bool oneBlock,
                                             unsigned int blockNumber,
                                             CosClConsoleUI& console, bool hex);
ITL_API_EXPORT ItlEnReturnCode itlDisplayDel(ItlClIndex* index,
                                             CosClConsoleUI& console);

#endif  // ITL_DOCMAP_TOOLS_HPP
