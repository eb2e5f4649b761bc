// voz_names_copy.cpp - copying one engine file to another path
// (voz_FileCopy).  Both files go through voz_XXopen, so a partitioned
// source is read whole and the target is created partitioned.
#include <errno.h>

#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr size_t kCopyPiece = 8192;

int32_t stickyErrno(const FILE_CONTROL* f) {
    return f->error > 0 ? f->error : errno;
}

// Copies all bytes of `in` to `out`.  0, or -1 with the status filled.
int copyBytes(FILE_CONTROL* in, const char* fromPath, FILE_CONTROL* out,
              const char* toPath, GTRSTATUS* st) {
    char piece[kCopyPiece];
    for (;;) {
        size_t n = voz_XXread(piece, 1, sizeof piece, in);
        if (n == 0) {
            if (in->error != 0) {
                voz_setStatus(st, VOZ_RC_READ, 230, fromPath,
                              stickyErrno(in));
                return -1;
            }
            return 0;  // end of file
        }
        if (voz_XXwrite(piece, 1, n, out) != n) {
            voz_setStatus(st, VOZ_RC_WRITE, 231, toPath, stickyErrno(out));
            return -1;
        }
    }
}

}  // namespace

int voz_FileCopy(const char* fromPath, const char* toPath, GTRSTATUS* st) {
    FILE_CONTROL* in = voz_XXopen(fromPath, "rb");
    if (in == nullptr) {
        voz_setStatus(st, VOZ_RC_OPEN, 228, fromPath, errno);
        return -1;
    }
    FILE_CONTROL* out = voz_XXopen(toPath, "wb");
    if (out == nullptr) {
        voz_setStatus(st, VOZ_RC_OPEN, 229, toPath, errno);
        voz_XXclose(in);
        return -1;
    }
    int rc = copyBytes(in, fromPath, out, toPath, st);
    voz_XXclose(in);
    if (voz_fclose(out, toPath, 247, st) != 0) rc = -1;
    return rc;
}
