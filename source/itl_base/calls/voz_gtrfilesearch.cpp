// voz_gtrfilesearch.cpp -- the searches into a result file (see
// voz_gtrfilesearch.hpp).
//
// The result record's name field holds 2048 bytes, so the file name made of
// outpath, "/" and outfn is refused when it would not fit with its NUL,
// also where outpath and outfn together stay within 2047 characters: the
// "/" between them counts too. The frequency-file name of GTRsearch is made
// in a buffer of its own, which holds outpath, "/", frqfn and the NUL for
// every accepted pair.
#include "calls/voz_gtrfilesearch.hpp"

#include <cstring>

#include "calls/voz_gtrresult.hpp"  // VOZ_RC_RESERVED_PTR
#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_recdump.hpp"
#include "calls/voz_trace.hpp"

#define VOZ_FS_STR2(x) #x
#define VOZ_FS_STR(x) VOZ_FS_STR2(x)
#define VOZ_FS_ORIGIN __FILE__ ":" VOZ_FS_STR(__LINE__)

namespace {

constexpr size_t kFreqNameSize = 2076;  // outpath "/" frqfn NUL at most

// An argument failure: written over the caller's record without clearing
// the rest of it, as the search has not started.
void failArgs(GTRSTATUS* gsp, int32_t rc, int32_t ec) {
    if (gsp == nullptr) return;
    gsp->retcode = rc;
    gsp->errcode = ec;
}

// `dir` "/" `file` into out (cap bytes); a dir of exactly "/" gives "/"
// `file`. False when the two are longer together than `maxTogether` or the
// name and its NUL do not fit.
bool composeName(const char* dir, const char* file, size_t maxTogether,
                 char* out, size_t cap) {
    const size_t ld = strlen(dir);
    const size_t lf = strlen(file);
    if (ld > maxTogether || lf > maxTogether - ld) return false;
    const size_t lead = strcmp(dir, "/") == 0 ? 0 : ld;
    if (lead + 1 + lf + 1 > cap) return false;
    memcpy(out, dir, lead);
    out[lead] = '/';
    memcpy(out + lead + 1, file, lf + 1);
    return true;
}

// A file result named outpath "/" outfn; false with 35/ecNull or 35/ecLen.
bool fileResult(const char* outpath, const char* outfn, int32_t ecNull,
                int32_t ecLen, GTRSEARCH_RES* res, GTRSTATUS* gsp) {
    memset(res, 0, sizeof *res);
    res->res_type = GTR_RES_FILE;
    res->res_dataform = 1;
    if (outpath == nullptr || outfn == nullptr) {
        failArgs(gsp, VOZ_RC_PATH_TOO_LONG, ecNull);
        return false;
    }
    if (!composeName(outpath, outfn, VOZ_RESFILE_NAME_MAX, res->res_fname,
                     sizeof res->res_fname)) {
        failArgs(gsp, VOZ_RC_PATH_TOO_LONG, ecLen);
        return false;
    }
    return true;
}

GTRSEARCH_COND emptyCond(uint8_t type, uint8_t codepage,
                         int32_t discon_count) {
    GTRSEARCH_COND cond;
    memset(&cond, 0, sizeof cond);
    cond.cond_type = type;
    cond.codepage = codepage;
    cond.discon_count = discon_count;
    return cond;
}

// The search without a handle variable, then the counts.
void runSearch(const char* idxname, const char* idxpath, const char* outpath,
               const GTRSEARCH_COND& cond, RTRVRANK* rank, GTRSEARCH_RES* res,
               int32_t* ansdocnum, int32_t* ansoccnum, GTRSTATUS* gsp) {
    GTRsearchIndex(nullptr, idxname, idxpath, outpath, cond, rank, nullptr,
                   nullptr, res, gsp);
    if (ansdocnum != nullptr) *ansdocnum = res->result_docnum;
    if (ansoccnum != nullptr) *ansoccnum = res->result_occnum;
}

// The arguments that all four calls share.
void traceCommon(const char* idxname, const char* idxpath, const char* outfn,
                 const char* outpath, uint8_t codepage) {
    vozTraceText("idxname", idxname, VOZ_FS_ORIGIN);
    vozTraceText("idxpath", idxpath, VOZ_FS_ORIGIN);
    vozTraceText("outfn", outfn, VOZ_FS_ORIGIN);
    vozTraceText("outpath", outpath, VOZ_FS_ORIGIN);
    vozTraceArg("codepage", &codepage, 1, VOZ_FS_ORIGIN);
}

void traceEnd(const char* call, const int32_t* ansdocnum,
              const int32_t* ansoccnum, const GTRSTATUS* gsp) {
    if (ansdocnum != nullptr)
        vozTraceArg("*ansdocnum", ansdocnum, 4, VOZ_FS_ORIGIN);
    if (ansoccnum != nullptr)
        vozTraceArg("*ansoccnum", ansoccnum, 4, VOZ_FS_ORIGIN);
    vozTraceCallEnd(call, gsp, VOZ_FS_ORIGIN);
}

}  // namespace

void GTRsearch(int32_t wordnum, RTRVWORD* orgword, const char* order,
               const char* idxname, const char* idxpath, const char* outfn,
               const char* frqfn, const char* outpath, uint8_t codepage,
               RTRVRANK* rinfp, int32_t discon_count, void* rsvptr,
               int32_t* ansdocnum, int32_t* ansoccnum, GTRSTATUS* gsp) {
    vozTraceCallStart("GTRsearch", VOZ_FS_ORIGIN);
    vozTraceArg("wordnum", &wordnum, 4, VOZ_FS_ORIGIN);
    vozTraceText("order", order, VOZ_FS_ORIGIN);
    traceCommon(idxname, idxpath, outfn, outpath, codepage);
    vozTraceText("frqfn", frqfn, VOZ_FS_ORIGIN);
    vozRtrvRank_Trace(rinfp);
    vozTraceArg("discon_count", &discon_count, 4, VOZ_FS_ORIGIN);
    vozTraceArg("rsvptr", &rsvptr, sizeof rsvptr, VOZ_FS_ORIGIN);
    GTRSEARCH_RES res;
    char freqName[kFreqNameSize];
    if (rsvptr != nullptr) {
        failArgs(gsp, VOZ_RC_RESERVED_PTR, VOZ_EC_SEARCH_RSV);
    } else if (fileResult(outpath, outfn, VOZ_EC_SEARCH_NONAME,
                          VOZ_EC_SEARCH_LEN, &res, gsp)) {
        if (frqfn != nullptr &&
            !composeName(outpath, frqfn, VOZ_FREQFILE_NAME_MAX, freqName,
                         sizeof freqName)) {
            failArgs(gsp, VOZ_RC_PATH_TOO_LONG, VOZ_EC_SEARCH_LEN);
        } else {
            GTRSEARCH_COND cond =
                emptyCond(GTR_COND_STRUCT, codepage, discon_count);
            cond.struct_num = wordnum;
            cond.struct_word = orgword;
            cond.struct_order = const_cast<char*>(order);
            cond.frqfn = frqfn != nullptr ? freqName : nullptr;
            runSearch(idxname, idxpath, outpath, cond, rinfp, &res, ansdocnum,
                      ansoccnum, gsp);
        }
    }
    traceEnd("GTRsearch", ansdocnum, ansoccnum, gsp);
}

void GTRsimpleSearch(const char* query, SIMPLERTRVOPT options,
                     const char* idxname, const char* idxpath,
                     const char* outfn, const char* outpath, uint8_t codepage,
                     RTRVRANK* rinfp, int32_t* ansdocnum, int32_t* ansoccnum,
                     GTRSTATUS* gsp) {
    vozTraceCallStart("GTRsimpleSearch", VOZ_FS_ORIGIN);
    vozTraceText("(char *)query", query, VOZ_FS_ORIGIN);
    vozTraceArg("options", &options, sizeof options, VOZ_FS_ORIGIN);
    traceCommon(idxname, idxpath, outfn, outpath, codepage);
    vozRtrvRank_Trace(rinfp);
    GTRSEARCH_RES res;
    if (fileResult(outpath, outfn, VOZ_EC_SIMPLESEARCH_NONAME,
                   VOZ_EC_SIMPLESEARCH_LEN, &res, gsp)) {
        GTRSEARCH_COND cond = emptyCond(GTR_COND_SIMPLE, codepage,
                                        options.Operator.discon_count);
        cond.simple_query = const_cast<char*>(query);
        cond.simple_option = options;
        runSearch(idxname, idxpath, outpath, cond, rinfp, &res, ansdocnum,
                  ansoccnum, gsp);
    }
    traceEnd("GTRsimpleSearch", ansdocnum, ansoccnum, gsp);
}

void GTRsearchQuery(const char* query, const char* idxname,
                    const char* idxpath, const char* outfn,
                    const char* outpath, uint8_t codepage, RTRVRANK* rinfp,
                    int32_t discon_count, int32_t* ansdocnum,
                    int32_t* ansoccnum, GTRSTATUS* gsp) {
    vozTraceCallStart("GTRsearchQuery", VOZ_FS_ORIGIN);
    vozTraceText("(char *)query", query, VOZ_FS_ORIGIN);
    traceCommon(idxname, idxpath, outfn, outpath, codepage);
    vozRtrvRank_Trace(rinfp);
    vozTraceArg("discon_count", &discon_count, 4, VOZ_FS_ORIGIN);
    GTRSEARCH_RES res;
    if (fileResult(outpath, outfn, VOZ_EC_SEARCHQUERY_NONAME,
                   VOZ_EC_SEARCHQUERY_LEN, &res, gsp)) {
        GTRSEARCH_COND cond = emptyCond(GTR_COND_QUERY, codepage, discon_count);
        cond.query = const_cast<char*>(query);
        runSearch(idxname, idxpath, outpath, cond, rinfp, &res, ansdocnum,
                  ansoccnum, gsp);
    }
    traceEnd("GTRsearchQuery", ansdocnum, ansoccnum, gsp);
}

void GTRitemSearch(int32_t item_num, SEARCHITEM* item, const char* order,
                   void* rsv_ptr, const char* idxname, const char* idxpath,
                   const char* outfn, const char* outpath, uint8_t codepage,
                   int32_t discon_count, int32_t* ansdocnum, GTRSTATUS* gsp) {
    vozTraceCallStart("GTRitemSearch", VOZ_FS_ORIGIN);
    vozTraceArg("item_num", &item_num, 4, VOZ_FS_ORIGIN);
    vozTraceText("order", order, VOZ_FS_ORIGIN);
    vozTraceArg("rsv_ptr", &rsv_ptr, sizeof rsv_ptr, VOZ_FS_ORIGIN);
    traceCommon(idxname, idxpath, outfn, outpath, codepage);
    vozTraceArg("discon_count", &discon_count, 4, VOZ_FS_ORIGIN);
    GTRSEARCH_RES res;
    if (rsv_ptr != nullptr) {
        failArgs(gsp, VOZ_RC_RESERVED_PTR, VOZ_EC_ITEMSEARCH_RSV);
    } else if (fileResult(outpath, outfn, VOZ_EC_ITEMSEARCH_NONAME,
                          VOZ_EC_ITEMSEARCH_LEN, &res, gsp)) {
        GTRSEARCH_COND cond = emptyCond(GTR_COND_ITEM, codepage, discon_count);
        cond.item_num = item_num;
        cond.item = item;
        cond.item_order = const_cast<char*>(order);
        runSearch(idxname, idxpath, outpath, cond, nullptr, &res, ansdocnum,
                  nullptr, gsp);
    }
    traceEnd("GTRitemSearch", ansdocnum, nullptr, gsp);
}
