// voz_keyfile_io.hpp -- access to a file set's key file shared by the key
// file's readers and writers: which FILE_CONTROL serves the set, where its
// records lie, and how a failure names the file in the status record.
#ifndef VOZ_KEYFILE_IO_HPP
#define VOZ_KEYFILE_IO_HPP

#include <cstddef>
#include <cstdint>

#include "files/voz_keyrec.hpp"

struct FILE_CONTROL;
struct GTRSTATUS;
struct _FCTLHEAD;

// The open key file of `fs`: its own, or that of the set it shares it
// with (fs->sharedFrom). Null when none is open.
FILE_CONTROL* voz_KeyFileOf(const _FCTLHEAD* fs);

// Offset of key record r inside the key file of `fs`.
inline int64_t voz_KeyRecOffset(uint64_t keyBase, int64_t r) {
    return static_cast<int64_t>(keyBase) + VOZ_KEYINFO_SIZE +
           VOZ_KEYREC_SIZE * r;
}

// Records a key-file failure: rc, ec, the key file's name (of the set that
// owns the file) and sysErrno. Nothing when st already holds a failure.
void voz_KeyFileFail(const _FCTLHEAD* fs, GTRSTATUS* st, int32_t rc,
                     int32_t ec, int32_t sysErrno);

// Reasons of one positioned read: seek failed, too little at the end of
// the file, read failed.
struct VozReadReasons {
    int32_t seekRc, seekEc;
    int32_t eofRc, eofEc;
    int32_t readRc, readEc;
};

// Reads count items of `size` bytes from `offset` (negative: from the
// current position). Returns the whole items read (possibly fewer than
// count at the end of the file, not an error here), or -1 after recording
// a seek or read failure. REQUIRES: size * count fits in memory at `buf`.
int64_t voz_KeyFileReadAt(const _FCTLHEAD* fs, int64_t offset, void* buf,
                          size_t size, size_t count, const VozReadReasons& r,
                          GTRSTATUS* st);

#endif  // VOZ_KEYFILE_IO_HPP
