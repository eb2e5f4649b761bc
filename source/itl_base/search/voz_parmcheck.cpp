// voz_parmcheck.cpp -- the argument checks of one search (see
// voz_search.hpp). The checks run in a fixed order and the first failure
// ends them: the result descriptor, the term-frequency file name, the
// operators, the words (each completely before the next), the ranking, the
// scope, the skip record.
#include <cstring>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_search.hpp"

namespace {

bool checkOperators(int32_t opCount, const OPEINFO* ops, GTRSTATUS* st) {
    if (opCount < 1 || ops == nullptr) {
        voz_setStatus(st, 28, 1411);
        return false;
    }
    for (int32_t i = 0; i < opCount; ++i) {
        char k = ops[i].op_kind;
        if (k != 'A' && k != 'O' && k != 'N' && k != 'D') {
            voz_setStatus(st, 28, 1412);
            return false;
        }
        if (k == 'D' && ops[i].op_distance > 32) {
            voz_setStatus(st, 28, 1413);
            return false;
        }
    }
    return true;
}

bool checkWord(const RTRVWORDEXT& x, int32_t index, GTRSTATUS* st) {
    const RTRVWORD& w = x.wi;
    char k = w.type;
    if (strchr("WBDEFS", k) == nullptr || k == 0) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1414);
        return false;
    }
    if (w.search_flag != 0 && w.search_flag != 1) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1415);
        return false;
    }
    if ((k == 'W' || k == 'B' || k == 'E') &&
        (w.wordp == nullptr || w.wordlen < 1)) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1416);
        return false;
    }
    if (k == 'B' && static_cast<size_t>(w.wordlen) > VOZ_SRCH_NAME_MAX) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 1417);
        return false;
    }
    if ((k == 'W' || k == 'E') && (w.precision < 1 || w.precision > 100)) {
        voz_setStatus(st, 26, 1418);
        return false;
    }
    if (k != 'W') return true;
    if (w.fld_number < -1 ||
        (w.fld_number != 0 && (w.range_dlmno < 0 || w.range_dlmno > 32))) {
        voz_setStatus(st, 27, 1419);
        return false;
    }
    if (w.start_option != 0 && w.start_option != 'S') {
        voz_setStatus(st, 32, 1420);
        return false;
    }
    if (w.rangenum != 0 && (w.fld_number == -1 || w.fld_number > 0)) {
        voz_setStatus(st, 120, index);
        return false;
    }
    return true;
}

bool checkRanking(const RANKPARM* rank, const char* freqName,
                  GTRSTATUS* st) {
    if (rank == nullptr) return true;
    if ((rank->rank_flags & 0xCE) != 0 && rank->rank_user == nullptr) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1421);
        return false;
    }
    char k = rank->rank_kind;
    if (k != 'S' && k != 'F' && k != 'P') {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1422);
        return false;
    }
    if (freqName != nullptr) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1423);
        return false;
    }
    if (rank->rank_limit < 1) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1424);
        return false;
    }
    return true;
}

bool checkScope(const GTRSEARCH_RES* scope, GTRSTATUS* st) {
    if (scope == nullptr) return true;
    if (scope->result_docnum == 0) {
        if (scope->res_type != GTR_RES_HANDLE) {
            voz_setStatus(st, 127, 1425);
            return false;
        }
        return true;
    }
    if (scope->res_type != GTR_RES_HANDLE) {
        voz_setStatus(st, 127, 1427);
        return false;
    }
    if (scope->res_handle == nullptr) {
        voz_setStatus(st, 127, 1426);
        return false;
    }
    return true;
}

}  // namespace

void voz_SearchParmCheck_Result(GTRSEARCH_RES* res, GTRSTATUS* st) {
    if (res == nullptr) return voz_setStatus(st, VOZ_RC_PARAMETER, 1405);
    res->result_docnum = 0;
    res->result_occnum = 0;
    uint8_t t = res->res_type;
    if (t == GTR_RES_HANDLE) res->res_handle = nullptr;
    if ((t == GTR_RES_FILE || t == GTR_RES_FILE_HEADER) &&
        res->res_fname[0] == '\0')
        return voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 1406);
    if (t != GTR_RES_FILE && t != GTR_RES_HANDLE && t != GTR_RES_FILE_HEADER &&
        t != GTR_RES_NONE)
        return voz_setStatus(st, VOZ_RC_PARAMETER, 1407);
    if (t != GTR_RES_NONE && res->res_dataform != 1 && res->res_dataform != 2)
        return voz_setStatus(st, VOZ_RC_PARAMETER, 1408);
}

void voz_SearchParmCheck(int32_t wordCount, const RTRVWORDEXT* words,
                         int32_t opCount, const OPEINFO* ops,
                         const RANKPARM* rank, GTRSEARCH_RES* res,
                         const char* freqName, const GTRSEARCH_RES* scope,
                         const GTRSKIPFUNCINFO* skip, GTRSTATUS* st) {
    voz_SearchParmCheck_Result(res, st);
    if (voz_Failed(st)) return;
    if (freqName != nullptr &&
        (freqName[0] == '\0' || strlen(freqName) > VOZ_SRCH_NAME_MAX))
        return voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 1409);
    if (wordCount < 1 || words == nullptr)
        return voz_setStatus(st, 25, 1410);
    if (!checkOperators(opCount, ops, st)) return;
    for (int32_t i = 0; i < wordCount; ++i) {
        if (!checkWord(words[i], i, st)) return;
    }
    if (!checkRanking(rank, freqName, st)) return;
    if (!checkScope(scope, st)) return;
    if (skip != nullptr && skip->skip_function == nullptr)
        voz_setStatus(st, VOZ_RC_PARAMETER, 1428);
}
