// voz_cleantmp.cpp - vozCleanTmpDir: recovery of an index through the
// commit journal before an update starts (see voz_cleantmp.hpp).
#include "build/voz_cleantmp.hpp"

#include <cstring>

#include "build/voz_creatwrk.hpp"
#include "build/voz_journal.hpp"
#include "files/voz_status.hpp"

int vozCleanTmpDir(CREATWRK* block, GTRSTATUS* gsp) {
    if (block == nullptr) {
        voz_setStatus(gsp, VOZ_RC_HANDLE, 2418);
        return -1;
    }
    // Only the names are needed: a copy keeps the block's open files and
    // read state out of reach.
    _FCTLHEAD set = block->indexSets[VOZ_SET_MAIN];
    if (set.subdirPrefix[0] == '\0') {
        memcpy(set.subdirPrefix, block->directoryPrefix,
               sizeof set.subdirPrefix);
        set.subdirPrefix[sizeof set.subdirPrefix - 1] = '\0';
    }
    return voz_JnlRecover(&set, gsp);
}
