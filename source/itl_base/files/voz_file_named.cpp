// voz_file_named.cpp - the named file record NAMEDFCTL and voz_fclose: the
// file calls that report their failures in the engine status record.
//
// Return codes: 3 open, 4 read, 5 write, 6 seek, 8 remove, 10 close; the
// reason (errcode) is the caller's; the name goes in errfname1 and errno in
// system_errno.  A close failure is recorded only while the status is
// clear.
#include <errno.h>

#include "files/voz_file.hpp"
#include "files/voz_status.hpp"

namespace {

// errno of a failed FILE_CONTROL call: its sticky error when that is an
// errno value, else the current errno.
int32_t fileErrno(const FILE_CONTROL* f) {
    if (f != nullptr && f->error > 0) return f->error;
    return errno;
}

}  // namespace

int voz_fclose(FILE_CONTROL* f, const char* name, int32_t reason,
               GTRSTATUS* st) {
    if (f == nullptr) return 0;
    int rc = voz_XXclose(f);
    if (rc != 0) voz_setStatus(st, VOZ_RC_CLOSE, reason, name, errno);
    return rc;
}

int voz_FileCtl_Open(NAMEDFCTL* rec, const char* mode, int32_t reason,
                     GTRSTATUS* st) {
    rec->fctl = voz_XXopen(rec->name, mode);
    if (rec->fctl == nullptr) {
        voz_setStatus(st, VOZ_RC_OPEN, reason, rec->name, errno);
        return -1;
    }
    rec->offset = 0;
    return 0;
}

int voz_FileCtl_Opened(const NAMEDFCTL* rec) {
    return rec->fctl != nullptr ? 1 : 0;
}

int64_t voz_FileCtl_Read(NAMEDFCTL* rec, int64_t offset, void* buffer,
                         int64_t length, int32_t reason, GTRSTATUS* st) {
    FILE_CONTROL* f = rec->fctl;
    if (f == nullptr) {
        voz_setStatus(st, VOZ_RC_READ, reason, rec->name, EBADF);
        return -1;
    }
    int64_t target = -1;
    if (offset == VOZ_FILECTL_END) {
        if (voz_XXseek64(f, 0, 2) == 0) target = voz_XXtell64(f);
    } else if (offset < 0 || offset == rec->offset) {
        target = rec->offset;
    } else if (voz_XXseek64(f, offset, 0) == 0) {
        target = offset;
    }
    if (target < 0) {
        voz_setStatus(st, VOZ_RC_SEEK, reason, rec->name, fileErrno(f));
        return -1;
    }
    rec->offset = target;
    if (buffer == nullptr || length < 1) return rec->offset;
    errno = 0;
    if (voz_XXread(buffer, static_cast<size_t>(length), 1, f) != 1) {
        int32_t err = voz_XXeof(f) ? 0 : fileErrno(f);
        voz_setStatus(st, VOZ_RC_READ, reason, rec->name, err);
        return -1;
    }
    rec->offset += length;
    return rec->offset;
}

int64_t voz_FileCtl_Write(NAMEDFCTL* rec, const void* buffer, int64_t length,
                          int32_t reason, GTRSTATUS* st) {
    if (buffer == nullptr || length < 1) return rec->offset;
    FILE_CONTROL* f = rec->fctl;
    errno = 0;
    if (f == nullptr ||
        voz_XXwrite(buffer, static_cast<size_t>(length), 1, f) != 1) {
        voz_setStatus(st, VOZ_RC_WRITE, reason, rec->name,
                      f == nullptr ? EBADF : fileErrno(f));
        return -1;
    }
    rec->offset += length;
    return rec->offset;
}

int voz_FileCtl_Close(NAMEDFCTL* rec, int32_t reason, GTRSTATUS* st) {
    int rc = voz_fclose(rec->fctl, rec->name, reason, st);
    rec->fctl = nullptr;
    rec->offset = 0;
    return rc;
}

int voz_FileCtl_Remove(NAMEDFCTL* rec, int32_t reason, GTRSTATUS* st) {
    if (rec->name[0] == '\0') return 0;
    if (voz_XXremove(rec->name) != 0) {
        voz_setStatus(st, VOZ_RC_REMOVE, reason, rec->name, errno);
        return -1;
    }
    return 0;
}
