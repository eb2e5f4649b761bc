// voz_integrity.cpp -- voz_CheckIntegrity (see voz_integrity.hpp).
#include "build/voz_integrity.hpp"

#include <cerrno>

#include "files/voz_file.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"

int voz_CheckIntegrity(_FCTLHEAD* fs, KEYINFO_0* rec, GTRSTATUS* st) {
    constexpr uint64_t kMB = 1048576;
    if (fs->posSize != 0) {
        rec->posDataMB = static_cast<uint32_t>(fs->posSize / kMB + 1);
    } else {
        GTRSTATUS ignored{};  // a store without a size counts as empty
        rec->posDataMB = static_cast<uint32_t>(vozGetOffset(fs->posBroker, &ignored) / kMB);
    }
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    if (f == nullptr || voz_XXseek64(f, 0, 2) != 0) {
        voz_KeyFileFail(fs, st, VOZ_RC_SEEK, 516, f == nullptr ? EBADF : errno);
        return -1;
    }
    int64_t length = voz_XXtell64(f);
    int64_t expected =
        voz_KeyRecOffset(fs->keyBase, static_cast<int64_t>(rec->fixedRecords) +
                                          rec->varRecords) +
        static_cast<int64_t>(VOZ_KEYIDX_ENTRY_SIZE) *
            (static_cast<int64_t>(rec->keyIndexEntries) + rec->extraRecords16);
    if (length != expected) {
        voz_KeyFileFail(fs, st, 16, 517, 0);
        return -1;
    }
    return 0;
}

void voz_MakeKeyInfo3() {}
