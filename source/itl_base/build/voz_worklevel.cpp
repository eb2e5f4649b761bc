// voz_worklevel.cpp -- vozSetWorkFctl: the next section of a work level
// (see voz_worklevel.hpp).
#include "build/voz_worklevel.hpp"

#include <cerrno>
#include <cstring>

#include "files/voz_file.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

// Positions `section` at the ends of the level's shared files: keyBase and
// keyEnd at the key file's end, posStart at the position file's. 0 or -1.
int seekToEnds(_FCTLHEAD* section, GTRSTATUS* st) {
    FILE_CONTROL* kf = voz_KeyFileOf(section);
    if (kf == nullptr || voz_XXseek64(kf, 0, 2) != 0) {
        voz_KeyFileFail(section, st, VOZ_RC_SEEK, 2298, kf == nullptr ? EBADF : errno);
        return -1;
    }
    section->keyBase = section->keyEnd = static_cast<uint64_t>(voz_XXtell64(kf));
    GTRSTATUS why{};
    voz_fseek_POSFILE(section, -1, &why);
    int32_t reason = 2229;
    int64_t at = 0;
    if (why.retcode == 0) {
        reason = 2230;
        at = voz_ftell_POSFILE(section, &why);
    }
    if (why.retcode != 0) {
        voz_setStatus(st, why.retcode, reason, why.errfname1, why.system_errno);
        return -1;
    }
    section->posStart = static_cast<uint64_t>(at);
    section->posOffset = at;
    return 0;
}

// The level's record of a section that continues the owner's files: the
// section's bases, the owner's names, no open files of its own.
void continuingRecord(MCTLHEAD* rec, const _FCTLHEAD& section, MCTLHEAD* owner) {
    rec->idx = section;
    rec->idx.keyFile = nullptr;
    rec->idx.posFile = nullptr;
    rec->idx.posBroker = nullptr;
    rec->idx.deletedDocs = nullptr;
    rec->idx.sharedFrom = &owner->idx;
    rec->idx.sharesFile = 1;
}

}  // namespace

int vozSetWorkFctl(_FCTLHEAD* section, MCTLINFO* lvl, _FCTLHEAD* model,
                   const char* workDir, GTRSTATUS* st) {
    uint16_t n = lvl->numSections;
    MCTLHEAD* rec = &lvl->sections[n];
    if (n > 0 && lvl->sections[n - 1].idx.sharesFile == 1) {
        MCTLHEAD* owner = &lvl->sections[lvl->fileOwner];
        *section = owner->idx;
        memset(rec, 0, sizeof *rec);
        if (!lvl->filesOpen) {
            section->sharedFrom = nullptr;
            if (voz_IDXopen(section, "rb+", st) != 0) return -1;
            owner->idx = *section;
            lvl->filesOpen = 1;
        }
        if (seekToEnds(section, st) != 0) return -1;
        continuingRecord(rec, *section, owner);
    } else {
        memset(section, 0, sizeof *section);
        memcpy(section->indexName, model->indexName, sizeof section->indexName);
        strncpy(section->directory, workDir, VOZ_FNAME_LEN - 1);
        section->setIndex = model->setIndex;
        memcpy(section->generation, model->generation, sizeof section->generation);
        memcpy(section->subdirPrefix, model->subdirPrefix, sizeof section->subdirPrefix);
        section->fileType = VOZ_HALF_LEVEL0 + static_cast<int32_t>(lvl->level);
        section->workSet = 1;
        section->sharesFile = 1;
        memset(rec, 0, sizeof *rec);
        if (voz_IDXopen(section, "wb", st) != 0) return -1;
        rec->idx = *section;
        lvl->fileOwner = n;
        lvl->filesOpen = 1;
    }
    section->flags |= VOZ_FCTL_OPEN;
    rec->idx.flags |= VOZ_FCTL_OPEN;
    ++lvl->numSections;
    return 0;
}
