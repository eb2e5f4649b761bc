// voz_worklevel.hpp -- the levels of a creation's work files (MCTLINFO) and
// the opening of a level's next section (vozSetWorkFctl).
//
// A creation writes each full pattern pool as one sorted section: a basic
// information record, key records and position lists, appended to the two
// work files of level 0 (named by voz_IDXgetFname with file type 7 + level:
// "<index>.<letter><level in two digits>" in the work directory). A
// level's sections lie back to back in its two files:
//   key file, per section at keyBase:
//     off            size     content
//     0              1296     basic information record (voz_keyrec.hpp)
//     1296           28 x F   fixed-key records: 'D' then 'F', ascending
//     1296 + 28 x F  28 x V   'V' chains, ascending (voz_VkeyCmp order)
//   position file: the sections' position data from each posStart on.
// When a level holds maxSections sections they are merged into one section
// of the next level (the work-file merge builds on these records).
//
// Invariant: sections[fileOwner] holds the open files of the level while
// filesOpen is 1; every other section of the level reaches them through its
// `idx.sharedFrom`, which points at sections[fileOwner].idx, so the array
// must not move while the level's files are open.
#ifndef VOZ_WORKLEVEL_HPP
#define VOZ_WORKLEVEL_HPP

#include <cstdint>

#include "files/voz_merge_rec.hpp"
#include "files/voz_names.hpp"

struct GTRSTATUS;

// Sections of level 0 before it is merged upward; later levels copy it.
constexpr int16_t VOZ_LEVEL0_SECTIONS = 60;

// One merge level of a creation. Owned by the creation work block, which
// frees `sections` (voz_freeForCreation).
struct MCTLINFO {
    int16_t maxSections;       // capacity; the level is merged when full
    MCTLHEAD* sections;        // maxSections records, in order of making
    uint16_t numSections;      // sections in use; 0 after a merge upward
    uint32_t fileOwner;        // section whose idx opened the level's files
    uint32_t level;            // 0 for the flushed sections
    uint8_t filesOpen;         // 1 while the level's work files are open
    int32_t lowDocno;          // lowest document; 0x7FFFFFFF while empty
    int32_t highMark;          // largest basic word 32 of the sections; -1
};

// Appends a new section to `lvl` and leaves `section` describing its files,
// open for writing at the section's start (keyBase, posStart). The first
// section of a level creates the level's files ("wb"; file type level + 7,
// index name, set index and letters of `model`, directory `workDir`); later
// ones continue them (reopened "rb+" when closed), starting at their ends.
// The new record (lvl->sections[numSections - 1]) gets `sharedFrom` and
// `sharesFile` when it continues the owner's files. REQUIRES: the level has
// room (numSections < maxSections). Failures: the open's (voz_IDXopen), key
// file seek 6/2298, position file seek and tell with reasons 2229, 2230.
// On failure nothing is counted. 0 or -1.
int vozSetWorkFctl(_FCTLHEAD* section, MCTLINFO* lvl, _FCTLHEAD* model,
                   const char* workDir, GTRSTATUS* st);

#endif  // VOZ_WORKLEVEL_HPP
