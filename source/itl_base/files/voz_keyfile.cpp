// voz_keyfile.cpp -- reading the key file: basic information record, key
// records, key-index table, variable-key order and field-number keys (see
// voz_keyfile.hpp; the layout is in voz_keyrec.hpp).
#include "files/voz_keyfile.hpp"

#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_file.hpp"
#include "files/voz_keycache.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

// ---- shared key-file access -------------------------------------------------

FILE_CONTROL* voz_KeyFileOf(const _FCTLHEAD* fs) {
    const _FCTLHEAD* owner = fs->sharedFrom != nullptr ? fs->sharedFrom : fs;
    return owner->keyFile;
}

void voz_KeyFileFail(const _FCTLHEAD* fs, GTRSTATUS* st, int32_t rc,
                     int32_t ec, int32_t sysErrno) {
    if (voz_Failed(st)) return;
    const _FCTLHEAD* owner = fs->sharedFrom != nullptr ? fs->sharedFrom : fs;
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, owner, VOZ_FT_KEY);
    voz_setStatus(st, rc, ec, name, sysErrno);
}

int64_t voz_KeyFileReadAt(const _FCTLHEAD* fs, int64_t offset, void* buf,
                          size_t size, size_t count, const VozReadReasons& r,
                          GTRSTATUS* st) {
    const int64_t cached = voz_KeyCacheRead(fs, offset, buf, size, count, r, st);
    if (cached != -2) return cached;
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    if (f == nullptr) {  // nothing open: the positioning cannot succeed
        voz_KeyFileFail(fs, st, r.seekRc, r.seekEc, EBADF);
        return -1;
    }
    if (offset >= 0 && voz_XXseek64(f, offset, 0) != 0) {
        voz_KeyFileFail(fs, st, r.seekRc, r.seekEc, errno);
        return -1;
    }
    size_t got = voz_XXread(buf, size, count, f);
    if (got < count && f->error != 0) {
        voz_KeyFileFail(fs, st, r.readRc, r.readEc,
                        f->error > 0 ? f->error : 0);
        return -1;
    }
    return static_cast<int64_t>(got);
}

// ---- basic information record -------------------------------------------

const char* VOZ_getPgmVersion() { return VOZ_KEYFILE_VERSION; }

static bool versionOk(const KEYINFO_0* rec) {
    return memcmp(rec->version, VOZ_KEYFILE_VERSION, 4) == 0;
}

// The reason a header no writer makes is refused for, or 0.  The header
// comes from disk: every field that sizes or indexes something is checked.
static int32_t geometryFault(const KEYINFO_0* rec) {
    if (rec->unitWidth == 0 || rec->unitWidth > VOZ_KEYIDX_UNIT_BYTES) return 240;
    uint32_t cmpLen = uint32_t(rec->fixedKeyUnits) * uint32_t(rec->unitWidth);
    if (cmpLen == 0 || cmpLen > VOZ_KEY_HEAD_BYTES) return 241;
    if (rec->dKindRecords > rec->fixedKeys || rec->fixedKeys > rec->fixedRecords ||
        rec->varKeys > rec->varRecords || rec->keyIndexEntries > rec->fixedRecords ||
        rec->specialLength > sizeof rec->specialLetters)
        return 242;
    return 0;
}

int voz_SetIndexBasic(IDXINFO* info, const KEYINFO_0* rec, GTRSTATUS* st) {
    if (!versionOk(rec)) {
        voz_setStatus(st, VOZ_RC_VERSION, 232);
        return -1;
    }
    if (int32_t reason = geometryFault(rec)) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, reason);
        return -1;
    }
    info->info = *rec;
    info->keyCmpLen = static_cast<uint16_t>(uint32_t(rec->fixedKeyUnits) *
                                            uint32_t(rec->unitWidth));
    return 0;
}

int voz_CheckIndexBasic(const KEYINFO_0* a, const KEYINFO_0* b,
                        GTRSTATUS* st) {
    auto fail = [st](int32_t rc, int32_t ec) {
        voz_setStatus(st, rc, ec);
        return -1;
    };
    auto headUnits = [](const KEYINFO_0* k) {
        return k->headKeyUnits == 0 ? 3 : k->headKeyUnits;
    };
    if (!versionOk(b)) return fail(VOZ_RC_VERSION, 233);
    if (a->fixedKeyUnits != b->fixedKeyUnits || headUnits(a) != headUnits(b) ||
        a->unitWidth != b->unitWidth)
        return fail(VOZ_RC_MISMATCH, 234);
    if (a->docGroupLength != b->docGroupLength) return fail(VOZ_RC_MISMATCH, 235);
    if (a->storeParameter != b->storeParameter) return fail(VOZ_RC_MISMATCH, 297);
    if (a->sharedBlockKB != b->sharedBlockKB ||
        a->branchBlockKB != b->branchBlockKB || a->leafBlockKB != b->leafBlockKB)
        return fail(VOZ_RC_MISMATCH, 298);
    if (memcmp(a->codeInfo, b->codeInfo, sizeof a->codeInfo) != 0)
        return fail(VOZ_RC_MISMATCH, 236);
    if (memcmp(a->options, b->options, sizeof a->options) != 0)
        return fail(VOZ_RC_MISMATCH, 237);
    for (int s = 0; s < VOZ_KEY_SLOTS; ++s)
        if (a->slots[s].kind != b->slots[s].kind) return fail(VOZ_RC_MISMATCH, 226);
    return 0;
}

int voz_ReadKeyInfo(_FCTLHEAD* fs, KEYINFO_0* rec, int withIndex,
                    KEYIDX_ENTRY** tableOut, GTRSTATUS* st) {
    static const VozReadReasons kReasons = {6, 201, 4, 202, 4, 202};
    assert(withIndex == 0 || tableOut != nullptr);
    uint8_t raw[VOZ_KEYINFO_SIZE];
    int64_t got = voz_KeyFileReadAt(fs, static_cast<int64_t>(fs->keyBase), raw,
                                    sizeof raw, 1, kReasons, st);
    if (got < 0) return -1;
    if (got != 1) {
        voz_KeyFileFail(fs, st, 4, 202, 0);
        return -1;
    }
    voz_KeyInfoDecode(raw, rec);
    rec->xIndexUnitWidth = 2;  // the X-index derived from it uses 2-byte units
    if (withIndex != 0 && rec->keyIndexEntries != 0)
        return voz_ReadKeyInfo2(fs, rec, tableOut, st);
    return 0;
}

// Length of the key file of `fs`, or -1 after recording a seek failure.
static int64_t keyFileLength(_FCTLHEAD* fs, int32_t ec, GTRSTATUS* st) {
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    if (f == nullptr || voz_XXseek64(f, 0, 2) != 0) {
        voz_KeyFileFail(fs, st, 6, ec, f == nullptr ? EBADF : errno);
        return -1;
    }
    return voz_XXtell64(f);
}

int voz_ReadKeyInfo2(_FCTLHEAD* fs, const KEYINFO_0* rec,
                     KEYIDX_ENTRY** tableOut, GTRSTATUS* st) {
    static const VozReadReasons kReasons = {6, 204, 4, 205, 4, 205};
    *tableOut = nullptr;
    uint32_t n = rec->keyIndexEntries;
    int64_t start = voz_KeyRecOffset(
        fs->keyBase, static_cast<int64_t>(rec->fixedRecords) + rec->varRecords);
    // The count comes from disk: a table that would reach past the end of
    // the file is a short read, found before anything is allocated.
    int64_t length = keyFileLength(fs, 204, st);
    if (length < 0) return -1;
    if (start + static_cast<int64_t>(n) * VOZ_KEYIDX_ENTRY_SIZE > length) {
        voz_KeyFileFail(fs, st, 4, 205, 0);
        return -1;
    }
    size_t bytes = static_cast<size_t>(n) * VOZ_KEYIDX_ENTRY_SIZE;
    uint8_t* raw = static_cast<uint8_t*>(malloc(bytes > 0 ? bytes : 1));
    KEYIDX_ENTRY* table = static_cast<KEYIDX_ENTRY*>(
        malloc(n > 0 ? n * sizeof(KEYIDX_ENTRY) : 1));
    if (raw == nullptr || table == nullptr) {
        free(raw);
        free(table);
        voz_KeyFileFail(fs, st, 11, 203, ENOMEM);
        return -1;
    }
    int64_t got = voz_KeyFileReadAt(fs, start, raw, VOZ_KEYIDX_ENTRY_SIZE, n,
                                    kReasons, st);
    if (got >= 0 && got != static_cast<int64_t>(n))
        voz_KeyFileFail(fs, st, 4, 205, 0);
    if (got != static_cast<int64_t>(n)) {
        free(raw);
        free(table);
        return -1;
    }
    for (uint32_t i = 0; i < n; ++i)
        voz_KeyIdxDecode(raw + VOZ_KEYIDX_ENTRY_SIZE * i, &table[i]);
    free(raw);
    *tableOut = table;
    return 0;
}

// ---- key records ------------------------------------------------------------

// Reads `count` raw records at record number `r` (VOZ_NEXT_RECORD: the
// current position) into `out`; the records hold the stored bytes. Returns
// the records read, or -1 after a seek or read failure.
static int64_t readRaw(_FCTLHEAD* fs, int32_t r, KEY_REC* out, int32_t count,
                       const VozReadReasons& why, GTRSTATUS* st) {
    int64_t offset = r < 0 ? -1 : voz_KeyRecOffset(fs->keyBase, r);
    return voz_KeyFileReadAt(fs, offset, out, VOZ_KEYREC_SIZE,
                             static_cast<size_t>(count), why, st);
}

// Converts a stored record in place (head and continuation alike).
static void convertRecord(KEY_REC* rec) {
    uint8_t raw[VOZ_KEYREC_SIZE];
    memcpy(raw, rec, sizeof raw);
    voz_KeyAnyDecode(raw, rec);
}

int voz_ReadKey(_FCTLHEAD* fs, KEY_REC* records, int32_t recordNumber,
                GTRSTATUS* st) {
    static const VozReadReasons kHead = {6, 206, 19, 207, 4, 208};
    static const VozReadReasons kCont = {6, 206, 4, 209, 4, 209};
    int64_t got = readRaw(fs, recordNumber, records, 1, kHead, st);
    if (got < 0) return -1;
    if (got != 1) {
        voz_KeyFileFail(fs, st, 19, 207, 0);
        return -1;
    }
    convertRecord(records);
    if (records[0].kind != VOZ_KIND_VAR || records[0].recCount < 2) return 0;
    int32_t more = records[0].recCount - 1;
    got = readRaw(fs, VOZ_NEXT_RECORD, records + 1, more, kCont, st);
    if (got >= 0 && got != more) voz_KeyFileFail(fs, st, 4, 209, 0);
    if (got != more) return -1;
    for (int32_t i = 1; i <= more; ++i) convertRecord(&records[i]);
    return 0;
}

int32_t voz_KeyLength1(const uint8_t* key6, int32_t unitWidth) {
    if (unitWidth < 1) unitWidth = 1;
    for (int32_t u = VOZ_KEY_HEAD_BYTES - unitWidth; u >= 0; u -= unitWidth)
        if (key6[u] != 0) return u + unitWidth;
    return 0;
}

int voz_ReadKeyRec_1(_FCTLHEAD* fs, KEY_REC* records, int32_t unitWidth,
                     int32_t* keyLengthOut, int32_t recordNumber,
                     GTRSTATUS* st) {
    static const VozReadReasons kReasons = {6, 211, 19, 212, 4, 213};
    if (recordNumber < 0) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 210);
        return -1;
    }
    int64_t got = readRaw(fs, recordNumber, records, 2, kReasons, st);
    if (got < 0) return -1;
    if (got < 1) {
        voz_KeyFileFail(fs, st, 19, 212, 0);
        return -1;
    }
    convertRecord(&records[0]);
    if (got == 1 && records[0].recCount >= 2) {  // chain cut by the file end
        voz_KeyFileFail(fs, st, 19, 212, 0);
        return -1;
    }
    if (got == 2) convertRecord(&records[1]);
    if (records[0].recCount >= 2)
        *keyLengthOut = voz_KeyRecToCont(records[1]).keyLength;
    else
        *keyLengthOut = voz_KeyLength1(records[0].key, unitWidth);
    return 0;
}

int voz_ReadKeyMulti(_FCTLHEAD* fs, KEY_REC* records, int32_t recordNumber,
                     int32_t count, int convert, GTRSTATUS* st) {
    static const VozReadReasons kReasons = {6, 214, 19, 215, 4, 216};
    if (count <= 0) return 0;
    int64_t got = readRaw(fs, recordNumber, records, count, kReasons, st);
    if (got < 0) return -1;
    if (got != count) {
        voz_KeyFileFail(fs, st, 19, 215, 0);
        return -1;
    }
    if (convert != 0)
        for (int32_t i = 0; i < count; ++i)
            if (records[i].kind != VOZ_KIND_CONT) convertRecord(&records[i]);
    return 0;
}

// ---- variable keys and field numbers --------------------------------------

int voz_VkeyCmp(const KEY_REC* a, const KEY_REC* b) {
    int c = memcmp(a[0].key, b[0].key, VOZ_KEY_HEAD_BYTES);
    if (c != 0) return c;
    int n = a[0].recCount, m = b[0].recCount;
    int common = n < m ? n : m;
    for (int i = 1; i < common; ++i) {
        c = memcmp(voz_KeyRecToCont(a[i]).key, voz_KeyRecToCont(b[i]).key,
                   VOZ_KEY_CONT_BYTES);
        if (c != 0) return c;
    }
    return n - m;
}

void voz_FldNumber_Set(uint8_t* buffer, uint16_t field) {
    buffer[0] = static_cast<uint8_t>(field >> 8);
    buffer[1] = 0x0E;
    buffer[2] = static_cast<uint8_t>(field & 0xFF);
    buffer[3] = 0x0E;
}

uint16_t voz_FldNumber_Get(const uint8_t* buffer) {
    return static_cast<uint16_t>(buffer[0] * 256 + buffer[2]);
}
