// voz_gtrfilesearch.hpp -- four searches that leave their answer in a
// result file and return only the counts: GTRsearch (structured words and
// an order string), GTRsimpleSearch (a simple query), GTRsearchQuery (query
// text) and GTRitemSearch (item conditions and an order string).
//
// Each builds a search condition and a file result (res_type 1, data form
// 1) and runs GTRsearchIndex (calls/voz_gtrsearch.hpp) without a handle
// variable, so no search handle outlives the call. The result file is
// `outpath` "/" `outfn` (an `outpath` of exactly "/" gives "/" `outfn`); the
// caller owns it afterwards. The file name must fit the result record: at
// most 2047 characters with the "/" (retcode 35 otherwise).
//
// Status: each call checks its own arguments first and reports a failure
// there without clearing the record (the rest of the record stays as the
// caller left it) and without touching the outputs; from then on the
// record is GTRsearchIndex's. The counts are stored whatever the search's
// outcome, into the outputs that are not NULL.
#ifndef VOZ_GTRFILESEARCH_HPP
#define VOZ_GTRFILESEARCH_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// Status codes of the argument checks (message numbers and sites; never
// renumber).
constexpr int32_t VOZ_EC_ITEMSEARCH_RSV = 2564;
constexpr int32_t VOZ_EC_ITEMSEARCH_NONAME = 2565;
constexpr int32_t VOZ_EC_ITEMSEARCH_LEN = 2566;
constexpr int32_t VOZ_EC_SEARCHQUERY_NONAME = 2567;
constexpr int32_t VOZ_EC_SEARCHQUERY_LEN = 2568;
constexpr int32_t VOZ_EC_SIMPLESEARCH_NONAME = 2569;
constexpr int32_t VOZ_EC_SIMPLESEARCH_LEN = 2570;
constexpr int32_t VOZ_EC_SEARCH_RSV = 2571;
constexpr int32_t VOZ_EC_SEARCH_NONAME = 2572;
constexpr int32_t VOZ_EC_SEARCH_LEN = 2573;
// Longest name of the result file (and, with it, of outpath and outfn
// together), and of outpath and frqfn together.
constexpr size_t VOZ_RESFILE_NAME_MAX = 2047;
constexpr size_t VOZ_FREQFILE_NAME_MAX = 2074;

// Structured words `orgword` (wordnum entries) joined by `order`. With
// `frqfn` the term frequencies go to `outpath` "/" `frqfn` and every word's
// docfreq is filled. `rinfp` NULL or a ranking request; `rsvptr` must be
// NULL (115/2571, tested first). outpath or outfn NULL 35/2572; names too
// long 35/2573 (with frqfn: outpath and frqfn together above 2074).
void GTRsearch(int32_t wordnum, RTRVWORD* orgword, const char* order,
               const char* idxname, const char* idxpath, const char* outfn,
               const char* frqfn, const char* outpath, uint8_t codepage,
               RTRVRANK* rinfp, int32_t discon_count, void* rsvptr,
               int32_t* ansdocnum, int32_t* ansoccnum, GTRSTATUS* gsp);

// A simple query; the answer limit is options.Operator.discon_count.
// outpath or outfn NULL 35/2569; names too long 35/2570.
void GTRsimpleSearch(const char* query, SIMPLERTRVOPT options,
                     const char* idxname, const char* idxpath,
                     const char* outfn, const char* outpath, uint8_t codepage,
                     RTRVRANK* rinfp, int32_t* ansdocnum, int32_t* ansoccnum,
                     GTRSTATUS* gsp);

// Query text. outpath or outfn NULL 35/2567; names too long 35/2568.
void GTRsearchQuery(const char* query, const char* idxname,
                    const char* idxpath, const char* outfn,
                    const char* outpath, uint8_t codepage, RTRVRANK* rinfp,
                    int32_t discon_count, int32_t* ansdocnum,
                    int32_t* ansoccnum, GTRSTATUS* gsp);

// Item conditions `item` (item_num entries) joined by `order`, never
// ranked; only the document count is returned. `rsv_ptr` must be NULL
// (115/2564, tested first); outpath or outfn NULL 35/2565; names too long
// 35/2566.
void GTRitemSearch(int32_t item_num, SEARCHITEM* item, const char* order,
                   void* rsv_ptr, const char* idxname, const char* idxpath,
                   const char* outfn, const char* outpath, uint8_t codepage,
                   int32_t discon_count, int32_t* ansdocnum, GTRSTATUS* gsp);

#endif  // VOZ_GTRFILESEARCH_HPP
