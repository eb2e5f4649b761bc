// voz_keylookup.cpp -- binary search of a fixed key that returns its key
// record whole (see voz_gctl.hpp, voz_BinSearchKeyWhole).
//
// The storage's voz_BinSearchKey clears the key bytes of a record whose
// position data length is 0 and passes over such records at the start of
// the range it bisects in memory. The search must see those keys (a key
// without postings is dropped and reported, not taken for a missing key),
// so this search reads the record again whole and, when the storage's
// answer is an insertion point, looks back over the length-0 records
// before it for the key.
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "search/voz_gctl.hpp"

namespace {

constexpr int kChain = 255;  // records a voz_ReadKey buffer must hold

int cmpLength(const IDXINFO* info) {
    return info->keyCmpLen < VOZ_KEY_HEAD_BYTES ? info->keyCmpLen
                                                 : VOZ_KEY_HEAD_BYTES;
}

}  // namespace

int voz_BinSearchKeyWhole(int32_t mode, const uint8_t* key, IDXINFO* info,
                          KEY_REC* recordOut, int32_t* recordNumberOut,
                          GTRSTATUS* st) {
    int rc = voz_BinSearchKey(mode, key, info, recordOut, recordNumberOut, st);
    if (rc < 0) return rc;
    KEY_REC chain[kChain];
    if (rc == 0) {
        if (recordOut->dataLength != 0) return 0;
        if (voz_ReadKey(&info->fctl, chain, *recordNumberOut, st) != 0)
            return -1;
        *recordOut = chain[0];
        return 0;
    }
    int64_t fixed = info->info.fixedKeys;
    int64_t dKind = info->info.dKindRecords < fixed ? info->info.dKindRecords
                                                     : fixed;
    int64_t first = mode == VOZ_BS_FIELD ? 0 : dKind;
    int64_t r = (*recordNumberOut < 0 ? fixed : *recordNumberOut) - 1;
    if (mode == VOZ_BS_FIELD && r >= dKind) r = dKind - 1;
    size_t n = static_cast<size_t>(cmpLength(info));
    for (; r >= first; --r) {
        if (voz_ReadKey(&info->fctl, chain, static_cast<int32_t>(r), st) != 0)
            return -1;
        if (chain[0].dataLength != 0) break;  // only length-0 records hide
        int c = memcmp(chain[0].key, key, n);
        if (c < 0) break;
        if (c == 0) {
            *recordOut = chain[0];
            *recordNumberOut = static_cast<int32_t>(r);
            return 0;
        }
    }
    return 1;
}
