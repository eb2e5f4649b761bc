// voz_gtradmin.hpp - the engine calls that act on a whole index: delete it
// (VOZ_deleteIndex), rename, copy or move it (VOZ_moveIndex), and verify
// one of its sub-indexes (GTRverifyIndex).  Each works sub-index by
// sub-index through the builder (build/voz_idxadmin.hpp,
// build/voz_verify.hpp), treats a missing sub-index as nothing to do, and
// reports in processed_index which sub-indexes it touched: 0x80 text
// ("Full", "KPLQ"), 0x40 item ("Item", "MRNS").
//
// Conventions: every call clears the caller's status on entry and fills it
// at the first failing step; a failure of the builder or the storage keeps
// their retcode, errcode, file names and errno.  While the marker file
// "GTRbtrc" exists each call appends its binary-trace record and an end
// record (calls/voz_btrace.hpp).
#ifndef VOZ_GTRADMIN_HPP
#define VOZ_GTRADMIN_HPP

#include <cstdint>

struct GTRSTATUS;

// Document information returned by GTRverifyIndex (56 bytes, cleared by
// the call): the live-document figures of the checked sub-index.
//   off size  field
//     0    4  lowest live document of main (-1: none)
//     4    4  highest live document of main (-1: none)
//     8    4  live documents of main
//    12    4  lowest live document of supp (-1: none)
//    16    4  highest live document of supp (-1: none)
//    20    4  live documents of supp
//    24   32  zero
struct GTRVERIFYINFO {
    int32_t mainLowest;
    int32_t mainHighest;
    int32_t mainCount;
    int32_t suppLowest;
    int32_t suppHighest;
    int32_t suppCount;
    uint8_t reserved[32];
};
static_assert(sizeof(GTRVERIFYINFO) == 56, "GTRVERIFYINFO layout");

// Deletes sub-indexes of idxdir/idxname: func bit 0 text, bit 1 item.
// Null names 2/2671; lengths together over 2046 35/2672; func without bit
// 0 or 1 or with another bit 2/2673.  A missing sub-index is skipped.
void VOZ_deleteIndex(int8_t func, const char* idxname, const char* idxdir,
                     GTRSTATUS* gsp);

// function 'R': renames the index to `targetname` in the same directory;
// 'C': copies it under its name into directory `targetname`; 'M': moves it
// there.  A rename that fails with retcode 9 (another file system) turns
// into a copy followed by the deletion of the source.  Null names 2/2674;
// lengths 35/2675; other functions 2/2676; neither sub-index: 20.
void VOZ_moveIndex(char function, const char* idxname, const char* idxdir,
                   const char* targetname, GTRSTATUS* gsp);

// Verifies the text sub-index (option bit 0x40) or the item sub-index
// (clear), printing progress unless bit 0x08 is set; `outfn` (may be null)
// receives the live document numbers, main then supp, 4 bytes host order.
// `docip` may be null.  processed_index names the sub-index checked, also
// after a failure, and docip receives the figures reached.
void GTRverifyIndex(const char* idxname, const char* idxdir,
                    const char* outfn, int8_t option, GTRVERIFYINFO* docip,
                    GTRSTATUS* gsp);

#endif  // VOZ_GTRADMIN_HPP
