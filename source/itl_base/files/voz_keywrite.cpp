// voz_keywrite.cpp -- writers of the key file: header, key records and the
// key-index table (see voz_keywrite.hpp; layout in voz_keyrec.hpp).
#include "files/voz_keywrite.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "files/voz_file.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr uint32_t kMaxRecordsBefore = 0x7FFFFFFEu;  // count before adding
constexpr int32_t kTableStart = 2048;   // key-index entries at first
constexpr int32_t kTableStep = 1024;    // entries added per growth

// Writes `n` bytes at the key file's current position; false after
// recording (5, ec).
bool writeBytes(_FCTLHEAD* fs, const void* p, size_t n, int32_t ec,
                GTRSTATUS* st) {
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    if (f == nullptr || voz_XXwrite(p, n, 1, f) != 1) {
        voz_KeyFileFail(fs, st, VOZ_RC_WRITE, ec, f == nullptr ? EBADF : errno);
        return false;
    }
    return true;
}

// The header as it goes to disk (see voz_WriteKeyInfo).
KEYINFO_0 headerToWrite(const _FCTLHEAD* fs, const KEYINFO_0* rec) {
    KEYINFO_0 k = *rec;
    memcpy(k.version, VOZ_KEYFILE_VERSION, 4);
    if (k.docGroupLength <= 0) {
        k.maxDocNumber = k.highestDoc;
        k.reserved40 = 0;
    }
    k.writeTime = static_cast<uint32_t>(time(nullptr));
    k.xIndexUnitWidth = 0;
    if (fs->setIndex == 1) k.docCount = 0;  // the X-index counts no documents
    for (int s = 0; s < VOZ_KEY_SLOTS; ++s) {
        KEY_REC& slot = k.slots[s];
        slot.key[0] = static_cast<uint8_t>(s);
        memset(slot.key + 1, 0, VOZ_KEY_HEAD_BYTES - 1);
        if (slot.dataLength == 0 && slot.lengthHigh == 0 && slot.level == 0) {
            slot.locationHigh = 0;
            slot.location = 0;
            slot.lastDoc = VOZ_NO_DOC;
        }
    }
    return k;
}

}  // namespace

int voz_WriteKeyInfo(_FCTLHEAD* fs, const KEYINFO_0* rec, GTRSTATUS* st) {
    KEYINFO_0 k = headerToWrite(fs, rec);
    uint8_t raw[VOZ_KEYINFO_SIZE];
    voz_KeyInfoEncode(&k, raw);
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    if (f == nullptr ||
        voz_XXseek64(f, static_cast<int64_t>(fs->keyBase), 0) != 0) {
        voz_KeyFileFail(fs, st, VOZ_RC_SEEK, 505, f == nullptr ? EBADF : errno);
        return -1;
    }
    return writeBytes(fs, raw, sizeof raw, 506, st) ? 0 : -1;
}

// Checks the kind and the chain of a key and counts it in `rec`; -1 after
// recording the failure.
static int countKey(KEYINFO_0* rec, const KEY_REC* records,
                    VOZ_KEYCALLBACK_FN callback, GTRSTATUS* st) {
    const KEY_REC& head = records[0];
    switch (head.kind) {
    case VOZ_KIND_FIXED:
    case VOZ_KIND_DFIXED:
        if (rec->fixedRecords > kMaxRecordsBefore) {
            voz_setStatus(st, 157, 526);
            return -1;
        }
        ++rec->fixedKeys;
        ++rec->fixedRecords;
        if (head.kind == VOZ_KIND_DFIXED) ++rec->dKindRecords;
        return 0;
    case VOZ_KIND_VAR:
        for (int i = 1; i < head.recCount; ++i)
            if (records[i].kind != VOZ_KIND_CONT) {
                voz_setStatus(st, VOZ_RC_INCONSISTENT, 503);
                return -1;
            }
        if (rec->varRecords > kMaxRecordsBefore) {
            voz_setStatus(st, 157, 527);
            return -1;
        }
        ++rec->varKeys;
        ++rec->varRecords;
        if (rec->options[3] != 0 && callback != nullptr &&
            callback('X', head.key, rec->options[3],
                     static_cast<int16_t>(rec->xIndexUnitWidth)) != 0)
            ++rec->filteredVarKeys;
        return 0;
    default:
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 501);
        return -1;
    }
}

int voz_WriteKey(_FCTLHEAD* fs, KEYINFO_0* rec, const KEY_REC* records,
                 uint8_t type, VOZ_KEYCALLBACK_FN callback, GTRSTATUS* st) {
    if (records == nullptr) return 0;
    if (type < VOZ_KEY_SLOTS) {  // a special key kept in the header
        rec->slots[type] = records[0];
        return 0;
    }
    if (countKey(rec, records, callback, st) != 0) return -1;
    uint8_t raw[VOZ_KEYREC_SIZE * 255];
    voz_KeyRecEncode(&records[0], raw);
    if (!writeBytes(fs, raw, VOZ_KEYREC_SIZE, 502, st)) return -1;
    int more = records[0].kind == VOZ_KIND_VAR ? records[0].recCount - 1 : 0;
    if (more > 0) {
        for (int i = 1; i <= more; ++i) {
            KEY_CONT c = voz_KeyRecToCont(records[i]);
            voz_KeyContEncode(&c, raw + VOZ_KEYREC_SIZE * (i - 1));
        }
        if (!writeBytes(fs, raw, static_cast<size_t>(VOZ_KEYREC_SIZE) * more,
                        504, st))
            return -1;
        rec->varRecords += static_cast<uint32_t>(more);
    }
    // Signed: a key without postings has lastDoc -1 and must not raise it.
    if (static_cast<int32_t>(records[0].lastDoc) > static_cast<int32_t>(rec->highestDoc))
        rec->highestDoc = records[0].lastDoc;
    return 0;
}

void voz_SortKinf2(const KEYIDX_ENTRY* entries, int32_t* numbers,
                   int32_t count) {
    if (numbers == nullptr || count < 2) return;
    std::sort(numbers, numbers + count, [entries](int32_t a, int32_t b) {
        return entries[a].dataSum < entries[b].dataSum;
    });
}

namespace {

// Growable table of key-index entries.
struct EntryTable {
    KEYIDX_ENTRY* e = nullptr;
    int32_t n = 0, cap = 0;
    ~EntryTable() { free(e); }
    // Appends a zeroed entry; false after recording the memory failure.
    bool append(GTRSTATUS* st) {
        if (n == cap) {
            int32_t want = cap == 0 ? kTableStart : cap + kTableStep;
            void* p = realloc(e, sizeof(KEYIDX_ENTRY) * static_cast<size_t>(want));
            if (p == nullptr) {
                voz_setStatus(st, VOZ_RC_MEMORY, cap == 0 ? 508 : 509, nullptr,
                              ENOMEM);
                return false;
            }
            e = static_cast<KEYIDX_ENTRY*>(p);
            cap = want;
        }
        memset(&e[n++], 0, sizeof e[0]);
        return true;
    }
};

// Reads the 'F' records and collects one entry per distinct first unit.
int collectEntries(_FCTLHEAD* fs, const KEYINFO_0& k, EntryTable* t,
                   GTRSTATUS* st) {
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    if (voz_XXseek64(f, voz_KeyRecOffset(fs->keyBase, k.dKindRecords), 0) != 0) {
        voz_KeyFileFail(fs, st, VOZ_RC_SEEK, 507, errno);
        return -1;
    }
    KEY_REC* recs = static_cast<KEY_REC*>(malloc(sizeof(KEY_REC) * 256));
    if (recs == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 508, nullptr, ENOMEM);
        return -1;
    }
    size_t w = k.unitWidth;
    int rc = 0;
    for (uint32_t r = k.dKindRecords; r < k.fixedKeys && rc == 0; ++r) {
        if (voz_ReadKey(fs, recs, VOZ_NEXT_RECORD, st) != 0) {
            rc = -1;
        } else if (t->n == 0 || memcmp(t->e[t->n - 1].unit, recs[0].key, w) != 0) {
            if (!t->append(st)) {
                rc = -1;
            } else {
                memcpy(t->e[t->n - 1].unit, recs[0].key, w);
                t->e[t->n - 1].firstRecord = r;
            }
        }
        if (rc == 0) t->e[t->n - 1].dataSum += recs[0].dataLength;
    }
    free(recs);
    return rc;
}

// Ranks the entries by data sum and appends them after the key records.
int appendEntries(_FCTLHEAD* fs, KEYINFO_0* k, EntryTable* t, GTRSTATUS* st) {
    int32_t* numbers =
        static_cast<int32_t*>(malloc(sizeof(int32_t) * static_cast<size_t>(t->n)));
    uint8_t* raw = static_cast<uint8_t*>(
        malloc(static_cast<size_t>(VOZ_KEYIDX_ENTRY_SIZE) * t->n));
    int rc = -1;
    FILE_CONTROL* f = voz_KeyFileOf(fs);
    int64_t expected = voz_KeyRecOffset(
        fs->keyBase, static_cast<int64_t>(k->fixedRecords) + k->varRecords);
    if (numbers == nullptr || raw == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 510, nullptr, ENOMEM);
    } else if (voz_XXseek64(f, 0, 2) != 0) {
        voz_KeyFileFail(fs, st, VOZ_RC_SEEK, 511, errno);
    } else if (voz_XXtell64(f) != expected) {  // something follows the keys
        voz_KeyFileFail(fs, st, 16, 512, 0);
    } else {
        for (int32_t i = 0; i < t->n; ++i) numbers[i] = i;
        voz_SortKinf2(t->e, numbers, t->n);
        for (int32_t i = 0; i < t->n; ++i) t->e[numbers[i]].rank = static_cast<uint32_t>(i);
        for (int32_t i = 0; i < t->n; ++i)
            voz_KeyIdxEncode(&t->e[i], raw + VOZ_KEYIDX_ENTRY_SIZE * i);
        if (writeBytes(fs, raw, static_cast<size_t>(VOZ_KEYIDX_ENTRY_SIZE) * t->n,
                       513, st)) {
            k->keyIndexEntries = static_cast<uint32_t>(t->n);
            rc = 0;
        }
    }
    free(numbers);
    free(raw);
    return rc;
}

}  // namespace

int voz_WriteKeyInfo2(_FCTLHEAD* fs, GTRSTATUS* st) {
    _FCTLHEAD* owner = fs->sharedFrom != nullptr ? fs->sharedFrom : fs;
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, owner, VOZ_FT_KEY);
    bool opened = false;
    if (owner->keyFile == nullptr) {
        owner->keyFile = voz_XXopen(name, "rb+");
        if (owner->keyFile == nullptr) {
            voz_setStatus(st, VOZ_RC_OPEN, 514, name, errno);
            return -1;
        }
        opened = true;
    }
    KEYINFO_0 k;
    int rc = voz_ReadKeyInfo(fs, &k, 0, nullptr, st);
    if (rc == 0 && k.dKindRecords < k.fixedKeys && k.unitWidth < 4 &&
        k.keyIndexEntries == 0) {
        EntryTable t;
        rc = collectEntries(fs, k, &t, st);
        if (rc == 0) rc = appendEntries(fs, &k, &t, st);
    }
    if (rc == 0) rc = voz_WriteKeyInfo(fs, &k, st);
    if (opened) {
        if (voz_fclose(owner->keyFile, name, 515, st) != 0) rc = -1;
        owner->keyFile = nullptr;
    }
    return rc;
}
