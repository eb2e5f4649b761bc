// voz_basicinfo.cpp - VOZ_getIndexBasicInfo (see voz_basicinfo.hpp): the
// creation parameters and document counts of a sub-index, from the
// basic-information records of its halves.
#include "build/voz_basicinfo.hpp"

#include <cstring>

#include "build/voz_callseam.hpp"
#include "build/voz_idxadmin.hpp"
#include "build/voz_journal.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"

namespace {

#define VOZ_BI_STR2(x) #x
#define VOZ_BI_STR(x) VOZ_BI_STR2(x)
#define VOZ_BI_ORIGIN __FILE__ ":" VOZ_BI_STR(__LINE__)

constexpr size_t kNameLimit = 2048;

// The creation parameters recorded in a main half's basic information.
void fillParameters(const KEYINFO_0& k, GTRCREATEPARM* p) {
    p->fixedKeyUnits = static_cast<int16_t>(k.fixedKeyUnits);
    p->headKeyUnits = static_cast<int16_t>(k.headKeyUnits == 0 ? 3 : k.headKeyUnits);
    p->inputUnitWidth = static_cast<int16_t>(k.unitWidth);
    memcpy(p->options, k.options, sizeof p->options);
    memcpy(p->codeInfo, k.codeInfo, sizeof p->codeInfo);
    p->sysparmArgument = k.docGroupLength;
    p->storeParameter = static_cast<int16_t>(k.storeParameter);
    p->reservedShort = static_cast<int16_t>(k.sharedBlockKB);
    p->storeSubParameter = static_cast<int16_t>(k.branchBlockKB);
    p->storeBlockUnit = static_cast<int16_t>(k.leafBlockKB);
    p->storeFlag = k.storeFlag;
    // Never more letters than the record holds, whatever the file says.
    const uint8_t n = k.specialLength <= VOZ_SPECIAL_LETTERS_MAX
                          ? k.specialLength
                          : VOZ_SPECIAL_LETTERS_MAX;
    p->specialLength = n;
    memcpy(p->specialLetters, k.specialLetters, n);
}

// Reads the main half (and, for the counts, the supp half).  Returns the
// result value or -1.
int32_t readHalves(const char* idxname, const char* idxdir,
                   const char* letters, const char* prefix,
                   GTRCREATEPARM* cparmp, int32_t* docnum, GTRSTATUS* gsp) {
    if (idxname == nullptr || strlen(idxname) >= kNameLimit) {
        voz_setStatus(gsp, 29, 473);
        return -1;
    }
    _FCTLHEAD sets[VOZ_ADMIN_SETS];
    if (voz_AdminSets(sets, idxname, idxdir, letters, prefix, gsp) != 0 ||
        voz_JnlRollForward(&sets[0], gsp) != 0) {
        return -1;
    }
    KEYINFO_0 info;
    const char answer = voz_AdminExists(&sets[0], &info, gsp);
    if (voz_Failed(gsp)) return -1;
    if (answer == VOZ_NO_ACCESS) {
        char path[VOZ_FNAME_LEN];
        voz_IDXgetFname(path, &sets[0], VOZ_FT_KEY);
        voz_setStatus(gsp, VOZ_RC_OPEN, 479, path);
        return -1;
    }
    if (answer != VOZ_EXISTS) {
        voz_setStatus(gsp, 20, 477);
        return -1;
    }
    if (memcmp(info.version, VOZ_KEYFILE_VERSION, 4) != 0) {
        voz_setStatus(gsp, VOZ_RC_VERSION, 474);
        return -1;
    }
    int32_t result = static_cast<int32_t>(info.maxDocNumber);
    const int32_t mainCount = static_cast<int32_t>(info.docCount);
    if (cparmp != nullptr) fillParameters(info, cparmp);
    int32_t suppCount = 0;
    if (voz_AdminExists(&sets[2], &info, gsp) == VOZ_EXISTS &&
        !voz_Failed(gsp)) {
        suppCount = static_cast<int32_t>(info.docCount);
        if (static_cast<int32_t>(info.maxDocNumber) > result)
            result = static_cast<int32_t>(info.maxDocNumber);
    }
    if (voz_Failed(gsp)) return -1;
    if (docnum != nullptr) {
        docnum[0] = mainCount;
        docnum[1] = suppCount;
    }
    return result;
}

}  // namespace

int32_t VOZ_getIndexBasicInfo(const char* idxname, const char* idxdir,
                              const char* letters, const char* prefix,
                              GTRCREATEPARM* cparmp, int32_t* docnum,
                              GTRSTATUS* gsp) {
    vozTraceCallStart("VOZ_getIndexBasicInfo", VOZ_BI_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_BI_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_BI_ORIGIN);
    vozTraceArg("cparmp", &cparmp, sizeof cparmp, VOZ_BI_ORIGIN);
    vozTraceArg("docnum", &docnum, sizeof docnum, VOZ_BI_ORIGIN);
    vozTraceArg("gsp", &gsp, sizeof gsp, VOZ_BI_ORIGIN);
    voz_ClearStatus(gsp);
    if (cparmp != nullptr) memset(cparmp, 0, sizeof *cparmp);
    if (docnum != nullptr) docnum[0] = docnum[1] = 0;
    const int32_t result =
        readHalves(idxname, idxdir, letters, prefix, cparmp, docnum, gsp);
    vozTraceArg("*cparmp", cparmp, cparmp != nullptr ? sizeof *cparmp : 0,
                VOZ_BI_ORIGIN);
    if (docnum != nullptr) {
        vozTraceArg("docnum[0]", &docnum[0], 4, VOZ_BI_ORIGIN);
        vozTraceArg("docnum[1]", &docnum[1], 4, VOZ_BI_ORIGIN);
    }
    vozTraceCallEnd("GTRgetIndexBasicInfo", gsp, VOZ_BI_ORIGIN);
    return result;
}
