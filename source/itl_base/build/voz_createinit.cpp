// voz_createinit.cpp -- the start of a creation cycle: VOZ_createIndexInit,
// VOZ_createIndexInfo, the pool scale and the unsupported merge calls (see
// voz_creatwrk.hpp).
//
// VOZ_createIndexInit, in order; the first failing step ends the call, and
// any failure after the block exists releases it whole
// (voz_CreateIndexReleaseAll, which removes "#main" and "#supp"):
//   1 block allocated, zeroed, tagged      7 pool size scaled
//   2 operation and mode checked           8 cycle memory
//   3 key geometry checked                 9 the ten file sets
//   4 system parameters                   10 clean-up of the index,
//   5 basic information, store checks        deleted-document lists
//   6 time log                            11-14 existing halves, target
//                                         15-16 counters, target emptied,
//                                               "#supp" directories
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "build/voz_callseam.hpp"
#include "build/voz_cleantmp.hpp"
#include "build/voz_creatwrk.hpp"
#include "build/voz_docidchk.hpp"
#include "build/voz_sysparm.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr const char* kDefaultLetters = "KPLQ";
constexpr const char* kDefaultPrefix = "Full";

// Step 3: fixed pattern of 1-6 bytes (2/6), head of at most 6 stored bytes
// (2/39). Unit widths below 1 are refused with the same codes: every
// later size is a multiple of them.
int checkGeometry(CREATWRK* cwp, const GTRCREATEPARM& p, GTRSTATUS* st) {
    int16_t product = static_cast<int16_t>(p.fixedKeyUnits * p.inputUnitWidth);
    if (product < 1 || product > 6 || p.inputUnitWidth < 1) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 6);
        return -1;
    }
    int16_t head = p.headKeyUnits == 0 ? 3 : p.headKeyUnits;
    if (head < 0 || p.storedUnitWidth < 1 || head * p.storedUnitWidth >= 7) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 39);
        return -1;
    }
    cwp->fixedPatternBytes = static_cast<uint16_t>(product);
    cwp->basicInfo.headKeyUnits = static_cast<uint16_t>(head);
    return 0;
}

// Step 5: the basic information from the creation parameters.
int fillBasic(CREATWRK* cwp, const GTRCREATEPARM& p, int32_t sysWord,
              GTRSTATUS* st) {
    KEYINFO_0& b = cwp->basicInfo;
    memcpy(b.version, VOZ_KEYFILE_VERSION, 4);
    b.fixedKeyUnits = static_cast<uint16_t>(p.fixedKeyUnits);
    b.unitWidth = static_cast<uint16_t>(p.inputUnitWidth);
    b.xIndexUnitWidth = static_cast<uint16_t>(p.storedUnitWidth);
    memcpy(b.options, p.options, sizeof b.options);
    memcpy(b.codeInfo, p.codeInfo, sizeof b.codeInfo);
    b.docGroupLength = sysWord;
    int16_t store = p.storeParameter == -1 ? 1500 : p.storeParameter;
    if (store < -1) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 2103);
        return -1;
    }
    b.storeParameter = static_cast<uint16_t>(store);
    if (store != 0) {
        int16_t sub = p.storeSubParameter == -1 ? 4 : p.storeSubParameter;
        int16_t unit = p.storeBlockUnit == -1 ? 4 : p.storeBlockUnit;
        if (unit != 4 && unit != 8 && unit != 16) {
            voz_setStatus(st, VOZ_RC_PARAMETER, 2104);
            return -1;
        }
        b.branchBlockKB = static_cast<uint16_t>(sub);
        b.leafBlockKB = static_cast<uint16_t>(unit);
        b.sharedBlockKB = unit < 16 ? 32 : 64;
    }
    b.storeFlag = p.storeFlag;
    b.specialLength = p.specialLength > VOZ_SPECIAL_LETTERS_MAX
                          ? VOZ_SPECIAL_LETTERS_MAX : p.specialLength;
    if (b.specialLength != 0) memcpy(b.specialLetters, p.specialLetters, 16);
    return 0;
}

// Step 9: the ten file sets. 0 or -1 (a name too long: 35).
int setUpSets(CREATWRK* cwp, const char* name, const char* outDir,
              const char* workDir, const char* letters, const char* prefix,
              GTRSTATUS* st) {
    static const int32_t kTypes[VOZ_SETS_PER_KIND] = {
        VOZ_HALF_MAIN, VOZ_HALF_SUPP, VOZ_HALF_MAIN_NEW, VOZ_HALF_SUPP_NEW, VOZ_HALF_WORK};
    for (int kind = 0; kind < 2; ++kind) {
        for (int i = 0; i < VOZ_SETS_PER_KIND; ++i) {
            _FCTLHEAD* fs = &cwp->indexSets[kind * VOZ_SETS_PER_KIND + i];
            const char* dir = kTypes[i] == VOZ_HALF_WORK ? workDir : outDir;
            if (voz_SetFctlForRead(fs, name, dir, 0, kind, letters, prefix, st) != 0)
                return -1;
            fs->fileType = kTypes[i];
        }
    }
    return 0;
}

// Steps 10-14: clean-up, deleted documents, the existing halves and the
// target of this cycle.
// Whether the live main or supp set of the sub-index keeps its positions
// in the shared block files (read from a copy of its descriptor, whose key
// header flags are taken in).
bool liveSetUsesBlockStore(CREATWRK* cwp, GTRSTATUS* st) {
    const int sets[] = {VOZ_SET_MAIN, VOZ_SET_SUPP};
    for (int set : sets) {
        _FCTLHEAD probe = cwp->indexSets[set];
        probe.deletedDocs = nullptr;
        probe.keyFile = nullptr;
        probe.posFile = nullptr;
        probe.posBroker = nullptr;
        probe.sharedFrom = nullptr;
        probe.flags |= VOZ_FCTL_TAKE_FLAGS;
        KEYINFO_0 info{};
        voz_IDXqueryExistence(&probe, &info, st);
        if (voz_Failed(st)) return false;
        if ((probe.flags & VOZ_FCTL_BTREE) != 0) return true;
    }
    return false;
}

int findTarget(CREATWRK* cwp, int32_t* currMaxDoc, GTRSTATUS* st) {
    _FCTLHEAD* main = &cwp->indexSets[VOZ_SET_MAIN];
    _FCTLHEAD* supp = &cwp->indexSets[VOZ_SET_SUPP];
    _FCTLHEAD* suppNew = &cwp->indexSets[VOZ_SET_SUPP_NEW];
    if (vozCleanTmpDir(cwp, st) != 0) return -1;
    main->deletedDocs = vozAllocateDeletedDocs(main, 0, st);
    if (voz_Failed(st)) return -1;
    supp->deletedDocs = vozAllocateDeletedDocs(supp, 0, st);
    if (voz_Failed(st)) return -1;
    cwp->documentRecordKind = VOZ_KIND_DFIXED;
    cwp->mainState = cwp->suppState = 'N';
    KEYINFO_0 mh{}, sh{};
    if (cwp->operation == 'A') {
        main->flags |= VOZ_FCTL_TAKE_FLAGS;
        if (voz_IDXqueryExistence(main, &mh, st) == VOZ_EXISTS) cwp->mainState = 'E';
        if (voz_Failed(st)) return -1;
    }
    if (cwp->mainState == 'E') {
        cwp->documentRecordKind = mh.slots[0].kind;
        for (int s = 0; s < VOZ_KEY_SLOTS; ++s) cwp->basicInfo.slots[s].kind = mh.slots[s].kind;
        if (voz_CheckIndexBasic(&cwp->basicInfo, &mh, st) != 0) return -1;
        cwp->basicInfo.specialLength = mh.specialLength > VOZ_SPECIAL_LETTERS_MAX
                                           ? VOZ_SPECIAL_LETTERS_MAX : mh.specialLength;
        memcpy(cwp->basicInfo.specialLetters, mh.specialLetters, 16);
        if (voz_IDXqueryExistence(supp, &sh, st) == VOZ_EXISTS &&
            static_cast<int32_t>(sh.maxDocNumber) >= 0)
            cwp->suppState = 'E';
        if (voz_Failed(st)) return -1;
    }
    cwp->targetSet = suppNew;
    if (cwp->mainState != 'E') {
        cwp->operation = 'N';
        *currMaxDoc = -1;
        cwp->existingWords[0] = cwp->existingWords[1] = 0;
        cwp->suppVariableKeys = 0;
        // The block store's files are shared by every set of the
        // sub-index: a new index may only choose it when no live set uses
        // them, or it would rebuild them under the index it replaces and a
        // cancel or crash before the switch would lose that index.
        if (cwp->basicInfo.storeParameter != 0 && !liveSetUsesBlockStore(cwp, st))
            suppNew->flags |= VOZ_FCTL_CHOOSE;
        if (voz_Failed(st)) return -1;
    } else if (cwp->suppState == 'E') {
        int32_t m = static_cast<int32_t>(mh.maxDocNumber);
        int32_t s = static_cast<int32_t>(sh.maxDocNumber);
        *currMaxDoc = m > s ? m : s;
        cwp->existingWords[0] = static_cast<int32_t>(sh.highestDoc);
        cwp->existingWords[1] = static_cast<int32_t>(sh.reserved40);
        cwp->suppVariableKeys = static_cast<int32_t>(sh.varKeys);
        if (cwp->batchOnline == 'O' && cwp->suppVariableKeys > 0 &&
            cwp->basicInfo.options[3] == 0) {
            cwp->targetSet = &cwp->indexSets[VOZ_SET_WORK];
        } else {
            cwp->previousSet = supp;
        }
    } else {
        *currMaxDoc = static_cast<int32_t>(mh.maxDocNumber);
        cwp->existingWords[0] = static_cast<int32_t>(mh.highestDoc);
        cwp->existingWords[1] = static_cast<int32_t>(mh.reserved40);
        cwp->suppVariableKeys = 0;
    }
    return 0;
}

// Steps 1-16 after the block exists. 0 or -1.
int startCycle(CREATWRK* cwp, const char* name, const char* outDir,
               const char* letters, const char* prefix, const char* workDir,
               const GTRCREATEPARM& cparm, const GTRSYSPARM* sysp,
               int32_t* currMaxDoc, GTRSTATUS* st) {
    if (cwp->operation != 'N' && cwp->operation != 'A') {
        voz_setStatus(st, VOZ_RC_PARAMETER, 4);
        return -1;
    }
    if (cwp->batchOnline != 'B' && cwp->batchOnline != 'O') {
        voz_setStatus(st, VOZ_RC_PARAMETER, 5);
        return -1;
    }
    if (checkGeometry(cwp, cparm, st) != 0) return -1;
    VOZSYSPARM sys;
    int32_t sysWord = 0;
    voz_GetGTRsysparm(cwp->batchOnline, sysp, &sys, cparm.sysparmArgument, &sysWord);
    cwp->timeLogFlag = sys.timeLogFlag;
    cwp->flushFlag = sys.flushFlag;
    cwp->creationParm = cparm;
    strncpy(cwp->directoryPrefix, prefix, VOZ_PREFIX_LEN - 1);
    if (fillBasic(cwp, cparm, sysWord, st) != 0) return -1;
    voz_TimeLogC(&cwp->timeLog, cwp->directoryPrefix, VOZ_PHASE_OTHER, 'T', cwp->timeLogFlag);
    voz_TimeLogC(&cwp->timeLog, " Start...", VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
    int32_t pool = voz_ScalePoolSize(sys.poolSize, cparm.memoryScale);
    if (voz_mallocForCreation(cwp, pool, sys.poolSizeDelta, st) != 0) return -1;
    if (strlen(workDir) >= VOZ_FNAME_LEN) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 238, workDir);
        return -1;
    }
    if (setUpSets(cwp, name, outDir, workDir, letters, prefix, st) != 0) return -1;
    strncpy(cwp->workDirectory, workDir, VOZ_FNAME_LEN - 1);
    if (findTarget(cwp, currMaxDoc, st) != 0) return -1;
    cwp->registeredLow = 0x7FFFFFFF;
    cwp->registeredHigh = -1;
    cwp->maxDocument = *currMaxDoc;
    cwp->lastFlushedDocument = -1;
    cwp->savedDocumentPosition[0] = -1;
    GTRSTATUS removal{};
    voz_IDXremove(cwp->targetSet, &removal);  // leftovers of an old cycle
    if (vozCreateIndexDirectory(&cwp->indexSets[VOZ_SET_SUPP_NEW], st) != 0) return -1;
    // The documents already stored are checked while this cycle adds
    // others; without an index every document is new.
    if (cwp->mainState == 'E' &&
        vozCheckDocIDInit(&cwp->documentCheck, name, outDir, letters, prefix,
                          &cparm, st) != 0)
        return -1;
    return 0;
}

}  // namespace

int32_t voz_ScalePoolSize(int32_t size, uint8_t memoryScale) {
    switch (memoryScale) {
    case 1: return size / 38 * 28;
    // The constants are single precision; 4 keeps its historic value
    // 0.037333343, a twentieth of the expected 0.7466667.
    case 2: return static_cast<int32_t>(static_cast<double>(size) * static_cast<double>(0.7093333f));
    case 4: return static_cast<int32_t>(static_cast<double>(size) * static_cast<double>(0.037333343f));
    default: return size;
    }
}

void VOZ_createIndexInit(CREATWRK** cwpp, const char* indexName,
                         const char* outDir, const char* letters,
                         const char* prefix, const char* workDir,
                         char operation, char batchOnline,
                         GTRCREATEPARM cparm, const GTRSYSPARM* sysp,
                         int32_t* currMaxDoc, GTRSTATUS* st) {
    voz_ClearStatus(st);
    vozBTraceExists();
    *cwpp = nullptr;
    CREATWRK* cwp = static_cast<CREATWRK*>(calloc(1, sizeof(CREATWRK)));
    if (cwp == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2101, nullptr, ENOMEM);
        return;
    }
    strcpy(cwp->tag, VOZ_CREATWRK_TAG);
    cwp->operation = operation;
    cwp->batchOnline = batchOnline;
    char four[5] = {0};
    memcpy(four, letters != nullptr ? letters : kDefaultLetters, 4);
    if (startCycle(cwp, indexName, outDir, four, prefix != nullptr ? prefix : kDefaultPrefix,
                   workDir, cparm, sysp, currMaxDoc, st) != 0) {
        voz_CreateIndexReleaseAll(cwp, st);
        return;
    }
    *cwpp = cwp;
}

void VOZ_createIndexInfo(const CREATWRK* cwp, GTRCREATEPARM* out, GTRSTATUS* st) {
    voz_ClearStatus(st);
    vozBTraceExists();
    if (cwp == nullptr || strcmp(cwp->tag, VOZ_CREATWRK_TAG) != 0) {
        voz_setStatus(st, VOZ_RC_HANDLE, 12);
        return;
    }
    const KEYINFO_0& b = cwp->basicInfo;
    const GTRCREATEPARM& p = cwp->creationParm;
    memset(out, 0, sizeof *out);
    out->fixedKeyUnits = p.fixedKeyUnits;
    out->headKeyUnits = static_cast<int16_t>(b.headKeyUnits);
    out->inputUnitWidth = p.inputUnitWidth;
    out->storedUnitWidth = p.storedUnitWidth;
    memcpy(out->options, p.options, sizeof out->options);
    memcpy(out->codeInfo, p.codeInfo, sizeof out->codeInfo);
    out->sysparmArgument = 0;  // what the system parameters produced
    memcpy(out->creationWord, p.creationWord, sizeof out->creationWord);
    out->keyCallback = p.keyCallback;
    out->specialLength = b.specialLength;
    if (b.specialLength != 0) memcpy(out->specialLetters, b.specialLetters, 16);
}

void GTRcreateIndexLastMerge(void*, void*, void*, GTRSTATUS* st) {
    voz_setStatus(st, 50, 1227);
}

void GTRcreateIndexTermMerge(void*, void*, void*, GTRSTATUS* st) {
    voz_setStatus(st, 50, 1228);
}
