// voz_gtrstage.cpp -- the pending journal of an index: install, drop and
// existence (see voz_gtrstage.hpp). The staging calls live beside the
// calls they split (voz_gtrcreate.cpp, voz_gtrmaint.cpp).
#include "calls/voz_gtrstage.hpp"

#include <cstring>

#include "build/voz_journal.hpp"
#include "files/voz_names.hpp"

namespace {

// A file-set descriptor naming the index (all the journal needs). False
// with 2/2427 for null names, 35/2401 for names too long.
bool indexSet(const char* idxname, const char* idxdir, _FCTLHEAD* fs,
              GTRSTATUS* gsp) {
    memset(fs, 0, sizeof *fs);
    if (idxname == nullptr || idxdir == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2427);
        return false;
    }
    if (strlen(idxname) >= sizeof fs->indexName ||
        strlen(idxdir) >= sizeof fs->directory) {
        voz_setStatus(gsp, VOZ_RC_PATH_TOO_LONG, 2401, idxname);
        return false;
    }
    strcpy(fs->indexName, idxname);
    strcpy(fs->directory, idxdir);
    return true;
}

}  // namespace

void vozInstallPendingCommit(const char* idxname, const char* idxdir,
                             GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    _FCTLHEAD fs;
    if (indexSet(idxname, idxdir, &fs, gsp)) voz_JnlInstallPending(&fs, gsp);
}

void vozDropPendingCommit(const char* idxname, const char* idxdir,
                          GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    _FCTLHEAD fs;
    if (indexSet(idxname, idxdir, &fs, gsp)) voz_JnlDropPending(&fs, gsp);
}

bool vozPendingCommitExists(const char* idxname, const char* idxdir) {
    GTRSTATUS own{};
    _FCTLHEAD fs;
    return indexSet(idxname, idxdir, &fs, &own) && voz_JnlPendingExists(&fs) != 0;
}
