// voz_verify_index.cpp - VOZ_checkDocno, the verification of a whole
// sub-index (main then supp, each with its X-index), and the checks of the
// key-index table and of the field-number keys (see voz_verify.hpp).
#include <cstdlib>
#include <cstring>
#include <vector>

#include "build/voz_callseam.hpp"
#include "build/voz_idxadmin.hpp"
#include "build/voz_journal.hpp"
#include "build/voz_verify.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "files/voz_timelog.hpp"
#include "postings/voz_idxset.hpp"

namespace {

#define VOZ_VI_STR2(x) #x
#define VOZ_VI_STR(x) VOZ_VI_STR2(x)
#define VOZ_VI_ORIGIN __FILE__ ":" VOZ_VI_STR(__LINE__)

constexpr int32_t kInconsistent = 16;

// Progress labels, in the order the parts are verified.
const char* const XOTH_LABEL[] = {
    "Verify primary index...\n", "Verify primary X-index...\n",
    "Verify secondary index...\n", "Verify secondary X-index...\n", "End\n"};

// Errcodes of the X-index checks of one half: basic information differs,
// highest document not below the X-part records, no X-index and unmarked
// X-part keys.
struct XReasons {
    int32_t differs, beyond, unmarked;
};

// Step 4 (and the second half of step 5): the X-index of a half, or,
// without one, every X-part key marked.
int verifyXHalf(_FCTLHEAD* xset, const KEYINFO_0& regular, char logdisp,
                const char* label, const XReasons& why, GTRSTATUS* gsp) {
    KEYINFO_0 xinfo;
    const char answer = voz_AdminExists(xset, &xinfo, gsp);
    if (voz_Failed(gsp)) return -1;
    if (answer != VOZ_EXISTS) {
        if (regular.filteredVarKeys != regular.varKeys) {
            voz_setStatus(gsp, kInconsistent, why.unmarked);
            return -1;
        }
        return 0;
    }
    if (memcmp(xinfo.codeInfo, regular.codeInfo, sizeof xinfo.codeInfo) != 0 ||
        memcmp(xinfo.options, regular.options, sizeof xinfo.options) != 0) {
        voz_setStatus(gsp, kInconsistent, why.differs);
        return -1;
    }
    voz_TimeLog(label, logdisp);
    if (voz_VerifyExtended(xset, logdisp, gsp) != 0) return -1;
    if (static_cast<int32_t>(xinfo.maxDocNumber) >=
        static_cast<int32_t>(regular.varRecords)) {
        voz_setStatus(gsp, kInconsistent, why.beyond);
        return -1;
    }
    return 0;
}

// Steps 2 to 6 (the arguments are checked).
int verifyHalves(const char* idxname, const char* idxdir, const char* letters,
                 const char* prefix, const char* outfn, char logdisp,
                 DOCSINFO* d, VOZ_MARKCHK_FN markTest, GTRSTATUS* gsp) {
    _FCTLHEAD sets[VOZ_ADMIN_SETS];
    if (voz_AdminSets(sets, idxname, idxdir, letters, prefix, gsp) != 0 ||
        voz_JnlRollForward(&sets[0], gsp) != 0) {
        return -1;
    }
    KEYINFO_0 mainInfo;
    const char mainAnswer = voz_AdminExists(&sets[0], &mainInfo, gsp);
    if (voz_Failed(gsp)) return -1;
    if (mainAnswer != VOZ_EXISTS) {
        voz_setStatus(gsp, 20, 476);
        return -1;
    }
    voz_TimeLog(XOTH_LABEL[0], logdisp);
    d->mainLowest = d->mainHighest = -1;
    d->suppLowest = d->suppHighest = -1;
    if (voz_VerifyRegular(&sets[0], outfn, "wb", logdisp, d, markTest, gsp) != 0 ||
        verifyXHalf(&sets[1], mainInfo, logdisp, XOTH_LABEL[1], {431, 432, 430},
                    gsp) != 0) {
        return -1;
    }
    KEYINFO_0 suppInfo;
    const char suppAnswer = voz_AdminExists(&sets[2], &suppInfo, gsp);
    if (voz_Failed(gsp)) return -1;
    if (suppAnswer != VOZ_EXISTS) return 0;
    voz_TimeLog(XOTH_LABEL[2], logdisp);
    DOCSINFO supp{};
    supp.mainLowest = supp.mainHighest = -1;
    const int rc =
        voz_VerifyRegular(&sets[2], outfn, "ab", logdisp, &supp, markTest, gsp);
    d->suppLowest = supp.mainLowest;
    d->suppHighest = supp.mainHighest;
    d->suppCount = supp.mainCount;
    if (rc != 0) return -1;
    if (memcmp(supp.creation, d->creation, sizeof d->creation) != 0) {
        voz_setStatus(gsp, 18, 433);
        return -1;
    }
    return verifyXHalf(&sets[3], suppInfo, logdisp, XOTH_LABEL[3],
                       {436, 437, 435}, gsp);
}

}  // namespace

int VOZ_checkDocno(const char* idxname, const char* idxdir,
                   const char* letters, const char* prefix, const char* outfn,
                   char logdisp, DOCSINFO* docsinfo, VOZ_MARKCHK_FN markTest,
                   GTRSTATUS* gsp) {
    vozTraceCallStart("GTRcheckDocno", VOZ_VI_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_VI_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_VI_ORIGIN);
    vozTraceText("outfn", outfn, VOZ_VI_ORIGIN);
    vozTraceArg("logdisp", &logdisp, 1, VOZ_VI_ORIGIN);
    voz_ClearStatus(gsp);
    DOCSINFO local{};
    DOCSINFO* d = docsinfo != nullptr ? docsinfo : &local;
    memset(d, 0, sizeof *d);
    if (idxname == nullptr || strlen(idxname) >= 2048) {
        voz_setStatus(gsp, 29, 426);
    } else if (outfn != nullptr && strlen(outfn) > 2047) {
        voz_setStatus(gsp, VOZ_RC_PATH_TOO_LONG, 428);
    } else if (logdisp != 'D' && logdisp != 'N') {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 429);
    } else {
        verifyHalves(idxname, idxdir, letters, prefix, outfn, logdisp, d,
                     markTest, gsp);
    }
    voz_TimeLog(XOTH_LABEL[4], logdisp);
    vozTraceCallEnd("GTRcheckDocno", gsp, VOZ_VI_ORIGIN);
    return voz_Failed(gsp) ? -1 : 0;
}

namespace {

// Step 4 of the key-index check: the records around each entry start with
// the entries' units.
int checkEntryRecords(_FCTLHEAD* fs, const KEYINFO_0& k,
                      const KEYIDX_ENTRY* e, uint32_t n, size_t w,
                      GTRSTATUS* gsp) {
    KEY_REC recs[2];
    if (voz_ReadKeyMulti(fs, recs, static_cast<int32_t>(e[0].firstRecord), 1, 1,
                         gsp) != 0)
        return -1;
    if (memcmp(recs[0].key, e[0].unit, w) != 0) {
        voz_setStatus(gsp, kInconsistent, 468);
        return -1;
    }
    for (uint32_t i = 1; i < n; ++i) {
        if (voz_ReadKeyMulti(fs, recs, static_cast<int32_t>(e[i].firstRecord) - 1,
                             2, 1, gsp) != 0)
            return -1;
        if (memcmp(recs[0].key, e[i - 1].unit, w) != 0 ||
            memcmp(recs[1].key, e[i].unit, w) != 0) {
            voz_setStatus(gsp, kInconsistent, 469);
            return -1;
        }
    }
    if (voz_ReadKeyMulti(fs, recs, static_cast<int32_t>(k.fixedRecords) - 1, 1,
                         1, gsp) != 0)
        return -1;
    if (memcmp(recs[0].key, e[n - 1].unit, w) != 0) {
        voz_setStatus(gsp, kInconsistent, 470);
        return -1;
    }
    return 0;
}

// Steps 2 and 3: record numbers, units and the data sums in rank order.
int checkEntryOrder(const KEYINFO_0& k, const KEYIDX_ENTRY* e, uint32_t n,
                    size_t w, GTRSTATUS* gsp) {
    if ((e[0].firstRecord != 0 && e[0].firstRecord != k.dKindRecords) ||
        e[n - 1].firstRecord >= k.fixedRecords) {
        voz_setStatus(gsp, kInconsistent, 466);
        return -1;
    }
    std::vector<int64_t> byRank(n, -1);
    for (uint32_t i = 0; i < n; ++i) {
        const bool orderBad =
            i > 0 && (e[i].firstRecord <= e[i - 1].firstRecord ||
                      memcmp(e[i].unit, e[i - 1].unit, w) < 0);
        if (orderBad || e[i].rank >= n || byRank[e[i].rank] >= 0) {
            voz_setStatus(gsp, kInconsistent, 467);
            return -1;
        }
        byRank[e[i].rank] = e[i].dataSum;
    }
    for (uint32_t r = 1; r < n; ++r) {
        if (byRank[r] < byRank[r - 1]) {
            voz_setStatus(gsp, kInconsistent, 467);
            return -1;
        }
    }
    return 0;
}

}  // namespace

int voz_VerifyInfo2(_FCTLHEAD* fs, const KEYINFO_0* info, GTRSTATUS* gsp) {
    if (info->keyIndexEntries == 0) return 0;
    KEYIDX_ENTRY* table = nullptr;
    if (voz_ReadKeyInfo2(fs, info, &table, gsp) != 0) return -1;
    if (table == nullptr) return 0;
    const uint32_t n = info->keyIndexEntries;
    size_t w = info->unitWidth;
    if (w > VOZ_KEYIDX_UNIT_BYTES) w = VOZ_KEYIDX_UNIT_BYTES;
    int rc = checkEntryOrder(*info, table, n, w, gsp);
    if (rc == 0) rc = checkEntryRecords(fs, *info, table, n, w, gsp);
    free(table);
    return rc;
}

int voz_VerifyInfo3(_FCTLHEAD* /*fs*/, KEYINFO_0 info, GTRSTATUS* gsp) {
    // The storage keeps no per-document entries for the field-number keys,
    // so only their count can be checked.
    if (info.extraRecords16 != 0 &&
        info.extraRecords16 != info.dKindRecords + VOZ_KEY_SLOTS) {
        voz_setStatus(gsp, kInconsistent, 997);
        return -1;
    }
    return 0;
}
