// voz_gtrsearch_steps.hpp -- the front half that the search call and the
// selectivity estimate share: the halves a condition needs, the open of
// the index, the translation into postfix form, the operator table, the
// checks of the opened halves and the preparation of the words, and the
// release of everything these steps made.
//
// One VOZSRCHSTEPS record per call, cleared by vozSearchStepsInit; every
// step reports its failure in the caller's status and leaves what it made
// in the record, which vozSearchStepsTerm frees in every case.
#ifndef VOZ_GTRSEARCH_STEPS_HPP
#define VOZ_GTRSEARCH_STEPS_HPP

#include <cstdint>

#include "calls/voz_postfix.hpp"
#include "calls/voz_querywork.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_searchrec.hpp"

// Source position of a trace record of the search calls.
#define VOZ_SRCH_STR2(x) #x
#define VOZ_SRCH_STR(x) VOZ_SRCH_STR2(x)
#define VOZ_SRCH_ORIGIN __FILE__ ":" VOZ_SRCH_STR(__LINE__)

// The errcodes that differ between the search and the estimate.
struct VOZSRCHCODES {
    int32_t condType;          // cond_type outside 1..6 (retcode 2)
    int32_t halfCodes;         // first of the four half checks (retcode 108)
};

struct VOZSRCHSTEPS {
    GTRSEARCH_COND cond;       // the caller's condition (code page adjusted)
    const GTRSEARCH_RANK* rank;  // handed to the translators; may be null
    VOZ_CPINFO cp;             // the condition's code page
    int32_t purpose;           // halves: 1 text, 2 item, 3 both
    GTRCREATEPARM parm[2];     // recorded creation parameters: text, item
    QUERYWORK work;            // arrays of query-text options
    uint8_t form;              // cond_type translated (0: none)
    char* orderCopy;
    uint8_t* queryBuf;
    uint8_t* wordBuf;
    PFELEMENT* pf;
    int32_t pfCount;
    int32_t nWords;            // word records of the operator table
    RTRVWORDEXT* words;
    int32_t nOps;              // operator records
    OPEINFO* ops;              // the table's block
};

// Clears the record and takes a copy of the condition.
void vozSearchStepsInit(VOZSRCHSTEPS* s, const GTRSEARCH_COND& cond,
                        const GTRSEARCH_RANK* rank);

// The reserved bytes of the condition, of its scope and of its skip record
// (when set); false with the status set.
bool vozSearchStepsCheckCond(const GTRSEARCH_COND& cond, GTRSTATUS* gsp);

// The halves the condition needs: 2 for items, the purpose functions' answer
// for the mixed forms (their failures are not reported here: the
// translation refuses the condition again), 1 otherwise.
void vozSearchStepsPurpose(VOZSRCHSTEPS* s);

// Opens the halves of s->purpose into *handle (allocated when null) and
// fills s->parm. The text half gets the extent letters `textLetters`.
// `keep`: the caller keeps the handle, whose files may then stay open
// after the call (vozSearchStepsEndHandle).
void vozSearchStepsOpen(VOZSRCHSTEPS* s, VOZSEARCH** handle,
                        const char* idxname, const char* idxdir,
                        const char* tempDir, const char* textLetters,
                        bool keep, GTRSTATUS* gsp);

// Translates the condition by its type with the creation parameters of the
// text half (of the item half for items, and for the mixed forms when the
// text half is not needed); the mixed forms replace s->purpose.
void vozSearchStepsTranslate(VOZSRCHSTEPS* s, const VOZSRCHCODES& codes,
                             GTRSTATUS* gsp);

// Operator modes, optimisation and the operator table (the condition's
// answer limit in every operator record).
void vozSearchStepsOperators(VOZSRCHSTEPS* s, int ranking, GTRSTATUS* gsp);

// The opened halves against the condition: code page and purpose of each.
void vozSearchStepsCheckHalves(VOZSRCHSTEPS* s, const VOZSRCHCODES& codes,
                               GTRSTATUS* gsp);

// Prepares the word records for the halves searched.
void vozSearchStepsWords(VOZSRCHSTEPS* s, GTRSTATUS* gsp);

// After a structured search: each caller's word receives the document
// count of its word record.
void vozSearchStepsDocFreq(VOZSRCHSTEPS* s);

// Frees the word records, the operator table, the translation's results and
// the query work area.
void vozSearchStepsTerm(VOZSRCHSTEPS* s);

// Ends a call's use of a search handle: keeps it in *handleVar, its index
// files held open for the next call when the call succeeded and they can be
// (VOZ_SearchPark_), else closed; or releases it when there is no
// variable. A failure there reaches `gsp` only when that holds none.
void vozSearchStepsEndHandle(VOZSEARCH* handle, void** handleVar,
                             GTRSTATUS* gsp);

#endif  // VOZ_GTRSEARCH_STEPS_HPP
