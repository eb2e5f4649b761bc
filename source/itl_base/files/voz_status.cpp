// voz_status.cpp - filling the engine status record GTRSTATUS.
//
// One rule puts file names into the record's two 512-byte texts; every
// engine layer (plain functions and CVozException alike) goes through
// voz_StatusName so that a name is shortened the same way everywhere.
#include "files/voz_status.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Characters of the tail kept from a long name ("..." goes in front).
constexpr size_t kTailLen = 507;

}  // namespace

void voz_StatusName(char* dst, const char* name) {
    if (name == nullptr) {
        dst[0] = '\0';
        return;
    }
    size_t len = strlen(name);
    if (len < VOZ_STATUS_NAME_LEN) {
        memcpy(dst, name, len + 1);
        return;
    }
    // Keep the tail from the first '/' in [len - 507, len - 2], so the name
    // starts at a path component when one starts near enough the end.
    size_t from = len - kTailLen;
    size_t start = from;
    for (size_t i = from; i + 1 < len; ++i) {
        if (name[i] == '/') {
            start = i;
            break;
        }
    }
    memcpy(dst, "...", 3);
    memcpy(dst + 3, name + start, len - start + 1);
}

void voz_ClearStatus(GTRSTATUS* st) {
    if (st == nullptr) return;
    // Most calls get a record that is clear already (a caller's loop over
    // the result calls, an inner call after its public one): test the
    // fields a failure writes, and the names' first bytes, in a few word
    // loads before writing all 1,064 bytes.
    static_assert(offsetof(GTRSTATUS, errfname1) == 12 &&
                      offsetof(GTRSTATUS, system_errno) + 28 == sizeof(GTRSTATUS),
                  "the words tested below cover every field but the names");
    const char* p = reinterpret_cast<const char*>(st);
    const size_t tail = offsetof(GTRSTATUS, system_errno);
    uint64_t h0, t0, t1, t2;
    uint32_t h1, t3;
    memcpy(&h0, p, 8);
    memcpy(&h1, p + 8, 4);
    memcpy(&t0, p + tail, 8);
    memcpy(&t1, p + tail + 8, 8);
    memcpy(&t2, p + tail + 16, 8);
    memcpy(&t3, p + tail + 24, 4);
    const bool clear = (h0 | h1 | t0 | t1 | t2 | t3) == 0 &&
                       st->errfname1[0] == 0 && st->errfname2[0] == 0;
    if (!clear) memset(st, 0, sizeof *st);
}

void voz_setStatus2(GTRSTATUS* st, int32_t rc, int32_t ec, const char* name1,
                    const char* name2, int32_t sysErrno) {
    if (st == nullptr || st->retcode != 0) return;
    st->retcode = rc;
    st->errcode = ec;
    voz_StatusName(st->errfname1, name1);
    voz_StatusName(st->errfname2, name2);
    st->system_errno = sysErrno;
}

void voz_setStatus(GTRSTATUS* st, int32_t rc, int32_t ec, const char* name,
                   int32_t sysErrno) {
    voz_setStatus2(st, rc, ec, name, nullptr, sysErrno);
}
