// voz_idxadmin.cpp - deleting, renaming and copying one sub-index, and
// creating a root directory (see voz_idxadmin.hpp).
//
// Each entry point works on the four file sets of a sub-index, in the
// order regular main, X main, regular supp, X supp; every descriptor is
// marked to take its flags from its key file, so that a block-store set is
// told to exist by its block files rather than by a sequential position
// file it does not have.
#include "build/voz_idxadmin.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "build/voz_callseam.hpp"
#include "build/voz_journal.hpp"
#include "files/voz_file.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr size_t kNameLimit = 2048;  // names and directories stay below
constexpr uint8_t kTextBit = 0x80;   // processed_index bits
constexpr uint8_t kItemBit = 0x40;

#define VOZ_ORIGIN_STR2(x) #x
#define VOZ_ORIGIN_STR(x) VOZ_ORIGIN_STR2(x)
#define VOZ_ORIGIN __FILE__ ":" VOZ_ORIGIN_STR(__LINE__)

bool pathExists(const char* path) {
    struct stat sb;
    return lstat(path, &sb) == 0;
}

// Status of a step run into a record of its own: a failure replaces
// whatever the caller's record held (a retcode 20 noted earlier must not
// hide it).
void takeFailure(GTRSTATUS* gsp, const GTRSTATUS& mine) {
    if (mine.retcode != 0) *gsp = mine;
}

void traceNames(const char* idxname, const char* idxdir, const char* newname,
                const char* newdir) {
    vozTraceText("idxname", idxname, VOZ_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_ORIGIN);
    vozTraceText("newname", newname, VOZ_ORIGIN);
    vozTraceText("newdir", newdir, VOZ_ORIGIN);
}

bool nameBad(const char* name) {
    return name == nullptr || name[0] == '\0' || strlen(name) >= kNameLimit;
}

bool dirBad(const char* dir) {
    return dir == nullptr || strlen(dir) >= kNameLimit;
}

// The name checks of a rename or copy, with its three errcodes (names,
// directory, new directory).  True when one failed.
bool namesRefused(const char* idxname, const char* idxdir, const char* newname,
                  const char* newdir, const int32_t (&ec)[3], GTRSTATUS* gsp) {
    if (nameBad(idxname) || nameBad(newname)) {
        voz_setStatus(gsp, 29, ec[0]);
    } else if (dirBad(idxdir)) {
        voz_setStatus(gsp, VOZ_RC_PATH_TOO_LONG, ec[1]);
    } else if (dirBad(newdir)) {
        voz_setStatus(gsp, VOZ_RC_PATH_TOO_LONG, ec[2]);
    } else {
        return false;
    }
    return true;
}

// The root path D/I of a sub-index's descriptor.
void rootPath(char* buffer, const _FCTLHEAD* fs) {
    voz_IDXgetFname(buffer, fs, VOZ_FT_DIR | VOZ_FT_SHARED);
}

// Removes the supp half's deleted-document list and the directories left
// empty (the deleted-documents directory, then the index directory): a new
// supp half must not inherit the deletions of the one removed.
int removeSuppLeftovers(_FCTLHEAD* suppSet, GTRSTATUS* st) {
    char path[VOZ_FNAME_LEN];
    voz_IDXgetFname(path, suppSet, VOZ_FT_DELETED);
    if (voz_RemoveTree(path) != 0) {  // a partitioned file is a directory
        voz_setStatus(st, VOZ_RC_REMOVE, 2116, path, errno);
        return -1;
    }
    voz_IDXgetFname(path, suppSet, VOZ_FT_DIR | VOZ_FT_DELETED);
    rmdir(path);
    rootPath(path, suppSet);
    rmdir(path);
    return 0;
}

}  // namespace

int voz_AdminSets(_FCTLHEAD* sets, const char* idxname, const char* idxdir,
                  const char* letters, const char* prefix, GTRSTATUS* st) {
    for (int i = 0; i < VOZ_ADMIN_SETS; ++i) {
        if (voz_SetFctlForRead(&sets[i], idxname, idxdir, i / 2, i % 2,
                               letters, prefix, st) != 0) {
            return -1;
        }
        sets[i].flags |= VOZ_FCTL_TAKE_FLAGS;
    }
    return 0;
}

char voz_AdminExists(_FCTLHEAD* fs, KEYINFO_0* info, GTRSTATUS* st) {
    fs->flags |= VOZ_FCTL_TAKE_FLAGS;
    GTRSTATUS mine{};
    char answer = voz_IDXqueryExistence(fs, info, &mine);
    // Bit 0x80 stays for the next open; the flags read are kept.
    fs->flags |= VOZ_FCTL_TAKE_FLAGS;
    if (mine.retcode != 0) {
        voz_setStatus(st, mine.retcode, mine.errcode, mine.errfname1,
                      mine.system_errno);
        return VOZ_NO_ACCESS;
    }
    return answer;
}

int VOZ__deleteIndex(int8_t func, const char* idxname, const char* idxdir,
                     const char* letters, const char* prefix,
                     GTRSTATUS* gsp) {
    vozTraceCallStart("VOZ_deleteIndex", VOZ_ORIGIN);
    vozTraceArg("func", &func, 1, VOZ_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_ORIGIN);
    _FCTLHEAD sets[VOZ_ADMIN_SETS];
    if (voz_AdminSets(sets, idxname, idxdir, letters, prefix, gsp) != 0 ||
        voz_JnlRecover(&sets[0], gsp) != 0) {
        return -1;
    }
    if (voz_AdminExists(&sets[0], nullptr, gsp) != VOZ_EXISTS)
        voz_setStatus(gsp, 20, 0);
    GTRSTATUS mine{};
    if (func == 0 && (voz_IDXremoveAllContents(&sets[0], &mine) != 0 ||
                      voz_IDXremoveAllContents(&sets[1], &mine) != 0)) {
        takeFailure(gsp, mine);
        return -1;
    }
    if (func > 0 && voz_AdminExists(&sets[2], nullptr, gsp) != VOZ_EXISTS)
        voz_setStatus(gsp, 20, 0);
    if (voz_IDXremoveAllContents(&sets[2], &mine) != 0 ||
        voz_IDXremoveAllContents(&sets[3], &mine) != 0 ||
        removeSuppLeftovers(&sets[2], &mine) != 0) {
        takeFailure(gsp, mine);
        return -1;
    }
    return voz_Failed(gsp) ? -1 : 0;
}

namespace {

// func 3: the root directory moves whole.
int renameRoot(const char* idxname, const char* idxdir,
               const char* const letters[2], const char* const prefixes[2],
               const char* newname, const char* newdir, GTRSTATUS* gsp) {
    static const uint8_t kBits[2] = {kTextBit, kItemBit};
    uint8_t processed = 0;
    _FCTLHEAD from;
    _FCTLHEAD to;
    for (int s = 0; s < 2; ++s) {
        if (voz_SetFctlForRead(&from, idxname, idxdir, 0, 0, letters[s],
                               prefixes[s], gsp) != 0 ||
            voz_SetFctlForRead(&to, newname, newdir, 0, 0, letters[s],
                               prefixes[s], gsp) != 0 ||
            voz_JnlRollForward(&from, gsp) != 0) {
            return -1;
        }
        if (voz_AdminExists(&from, nullptr, gsp) == VOZ_EXISTS)
            processed |= kBits[s];
        if (voz_Failed(gsp)) return -1;
    }
    if (processed == 0) {
        voz_setStatus(gsp, 20, 2312);
        return -1;
    }
    char source[VOZ_FNAME_LEN];
    char target[VOZ_FNAME_LEN];
    rootPath(source, &from);
    rootPath(target, &to);
    if (pathExists(target)) {
        voz_setStatus(gsp, VOZ_RC_NO_TEMP_DIR, 2313, target, EEXIST);
        return -1;
    }
    if (rename(source, target) != 0) {
        voz_setStatus2(gsp, VOZ_RC_RENAME, 2314, source, target, errno);
        return -1;
    }
    gsp->processed_index = processed;
    return 0;
}

// Any other func: the file sets of one sub-index take the new name in the
// same directory, with its deleted-document lists.
int renameSubIndex(const char* idxname, const char* idxdir,
                   const char* letters, const char* prefix,
                   const char* newname, GTRSTATUS* gsp) {
    _FCTLHEAD from[VOZ_ADMIN_SETS];
    _FCTLHEAD to[VOZ_ADMIN_SETS];
    if (voz_AdminSets(from, idxname, idxdir, letters, prefix, gsp) != 0 ||
        voz_AdminSets(to, newname, idxdir, letters, prefix, gsp) != 0 ||
        voz_JnlRollForward(&from[0], gsp) != 0 ||
        voz_JnlRollForward(&to[0], gsp) != 0) {
        return -1;
    }
    if (voz_AdminExists(&from[0], nullptr, gsp) != VOZ_EXISTS) {
        voz_setStatus(gsp, 20, 0);
        return -1;
    }
    bool present[VOZ_ADMIN_SETS];
    for (int i = 0; i < VOZ_ADMIN_SETS; ++i) {
        present[i] = voz_AdminExists(&from[i], nullptr, gsp) == VOZ_EXISTS;
        if (voz_AdminExists(&to[i], nullptr, gsp) == VOZ_EXISTS) {
            voz_setStatus2(gsp, VOZ_RC_RENAME, 459, idxname, newname);
            return -1;
        }
        if (voz_Failed(gsp)) return -1;
    }
    for (int i = 0; i < VOZ_ADMIN_SETS; ++i) {
        if (present[i] && voz_IDXrename(&from[i], &to[i], gsp) != 0)
            return -1;
    }
    if (voz_SwitchDelDir(&from[0], &to[0], gsp) != 0) return -1;
    char path[VOZ_FNAME_LEN];
    rootPath(path, &from[0]);
    rmdir(path);  // the source's root when nothing else is left in it
    return 0;
}

}  // namespace

int VOZ_renameIndex(const char* idxname, const char* idxdir,
                    const char* textLetters, const char* itemLetters,
                    const char* textPrefix, const char* itemPrefix,
                    const char* newname, const char* newdir, uint8_t func,
                    GTRSTATUS* gsp) {
    vozTraceCallStart("VOZ_renameIndex", VOZ_ORIGIN);
    traceNames(idxname, idxdir, newname, newdir);
    const bool text = func == 1;
    if (namesRefused(idxname, idxdir, newname, newdir, {423, 424, 2311}, gsp)) {
        // nothing is touched
    } else if (func == 3) {
        const char* const letters[2] = {textLetters, itemLetters};
        const char* const prefixes[2] = {textPrefix, itemPrefix};
        renameRoot(idxname, idxdir, letters, prefixes, newname, newdir, gsp);
    } else {
        // 1 the text sub-index, any other value the item sub-index.
        renameSubIndex(idxname, idxdir, text ? textLetters : itemLetters,
                       text ? textPrefix : itemPrefix, newname, gsp);
    }
    vozTraceCallEnd("VOZ_renameIndex", gsp, VOZ_ORIGIN);
    return voz_Failed(gsp) ? -1 : 0;
}

namespace {

// The index's stop-word file goes with the first sub-index copied: a copy
// without it would search differently from its source.
int copyStopWords(const _FCTLHEAD* from, const _FCTLHEAD* to,
                  GTRSTATUS* gsp) {
    char source[VOZ_FNAME_LEN];
    char target[VOZ_FNAME_LEN];
    voz_IDXgetFname(source, from, VOZ_FT_STOPWORD);
    voz_IDXgetFname(target, to, VOZ_FT_STOPWORD);
    if (!pathExists(source) || pathExists(target)) return 0;
    return voz_FileCopy(source, target, gsp);
}

int copySets(const char* idxname, const char* idxdir, const char* letters,
             const char* prefix, const char* newname, const char* newdir,
             GTRSTATUS* gsp) {
    _FCTLHEAD from[VOZ_ADMIN_SETS];
    _FCTLHEAD to[VOZ_ADMIN_SETS];
    if (voz_AdminSets(from, idxname, idxdir, letters, prefix, gsp) != 0 ||
        voz_AdminSets(to, newname, newdir, letters, prefix, gsp) != 0 ||
        voz_JnlRollForward(&from[0], gsp) != 0) {
        return -1;
    }
    if (voz_AdminExists(&from[0], nullptr, gsp) != VOZ_EXISTS) {
        voz_setStatus(gsp, 20, 2318);
        return -1;
    }
    for (int i = 0; i < VOZ_ADMIN_SETS; ++i) {
        if (voz_AdminExists(&from[i], nullptr, gsp) != VOZ_EXISTS) {
            if (voz_Failed(gsp)) return -1;
            continue;
        }
        if (i % 2 == 0 && vozCreateIndexDirectory(&to[i], gsp) != 0)
            return -1;
        if (voz_IDXcopy(&from[i], &to[i], gsp) != 0) return -1;
        if (i == 0 && copyStopWords(&from[0], &to[0], gsp) != 0) return -1;
    }
    return 0;
}

}  // namespace

int VOZ_copyIndex(const char* idxname, const char* idxdir,
                  const char* letters, const char* prefix,
                  const char* newname, const char* newdir, GTRSTATUS* gsp) {
    vozTraceCallStart("VOZ_copyIndex", VOZ_ORIGIN);
    traceNames(idxname, idxdir, newname, newdir);
    if (!namesRefused(idxname, idxdir, newname, newdir, {2315, 2316, 2317},
                      gsp)) {
        copySets(idxname, idxdir, letters, prefix, newname, newdir, gsp);
    }
    vozTraceCallEnd("VOZ_copyIndex", gsp, VOZ_ORIGIN);
    return voz_Failed(gsp) ? -1 : 0;
}

int vozCreateRootDirectory(const char* newname, const char* newdir,
                           GTRSTATUS* gsp) {
    _FCTLHEAD fs;
    if (voz_SetFctlForRead(&fs, newname, newdir, 0, 0, "", "", gsp) != 0)
        return -1;
    char path[VOZ_FNAME_LEN];
    rootPath(path, &fs);
    if (pathExists(path)) {
        voz_setStatus(gsp, VOZ_RC_NO_TEMP_DIR, 2319, path, EEXIST);
        return -1;
    }
    if (mkTreeDir(path) != 0) {
        voz_setStatus(gsp, VOZ_RC_NO_TEMP_DIR, 2319, path, errno);
        return -1;
    }
    return 0;
}
