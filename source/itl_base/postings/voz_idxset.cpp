// voz_idxset.cpp - opening, closing, testing and removing index file sets
// (see voz_idxset.hpp).  Renaming, copying, appending and switching are in
// voz_idxset_move.cpp; replacing paths in voz_idxset_path.cpp.
#include "postings/voz_idxset.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/voz_file.hpp"
#include "files/voz_keyfile.hpp"
#include "postings/voz_posbroker.hpp"
#include "postings/voz_posstore.hpp"
#include "files/voz_status.hpp"

namespace {

bool PathExists(const char* path) {
    struct stat sb;
    return stat(path, &sb) == 0;
}

// Takes the index's flags and block sizes from the key file's header.
int TakeHeader(_FCTLHEAD* fs, GTRSTATUS* st) {
    bool take = (fs->flags & VOZ_FCTL_TAKE_FLAGS) != 0;
    bool sizes = (fs->flags & VOZ_FCTL_BTREE) && fs->sharedBlockKB == 0;
    if (!take && !sizes) return 0;
    KEYINFO_0 h;
    if (voz_ReadKeyInfo(fs, &h, 0, nullptr, st) != 0) return -1;
    if (take) {
        fs->flags = static_cast<uint8_t>((fs->flags | h.indexFlags) &
                                         ~VOZ_FCTL_TAKE_FLAGS);
        if (!(fs->flags & VOZ_FCTL_BTREE)) return 0;
        fs->flags &= static_cast<uint8_t>(~VOZ_FCTL_CHOOSE);
    }
    fs->sharedBlockKB = h.sharedBlockKB;
    fs->branchBlockKB = h.branchBlockKB;
    fs->leafBlockKB = h.leafBlockKB;
    return 0;
}

// Opens a uniquely named temporary key file for a work set.
FILE_CONTROL* OpenTempKey(_FCTLHEAD* fs, GTRSTATUS* st) {
    char ext[8];
    int set = fs->setIndex != 0 ? 1 : 0;
    snprintf(ext, sizeof ext, "%c%02d", fs->generation[2 * set],
             (fs->fileType - 7) % 100);
    char name[VOZ_FNAME_LEN];
    FILE_CONTROL* f = nullptr;
    voz_XXopenTempEx(name, fs->indexName, ext, fs->directory, &f, st);
    fs->tempFlag = 0;
    return f;
}

// Opens the key file of `fs` (not for a set that shares it); with an
// alternate directory from there first.  0 or -1.
int OpenKeyFile(_FCTLHEAD* fs, const char* mode, int32_t reason,
                int32_t altReason, GTRSTATUS* st) {
    fs->keyFile = nullptr;
    char name[VOZ_FNAME_LEN];
    FILE_CONTROL* f = nullptr;
    if (fs->altDirectory[0] != '\0') {
        fs->altUse[0] = 'Y';
        voz_IDXgetFname(name, fs, VOZ_FT_KEY);
        f = voz_XXopen(name, mode);
        if (f == nullptr) {
            fs->altUse[0] = 'N';
            voz_IDXgetFname(name, fs, VOZ_FT_KEY);
            f = voz_XXopen(name, mode);
        }
        if (f == nullptr) {
            voz_setStatus(st, VOZ_RC_OPEN, altReason, name, errno);
            return -1;
        }
    } else if (fs->sharedFrom != nullptr) {
        return 0;
    } else if (fs->tempFlag != 0) {
        f = OpenTempKey(fs, st);
        if (f == nullptr) return -1;
    } else {
        voz_IDXgetFname(name, fs, VOZ_FT_KEY);
        f = voz_XXopen(name, mode);
        if (f == nullptr) {
            voz_setStatus(st, VOZ_RC_OPEN, reason, name, errno);
            return -1;
        }
    }
    fs->keyFile = f;
    fs->keyOffset = 0;
    if (TakeHeader(fs, st) != 0) {
        voz_XXclose(f);
        fs->keyFile = nullptr;
        return -1;
    }
    return 0;
}

// With an alternate directory: where the position data lie ('Y' there,
// else 'N'), and for a sequential set its file opened.  0 or -1 (3/240).
int OpenAltPositions(_FCTLHEAD* fs, const char* mode, GTRSTATUS* st) {
    fs->altUse[1] = 'Y';
    if (voz_IDXfileExistence(fs, VOZ_FT_POS) != 0) fs->altUse[1] = 'N';
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, fs, VOZ_FT_POS);
    if (fs->flags & VOZ_FCTL_BTREE) {
        if (voz_IDXfileExistence(fs, VOZ_FT_POS) == 0) return 0;
        voz_setStatus(st, VOZ_RC_OPEN, 240, name, ENOENT);
        return -1;
    }
    fs->posFile = voz_XXopen(name, mode);
    if (fs->posFile == nullptr) {
        voz_setStatus(st, VOZ_RC_OPEN, 240, name, errno);
        return -1;
    }
    fs->posOffset = 0;
    return 0;
}

// Existence of file `type`, trying the alternate directory first.
char Exists(_FCTLHEAD* fs, uint16_t type) {
    int slot = type == VOZ_FT_KEY ? 0 : 1;
    if (fs->altDirectory[0] != '\0') {
        fs->altUse[slot] = 'Y';
        if (voz_IDXfileExistence(fs, type) == 0) return VOZ_EXISTS;
        fs->altUse[slot] = 'N';
    }
    if (voz_IDXfileExistence(fs, type) == 0) return VOZ_EXISTS;
    return errno == EACCES ? VOZ_NO_ACCESS : VOZ_MISSING;
}

// Closes file `f` (of type `type` in `fs`; null is fine). A failure is
// recorded with the file's name, which is made only then. 0 or -1.
int CloseNamed(FILE_CONTROL* f, const _FCTLHEAD* fs, uint16_t type,
               int32_t reason, GTRSTATUS* st) {
    if (f == nullptr || voz_XXclose(f) == 0) return 0;
    int saved = errno;
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, fs, type);
    voz_setStatus(st, VOZ_RC_CLOSE, reason, name, saved);
    return -1;
}

}  // namespace

char voz_IDXqueryExistence(_FCTLHEAD* fs, KEYINFO_0* info, GTRSTATUS* st) {
    if (info != nullptr) memset(info, 0, sizeof *info);
    char key = Exists(fs, VOZ_FT_KEY);
    if (key != VOZ_EXISTS) return key;
    if (fs->flags & VOZ_FCTL_TAKE_FLAGS) {
        GTRSTATUS opened{};
        if (voz_IDXopenKey(fs, "rb", &opened) != 0) {
            // A key file's directory without its first segment is what a
            // removal (or a creation) cut between the two leaves: the key
            // file is missing, so that a repeated deletion completes.
            if (opened.system_errno == ENOENT) return VOZ_MISSING;
            if (st != nullptr && st->retcode == 0) *st = opened;
            return VOZ_EXISTS;
        }
        if (voz_IDXcloseKey(fs, st) != 0) return VOZ_EXISTS;
    }
    char pos = Exists(fs, VOZ_FT_POS);
    if (pos != VOZ_EXISTS) return pos;
    if (info != nullptr && voz_IDXopenKey(fs, "rb", st) == 0) {
        voz_ReadKeyInfo(fs, info, 0, nullptr, st);
        voz_IDXcloseKey(fs, st);
    }
    return VOZ_EXISTS;
}

int voz_IDXopen(_FCTLHEAD* fs, const char* mode, GTRSTATUS* st) {
    fs->posBroker = nullptr;
    fs->keyFile = nullptr;
    fs->posFile = nullptr;
    if (OpenKeyFile(fs, mode, 223, 240, st) != 0) return -1;
    if (fs->altDirectory[0] != '\0' && OpenAltPositions(fs, mode, st) != 0) {
        voz_IDXclose(fs, nullptr);
        return -1;
    }
    fs->posBroker = vozAllocatePosBroker(fs, mode, st);
    if (fs->posBroker == nullptr) {
        voz_IDXclose(fs, nullptr);
        return -1;
    }
    fs->flags |= VOZ_FCTL_OPEN;
    return 0;
}

int voz_IDXclose(_FCTLHEAD* fs, GTRSTATUS* st) {
    if (fs == nullptr) return 0;
    GTRSTATUS mine{};
    CloseNamed(fs->keyFile, fs, VOZ_FT_KEY, 224, &mine);
    fs->keyFile = nullptr;
    CloseNamed(fs->posFile, fs, VOZ_FT_POS, 224, &mine);
    fs->posFile = nullptr;
    fs->altUse[0] = fs->altUse[1] = '\0';
    vozFreePosBroker(fs->posBroker, &mine);
    fs->posBroker = nullptr;
    fs->flags &= static_cast<uint8_t>(~VOZ_FCTL_OPEN);
    if (!voz_Failed(&mine)) return 0;
    if (st != nullptr && !voz_Failed(st)) *st = mine;
    return -1;
}

int voz_IDXopenKey(_FCTLHEAD* fs, const char* mode, GTRSTATUS* st) {
    return OpenKeyFile(fs, mode, 2302, 2303, st);
}

int voz_IDXcloseKey(_FCTLHEAD* fs, GTRSTATUS* st) {
    if (fs == nullptr || fs->keyFile == nullptr) return 0;
    int rc = CloseNamed(fs->keyFile, fs, VOZ_FT_KEY, 225, st);
    fs->keyFile = nullptr;
    fs->altUse[0] = '\0';
    return rc != 0 ? -1 : 0;
}

int voz_IDXsetvbuf(_FCTLHEAD* fs, char** cursor, char* limit, int32_t size) {
    if (size <= 0 || *cursor + size > limit || fs->keyFile == nullptr) {
        return 1;
    }
    voz_XXsetvbuf(fs->keyFile, *cursor, 0, static_cast<size_t>(size));
    *cursor += size;
    return 0;
}

// Removes file `type` of `fs` when it exists; failure 8/reason.
static int RemoveIfThere(_FCTLHEAD* fs, uint16_t type, int32_t reason,
                         GTRSTATUS* st) {
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, fs, type);
    if (!PathExists(name)) return 0;
    if (voz_RemoveTree(name) != 0) {
        voz_setStatus(st, VOZ_RC_REMOVE, reason, name, errno);
        return -1;
    }
    return 0;
}

static void RmdirIfThere(_FCTLHEAD* fs, uint16_t type) {
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, fs, type);
    if (PathExists(name)) rmdir(name);
}

int voz_IDXdiscardPosJournal(_FCTLHEAD* fs, GTRSTATUS* st) {
    try {
        CVozPosBrokerMulti::DiscardJournal(fs);
    } catch (const CVozException& e) {
        if (e.retcode == VOZ_RC_PATH_TOO_LONG) return 0;  // names no file
        voz_StatusFromException(st, e);
        return -1;
    }
    return 0;
}

int voz_IDXremove(_FCTLHEAD* fs, GTRSTATUS* st) {
    if (fs->indexName[0] == '\0') return 0;
    if (voz_IDXdiscardPosJournal(fs, st) != 0) return -1;
    static const struct { uint16_t type; int32_t reason; } kFiles[] = {
        {VOZ_FT_POS, 2305},
        {VOZ_FT_CONTROL | VOZ_FT_SHARED, 2306},
        {VOZ_FT_CONTROL | VOZ_FT_BRANCH, 2307},
        {VOZ_FT_CONTROL | VOZ_FT_LEAF, 2331},
        {VOZ_FT_KEY, 2304}};
    for (const auto& f : kFiles) {
        if (RemoveIfThere(fs, f.type, f.reason, st) != 0) return -1;
    }
    if (fs->fileType <= VOZ_HALF_SUPP_OLD) RmdirIfThere(fs, VOZ_FT_DIR);
    return 0;
}

int voz_IDXremoveAllContents(_FCTLHEAD* fs, GTRSTATUS* st) {
    if (voz_IDXremove(fs, st) != 0) return -1;
    if (fs->fileType <= VOZ_HALF_SUPP_OLD && (fs->fileType & 1) == 0) {
        vozRemovePosFiles(fs, st);
        if (voz_Failed(st)) return -1;
        if (RemoveIfThere(fs, VOZ_FT_STOPWORD, 2113, st) != 0) return -1;
        if (RemoveIfThere(fs, VOZ_FT_DELETED, 2116, st) != 0) return -1;
    }
    RmdirIfThere(fs, VOZ_FT_DIR | VOZ_FT_DELETED);
    RmdirIfThere(fs, VOZ_FT_DIR | VOZ_FT_SHARED);
    return 0;
}

int voz_RemoveDelDir(_FCTLHEAD* sets, GTRSTATUS* st) {
    for (int i = 0; i < 2; ++i) {
        if (RemoveIfThere(&sets[i], VOZ_FT_DELETED, 1808, st) != 0) return -1;
    }
    char dir[VOZ_FNAME_LEN];
    voz_IDXgetFname(dir, &sets[0], VOZ_FT_DIR | VOZ_FT_DELETED);
    if (PathExists(dir) && rmdir(dir) != 0) {
        voz_setStatus(st, VOZ_RC_DIR_NOT_REMOVABLE, 1809, dir, errno);
        return -1;
    }
    return 0;
}
