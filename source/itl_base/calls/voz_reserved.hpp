// voz_reserved.hpp -- reserved-field checks of the engine's public records.
//
// Every public record carries runs of reserved bytes that the caller must
// clear. Before a public call uses a record it runs the record's check,
// named vozReservedCheck_<record>. A NULL record passes. Otherwise every
// reserved byte is examined, and when one is non-zero the status gets
// retcode 128 and the record's errcode (below); no other field of the
// status changes, and a retcode already set is kept. A check never clears
// the status: the public call cleared it on entry and tests `retcode` after
// the check. Each check returns the retcode it found (0 when it passed).
//
//   record                      errcode   runs (32-bit record offsets)
//   GTRSEARCH_COND              1700      18-27, its simple_option's runs
//                                         (33, 40-67, 69, 92-115),
//                                         116-123, 128-135, 152-159,
//                                         188-235; whatever cond_type
//   SIMPLERTRVOPT               1701      1, 8-35, 37, 60-83
//   GTRSEARCH_RANK              1702      10-11, 20-31, after its
//                                         GTRRANKFUNCINFO (1752)
//   GTRSEARCH_RES               1703      2-14, 24-43, 2092-2099, 2120-2171
//   GTRHCREATEPARM              1704      36-39
//   BOUNDARYINFO                1705      13-15, 24-43
//   BOUNDARYINFO field entry    1706      2-3, 12-31 of every entry, only
//                                         when the header passed
//   GTRSYSPARM                  1707      16-47 (the filler 13-15 is free)
//   REGISTITEM                  1708      3-19, 26-47, 56-71
//   RTRVWORD                    1709      34-35, 38-39, 48-59, after its
//                                         field ranges and weights
//   SEARCHITEM                  1710      3-11, 23-39, 58-75, 82-91
//   GTRKEYINFO                  1715      9-31
//   GTRSKIPFUNCINFO             1751      12-31
//   GTRRANKFUNCINFO             1752      9-31
//   GTRONEDOCINFO               1753      2-31
//   GTRSEARCHMIX                1754      1-3, 104-127 (the word or item
//                                         inside has its own check)
//   GTRFIELDRANGE               1755      4-11 of each entry
//   GTRFIELDWEIGHT              1756      6-11 of each entry
//
// A search word's field ranges must name fields from 1 up (fld_start_num
// not 0, fld_end_num not below it; else 120/1772), its field weights
// ascending runs with a non-negative weight (else 112/1773); the first
// failing entry ends the check.
#ifndef VOZ_RESERVED_HPP
#define VOZ_RESERVED_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// Retcode of a reserved byte that is not zero; the errcodes name the record.
constexpr int32_t VOZ_RC_RESERVED = 128;
constexpr int32_t VOZ_RC_WEIGHT = 112;     // a field weight is wrong
constexpr int32_t VOZ_RC_FIELDINFO = 120;  // a field range is wrong

enum : int32_t {
    VOZ_EC_RSV_SEARCH_COND = 1700,
    VOZ_EC_RSV_SIMPLERTRVOPT = 1701,
    VOZ_EC_RSV_SEARCH_RANK = 1702,
    VOZ_EC_RSV_SEARCH_RES = 1703,
    VOZ_EC_RSV_HCREATEPARM = 1704,
    VOZ_EC_RSV_BOUNDARYINFO = 1705,
    VOZ_EC_RSV_FLDBOUNDARY = 1706,
    VOZ_EC_RSV_SYSPARM = 1707,
    VOZ_EC_RSV_REGISTITEM = 1708,
    VOZ_EC_RSV_RTRVWORD = 1709,
    VOZ_EC_RSV_SEARCHITEM = 1710,
    VOZ_EC_RSV_KEYINFO = 1715,
    VOZ_EC_RSV_SKIPFUNCINFO = 1751,
    VOZ_EC_RSV_RANKFUNCINFO = 1752,
    VOZ_EC_RSV_ONEDOCINFO = 1753,
    VOZ_EC_RSV_SEARCHMIX = 1754,
    VOZ_EC_RSV_FIELDRANGE = 1755,
    VOZ_EC_RSV_FIELDWEIGHT = 1756,
    VOZ_EC_FIELDRANGE_VALUE = 1772,   // with retcode 120
    VOZ_EC_FIELDWEIGHT_VALUE = 1773   // with retcode 112
};

int32_t vozReservedCheck_GTRSEARCH_COND(const GTRSEARCH_COND* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_SIMPLERTRVOPT(const SIMPLERTRVOPT* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRSEARCH_RANK(const GTRSEARCH_RANK* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRSEARCH_RES(const GTRSEARCH_RES* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRHCREATEPARM(const GTRHCREATEPARM* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_BOUNDARYINFO(const BOUNDARYINFO* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRSYSPARM(const GTRSYSPARM* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_REGISTITEM(const REGISTITEM* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_RTRVWORD(const RTRVWORD* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_SEARCHITEM(const SEARCHITEM* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRKEYINFO(const GTRKEYINFO* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRSKIPFUNCINFO(const GTRSKIPFUNCINFO* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRRANKFUNCINFO(const GTRRANKFUNCINFO* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRONEDOCINFO(const GTRONEDOCINFO* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRSEARCHMIX(const GTRSEARCHMIX* p, GTRSTATUS* gsp);
// One entry each; the search word's check walks its arrays with these.
int32_t vozReservedCheck_GTRFIELDRANGE(const GTRFIELDRANGE* p, GTRSTATUS* gsp);
int32_t vozReservedCheck_GTRFIELDWEIGHT(const GTRFIELDWEIGHT* p, GTRSTATUS* gsp);

#endif  // VOZ_RESERVED_HPP
