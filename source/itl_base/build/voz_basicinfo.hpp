// voz_basicinfo.hpp - VOZ_getIndexBasicInfo: the creation parameters and
// the document counts of one sub-index, read from the basic-information
// records of its two halves without opening the index for search.  The
// call layer's index information and verification use it; so does any
// caller that only asks whether a sub-index exists.
//
// A commit left pending by a crash is finished first (voz_journal.hpp), so
// the answer is that of the old or of the new index, never of a blend.
#ifndef VOZ_BASICINFO_HPP
#define VOZ_BASICINFO_HPP

#include <cstdint>

#include "files/voz_records.hpp"

struct GTRSTATUS;

// Reads the sub-index `prefix` ("Full", "Item") with generation letters
// `letters` (4 characters) of index `idxname` in directory `idxdir`.
// Returns the larger of the two halves' reported highest document numbers
// (basic-information byte 36), or -1 on failure.
//  - cparmp (may be null): cleared, then filled from the main half:
//    fixedKeyUnits (byte 4), headKeyUnits (byte 30; 0 is returned as 3),
//    inputUnitWidth (6), options (16-19), codeInfo (8-15),
//    sysparmArgument (44), storeParameter (100), reservedShort (94),
//    storeSubParameter (96), storeBlockUnit (98), storeFlag (103),
//    specialLength and specialLetters (104, 105); every other field stays 0.
//  - docnum (may be null): two counts, cleared first; after success
//    docnum[0] is the main half's document count (byte 72) and docnum[1]
//    the supp half's, 0 when there is no supp half.
// Failures: index name of 2048 characters or more 29/473; key files there
// but not accessible 3/479; no such sub-index 20/477; version other than
// "V4_0" 23/474; failures of the descriptor preparation, the recovery and
// the supp query pass through.  On failure the creation parameters keep
// what was filled so far and the counts stay 0.
int32_t VOZ_getIndexBasicInfo(const char* idxname, const char* idxdir,
                              const char* letters, const char* prefix,
                              GTRCREATEPARM* cparmp, int32_t* docnum,
                              GTRSTATUS* gsp);

#endif  // VOZ_BASICINFO_HPP
