// voz_btrace.hpp -- the engine's binary call trace.
//
// While the marker file "GTRbtrc" exists in the current directory (see
// voz_traceswitch.hpp), each traced call appends a record of its arguments
// before it runs (types 1-13, with the status as the caller passed it) and
// an end record after it runs (type 14, with the status after the call) to
// the file "GTRbtrc" + process id (6 lower-case hex digits) + "000000" in
// the current directory. Each writer below checks the marker itself, opens
// the file for appending ("ab", else "wb"), writes one block and closes it.
// Tracing never changes a call's result: a missing marker, an unopenable
// file or a failed write only stops that record (a failed write leaves it
// without its end mark). The writers run before the call checks its
// arguments, so they never follow a null pointer or an array they were not
// given.
//
// Block (all integers big-endian unless said otherwise):
//   off  size  field
//     0     4  00 00 00 03
//     4     1  08
//     5     4  time, seconds since 1970
//     9     4  process id
//    13     2  record type 1..14
//    15     *  the type's fields (table in voz_btrace.cpp)
//     *  1064  status image: retcode, errcode BE; bytes 8..1035 as held;
//              system_errno, detail BE; 20 reserved bytes as held
//     *     2  EE EE
// A pointer is written as the low 32 bits of its value, little-endian: it
// only tells whether a record was given and matches records. A string is
// written as its length + 1 (16-bit, all lengths of a record first) and
// later its bytes with the NUL; a null string is written as "".
#ifndef VOZ_BTRACE_HPP
#define VOZ_BTRACE_HPP

#include <cstdint>

#include "calls/voz_traceswitch.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// Record types (written to disk; never renumber).
enum : uint16_t {
    VOZ_BT_CREATE_INIT = 1,
    VOZ_BT_ONE_DOC = 2,
    VOZ_BT_ITEM_DOC = 3,
    VOZ_BT_CREATE_LAST = 4,
    VOZ_BT_CREATE_TERM = 5,
    VOZ_BT_DELETE_DOCS = 6,
    VOZ_BT_MERGE = 7,
    VOZ_BT_MERGE_FINISH = 8,
    VOZ_BT_DELETE_DOC = 9,
    VOZ_BT_DELETE_DOC_FINISH = 10,
    VOZ_BT_VERIFY = 11,
    VOZ_BT_MOVE = 12,
    VOZ_BT_DELETE_INDEX = 13,
    VOZ_BT_END = 14,
};

// Size of the block header and of the status image.
constexpr int VOZ_BT_HEADER_SIZE = 13;
constexpr int VOZ_BT_STATUS_SIZE = 1064;

// The file the records of this process go to ("GTRbtrc%.6x%.6x", pid, 0).
void vozBTraceFileName(char* name, int size);

// 1 GTRcreateIndexInit: `handleValue` is the content of the caller's handle
// variable; `currmaxdoc` may be null (written as 0).
void vozBTraceCreateInit(const void* handleValue, const char* idxname,
                         const char* outdir, const char* wrkdir,
                         uint8_t operation, uint8_t batchonline,
                         const GTRHCREATEPARM* hcparmp,
                         const GTRSYSPARM* sysp, const int32_t* currmaxdoc,
                         const GTRSTATUS* gsp);
// 2 GTRcreateIndexOneDocExt. A null text is written as length 0, a null
// `startpos` as 0. Returns the marker's answer ('Y' or 'N'), which the
// call's end record takes (vozBTraceEndOf) rather than asking again: the
// document calls run once per document, and each ask is a system call.
char vozBTraceOneDoc(const void* handle, int32_t docno, const uint8_t* text,
                     int32_t length, const int32_t* startpos,
                     const BOUNDARYINFO* beip, const GTRONEDOCINFO* docinfo,
                     const GTRSTATUS* gsp);
// 3 GTRcreateItemIndexOneDocExt; returns the marker's answer as above.
char vozBTraceItemDoc(const void* handle, int32_t docno, int32_t itemNum,
                      const REGISTITEM* items, const GTRONEDOCINFO* docinfo,
                      const GTRSTATUS* gsp);
// 4 GTRcreateIndexLast.
void vozBTraceCreateLast(const void* handle, const GTRSTATUS* gsp);
// 5 GTRcreateIndexTerm, 8 VOZ_mergeIndexFinish, 10 GTRdeleteDocFinish.
void vozBTraceFinish(uint16_t type, const void* handle, uint8_t goOrCancel,
                     const GTRSTATUS* gsp);
// 6 GTRdeleteDocs. A null `docnos` is written as count 0.
void vozBTraceDeleteDocs(const void* handle, int32_t count,
                         const int32_t* docnos, const void* reserved,
                         const GTRSTATUS* gsp);
// 7 VOZ_mergeIndex.
void vozBTraceMerge(const void* voidmwpp, const char* idxname,
                    const char* idxdir, const char* wrkdir,
                    const GTRSYSPARM* sysp, const GTRSTATUS* gsp);
// 9 GTRdeleteDoc. A null `docNO` is written as count 0.
void vozBTraceDeleteDoc(const void* cwp, const char* idxname,
                        const char* idxdir, const char* wrkdir, int32_t numdoc,
                        const int32_t* docNO, const GTRSYSPARM* sysp,
                        const GTRSTATUS* gsp);
// 11 GTRverifyIndex.
void vozBTraceVerify(const char* idxname, const char* idxdir,
                     const char* outfn, uint8_t option, const void* docip,
                     const GTRSTATUS* gsp);
// 12 VOZ_moveIndex.
void vozBTraceMove(uint8_t function, const char* idxname, const char* idxdir,
                   const char* targetname, const GTRSTATUS* gsp);
// 13 VOZ_deleteIndex.
void vozBTraceDeleteIndex(uint8_t func, const char* idxname,
                          const char* idxdir, const GTRSTATUS* gsp);
// 14 end of a call: the handle returned (or null) and the call's result
// value (document number, start position, else 0).
void vozBTraceEnd(const void* handle, int32_t result, const GTRSTATUS* gsp);
// The same, for a call whose first record found the marker as `exists`.
void vozBTraceEndOf(char exists, const void* handle, int32_t result,
                    const GTRSTATUS* gsp);

#endif  // VOZ_BTRACE_HPP
