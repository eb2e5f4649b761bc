// voz_docidchk.hpp -- the document-number checks of a creation cycle:
// whether a document is already stored in the index being extended
// (vozCheckDocID), and whether it was already registered in this cycle
// (vozCheckRegisteredDocID).
//
// The stored documents are read once, forward: per half (the "main" and
// "supp" regular file sets of the sub-index) a walk over the document
// list (header slot 38) and a cursor over the ascending deleted-document
// list. Asked for a number below its last one, the check restarts its
// walks. Around a work-file merge the index is closed (suspend) and
// reopened (continue).
//
// Ownership: the context belongs to the work block (documentCheck); it is
// ended by vozCheckDocIDTerm.
#ifndef VOZ_DOCIDCHK_HPP
#define VOZ_DOCIDCHK_HPP

#include <cstdint>

#include "files/voz_names.hpp"
#include "files/voz_records.hpp"
#include "postings/voz_pctl.hpp"

struct CREATWRK;
struct GTRSTATUS;
class CVozDeletedDocs;

constexpr int VOZ_DOCCHK_HALVES = 2;

// The walk over one half's documents.
struct VOZDOCWALK {
    char open;                  // 'Y' when the half exists and is open
    _FCTLHEAD* files;           // the half's file set (owned)
    KEY_REC docList;            // the half's header slot 38
    PCTLHEAD walk;              // over the document list
    CVozDeletedDocs* deleted;   // the half's deleted-document list
    const uint32_t* deletedNext;  // next deleted entry not yet passed
    uint32_t deletedCount;      // entries from deletedNext on
};

// The document-check context.
struct DOCCHKCTL {
    VOZDOCWALK halves[VOZ_DOCCHK_HALVES];
    int64_t lastAsked;          // last number asked; -1 at the start
    char indexName[VOZ_FNAME_LEN];
    char directory[VOZ_FNAME_LEN];
    char extentInitials[5];     // copy of the caller's four letters
    char directoryPrefix[VOZ_SUBDIR_PREFIX_LEN];  // "Full", "Item"

    GTRCREATEPARM createParm;
};

// Opens the existing index's halves ("main" and "supp" of set 0) for the
// checks. *out is the context, or null when neither half exists (every
// document is then new). Failures: 11/2225 memory; the storage's,
// unchanged; *out is then null and nothing stays open. 0 or -1.
int vozCheckDocIDInit(DOCCHKCTL** out, const char* indexName,
                      const char* directory, const char* extentInitials,
                      const char* directoryPrefix,
                      const GTRCREATEPARM* createParm, GTRSTATUS* st);

// 1 when `docno` is stored in the index and not deleted, else 0 (also
// without a context). A failing walk ends the checks (documentCheck
// cleared) and returns 1 with the failure in the status.
uint32_t vozCheckDocID(CREATWRK* cwp, int32_t docno, GTRSTATUS* st);

// Close and reopen the index around a merge; nothing for null.
void vozCheckDocIDSuspend(DOCCHKCTL* ctx, GTRSTATUS* st);
void vozCheckDocIDContinue(DOCCHKCTL* ctx, GTRSTATUS* st);

// Ends the checks and frees the context; nothing for null.
void vozCheckDocIDTerm(DOCCHKCTL* ctx, GTRSTATUS* st);

// 1 when `docno` was registered before in this cycle, else 0 after
// registering it. The numbers of the whole cycle are kept (across
// flushes). 11/2105, 11/2106 memory: 0 with the status set.
uint32_t vozCheckRegisteredDocID(CREATWRK* cwp, int32_t docno,
                                 GTRSTATUS* st);

#endif  // VOZ_DOCIDCHK_HPP
