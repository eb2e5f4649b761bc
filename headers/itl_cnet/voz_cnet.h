/* voz_cnet.h -- the thesaurus dictionary engine's public records and calls
 * (libvqxthes, prefix vozCNET).
 *
 * Conventions of every vozCNET call:
 *  1. The caller owns every record it passes; the engine keeps no pointer
 *     into one after the call returns.
 *  2. Each call fills the caller's CNETSTATUS (last argument), clearing it
 *     on entry: retcode 0 is success, 501..567 a dictionary error, 10000 +
 *     an engine retcode an engine failure. Nothing is thrown.
 *  3. A null CNETEXEC means "show everything": progress and time-stamped
 *     steps on standard output, warnings on standard error, no replacing.
 *  4. Reserved fields and reserved runs must be zero.
 *
 * The records hold native integers (the dictionary files themselves are
 * big-endian; the engine converts). Records with pointers take the natural
 * layout of the platform. This header compiles as C and as C++. */
#ifndef VOZ_CNET_H
#define VOZ_CNET_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Width of each file-name text of CNETSTATUS, terminator included. */
#define VOZ_CNET_NAME_LEN 512

/* Size of the buffer vozCNETgetMessage needs: the longest message it can
 * write (two names of 511 bytes, the largest numbers, engine messages
 * included) with its terminator. Nothing longer is ever written. */
#define VOZ_CNET_MESSAGE_MAX 1280

/* Status record, filled by every dictionary call. */
typedef struct CNETSTATUS {
    uint32_t retcode;  /* 0 success; 501..567; 10000 + engine retcode */
    uint32_t errcode;  /* failing site; reason 1..10 for 567;
                          10000 + engine errcode for engine failures */
    uint32_t line;     /* definition-file line of a retcode 567 */
    char fname1[VOZ_CNET_NAME_LEN]; /* file concerned (rename: source) */
    char fname2[VOZ_CNET_NAME_LEN]; /* second file (rename: target) */
    uint32_t resultsCut; /* results left out at a limit */
    uint8_t reserved[48];
} CNETSTATUS;

/* Execution options of long operations. */
#define CNET_EXEC_REPLACE  0x1 /* compile/dump may replace existing output */
#define CNET_EXEC_PROGRESS 0x2 /* progress and time-stamped steps, stdout */
#define CNET_EXEC_WARNINGS 0x4 /* warnings on standard error */
typedef struct CNETEXEC {
    uint16_t flags;        /* CNET_EXEC_* bits; others must be 0 */
    uint8_t reserved[14];  /* zero */
    const char* program;   /* written before warnings when non-empty */
} CNETEXEC;

/* Relation code: category (1 higher than, 2 lower than, 3 associative,
 * 255 any/member) and id (1 standard or synonym, 2 related, 128..255
 * user-defined relation id - 127). */
typedef struct CNETREL {
    uint8_t category;
    uint8_t id;
} CNETREL;

/* Definition source or target (a definition file). */
#define CNET_DEFINE_KIND_FILE 2
typedef struct CNETDEFINE {
    uint8_t kind;           /* 2 = a file named by fileName */
    uint8_t format;         /* 0, the only format */
    uint8_t reserved1[14];  /* zero */
    uint8_t unused[8];      /* not read */
    uint8_t reserved2[4];   /* zero */
    const char* fileName;   /* zero-terminated, at most 2047 bytes */
    uint8_t reserved3[16];  /* zero */
} CNETDEFINE;

/* Dictionary attributes of a compilation. */
typedef struct CNETATTRI {
    uint8_t codepage;       /* engine code-page code 1..36 of the words */
    uint8_t reserved[15];   /* zero */
} CNETATTRI;

/* Base term of a lookup or dump. */
typedef struct CNETBASE {
    uint8_t term[64];       /* in the dictionary's code page */
    uint16_t length;        /* 1..64 */
    uint16_t precision;     /* must be 100 */
    uint8_t singleMask;     /* single-character mask character */
    uint8_t multiMask;      /* multiple-character mask character */
    uint8_t reserved[10];   /* zero */
} CNETBASE;

/* Relation kinds of user relations and result records. */
#define CNET_KIND_SYNONYM    1
#define CNET_KIND_RELATED    2
#define CNET_KIND_HIGHER     3
#define CNET_KIND_LOWER      4
#define CNET_KIND_USER_ASSOC 5
#define CNET_KIND_USER_HIGHER 6
#define CNET_KIND_USER_LOWER 7

/* One user relation of a request (16 bytes). */
typedef struct CNETUSERREL {
    uint32_t kind;          /* 5, 6 or 7 */
    uint32_t number;        /* 1..128 */
    uint8_t reserved[8];
} CNETUSERREL;

/* Lookup request. */
#define CNET_TYPE_SYNONYM 0x80
#define CNET_TYPE_RELATED 0x40
#define CNET_TYPE_HIGHER  0x20
#define CNET_TYPE_LOWER   0x10
typedef struct CNETPATH {
    uint8_t types;          /* CNET_TYPE_* bits */
    uint8_t userKinds;      /* 0x40 assoc, 0x20 higher, 0x10 lower: all ids */
    uint8_t reserved1[14];  /* zero */
    uint32_t userCount;     /* entries of userRels */
    CNETUSERREL* userRels;
    uint32_t termLimit;     /* most result records */
    uint32_t depthLimit;    /* deepest level followed */
    uint8_t minStrength;    /* weaker relations are not followed */
    uint8_t reserved2[15];  /* zero */
} CNETPATH;

/* Result record of a lookup (256 bytes). */
typedef struct CNETRESULT {
    uint8_t term[192];      /* display form, not terminated */
    uint16_t length;        /* bytes of term */
    uint8_t reserved1[2];
    uint32_t depth;         /* 0 base entries, 1 direct relations, ... */
    uint8_t strength;       /* of the relation that reached the term */
    uint8_t reserved2[3];
    uint32_t relKind;       /* CNET_KIND_* */
    uint32_t relNumber;     /* user number for kinds 5..7 */
    uint8_t reserved3[8];
    uint32_t parent;        /* index of the record it came from; -1 none */
    uint8_t reserved4[32];
} CNETRESULT;

/* Output of a lookup: the caller's array of result records, with room for
 * the request's term limit, and the number of records filled. */
typedef struct CNETOUTPUT {
    uint32_t count;         /* out: records filled */
    uint8_t reserved[12];
    CNETRESULT* results;    /* termLimit records */
} CNETOUTPUT;

/* Compiles the definition `def` into dictionary `name` of the directory
 * specification `dirspec` (one directory, or two joined by a TAB), with the
 * words' engine code page of `attri`. Without CNET_EXEC_REPLACE an existing
 * dictionary is left alone (544). `reserved` must be NULL. A crash at any
 * moment leaves the old dictionary or the new one, whole. */
void vozCNETregist(const char* dirspec, const char* name, const CNETDEFINE* def,
                   const CNETATTRI* attri, const CNETEXEC* opts, void* reserved,
                   CNETSTATUS* status);

/* Removes the dictionary, its word index and its work files. A dictionary
 * that is absent (or partly removed) is no error. */
void vozCNETclear(const char* dirspec, const char* name, CNETSTATUS* status);

/* Finds the terms related to `base` (NULL: lists the top terms) as the
 * request `path` selects, into `output`. *referHandle (in/out, NULL at
 * first) keeps the word-index search between calls; vozCNETrefer_Release
 * frees it. `reserved` must be NULL. A lookup cut at the term limit
 * succeeds with status->resultsCut the number of terms left out. */
void vozCNETrefer(void** referHandle, const CNETEXEC* opts, const char* name,
                  const char* dirspec, const CNETBASE* base, const CNETPATH* path,
                  void* reserved, CNETOUTPUT* output, CNETSTATUS* status);
void vozCNETrefer_Release(void** referHandle, CNETSTATUS* status);

/* Query expansion: every plain search word of an engine search condition
 * (struct GTRSEARCH_COND of the engine's search calls) is looked up in the
 * dictionary, its related terms are added as further search words and the
 * order string ORs each word with its terms. */
struct GTRSEARCH_COND;

/* Options of an expansion. */
typedef struct CNETEXPAND {
    uint8_t version;        /* must be 1 */
    uint8_t reserved[31];   /* zero */
} CNETEXPAND;

/* Expands `cond` with the relations `path` selects (its term limit, 1..64,
 * is the most terms added per word) into *newCond, which points into the
 * expand handle *expandHandle (in/out, NULL at first; made on first use,
 * cleared by later calls) until the next call or the release. `reserved`
 * must be NULL. status->resultsCut sums the terms left out over the
 * words. */
void vozCNETexpandSearchCond(void** expandHandle, const char* dirspec,
                             const char* name, const struct GTRSEARCH_COND* cond,
                             const CNETPATH* path, const CNETEXPAND* options,
                             void* reserved, struct GTRSEARCH_COND* newCond,
                             CNETSTATUS* status);
/* Frees the expand handle and everything it holds; *expandHandle becomes
 * NULL. */
void vozCNETexpandSearchCond_Release(void** expandHandle, CNETSTATUS* status);

/* Checks the live dictionary's files against each other and its head
 * (541 for any damage), then its word index through the engine (10000 +
 * the engine's retcode). Both reserved pointers must be NULL. */
void vozCNETverify(const char* dirspec, const char* name, const CNETEXEC* opts,
                   void* reserved1, void* reserved2, CNETSTATUS* status);

/* Writes the dictionary (base NULL, of length 0 or starting with a zero
 * byte), or the groups of the words matching `base`, as a definition file
 * named by `out` that the compiler reads back. Without CNET_EXEC_REPLACE an
 * existing output gives 540; with it, a failed dump leaves the old output
 * as it was. `reserved` must be NULL. */
void vozCNETdump(const char* dirspec, const char* name, const CNETBASE* base,
                 const CNETDEFINE* out, const CNETEXEC* opts, void* reserved,
                 CNETSTATUS* status);

/* Writes the one-line English text of *status for the engine code-page
 * code `codepage` (1..37) into `msg` (VOZ_CNET_MESSAGE_MAX bytes, NUL
 * terminated) and returns its length. A code outside 1..37 gives
 * "Codepage parameter cannot be interpreted."; retcode 0 the empty text.
 * REQUIRES: status and msg not NULL. */
int32_t vozCNETgetMessage(uint8_t codepage, const CNETSTATUS* status,
                          char* msg);

#ifdef __cplusplus
}
#endif

#endif /* VOZ_CNET_H */
