// itl_docmap_display.hpp: console displays of an index's document-number
// maps for administration tools (the bodies of itlDisplayDex, itlDisplayDix
// and itlDisplayDel).
//
// Each works on the committed map files of the index directory (read
// access, no transaction) named by `location`, with the name layout of the
// index configuration, and never changes a file. Lines go to the console's
// output stream as labelled lines; hexadecimal name dumps (printHex) go to
// standard output. Numbers, block numbers and counts print as their low 32
// bits. Failures of the map files raise ItlClException (300 damaged, 16/17
// unreadable) after the lines already printed.
#ifndef ITL_DOCMAP_DISPLAY_HPP
#define ITL_DOCMAP_DISPLAY_HPP

#include <cstdint>

#include "itl_codes.hpp"

class CosClConsoleUI;
class ItlClErrorInfo;
class ItlClIndexLocation;

// The map to display.
enum class ItlEnDocMapKind { NAME_TO_NUMBER, NUMBER_TO_NAME };

// What the displays need of an index: where it lies and its name layout.
struct ItlStDocMapDisplayTarget {
  ItlClIndexLocation const& location;
  uint16_t maxDocIdLength;  // MaxDocumentIDLength, 1 .. 32759
  bool docIdSizeIsFix;      // DocumentIDSizeIsFix
};

// Displays one map: header, block count, then the index entries
// (`indexOnly`) or the data blocks (all, or with `oneBlock` only block
// `blockNumber`, from 1). `hex` dumps names through printHex. A block
// number above the block count prints "Requested block number is out of
// index range" and records 8 with reason 25 in `errorInfo`. Returns the
// error info's return code.
ItlEnReturnCode itlDocMapDisplay(ItlStDocMapDisplayTarget const& target,
                                 ItlEnDocMapKind kind, bool indexOnly,
                                 bool oneBlock, uint32_t blockNumber,
                                 CosClConsoleUI& console, bool hex,
                                 ItlClErrorInfo& errorInfo);

// The number of deleted documents, then number and name of each.
ItlEnReturnCode itlDocMapDisplayDeleted(ItlStDocMapDisplayTarget const& target,
                                        CosClConsoleUI& console,
                                        ItlClErrorInfo& errorInfo);

// On standard output: " <label> " (when label is not null), two lower-case
// hex digits and a blank per byte, then " \n".
void printHex(char const* data, unsigned int length, char const* label);

#endif  // ITL_DOCMAP_DISPLAY_HPP
