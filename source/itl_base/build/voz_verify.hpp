// voz_verify.hpp - verification of one sub-index: reads both halves end to
// end (key files, position lists, basic information, the key-index table)
// and checks that they agree; on the way gathers the live (not deleted)
// document numbers, which it may write to an output file.  Called by the
// call layer's GTRverifyIndex once per request; tests call it after random
// updates and crashes to check an index whole.
//
// Every check stops the verification at the first broken invariant with
// its own errcode (retcode 16 inconsistent index, 18 halves that do not
// match, 23 wrong version, 3 and 5 output file, 11 memory); later file sets
// are then not verified, and the output file holds the numbers written so
// far.  A commit left pending by a crash is finished before anything is
// read (voz_journal.hpp).
//
// Output file: the live document numbers of the main half in ascending
// order, then those of the supp half; 4 bytes each, host order.
#ifndef VOZ_VERIFY_HPP
#define VOZ_VERIFY_HPP

#include <cstddef>
#include <cstdint>

#include "files/voz_keyrec.hpp"
#include "files/voz_records.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;

// What a verification reports (48 bytes, cleared first).
//   off size  field
//     0    4  version text of the main half ("V4_0")
//     4    4  lowest live document of main (-1: none)
//     8    4  highest live document of main (-1: none)
//    12    4  live documents of main
//    16    4  lowest live document of supp (-1: none or no supp half)
//    20    4  highest live document of supp (-1: none or no supp half)
//    24    4  live documents of supp (0 without a supp half)
//    28    6  creation values of main: basic-information bytes 4, 30
//             (0 read as 3) and 6, 16 bits each
//    34    2  zero
//    36    4  VVG indicator (basic-information byte 44)
//    40    8  basic-information bytes 8-15
struct DOCSINFO {
    char version[4];
    int32_t mainLowest;
    int32_t mainHighest;
    int32_t mainCount;
    int32_t suppLowest;
    int32_t suppHighest;
    int32_t suppCount;
    int16_t creation[3];
    int16_t filler;
    int32_t vvgIndicator;
    uint8_t codeInfo[8];
};
static_assert(sizeof(DOCSINFO) == 48, "DOCSINFO layout");
static_assert(offsetof(DOCSINFO, vvgIndicator) == 36, "DOCSINFO layout");

// One entry of the document table of a file set (12 bytes): the document,
// the stored document whose position list holds it (itself without VVGs)
// and its start position there (1 without VVGs).
struct DOCSTART {
    int32_t docno;
    int32_t storedDoc;
    int32_t startPos;
};

// Verifies the sub-index `prefix` with generation letters `letters` of
// index `idxname` in `idxdir`: the main half's index and X-index, then the
// supp half's.  `outfn` null or "" writes no output file.  `logdisp` 'D'
// prints progress to standard output, 'N' only to the time log.  `markTest`
// decides which variable keys count as marked (the creation's key filter;
// may be null: none are).  Returns 0, or -1 on failure.
// Argument errors: index name of 2048 characters or more 29/426, output
// name longer than 2047 35/428, mode other than 'D'/'N' 2/429; no main
// half 20/476.  "End\n" is printed in every case.
int VOZ_checkDocno(const char* idxname, const char* idxdir,
                   const char* letters, const char* prefix, const char* outfn,
                   char logdisp, DOCSINFO* docsinfo, VOZ_MARKCHK_FN markTest,
                   GTRSTATUS* gsp);

// Verifies one regular file set and adds its live documents to `docsinfo`
// (lowest, highest, count; the version, VVG indicator and codeInfo are
// set) and to the output file opened with `openMode` ("wb" or "ab").
int voz_VerifyRegular(_FCTLHEAD* fs, const char* outfn, const char* openMode,
                      char logdisp, DOCSINFO* docsinfo,
                      VOZ_MARKCHK_FN markTest, GTRSTATUS* gsp);
// Verifies one X-index file set.
int voz_VerifyExtended(_FCTLHEAD* fs, char logdisp, GTRSTATUS* gsp);
// Checks the key-index table of an open file set against its key records.
int voz_VerifyInfo2(_FCTLHEAD* fs, const KEYINFO_0* info, GTRSTATUS* gsp);
// Checks the field-number keys' count (basic-information byte 84) and
// their position lists.
int voz_VerifyInfo3(_FCTLHEAD* fs, KEYINFO_0 info, GTRSTATUS* gsp);
// Sorts `count` entries by document number (in place; not stable).
void voz_SortDocstart(DOCSTART* table, int32_t count, GTRSTATUS* gsp);

#endif  // VOZ_VERIFY_HPP
