// cnet_compile.hpp -- cnetCreate: compiles a definition file into file
// set 1 of a dictionary (synced, not yet live), in three steps:
//   1. read the blocks; every word goes to the temporary store, one group
//      entry per block stays in memory;
//   2. number the words by first appearance (a sorted read of the store
//      groups equal words), drop blocks equal to an earlier one (warning
//      704) and number the groups in block order;
//   3. write the words in id order (their texts read back from the store
//      in reading order) with their derived relations, then the groups and
//      the head.
// The word texts live only in the store's files and its bounded run; what
// stays in memory is 8 bytes per word occurrence and a few words per block
// and per word. The temporary files are removed whatever happens.
#ifndef CNET_COMPILE_HPP
#define CNET_COMPILE_HPP

#include <cstdint>

#include "cnet_base.hpp"

// How later compiles of this process run. For tests and benchmarks only:
// `inMemory` keeps every word text in memory and writes no temporary file
// (the files written are the same byte for byte); the run limits bound
// the store's in-memory run.
struct CnetCompileSettings {
    bool inMemory;
    uint32_t runRecords;   // records of the run (default 65536)
    uint32_t runText;      // text bytes of the run (default 1 MB)
};
// Null restores the defaults.
void cnetSetCompileSettings(const CnetCompileSettings* settings);

// Compiles `def` into set 1 (created or replaced, synced). On failure
// fills *st; set 1 may be left partly written for the caller to delete.
bool cnetCreate(const char* dirspec, const char* name, const CNETDEFINE* def,
                uint8_t codepage, const CNETEXEC* opts, CNETSTATUS* st);

#endif  // CNET_COMPILE_HPP
