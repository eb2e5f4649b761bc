// voz_idxset_move.cpp - renaming, moving, copying, appending and switching
// whole file sets (see voz_idxset.hpp).  Every step onto an existing target
// goes through voz_ReplacePath / voz_CopyReplacing, so a target is never
// removed before its replacement is in place.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files/voz_bigendian.hpp"
#include "files/voz_file.hpp"
#include "postings/voz_idxset.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_keywrite.hpp"
#include "postings/voz_posstore.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr int32_t kAppendPiece = 8192;

bool PathExists(const char* path) {
    struct stat sb;
    return stat(path, &sb) == 0;
}

struct Names {
    char from[VOZ_FNAME_LEN];
    char to[VOZ_FNAME_LEN];
    Names(const _FCTLHEAD* a, const _FCTLHEAD* b, uint16_t type) {
        voz_IDXgetFname(from, a, type);
        voz_IDXgetFname(to, b, type);
    }
    bool Same() const { return strcmp(from, to) == 0; }
};

// Renames file `type` of `from` to that of `to` when the source exists.
int RenameOne(_FCTLHEAD* from, _FCTLHEAD* to, uint16_t type, int32_t reason,
              GTRSTATUS* st) {
    Names n(from, to, type);
    if (n.Same() || !PathExists(n.from)) return 0;
    return voz_ReplacePath(n.from, n.to, reason, st);
}

// Copies file `type` when the source exists.
int CopyOne(_FCTLHEAD* from, _FCTLHEAD* to, uint16_t type, int32_t reason,
            GTRSTATUS* st) {
    Names n(from, to, type);
    if (n.Same() || !PathExists(n.from)) return 0;
    return voz_CopyReplacing(n.from, n.to, reason, st);
}

// Creates directory `type` of `fs` (and its parents); 140/reason.
int MakeDir(_FCTLHEAD* fs, uint16_t type, int32_t reason, GTRSTATUS* st) {
    char dir[VOZ_FNAME_LEN];
    voz_IDXgetFname(dir, fs, type);
    if (mkTreeDir(dir) == 0) return 0;
    voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, reason, dir, errno);
    return -1;
}

int SwitchDir(_FCTLHEAD* from, _FCTLHEAD* to, uint16_t type, int32_t reason,
              GTRSTATUS* st) {
    Names n(from, to, type);
    if (n.Same() || !PathExists(n.from)) return 0;
    return voz_ReplacePath(n.from, n.to, reason, st);
}

// Adds `base` to the 48-bit location of a head record's raw bytes.
void ShiftLocation(uint8_t* rec, uint64_t base) {
    uint64_t loc = (uint64_t(voz_getBE16(rec + 10)) << 32) |
                   voz_getBE32(rec + 12);
    loc += base;
    voz_putBE16(rec + 10, static_cast<uint16_t>(loc >> 32));
    voz_putBE32(rec + 12, static_cast<uint32_t>(loc));
}

// Copies the key records of `from` after the header just written to `to`,
// shifting head records' locations by `base`.
int AppendKeys(_FCTLHEAD* to, _FCTLHEAD* from, const KEYINFO_0& info,
               uint64_t base, GTRSTATUS* st) {
    uint64_t count = uint64_t(info.fixedRecords) + info.varRecords;
    FILE_CONTROL* in = voz_KeyFileOf(from);
    FILE_CONTROL* out = voz_KeyFileOf(to);
    char name[VOZ_FNAME_LEN];
    if (count > 0 && voz_XXseek64(in, voz_KeyRecOffset(from->keyBase, 0),
                                  0) != 0) {
        voz_IDXgetFname(name, from, VOZ_FT_KEY);
        voz_setStatus(st, VOZ_RC_READ, 2117, name, errno);
        return -1;
    }
    uint8_t rec[VOZ_KEYREC_SIZE];
    for (uint64_t r = 0; r < count; ++r) {
        if (voz_XXread(rec, sizeof rec, 1, in) != 1) {
            voz_IDXgetFname(name, from, VOZ_FT_KEY);
            voz_setStatus(st, VOZ_RC_READ, 2117, name, errno);
            return -1;
        }
        if (rec[0] != VOZ_KIND_CONT) ShiftLocation(rec, base);
        if (voz_XXwrite(rec, sizeof rec, 1, out) != 1) {
            voz_IDXgetFname(name, to, VOZ_FT_KEY);
            voz_setStatus(st, VOZ_RC_WRITE, 2118, name, errno);
            return -1;
        }
    }
    return 0;
}

// Copies the whole sequential position data of `from` to the end of `to`.
int AppendPositions(_FCTLHEAD* to, _FCTLHEAD* from, GTRSTATUS* st) {
    uint64_t size = vozGetOffset(from->posBroker, st);
    voz_fseek_POSFILE(from, 0, st);
    voz_fseek_POSFILE(to, -1, st);
    if (voz_Failed(st)) return -1;
    uint8_t piece[kAppendPiece];
    for (uint64_t done = 0; done < size;) {
        int32_t n = static_cast<int32_t>(
            size - done < kAppendPiece ? size - done : kAppendPiece);
        GTRSTATUS mine{};
        voz_fread_POSFILE(piece, n, from, &mine);
        if (voz_Failed(&mine)) {
            voz_setStatus(st, VOZ_RC_READ, 2119, mine.errfname1);
            return -1;
        }
        voz_fwrite_POSFILE(piece, n, to, &mine);
        if (voz_Failed(&mine)) {
            voz_setStatus(st, VOZ_RC_WRITE, 2120, mine.errfname1);
            return -1;
        }
        done += static_cast<uint64_t>(n);
    }
    return 0;
}

}  // namespace

int voz_IDXrename(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st) {
    // The target's index directory is made first: a set may move to a
    // directory that holds no index yet.
    if (from->fileType <= VOZ_HALF_SUPP_OLD &&
        (MakeDir(to, VOZ_FT_DIR | VOZ_FT_SHARED, 2310, st) != 0 ||
         SwitchDir(from, to, VOZ_FT_DIR, 2311, st) != 0)) {
        return -1;
    }
    vozRenamePosFiles(from, to, st);
    if (voz_Failed(st)) return -1;
    if (RenameOne(from, to, VOZ_FT_POS, 2312, st) != 0) return -1;
    return RenameOne(from, to, VOZ_FT_KEY, 2313, st);
}

int voz_IDXmove(_FCTLHEAD* fs, const char* newDirectory, GTRSTATUS* st) {
    _FCTLHEAD to = *fs;
    size_t len = strlen(newDirectory);
    if (len >= sizeof to.directory) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 2314);
        return -1;
    }
    memcpy(to.directory, newDirectory, len + 1);
    return voz_IDXrename(fs, &to, st);
}

int voz_IDXcopy(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st) {
    if (to->fileType <= VOZ_HALF_SUPP_OLD &&
        MakeDir(to, VOZ_FT_DIR, 2315, st) != 0) {
        return -1;
    }
    if (CopyOne(from, to, VOZ_FT_KEY, 2316, st) != 0) return -1;
    char pos[VOZ_FNAME_LEN];
    voz_IDXgetFname(pos, from, VOZ_FT_POS);
    if (!PathExists(pos)) {
        // The controls copied must be those of one commit, never a mix.
        vozRecoverPosControls(from, st);
        if (voz_Failed(st)) return -1;
        vozCopyPosFiles(from, to, st);
        if (voz_Failed(st)) return -1;
        static const uint16_t kCtl[] = {VOZ_FT_CONTROL | VOZ_FT_SHARED,
                                        VOZ_FT_CONTROL | VOZ_FT_BRANCH,
                                        VOZ_FT_CONTROL | VOZ_FT_LEAF};
        // A journal left in the target belongs to controls replaced now.
        if (voz_IDXdiscardPosJournal(to, st) != 0) return -1;
        for (uint16_t t : kCtl) {
            if (CopyOne(from, to, t, 2317, st) != 0) return -1;
        }
    } else if (CopyOne(from, to, VOZ_FT_POS, 2318, st) != 0) {
        return -1;
    }
    if (from->setIndex != 0) return 0;
    char del[VOZ_FNAME_LEN];
    voz_IDXgetFname(del, from, VOZ_FT_DELETED);
    if (!PathExists(del)) return 0;
    if (MakeDir(to, VOZ_FT_DIR | VOZ_FT_DELETED, 2319, st) != 0) return -1;
    return CopyOne(from, to, VOZ_FT_DELETED, 2320, st);
}

int voz_IDXappend(_FCTLHEAD* to, _FCTLHEAD* from, GTRSTATUS* st) {
    if (voz_IDXopen(from, "rb", st) != 0) return -1;
    KEYINFO_0 info;
    int rc = -1;
    voz_fseek_POSFILE(to, -1, st);
    uint64_t base = static_cast<uint64_t>(to->posOffset);
    if (!voz_Failed(st) && voz_ReadKeyInfo(from, &info, 0, nullptr, st) == 0) {
        for (KEY_REC& k : info.slots) {
            uint64_t loc = (uint64_t(k.locationHigh) << 32) | k.location;
            if (k.dataLength == 0 && k.level == 0) continue;
            loc += base;
            k.locationHigh = static_cast<uint16_t>(loc >> 32);
            k.location = static_cast<uint32_t>(loc);
        }
        if (voz_WriteKeyInfo(to, &info, st) == 0 &&
            AppendKeys(to, from, info, base, st) == 0 &&
            AppendPositions(to, from, st) == 0) {
            rc = 0;
        }
    }
    if (voz_IDXclose(from, st) != 0) rc = -1;
    return rc;
}

int voz_IDXswitchDir(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st) {
    return SwitchDir(from, to, VOZ_FT_DIR, 1806, st);
}

int voz_IDXswitchRootDir(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st) {
    return SwitchDir(from, to, VOZ_FT_DIR | VOZ_FT_SHARED, 2114, st);
}

int voz_SwitchDelDir(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st) {
    return SwitchDir(from, to, VOZ_FT_DIR | VOZ_FT_DELETED, 1807, st);
}
